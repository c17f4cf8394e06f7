// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/text/text_loader.h"

#include "viewers/text/plain_text_reader.h"
#include "viewers/text/rtf_reader.h"

#include "base/file_handle.h"

#include <QTextDocument>

#include <cstdint>
#include <cstdio>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace iradudo {
namespace {

// Whether a load of this many bytes fits under the address-space limit, if any.
bool fitsUnderMemoryLimit(std::uintmax_t fileSize)
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return true;
    unsigned long long pages = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "re")) {
        if (std::fscanf(statm, "%llu", &pages) != 1)
            pages = 0;
        std::fclose(statm);
    }
    const std::uintmax_t used = std::uintmax_t(pages) * std::uintmax_t(::sysconf(_SC_PAGESIZE));
    return used < limit.rlim_cur && fileSize <= (limit.rlim_cur - used) / kTextLoadCostPerByte;
}

}  // namespace

QByteArray readTextFileBytes(const std::string& fileName)
{
    FileHandle file = openRegularFile(fileName);
    return readTextFileBytes(file, fileName);
}

QByteArray readTextFileBytes(FileHandle& file, const std::string& fileName)
{
    if (!file.valid())
        throw EFOpenError(fileName);
    struct stat info { };
    if (::fstat(file.fd(), &info) == 0 && !fitsUnderMemoryLimit(static_cast<std::uintmax_t>(info.st_size)))
        throw ELoadStreamError();
    // Rich text has the smaller bound; its first bytes tell before the rest is read.
    if (static_cast<std::uintmax_t>(info.st_size) > kMaxRichTextFileSize) {
        char head[4096];
        const ssize_t got = ::pread(file.fd(), head, sizeof head, 0);
        if (got > 0 && looksLikeRtf(QByteArrayView(head, got)))
            throw ELoadStreamError();
    }
    QByteArray bytes;
    if (readWholeFile(file, kMaxTextFileSize, bytes) != WholeFileRead::Complete)
        throw ELoadStreamError();
    if (std::size_t(bytes.size()) > kMaxRichTextFileSize && looksLikeRtf(bytes))
        throw ELoadStreamError();
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
    FileHandle file = openRegularFile(fileName);
    return loadTextFile(file, fileName, plainFont);
}

LoadedText loadTextFile(FileHandle& file, const std::string& fileName, const QFont& plainFont)
{
    const QByteArray bytes = readTextFileBytes(file, fileName);
    auto document = std::make_unique<QTextDocument>();
    const TextKind kind = loadTextBytes(bytes, *document, plainFont);
    return {std::move(document), kind};
}

TextKind loadTextFile(const std::string& fileName, QTextDocument& document, const QFont& plainFont)
{
    FileHandle file = openRegularFile(fileName);
    return loadTextFile(file, fileName, document, plainFont);
}

TextKind loadTextFile(FileHandle& file, const std::string& fileName, QTextDocument& document, const QFont& plainFont)
{
    const QByteArray bytes = readTextFileBytes(file, fileName);
    return loadTextBytes(bytes, document, plainFont);
}

}  // namespace iradudo
