// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/directory_source.h"
#include "browser/listing.h"
#include "platform/linux_platform.h"

#include "support/temp_dir.h"
#include "support/test_drives.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace iradudo;
using namespace iradudo::test;
namespace fs = std::filesystem;

TEST(ListingRules, ExtensionIsFromTheLastDotUnlessAPathFollows)
{
    EXPECT_EQ(upperExtension("archive.lha"), ".LHA");
    EXPECT_EQ(upperExtension("a.b.Readme"), ".README");
    EXPECT_EQ(upperExtension("noext"), "");
    EXPECT_EQ(upperExtension("dir.x\\file"), "");
    EXPECT_EQ(upperExtension("d.x:y"), "");
    EXPECT_EQ(upperExtension("[PICS.GIF]"), ".GIF]");
    EXPECT_EQ(upperExtension("caf\xE9.t\xE9xt"), ".T\xE9XT");  // only a..z change
}

TEST(ListingRules, IconsByExtension)
{
    EXPECT_EQ(fileTypeIcon("[PICS.GIF]"), IconDirectory);
    EXPECT_EQ(fileTypeIcon("[..]"), IconDirectory);
    EXPECT_EQ(fileTypeIcon("disk.README"), IconText);
    for (const char* name : {"a.txt", "a.REA", "a.doc"})
        EXPECT_EQ(fileTypeIcon(name), IconText) << name;
    for (const char* name : {"a.gif", "a.IFF", "a.jpg", "a.jpeg"})
        EXPECT_EQ(fileTypeIcon(name), IconPicture) << name;
    for (const char* name : {"a.htm", "a.HTML"})
        EXPECT_EQ(fileTypeIcon(name), IconHypertext) << name;
    for (const char* name : {"a.lha", "a.bmp", "a.info", "README", "a.txt.", "a.gifs"})
        EXPECT_EQ(fileTypeIcon(name), IconFile) << name;
}

TEST(ListingRules, CompanionDropsTheLastFourCharacters)
{
    EXPECT_EQ(companionName("ARCHIVE.LHA"), "ARCHIVE.README");
    EXPECT_EQ(companionName("PHOTO.JPEG"), "PHOTO..README");
    EXPECT_EQ(companionName("DISK.README"), "DISK.RE.README");
    EXPECT_EQ(companionName("A.GZ"), ".README");
    EXPECT_EQ(companionName("[..]"), ".README");
}

TEST(ListingRules, CommentIsTheFirstLineLessSixCharactersTrimmed)
{
    EXPECT_EQ(companionComment("Short:   A game\nAuthor: me\n"), "A game");
    EXPECT_EQ(companionComment("Short:   A game  \r\nAuthor"), "A game");
    EXPECT_EQ(companionComment("Short:\tCR only\rnext"), "CR only");
    EXPECT_EQ(companionComment("Short:"), "");
    EXPECT_EQ(companionComment("Short"), "");
    EXPECT_EQ(companionComment(""), "");
    EXPECT_EQ(companionComment("\nShort: second line"), "");
    EXPECT_EQ(companionComment(std::string("Short: cut\0here\n", 16)), "cut");
    EXPECT_EQ(companionComment("XXXXXXno blank"), "no blank");
}

TEST(ListingRules, CommentIsLatin1UnlessItIsMultibyteUtf8)
{
    EXPECT_EQ(companionComment("Short: Perch\xE9 no"), "Perch\xC3\xA9 no");
    EXPECT_EQ(companionComment("Short: Citt\xC3\xA0 ideale"), "Citt\xC3\xA0 ideale");
    // Six characters, not six bytes, when the line is UTF-8.
    EXPECT_EQ(companionComment("\xC3\xA0\xC3\xA0\xC3\xA0\xC3\xA0\xC3\xA0\xC3\xA0 r\xC3\xA9sum\xC3\xA9"),
        "r\xC3\xA9sum\xC3\xA9");
}

