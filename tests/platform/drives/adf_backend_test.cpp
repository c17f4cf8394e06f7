// SPDX-License-Identifier: GPL-3.0-or-later
// Drive A: on an Amiga disk file, browsed through the platform; what it lists and
// reads is what Debian's unadf lists and extracts from the same image.
#include "base/file_handle.h"
#include "platform/amiga_disk.h"
#include "platform/linux_platform.h"
#include "support/amiga_disks.h"
#include "support/floppy_platform.h"
#include "support/temp_dir.h"
#include "support/test_drives.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

using namespace iradudo;
using namespace iradudo::test;
namespace fs = std::filesystem;

namespace {

class AmigaDiskDrive : public FloppyPlatformTest {
protected:
    void SetUp() override
    {
        if (!unadfAvailable())
            GTEST_SKIP() << "unadf is not installed";
        const fs::path seed = fs::path(IRADUDO_SOURCE_DIR) / "tests/platform/drives/data/fuzz-adf/ffs-intl-drawer-file";
        image = dir.writeFile("Disco.adf", amigaImageFromChunks(readFile(seed))).string();
        writeAmigaDiskFile(image, "Perch\xE9.txt", "latin-1", "Un perch\xE9");
        writeAmigaDiskFile(image, "Vuoto", "", "");
        host = dir.makeDir("host");
        makePlatform(image);
    }
};

TEST_F(AmigaDiskDrive, ListsAndReadsWhatUnadfFinds)
{
    const UnadfListing oracle = unadfList(image);
    ASSERT_EQ(oracle.entries.size(), 4u);
    for (const UnadfEntry& entry : oracle.entries) {
        SCOPED_TRACE(entry.path);
        const std::size_t slash = entry.path.rfind('/');
        std::string dosDirectory = "A:\\";
        if (slash != std::string::npos)
            dosDirectory += entry.path.substr(0, slash);
        const std::string name = slash == std::string::npos ? entry.path : entry.path.substr(slash + 1);
        const std::map<std::string, FileEntry> listed = listing(dosDirectory);
        ASSERT_TRUE(listed.count(name));
        EXPECT_EQ(listed.at(name).isDirectory(), entry.directory);
        EXPECT_EQ(listed.at(name).size, entry.size);
        if (!entry.directory) {
            std::string dosPath = "A:\\" + entry.path;
            std::replace(dosPath.begin(), dosPath.end(), '/', '\\');
            EXPECT_EQ(bytesOf(dosPath), unadfExtract(image, entry.path, dir.path()));
        }
    }
    EXPECT_EQ(listing("A:\\Cassetto").count(".."), 1u);
    EXPECT_EQ(platform->volumeLabel('A'), "Seme");
}

// The disk is international: Latin-1 letters match in either case, as on the Amiga.
TEST_F(AmigaDiskDrive, NamesAreFoundWithoutRegardToCase)
{
    const struct {
        std::string path;
        std::string stored;  // empty: none
    } cases[] = {
        {"A:\\cassetto\\LEGGIMI.TXT", "Leggimi.txt"},
        {"A:\\PERCH\xC9.TXT", "Perch\xE9.txt"},
        {"A:\\Cassetto\\Leggimi.tx", ""},
        {"A:\\Vuoto\\x", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const std::optional<FileEntry> entry = platform->findEntry(c.path);
        EXPECT_EQ(entry.has_value(), !c.stored.empty());
        if (entry) {
            EXPECT_EQ(entry->name, c.stored);
        }
    }
    platform->setCurrentDirectory("A:\\CASSETTO");
    EXPECT_EQ(bytesOf("leggimi.txt").size(), 900u);
}

TEST_F(AmigaDiskDrive, ACopyToTheDiskShowsAtOnce)
{
    EXPECT_FALSE(listing("A:\\").count("Nuovo.lha"));
    writeAmigaDiskFile(image, "Nuovo.lha", "nuovo", "");
    EXPECT_EQ(bytesOf("A:\\Nuovo.lha"), "nuovo");
}

TEST_F(AmigaDiskDrive, StartedFilesAreOpenedFromACopy)
{
    platform->setCurrentDirectory("A:\\Cassetto");
    ASSERT_TRUE(platform->runCommandLine("Start Leggimi.txt"));
    ASSERT_EQ(launcher->calls.size(), 1u);
    const fs::path copies = launcher->calls[0].workingDirectory;
    EXPECT_EQ(readFile(copies / "Leggimi.txt"), unadfExtract(image, "Cassetto/Leggimi.txt", dir.path()));
}

TEST_F(AmigaDiskDrive, AFileThatIsNoAmigaDiskIsADriveWithoutDisk)
{
    for (const std::string& content : {std::string(901120, '\0'), std::string("DOS"), std::string(737280, 'x')}) {
        const std::string bad = dir.writeFile("bad.adf", content).string();
        makePlatform(bad);
        EXPECT_FALSE(platform->findEntry("A:\\Cassetto"));
        EXPECT_EQ(platform->volumeLabel('A'), "");
        EXPECT_EQ(amigaVolumeName(bad), "");
    }
    EXPECT_EQ(amigaVolumeName(image), "Seme");
}

TEST(AmigaDiskNames, WhatTheAmigaCanHold)
{
    struct Case {
        std::string utf8;
        std::string amiga;  // empty: refused
    } cases[] = {
        {"Gioco.lha", "Gioco.lha"},
        {"Perch\xC3\xA9.txt", "Perch\xE9.txt"},
        {std::string(30, 'n'), std::string(30, 'n')},
        {std::string(31, 'n'), ""},
        {"a/b", ""},
        {"a:b", ""},
        {"\xE2\x82\xAC", ""},  // the euro sign is not Latin-1
        {"\xE9t\xE9", ""},     // Latin-1 bytes are no UTF-8
        {"tab\there", ""},
        {"", ""},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.utf8);
        if (test.amiga.empty()) {
            EXPECT_THROW(amigaNameFromUtf8(test.utf8), AmigaDiskError);
        } else {
            EXPECT_EQ(amigaNameFromUtf8(test.utf8), test.amiga);
        }
    }
    for (const auto& [path, amiga] :
        std::initializer_list<std::pair<const char*, bool>>{{"disk.adf", true}, {"/x/DISK.ADF", true}, {"a.Adf", true},
            {"adf", false}, {"a.adz", false}, {"a.img", false}, {"x.adf/", false}}) {
        EXPECT_EQ(isAmigaDiskPath(path), amiga) << path;
    }
}

}  // namespace
