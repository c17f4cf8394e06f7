// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/picture_data.h"

#include "viewers/pictures/bitmap.h"
#include "viewers/pictures/file_formats.h"
#include "viewers/pictures/gif_bitmap.h"
#include "viewers/pictures/icon.h"
#include "viewers/pictures/jpeg_image.h"
#include "viewers/pictures/metafile.h"
#include "viewers/pictures/picture.h"
#include "viewers/pictures/picture_formats.h"

#include "support/non_regular_files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

using iradudo::test::pictureFile;

namespace {

class PictureFormats : public ::testing::Environment {
public:
    void SetUp() override { iradudo::initialisePictureFormats(24); }
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new PictureFormats);

std::string loadError(const std::string& fileName)
{
    TPicture picture;
    try {
        picture.LoadFile(fileName);
    } catch (const Exception& error) {
        return error.what();
    }
    return "(loaded)";
}

struct Recorded {
    std::vector<std::string> extensions;
    std::vector<std::string> descriptions;
    std::vector<TGraphicClass> classes;
};

Recorded record(const TFileFormatsList& list)
{
    Recorded r;
    for (const auto& entry : list.Entries()) {
        r.extensions.push_back(entry.extension);
        r.descriptions.push_back(entry.description);
        r.classes.push_back(entry.graphicClass);
    }
    return r;
}

TEST(FileFormats, StartUpRegistersInOrder)
{
    const Recorded r = record(iradudo::fileFormats());
    EXPECT_EQ(r.extensions, (std::vector<std::string>{"wmf", "emf", "ico", "bmp", "gif", "jpeg", "jpg"}));
    EXPECT_EQ(r.descriptions,
        (std::vector<std::string>{"Metafiles", "Enhanced Metafiles", "Icons", "Bitmaps", "GIF-Format",
            "JPEG Image File", "JPEG Image File"}));
    EXPECT_EQ(r.classes,
        (std::vector<TGraphicClass>{graphicClassOf<TMetafile>(), graphicClassOf<TMetafile>(), graphicClassOf<TIcon>(),
            graphicClassOf<TBitmap>(), graphicClassOf<TGifBitmap>(), graphicClassOf<TJPEGImage>(),
            graphicClassOf<TJPEGImage>()}));
    EXPECT_EQ(iradudo::fileFormats().FindExtension("WMF"), graphicClassOf<TMetafile>());
    EXPECT_EQ(iradudo::fileFormats().FindExtension("Emf"), graphicClassOf<TMetafile>());
    EXPECT_EQ(iradudo::fileFormats().FindExtension("iff"), nullptr);
}

TEST(FileFormats, ShutdownRemovesOnlyTheJpegEntries)
{
    iradudo::finalisePictureFormats();
    EXPECT_EQ(record(iradudo::fileFormats()).extensions, (std::vector<std::string>{"wmf", "emf", "ico", "bmp", "gif"}));
    EXPECT_EQ(loadError(pictureFile("photo.jpg")), "Unknown picture file extension (.jpg)");
    TPicture::RegisterFormat("jpeg", "JPEG Image File", graphicClassOf<TJPEGImage>());
    TPicture::RegisterFormat("jpg", "JPEG Image File", graphicClassOf<TJPEGImage>());
}

TEST(FileFormats, LookupIgnoresCaseAndPrefersTheLastEntry)
{
    TFileFormatsList list;
    EXPECT_EQ(list.FindExtension("BMP"), graphicClassOf<TBitmap>());
    EXPECT_EQ(list.FindExtension("Ico"), graphicClassOf<TIcon>());
    list.Add("BMP", "Other bitmaps", graphicClassOf<TJPEGImage>());
    EXPECT_EQ(list.Entries().back().extension, "bmp");
    EXPECT_EQ(list.FindExtension("bmp"), graphicClassOf<TJPEGImage>());
    list.Remove(graphicClassOf<TJPEGImage>());
    EXPECT_EQ(list.FindExtension("bmp"), graphicClassOf<TBitmap>());
    EXPECT_EQ(list.FindExtension(""), nullptr);
    EXPECT_EQ(list.FindExtension("bm"), nullptr);
}

TEST(FileFormats, LowerCasingFollowsIso88591)
{
    EXPECT_EQ(iradudo::latin1Lower("\xC4\xC9\xDE\xD7Z\xE4"), "\xE4\xE9\xFE\xD7z\xE4");
    TFileFormatsList list;
    list.Add("\xC4PF", "Accented", graphicClassOf<TBitmap>());
    EXPECT_EQ(list.Entries().back().extension, "\xE4pf");
    EXPECT_EQ(list.FindExtension("\xE4Pf"), graphicClassOf<TBitmap>());
    list.Add("\xD7", "Times sign", graphicClassOf<TIcon>());
    EXPECT_EQ(list.FindExtension("\xF7"), nullptr);
}

TEST(FileFormats, ExtensionRunsFromTheLastDotUnlessASeparatorFollows)
{
    EXPECT_EQ(iradudo::pictureExtension("PIC.IFF"), "IFF");
    EXPECT_EQ(iradudo::pictureExtension("a.b.Gif"), "Gif");
    EXPECT_EQ(iradudo::pictureExtension("[PICS]"), "");
    EXPECT_EQ(iradudo::pictureExtension("[..]"), "]");
    EXPECT_EQ(iradudo::pictureExtension("A.B\\NAME"), "");
    EXPECT_EQ(iradudo::pictureExtension("C:.X:Y"), "");
    EXPECT_EQ(iradudo::pictureExtension("dir.d/name"), "");
    EXPECT_EQ(iradudo::pictureExtension("NAME."), "");
}

TEST(PictureLoadFile, UnknownExtensionKeepsTheNamesCase)
{
    EXPECT_EQ(loadError("PIC.IFF"), "Unknown picture file extension (.IFF)");
    EXPECT_EQ(loadError("pic.iff"), "Unknown picture file extension (.iff)");
    EXPECT_EQ(loadError("[PICS]"), "Unknown picture file extension (.)");
    EXPECT_EQ(loadError("[..]"), "Unknown picture file extension (.])");
    EXPECT_EQ(loadError("A.B\\NAME"), "Unknown picture file extension (.)");
}

TEST(PictureLoadFile, MissingFileOrDirectoryCannotBeOpened)
{
    iradudo::test::TempDir dir;
    const std::string missing = (dir.path() / "NOTHERE.GIF").string();
    EXPECT_EQ(loadError(missing), "Cannot open file " + missing);
    const std::string folder = dir.makeDir("FOLDER.JPG").string();
    EXPECT_EQ(loadError(folder), "Cannot open file " + folder);
}

TEST(PictureLoadFile, PipesAndDevicesNamedLikePicturesFailAtOnceForEveryClass)
{
    iradudo::test::TempDir dir;
    for (const char* extension : {".gif", ".JPG", ".jpeg", ".bmp", ".ico"}) {
        for (const std::string& path : iradudo::test::makeNonRegularFiles(dir, extension)) {
            const std::optional<std::string> message
                = iradudo::test::resultWithin(iradudo::test::kBlockingLimit, [path] { return loadError(path); });
            EXPECT_EQ(message.value_or("blocked"), "Cannot open file " + path);
        }
    }
}

TEST(PictureLoadFile, CaseOfTheExtensionDoesNotMatter)
{
    iradudo::test::TempDir dir;
    const std::string gif = iradudo::test::readFile(pictureFile("picture.gif"));
    for (const char* name : {"PIC.GIF", "Pic.Gif", "pic.gif"}) {
        TPicture picture;
        picture.LoadFile(dir.writeFile(name, gif).string());
        ASSERT_NE(picture.Graphic(), nullptr) << name;
        EXPECT_NE(dynamic_cast<TGifBitmap*>(picture.Graphic()), nullptr) << name;
        EXPECT_EQ(picture.Width(), 45);
        EXPECT_EQ(picture.Height(), 29);
    }
    const std::string jpeg = iradudo::test::readFile(pictureFile("photo.jpg"));
    for (const char* name : {"PIC.JPEG", "PIC.JPG"}) {
        TPicture picture;
        picture.LoadFile(dir.writeFile(name, jpeg).string());
        EXPECT_NE(dynamic_cast<TJPEGImage*>(picture.Graphic()), nullptr) << name;
    }
    TPicture bitmap;
    bitmap.LoadFile(dir.writeFile("PIC.BMP", iradudo::test::readFile(pictureFile("indexed.bmp"))).string());
    EXPECT_NE(dynamic_cast<TBitmap*>(bitmap.Graphic()), nullptr);
    EXPECT_EQ(dynamic_cast<TGifBitmap*>(bitmap.Graphic()), nullptr);
}

TEST(PictureLoadFile, NamesThatAreNotUtf8LoadAndAreReportedAsTheyAre)
{
    iradudo::test::TempDir dir;
    const std::string name = dir.writeFile("B\xC4R.G\xCF"
                                           "F",
                                    "")
                                 .string();
    EXPECT_EQ(loadError(name),
        "Unknown picture file extension (.G\xCF"
        "F)");
    const std::string gif = dir.writeFile("B\xC4R.gif", iradudo::test::readFile(pictureFile("picture.gif"))).string();
    TPicture picture;
    picture.LoadFile(gif);
    EXPECT_EQ(picture.Width(), 45);
    const std::string missing = (dir.path() / "N\xD6.JPG").string();
    EXPECT_EQ(loadError(missing), "Cannot open file " + missing);
}

TEST(PictureLoadFile, FailureKeepsThePreviousGraphicAndSaysNothing)
{
    TPicture picture;
    int changes = 0;
    picture.SetOnChange([&changes](TPicture&) { ++changes; });
    picture.LoadFile(pictureFile("picture.gif"));
    EXPECT_EQ(changes, 1);
    TGraphic* const before = picture.Graphic();
    const QImage pixels = before->Image();

    for (const char* bad : {"bitmap.gif", "extension.gif", "text.jpg", "short.bmp", "nothere.gif", "x.iff"}) {
        EXPECT_THROW(picture.LoadFile(pictureFile(bad)), Exception) << bad;
        EXPECT_EQ(picture.Graphic(), before) << bad;
    }
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(picture.Graphic()->Image(), pixels);

    picture.LoadFile(pictureFile("indexed.bmp"));
    EXPECT_EQ(changes, 2);
    EXPECT_NE(picture.Graphic(), before);
}

TEST(PictureLoadFile, GraphicChangesReachThePictureOwner)
{
    TPicture picture;
    std::vector<std::pair<int, int>> sizes;
    std::vector<int> progress;
    picture.SetOnChange([&sizes](TPicture& p) { sizes.emplace_back(p.Width(), p.Height()); });
    picture.SetOnProgress([&progress](TPicture&, int percent) { progress.push_back(percent); });
    picture.LoadFile(pictureFile("photo.jpg"));
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(sizes[0], std::make_pair(97, 61));
    picture.Graphic()->Decode();
    EXPECT_EQ(sizes.size(), 2u);
    // Reports are at most twice a second, the first one straight away.
    ASSERT_FALSE(progress.empty());
    EXPECT_GT(progress.front(), 0);
    EXPECT_LE(progress.back(), 100);
}

}  // namespace