TEST(ListingRules, StatusAndClickTexts)
{
    Listing listing;
    EXPECT_EQ(listing.statusText(), "0 elementi, 0 bytes totali");
    listing.items.resize(2);
    listing.totalBytes = 5368709120;  // 5 GiB
    EXPECT_EQ(listing.statusText(), "2 elementi, 5368709120 bytes totali");
    ListingItem file;
    file.size = 1234;
    EXPECT_EQ(itemClickText(file), "1234 bytes");
    EXPECT_FALSE(itemClickText(ListingItem{}));
    EXPECT_STREQ(infoToggleCaption(0), "Nascondi .info");
    EXPECT_STREQ(infoToggleCaption(1), "Mostra .info");
}

namespace {

class ListingTest : public ::testing::Test {
protected:
    ListingTest()
    {
        platform = std::make_unique<LinuxPlatform>(
            DriveTable({makeDrive('D', DriveCdRom, disc.path(), "DISC")}), std::make_shared<RecordingLauncher>());
        platform->setCurrentDirectory("D:\\");
        source = std::make_unique<DirectorySource>(*platform);
    }

    Listing list(const std::string& directory, bool showInfo = false)
    {
        source->directoryList().setDirectory(directory);
        return buildListing(source->fileList(), *platform, showInfo);
    }

    const ListingItem* item(const Listing& listing, const std::string& caption)
    {
        for (const ListingItem& i : listing.items) {
            if (i.caption == caption)
                return &i;
        }
        return nullptr;
    }

    WorkingDirectoryGuard cwdGuard;
    TempDir disc;
    std::unique_ptr<LinuxPlatform> platform;
    std::unique_ptr<DirectorySource> source;
};

}  // namespace

TEST_F(ListingTest, EmptyRootAndEmptySubdirectory)
{
    disc.makeDir("Empty");
    EXPECT_EQ(buildListing(source->fileList(), *platform, false).statusText(), "1 elementi, 0 bytes totali");

    const Listing sub = list("[Empty]");
    ASSERT_EQ(sub.items.size(), 2u);
    EXPECT_EQ(sub.items[0].caption, "[..]");
    EXPECT_EQ(sub.items[0].imageIndex, IconDirectory);
    EXPECT_FALSE(sub.items[0].size);
    EXPECT_EQ(sub.statusText(), "2 elementi, 0 bytes totali");
}

TEST_F(ListingTest, EmptyDiscListsNothing)
{
    EXPECT_EQ(buildListing(source->fileList(), *platform, false).statusText(), "0 elementi, 0 bytes totali");
}

TEST_F(ListingTest, AminetDirectoryWithCompanions)
{
    disc.writeFile("Games/ARCHIVE.LHA", std::string(1000, 'x'));
    disc.writeFile("Games/ARCHIVE.README", "Short:   A game\nAuthor: someone\n");
    disc.writeFile("Games/tool.lha", std::string(20, 'y'));
    disc.writeFile("Games/tool.readme", "Short: lower-case companion\n");  // found from "tool.README"
    disc.writeFile("Games/PHOTO.JPEG", "jpeg");
    disc.writeFile("Games/PHOTO.README", "Short: not mine\n");
    disc.writeFile("Games/Short.lha", "s");
    disc.writeFile("Games/Short.README", "Short:\n");
    disc.writeFile("Games/ICON.INFO", "i");
    disc.writeFile("Games/icon.info", "i");
    disc.makeDir("Games/PICS.GIF");

    const Listing hidden = list("[Games]");
    EXPECT_EQ(item(hidden, "ICON.INFO"), nullptr);
    EXPECT_EQ(item(hidden, "icon.info"), nullptr);
    const ListingItem* archive = item(hidden, "ARCHIVE.LHA");
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(archive->comment, "A game");
    EXPECT_EQ(archive->size, 1000);
    EXPECT_EQ(archive->imageIndex, IconFile);
    EXPECT_EQ(item(hidden, "tool.lha")->comment, "lower-case companion");
    EXPECT_EQ(item(hidden, "PHOTO.JPEG")->comment, "");
    EXPECT_EQ(item(hidden, "PHOTO.JPEG")->imageIndex, IconPicture);
    EXPECT_EQ(item(hidden, "Short.lha")->comment, "");
    EXPECT_EQ(item(hidden, "ARCHIVE.README")->imageIndex, IconText);
    const ListingItem* pics = item(hidden, "[PICS.GIF]");
    ASSERT_NE(pics, nullptr);
    EXPECT_EQ(pics->imageIndex, IconDirectory);
    EXPECT_FALSE(pics->size);
    // [..], [.], [PICS.GIF] and eight files: 1000+32 + 20+28 + 4+16 + 1+7 bytes.
    EXPECT_EQ(hidden.statusText(), "11 elementi, 1108 bytes totali");

    const Listing shown = buildListing(source->fileList(), *platform, true);
    ASSERT_NE(item(shown, "ICON.INFO"), nullptr);
    EXPECT_EQ(item(shown, "icon.info")->imageIndex, IconFile);
    EXPECT_EQ(shown.statusText(), "13 elementi, 1110 bytes totali");
}

