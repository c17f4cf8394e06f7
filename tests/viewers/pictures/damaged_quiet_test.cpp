// SPDX-License-Identifier: GPL-3.0-or-later
// Damaged pictures (valid ones made by ImageMagick, cut short or with their middle
// overwritten) fail or load without Qt printing a line: through the picture classes
// and as pictures inside RTF.
#include "platform/run_program.h"
#include "viewers/pictures/bitmap.h"
#include "viewers/pictures/icon.h"
#include "viewers/text/text_loader.h"

#include "support/temp_dir.h"

#include <QFont>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

using namespace iradudo;
namespace fs = std::filesystem;

namespace {

int qtMessages = 0;

void countMessage(QtMsgType, const QMessageLogContext&, const QString&)
{
    ++qtMessages;
}

// Counts Qt's messages and keeps what reaches the standard error while it lives.
class MessageCounter {
public:
    explicit MessageCounter(const fs::path& capture)
        : previous_(qInstallMessageHandler(countMessage)), capture_(capture)
    {
        qtMessages = 0;
        std::fflush(stderr);
        saved_ = ::dup(STDERR_FILENO);
        const int file = ::open(capture.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ::dup2(file, STDERR_FILENO);
        ::close(file);
    }
    ~MessageCounter() { restore(); }

    int count() const { return qtMessages; }
    // What was written to the standard error; restores it first.
    std::string errorOutput()
    {
        restore();
        return iradudo::test::readFile(capture_);
    }

private:
    void restore()
    {
        if (saved_ < 0)
            return;
        std::fflush(stderr);
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
        saved_ = -1;
        qInstallMessageHandler(previous_);
    }

    QtMessageHandler previous_;
    fs::path capture_;
    int saved_ = -1;
};

struct Source {
    const char* name;
    std::vector<std::string> convert;  // ImageMagick's arguments before the output
};

// A gradient with noise, so that no format can store it in a few bytes.
const std::vector<std::string> kPicture
    = {"-size", "96x64", "gradient:red-blue", "-attenuate", "0.4", "+noise", "Uniform"};

const Source kSources[] = {
    {"picture.bmp", kPicture},
    {"picture8.bmp", {"-size", "96x64", "gradient:red-blue", "-type", "Palette", "-colors", "200"}},
    {"rle.bmp", {"-size", "96x64", "gradient:red-blue", "-colors", "16", "-compress", "RLE"}},
    {"picture.ico", kPicture},
    {"png.ico", {"-size", "256x256", "gradient:red-blue", "-attenuate", "0.4", "+noise", "Uniform"}},
    {"picture.png", kPicture},
    {"picture.jpg", kPicture},
};

// The file cut at a fraction of its length, and with a run of its middle set to 0xFF.
std::vector<std::string> damagedCopies(const std::string& bytes)
{
    std::vector<std::string> copies;
    for (const double keep : {0.3, 0.6, 0.9})
        copies.push_back(bytes.substr(0, std::size_t(double(bytes.size()) * keep)));
    std::string scribbled = bytes;
    for (std::size_t i = bytes.size() / 3; i < bytes.size() / 3 + 64 && i < bytes.size(); ++i)
        scribbled[i] = char(0xFF);
    copies.push_back(scribbled);
    return copies;
}

std::string hex(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const char c : bytes) {
        out += digits[(unsigned char)c >> 4];
        out += digits[(unsigned char)c & 15];
    }
    return out;
}

class DamagedPicturesTest : public ::testing::TestWithParam<Source> {
protected:
    std::string made()
    {
        const fs::path file = dir.path() / GetParam().name;
        std::vector<std::string> argv = {"convert"};
        argv.insert(argv.end(), GetParam().convert.begin(), GetParam().convert.end());
        argv.push_back(file.string());
        const ProgramResult result = runProgram(argv);
        EXPECT_EQ(result.exitCode, 0) << result.output;
        return iradudo::test::readFile(file);
    }

    iradudo::test::TempDir dir;
};

}  // namespace

TEST_P(DamagedPicturesTest, LoadsWithoutQtMessages)
{
    const std::string bytes = made();
    ASSERT_GT(bytes.size(), 100u);
    const std::string name = GetParam().name;
    const std::string extension = name.substr(name.rfind('.') + 1);
    int copy = 0;
    for (const std::string& damaged : damagedCopies(bytes)) {
        SCOPED_TRACE(copy);
        const fs::path file = dir.writeFile("damaged" + std::to_string(copy++) + "." + extension, damaged);
        MessageCounter counter(dir.path() / "stderr.txt");
        if (extension == "bmp" || extension == "ico") {
            std::unique_ptr<TGraphic> graphic;
            if (extension == "bmp")
                graphic = std::make_unique<TBitmap>();
            else
                graphic = std::make_unique<TIcon>();
            try {
                graphic->LoadFile(file.string());
            } catch (const Exception&) {
            }
        } else {
            // As a picture inside RTF, which the RTF reader hands to Qt's readers.
            const std::string rtf = std::string("{\\rtf1\\ansi before {\\pict")
                + (extension == "png" ? "\\pngblip" : "\\jpegblip") + "\\picw96\\pich64 " + hex(damaged)
                + "} after\\par}";
            QTextDocument document;
            EXPECT_EQ(loadTextBytes(QByteArray::fromStdString(rtf), document, QFont()), TextKind::Rich);
        }
        EXPECT_EQ(counter.count(), 0);
#if !defined(IRADUDO_SANITIZED)
        EXPECT_EQ(counter.errorOutput(), "");
#endif
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, DamagedPicturesTest, ::testing::ValuesIn(kSources), [](const ::testing::TestParamInfo<Source>& info) {
        std::string name = info.param.name;
        for (char& c : name) {
            if (c == '.')
                c = '_';
        }
        return name;
    });
