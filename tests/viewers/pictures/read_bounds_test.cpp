// SPDX-License-Identifier: GPL-3.0-or-later
// Every picture and text format refuses a file just over its bound before reading
// it: a sparse file of that size fails with the format's own message and the load
// allocates nothing near the file's size.
#include "viewers/pictures/bitmap.h"
#include "viewers/pictures/gif_bitmap.h"
#include "viewers/pictures/icon.h"
#include "viewers/pictures/jpeg_image.h"
#include "viewers/pictures/metafile.h"
#include "viewers/text/text_fill.h"

#include "support/memory_probe.h"
#include "support/temp_dir.h"

#include <QFont>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <memory>
#include <unistd.h>

namespace {

struct Bound {
    const char* name;
    std::size_t size;    // the largest file the format reads
    std::string prefix;  // the file's first bytes, the rest is a hole
    std::function<void(const std::string&)> load;
    std::string message;  // "%s" stands for the file's name
};

template <class T>
std::function<void(const std::string&)> graphicLoad()
{
    return [](const std::string& file) {
        T graphic;
        graphic.LoadFile(file);
    };
}

std::function<void(const std::string&)> textLoad()
{
    return [](const std::string& file) { iradudo::TextFill fill(file, QFont()); };
}

const std::size_t kGeneral = iradudo::kMaxPictureFileSize;

std::vector<Bound> bounds()
{
    return {
        {"ico", TIcon().MaxFileSize(), std::string("\0\0\1\0\1\0", 6), graphicLoad<TIcon>(), "Icon image is not valid"},
        {"gif", TGifBitmap().MaxFileSize(), "GIF89a", graphicLoad<TGifBitmap>(), "Bad bitmap"},
        {"wmf", TMetafile().MaxFileSize(), std::string("\1\0\x09\0\0\3", 6), graphicLoad<TMetafile>(),
            "Metafile is not valid"},
        {"emf", TMetafile().MaxFileSize(), std::string("\1\0\0\0", 4), graphicLoad<TMetafile>(),
            "Metafile is not valid"},
        // Bitmaps and JPEG files may be as large as the general bound allows.
        {"bmp", kGeneral, "BM", graphicLoad<TBitmap>(), "Cannot open file %s"},
        {"jpg", kGeneral, "\xFF\xD8\xFF", graphicLoad<TJPEGImage>(), "Cannot open file %s"},
        {"txt", iradudo::kMaxTextFileSize, "Testo semplice\r\n", textLoad(), "Failed to Load Stream"},
        {"rtf", iradudo::kMaxRichTextFileSize, "{\\rtf1\\ansi ", textLoad(), "Failed to Load Stream"},
    };
}

}  // namespace

TEST(ReadBounds, FileJustOverTheBoundFailsWithTheFormatsMessageAndAllocatesNothing)
{
    iradudo::test::TempDir dir;
    for (const Bound& bound : bounds()) {
        SCOPED_TRACE(bound.name);
        EXPECT_LE(bound.size, kGeneral);
        const std::string file = dir.writeFile(std::string("over.") + bound.name, bound.prefix).string();
        const int fd = ::open(file.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, off_t(bound.size + 1)), 0);
        ::close(fd);

        std::string message = bound.message;
        if (const std::size_t at = message.find("%s"); at != std::string::npos)
            message.replace(at, 2, file);
        try {
            bound.load(file);
            ADD_FAILURE() << "loaded";
        } catch (const std::exception& error) {
            EXPECT_EQ(std::string(error.what()), message);
        }
#if !defined(__SANITIZE_ADDRESS__)
        EXPECT_EQ(iradudo::test::peakGrowthAbove(4 * 1024,
                      [&] {
                          try {
                              bound.load(file);
                          } catch (const std::exception&) {
                          }
                      }),
            0);
#endif
        std::filesystem::remove(file);
    }
}