TEST_F(ListingTest, ZeroLengthCompanionGivesEmptyCommentAndTheListingGoesOn)
{
    disc.writeFile("A.lha", "aa");
    disc.writeFile("A.readme", "");
    disc.writeFile("B.lha", "bbb");
    disc.writeFile("B.readme", "Short: after the empty one\n");
    const Listing listing = buildListing(source->fileList(), *platform, false);
    ASSERT_EQ(listing.items.size(), 4u);
    EXPECT_EQ(item(listing, "A.lha")->comment, "");
    EXPECT_EQ(item(listing, "B.lha")->comment, "after the empty one");
    EXPECT_EQ(listing.statusText(), "4 elementi, 32 bytes totali");
}

TEST_F(ListingTest, SizesAboveTwoGigabytesStayExact)
{
    const fs::path big = disc.writeFile("huge.iso", "");
    fs::resize_file(big, (5ull << 30) + 7);  // sparse
    disc.writeFile("small.txt", "12345");
    const Listing listing = buildListing(source->fileList(), *platform, false);
    EXPECT_EQ(item(listing, "huge.iso")->size, (std::int64_t(5) << 30) + 7);
    EXPECT_EQ(listing.totalBytes, (std::int64_t(5) << 30) + 12);
    EXPECT_EQ(itemClickText(*item(listing, "huge.iso")), "5368709127 bytes");
}

TEST_F(ListingTest, VanishedEntryIsListedWithoutSize)
{
    disc.writeFile("gone.lha", "gone");
    disc.writeFile("stays.lha", "st");
    FileList& files = source->fileList();
    ASSERT_EQ(files.count(), 2);
    fs::remove(disc.path() / "gone.lha");
    const Listing listing = buildListing(files, *platform, false);
    ASSERT_EQ(listing.items.size(), 2u);
    EXPECT_FALSE(item(listing, "gone.lha")->size);
    EXPECT_FALSE(itemClickText(*item(listing, "gone.lha")));
    EXPECT_EQ(listing.statusText(), "2 elementi, 2 bytes totali");
}

TEST_F(ListingTest, NonUtf8NamesAndCompanionsAreListed)
{
    disc.writeFile("Caff\xE8.lha", "abc");
    disc.writeFile("CAFF\xE8.readme", "Short: Macchina per l'espresso \xE8 buona\n");
    const Listing listing = buildListing(source->fileList(), *platform, false);
    const ListingItem* coffee = item(listing, "Caff\xE8.lha");
    ASSERT_NE(coffee, nullptr);
    EXPECT_EQ(coffee->size, 3);
    // "CAFF\xE8" differs from "Caff\xE8" in ASCII letters only: the lookup finds it.
    EXPECT_EQ(coffee->comment, "Macchina per l'espresso \xC3\xA8 buona");
}

