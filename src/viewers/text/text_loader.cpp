// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/text/text_loader.h"

#include "viewers/text/plain_text_reader.h"
#include "viewers/text/rtf_reader.h"

#include <QTextDocument>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace iradudo {
namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) { }
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

}  // namespace

QByteArray readTextFileBytes(const std::string& fileName)
{
    // Non-blocking, so that a pipe without a writer cannot stall the open.
    const FileDescriptor file(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat info { };
    if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        throw EFOpenError(fileName);
    if (info.st_size > kMaxTextFileSize)
        throw ELoadStreamError();

    QByteArray bytes;
    bytes.reserve(qsizetype(info.st_size));
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw ELoadStreamError();
        }
        if (got == 0)
            break;
        // A file that grows while it is read is still bounded.
        if (bytes.size() + got > kMaxTextFileSize)
            throw ELoadStreamError();
        bytes.append(buffer, qsizetype(got));
    }
    return bytes;
}

TextKind loadTextBytes(QByteArrayView bytes, QTextDocument& document, const QFont& plainFont)
{
    const bool undo = document.isUndoRedoEnabled();
    document.setUndoRedoEnabled(false);
    document.clear();
    TextKind kind = TextKind::Rich;
    if (!readRtf(bytes, document)) {
        document.setDefaultFont(plainFont);
        readPlainText(bytes, document, plainFont);
        kind = TextKind::Plain;
    }
    document.setUndoRedoEnabled(undo);
    document.setModified(false);
    return kind;
}

LoadedText loadTextFile(const std::string& fileName, const QFont& plainFont)
{
    const QByteArray bytes = readTextFileBytes(fileName);
    auto document = std::make_unique<QTextDocument>();
    const TextKind kind = loadTextBytes(bytes, *document, plainFont);
    return {std::move(document), kind};
}

TextKind loadTextFile(const std::string& fileName, QTextDocument& document, const QFont& plainFont)
{
    const QByteArray bytes = readTextFileBytes(fileName);
    return loadTextBytes(bytes, document, plainFont);
}

}  // namespace iradudo