TEST_F(ListingTest, CompanionThatIsADirectoryOrAmbiguousGivesNoComment)
{
    disc.writeFile("x.lha", "x");
    disc.makeDir("x.README");
    disc.writeFile("y.lha", "y");
    disc.writeFile("y.readme", "Short: one\n");
    disc.writeFile("y.Readme", "Short: two\n");
    const Listing listing = buildListing(source->fileList(), *platform, false);
    EXPECT_EQ(item(listing, "x.lha")->comment, "");
    EXPECT_EQ(item(listing, "y.lha")->comment, "");
}

TEST_F(ListingTest, ExactCompanionWinsOverNamesThatDifferOnlyInCase)
{
    disc.writeFile("z.lha", "z");
    disc.writeFile("z.readme", "Short: lower\n");
    disc.writeFile("z.README", "Short: exact\n");
    const Listing listing = buildListing(source->fileList(), *platform, false);
    EXPECT_EQ(item(listing, "z.lha")->comment, "exact");
}

TEST_F(ListingTest, ThousandsOfSimilarNamesEachFindTheirOwnCompanion)
{
    constexpr int kArchives = 3000;
    for (int i = 0; i < kArchives; ++i) {
        const std::string stem = "Disk" + std::to_string(i);
        disc.writeFile(stem + ".lha", "x");
        disc.writeFile(stem + (i % 2 ? ".readme" : ".ReadMe"), "Short: number " + std::to_string(i) + "\n");
    }
    const Listing listing = buildListing(source->fileList(), *platform, false);
    ASSERT_EQ(listing.items.size(), 2u * kArchives);
    for (int i = 0; i < kArchives; i += 7)
        EXPECT_EQ(item(listing, "Disk" + std::to_string(i) + ".lha")->comment, "number " + std::to_string(i));
}

TEST_F(ListingTest, ListingDoesNotRereadTheDirectory)
{
    disc.writeFile("a.txt", "a");
    FileList& files = source->fileList();
    ASSERT_EQ(files.count(), 1);
    disc.writeFile("b.txt", "b");
    EXPECT_EQ(buildListing(files, *platform, false).items.size(), 1u);
}

TEST_F(ListingTest, OverlongUtf8CommentIsCutBetweenCharacters)
{
    // 2-byte "è" from the 7th byte on: the 64 KiB cap falls inside one unless
    // the cut backs off to a character boundary.
    std::string line = "Short: x";
    while (line.size() < 70000)
        line += "\xC3\xA8";
    for (const int lead : {0, 1}) {
        const std::string name = "long" + std::to_string(lead);
        disc.writeFile(name + ".lha", "x");
        disc.writeFile(name + ".readme", line.substr(lead) + "\n");
    }
    const Listing listing = buildListing(source->fileList(), *platform, false);
    for (const char* name : {"long0.lha", "long1.lha"}) {
        const std::string& comment = item(listing, name)->comment;
        SCOPED_TRACE(name);
        ASSERT_GT(comment.size(), 60000u);
        EXPECT_EQ(comment.substr(comment.size() - 2), "\xC3\xA8") << "still UTF-8, not Latin-1 mojibake";
        EXPECT_EQ(comment.find("\xC3\x83"), std::string::npos);
    }
}

TEST_F(ListingTest, DanglingAndLoopingLinksAreListedWithoutSize)
{
    disc.writeFile("real.lha", "1234");
    fs::create_symlink("real.lha", disc.path() / "good.lha");
    fs::create_symlink("nowhere.lha", disc.path() / "dangling.lha");
    fs::create_symlink("loop.lha", disc.path() / "loop.lha");
    const Listing listing = buildListing(source->fileList(), *platform, false);
    ASSERT_EQ(listing.items.size(), 4u);
    EXPECT_EQ(item(listing, "good.lha")->size, 4);
    for (const char* name : {"dangling.lha", "loop.lha"}) {
        ASSERT_NE(item(listing, name), nullptr) << name;
        EXPECT_FALSE(item(listing, name)->size) << name;
    }
    EXPECT_EQ(listing.statusText(), "4 elementi, 8 bytes totali");
}
