// SPDX-License-Identifier: GPL-3.0-or-later
// Runs iradudo-cli's drives, list and copy-to-floppy commands.
#include "platform/run_program.h"
#include "support/cli_runner.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <filesystem>

#include <gtest/gtest.h>
#include <spawn.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace iradudo::test;
namespace fs = std::filesystem;

namespace {

using Result = CliResult;

const std::string demo = IRADUDO_SOURCE_DIR "/demo";

// The line of the drives listing whose root is the given directory.
std::string driveLineFor(const std::string& output, const std::string& root)
{
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (line.size() > root.size() && line.compare(line.size() - root.size(), root.size(), root) == 0
            && line[line.size() - root.size() - 1] == '\t')
            return line;
    }
    return {};
}

}  // namespace

TEST(CliDrives, DiscDirectoriesAreCdRomDrivesInOrder)
{
    TempDir second;
    const std::string secondRoot = fs::canonical(second.makeDir("Aminet Set 3")).string();
    const Result result = runCli({"--cd", demo, "--cd", secondRoot, "drives"});
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string demoLine = driveLineFor(result.out, fs::canonical(demo).string());
    const std::string secondLine = driveLineFor(result.out, secondRoot);
    ASSERT_FALSE(demoLine.empty()) << result.out;
    ASSERT_FALSE(secondLine.empty()) << result.out;
    const std::string letter(1, demoLine[0]);
    const std::string next(1, static_cast<char>(demoLine[0] + 1));
    EXPECT_EQ(demoLine.substr(0, demoLine.find('\t', 4)), letter + "\t5\t" + letter + ": [DEMO]");
    EXPECT_EQ(secondLine.substr(0, secondLine.find('\t', 4)), next + "\t5\t" + next + ": [AMINET SET 3]");
    EXPECT_NE(result.out.find("C\t3\tC: ["), std::string::npos);
}

TEST(CliDrives, LabelsCannotSplitOrForgeRecords)
{
    TempDir parent;
    const std::string root = fs::canonical(parent.makeDir("Disc\tone\nZ\t5\tZ: [FORGED]\t\\forged")).string();
    const Result result = runCli({"--cd", root, "drives"});
    ASSERT_EQ(result.status, 0) << result.err;
    std::string escapedRoot;
    for (const char c : root)
        escapedRoot += c == '\t' ? std::string("\\t")
            : c == '\n'          ? std::string("\\n")
            : c == '\\'          ? std::string("\\\\")
                                 : std::string(1, c);
    std::istringstream lines(result.out);
    bool found = false;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 3) << line;
        EXPECT_NE(line.substr(0, 2), "Z\t") << result.out;
        found = found || line.ends_with("\t" + escapedRoot);
    }
    EXPECT_TRUE(found) << result.out;
    EXPECT_NE(result.out.find("[DISC\\tONE\\nZ\\t5\\tZ: [FORGED]\\t\\\\FORGED]"), std::string::npos) << result.out;
}

// A --cd or --floppy that cannot be used is named and left out; the command
// still runs on the rest, and the status says something was left out.
TEST(CliArguments, ARefusedDiscOrFloppyStillRunsButFails)
{
    TempDir dir;
    const std::string fifo = (dir.path() / "pipe.img").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = dir.makeDir("folder.img").string();
    const std::string missing = (dir.path() / "none").string();
    const std::string demoRoot = fs::canonical(demo).string();
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string errorNames;  // what the error stream must name; "" for no message
    };
    const Case cases[] = {
        {{"--cd", missing, "--cd", demo, "drives"}, 2, missing},
        {{"--cd", fifo, "--cd", demo, "drives"}, 2, fifo + ": not a directory or a disc image"},
        {{"--cd", demo, "--cd", demo + "/Leggimi.txt", "drives"}, 2, "Leggimi.txt: not a readable disc image"},
        {{"--floppy", fifo, "--cd", demo, "drives"}, 2, fifo + ": not a floppy image or device"},
        {{"--floppy", folder, "--cd", demo, "drives"}, 2, folder + ": not a floppy image or device"},
        {{"--floppy", fifo, "--cd", demo, "list", demo}, 2, fifo + ": not a floppy image or device"},
        {{"--floppy", missing + ".img", "--cd", demo, "drives"}, 0, ""},
        {{"--cd", demo, "drives"}, 0, ""},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& arg : c.args)
            shown += arg + ' ';
        SCOPED_TRACE(shown);
        const Result result = runCli(c.args);
        EXPECT_EQ(result.status, c.status) << result.err;
        if (c.errorNames.empty()) {
            EXPECT_EQ(result.err, "");
        } else {
            EXPECT_NE(result.err.find(c.errorNames), std::string::npos) << result.err;
        }
        // The rest was done: the demo disc is a drive, or its folder is listed.
        if (c.args.back() == "drives") {
            EXPECT_FALSE(driveLineFor(result.out, demoRoot).empty()) << result.out;
            if (c.args[0] == "--floppy" && c.status == 2) {
                EXPECT_NE(result.out.substr(0, 2), "A\t") << result.out;
            }
        } else {
            EXPECT_NE(result.out.find(" elementi, "), std::string::npos) << result.out;
        }
    }
}

TEST(CliList, AminetDirectoryOfTheDemoDisc)
{
    const Result result = runCli({"--cd", demo, "list", demo + "/Giochi"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
        "0\t[..]\t\t\n"
        "0\t[.]\t\t\n"
        "1\tCitta.lha\t907\tCitt\xC3\xA0 ideale \xE2\x80\x93 simulatore urbano\n"
        "2\tCitta.readme\t44\t\n"
        "1\tPerche.lha\t907\tPerch\xC3\xA9 no? Avventura testuale\n"
        "2\tPerche.readme\t38\t\n"
        "1\tScacchi.lha\t3007\tScacchi con motore in assembler\n"
        "2\tScacchi.README\t65\t\n"
        "1\tSenza.lha\t707\t\n"
        "1\tSuperGioco.lha\t2507\tUn gioco di piattaforme a 32 colori\n"
        "2\tSuperGioco.readme\t192\t\n"
        "1\tTetrix.lzx\t1807\tMattoncini che cadono, per AGA\n"
        "2\tTetrix.readme\t186\t\n"
        "1\tVuoto.lha\t407\t\n"
        "2\tVuoto.readme\t0\t\n"
        "15 elementi, 10774 bytes totali\n");
    EXPECT_EQ(result.err, "");
}

TEST(CliList, InfoFilesOnlyWithTheToggle)
{
    const Result hidden = runCli({"--cd", demo, "list", demo});
    const Result shown = runCli({"--cd", demo, "list", demo, "--info"});
    ASSERT_EQ(hidden.status, 0) << hidden.err;
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_EQ(hidden.out.find(".info"), std::string::npos);
    EXPECT_NE(shown.out.find("1\tDisk.info\t124\t\n"), std::string::npos);
    // Latin-1 names print as their ISO-8859-1 reading in UTF-8.
    EXPECT_NE(hidden.out.find("2\tCaff\xC3\xA8.txt\t38\t\n"), std::string::npos);
    EXPECT_NE(hidden.out.find("10 elementi, "), std::string::npos);
    EXPECT_EQ(hidden.out.find("[..]"), std::string::npos);
}

TEST(CliList, DriveLetterPathsWorkLikeHostPaths)
{
    const Result drives = runCli({"--cd", demo, "drives"});
    const std::string line = driveLineFor(drives.out, fs::canonical(demo).string());
    ASSERT_FALSE(line.empty());
    const Result byLetter = runCli({"--cd", demo, "list", std::string{line[0]} + ":\\grafica\\IMMAGINI"});
    const Result byHost = runCli({"--cd", demo, "list", demo + "/Grafica/Immagini"});
    ASSERT_EQ(byLetter.status, 0) << byLetter.err;
    EXPECT_EQ(byLetter.out, byHost.out);
    EXPECT_NE(byLetter.out.find("3\tLogo.gif\t"), std::string::npos);
    EXPECT_NE(byLetter.out.find("1\tSfondo.bmp\t"), std::string::npos);
}

TEST(CliList, ErrorsPrintTheWindowsMessage)
{
    const Result missing = runCli({"--cd", demo, "list", demo + "/NoSuchFolder"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "File not found\n");
    EXPECT_EQ(missing.out, "");

    const Result usage = runCli({"list"});
    EXPECT_EQ(usage.status, 2);
    EXPECT_NE(usage.err.find("usage"), std::string::npos);
}

TEST(CliList, DrawersAreEnteredByTheirNamesOrNotAtAll)
{
    TempDir disc;
    disc.writeFile("top.lha", "top");
    const char* const drawers[] = {"*", "?", "a\\b", "C:dir", "[br]"};
    for (const char* drawer : drawers)
        disc.writeFile(std::string(drawer) + "/inside.txt", drawer);
    const Result drives = runCli({"--cd", disc.path().string(), "drives"});
    const std::string line = driveLineFor(drives.out, fs::canonical(disc.path()).string());
    ASSERT_FALSE(line.empty()) << drives.out;
    for (const char* drawer : drawers) {
        SCOPED_TRACE(drawer);
        const std::string expected = "2\tinside.txt\t" + std::to_string(std::strlen(drawer)) + "\t\n";
        // A DOS path cannot name a drawer with a backslash; a host path can.
        std::vector<std::string> paths = {(disc.path() / drawer).string()};
        if (std::strchr(drawer, '\\') == nullptr)
            paths.push_back(std::string{line[0]} + ":\\" + drawer);
        for (const std::string& path : paths) {
            const Result listed = runCli({"--cd", disc.path().string(), "list", path});
            EXPECT_EQ(listed.status, 0) << listed.err;
            EXPECT_NE(listed.out.find(expected), std::string::npos) << listed.out;
            EXPECT_EQ(listed.out.find("top.lha"), std::string::npos) << listed.out;
        }
    }
    // A pattern that names no drawer is an error, not the parent's listing.
    const Result pattern = runCli({"--cd", disc.path().string(), "list", std::string{line[0]} + ":\\*.lha"});
    EXPECT_EQ(pattern.status, 1);
    EXPECT_EQ(pattern.out, "");
    EXPECT_NE(pattern.err, "");
}

// The demo disc is test data for later work too; keep its promises checked.
TEST(CliList, NamesAndCommentsCannotSplitOrShiftRecords)
{
    TempDir disc;
    disc.writeFile("tab\there.lha", "12");
    disc.writeFile("tab\there.readme", "Short: two\tcolumns \\ here\n");
    disc.writeFile("line\nbreak.lha", "123");
    disc.writeFile("back\\slash.txt", "1");
    const Result result = runCli({"--cd", disc.path().string(), "list", disc.path().string()});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("1\ttab\\there.lha\t2\ttwo\\tcolumns \\\\ here\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("1\tline\\nbreak.lha\t3\t\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("2\tback\\\\slash.txt\t"), std::string::npos) << result.out;
    std::istringstream lines(result.out);
    int records = 0;
    for (std::string line; std::getline(lines, line); ++records) {
        if (line.find(" elementi, ") == std::string::npos) {
            EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 3) << line;
        }
    }
    EXPECT_EQ(records, 5);  // four entries and the status line
}

TEST(DemoDisc, HoldsTheFilesItPromises)
{
    std::uintmax_t total = 0;
    for (const auto& entry : fs::recursive_directory_iterator(demo)) {
        if (entry.is_regular_file())
            total += entry.file_size();
    }
    EXPECT_LT(total, 1024u * 1024u);

    // A GIF without extension blocks: the image descriptor follows the colour table.
    const std::string logo = readFile(demo + "/Grafica/Immagini/Logo.gif");
    ASSERT_GT(logo.size(), 13u);
    const auto flags = static_cast<unsigned char>(logo[10]);
    const std::size_t table = (flags & 0x80) ? 3u << ((flags & 7) + 1) : 0;
    ASSERT_GT(logo.size(), 13 + table);
    EXPECT_EQ(static_cast<unsigned char>(logo[13 + table]), 0x2C);

    EXPECT_EQ(fs::file_size(demo + "/Giochi/Vuoto.readme"), 0u);
    EXPECT_TRUE(fs::exists(demo + "/Caff\xE8.txt"));
    EXPECT_EQ(readFile(demo + "/Note_Amiga.txt").find('\n'), std::string::npos);
    EXPECT_NE(readFile(demo + "/Note_DOS.txt").find("\r\n"), std::string::npos);
    EXPECT_EQ(readFile(demo + "/Lettera.rtf").substr(0, 6), "{\\rtf1");
    EXPECT_EQ(readFile(demo + "/Grafica/Immagini/Foto.jpg").substr(0, 3), "\xFF\xD8\xFF");
    EXPECT_EQ(readFile(demo + "/Grafica/Immagini/Sfondo.bmp").substr(0, 2), "BM");
    // A classic icon: its image is a device-independent bitmap, not an embedded PNG.
    const std::string icon = readFile(demo + "/Grafica/Immagini/Icona.ico");
    EXPECT_EQ(icon.substr(0, 4), std::string("\0\0\1\0", 4));
    EXPECT_EQ(icon.substr(22, 4), std::string("\x28\0\0\0", 4));
    // Metafiles from libuemf's writer: a placeable WMF and an EMF.
    EXPECT_EQ(readFile(demo + "/Grafica/Immagini/Clipart.wmf").substr(0, 4), "\xD7\xCD\xC6\x9A");
    EXPECT_EQ(readFile(demo + "/Grafica/Immagini/Disegno.emf").substr(40, 4), " EMF");
}

// copy-to-floppy on an image made and read back by mtools itself.
TEST(CliCopyToFloppy, CopiesOrSaysWhyNot)
{
    if (!iradudo::programExists("mformat"))
        GTEST_SKIP() << "mtools is not installed";
    TempDir dir;
    const std::string image = (dir.path() / "a.img").string();
    ASSERT_EQ(
        iradudo::runProgram({"mformat", "-C", "-f", "1440", "-i", image, "::"}, {"MTOOLSRC=/dev/null"}).exitCode, 0);
    const std::string file = dir.writeFile("README.TXT", "leggimi").string();

    const Result drives = runCli({"--floppy", image, "drives"});
    EXPECT_EQ(drives.out.substr(0, 5), "A\t2\tA") << drives.out;

    const Result copied = runCli({"--floppy", image, "copy-to-floppy", file});
    EXPECT_EQ(copied.status, 0) << copied.err;
    EXPECT_EQ(iradudo::runProgram({"mtype", "-i", image, "::README.TXT"}, {"MTOOLSRC=/dev/null"}).output, "leggimi");
    const Result directory = runCli({"--floppy", image, "copy-to-floppy", dir.path().string()});
    EXPECT_EQ(directory.status, 0);
    EXPECT_EQ(directory.err, "");

    const Result missing = runCli({"--floppy", (dir.path() / "none.img").string(), "copy-to-floppy", file});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("Nessun dischetto"), std::string::npos) << missing.err;
    EXPECT_NE(missing.err.find("README.TXT"), std::string::npos) << missing.err;
}

// The demo disc as an image an independent writer makes lists, with sizes and
// comments, exactly as the disc directory does, in every folder.
TEST(CliList, DemoDiscImageListsLikeTheDemoDirectory)
{
    const TempDir dir;
    const std::string image = (dir.path() / "demo.iso").string();
    {
        const std::vector<std::string> xorriso
            = {"xorriso", "-as", "mkisofs", "-R", "-J", "-V", "DEMO_ISO", "-o", image, demo};
        std::vector<char*> argv;
        for (const std::string& arg : xorriso)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t pid = -1;
        ASSERT_EQ(posix_spawnp(&pid, "xorriso", &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "xorriso failed";
    }
    const Result drives = runCli({"--cd", demo, "--cd", image, "drives"});
    const std::string directoryLine = driveLineFor(drives.out, fs::canonical(demo).string());
    const std::string imageLine = driveLineFor(drives.out, fs::canonical(image).string());
    ASSERT_FALSE(directoryLine.empty()) << drives.out;
    ASSERT_FALSE(imageLine.empty()) << drives.out;
    EXPECT_NE(imageLine.find("\t5\t" + std::string{imageLine[0]} + ": [DEMO_ISO]\t"), std::string::npos) << imageLine;

    std::vector<std::string> folders = {""};
    for (const auto& entry : fs::recursive_directory_iterator(demo)) {
        if (!entry.is_directory())
            continue;
        std::string relative = fs::relative(entry.path(), demo).string();
        std::replace(relative.begin(), relative.end(), '/', '\\');
        folders.push_back(relative);
    }
    ASSERT_GT(folders.size(), 2u);
    for (const std::string& folder : folders) {
        for (const bool info : {false, true}) {
            std::vector<std::string> fromDirectory
                = {"--cd", demo, "--cd", image, "list", std::string{directoryLine[0]} + ":\\" + folder};
            std::vector<std::string> fromImage
                = {"--cd", demo, "--cd", image, "list", std::string{imageLine[0]} + ":\\" + folder};
            if (info) {
                fromDirectory.push_back("--info");
                fromImage.push_back("--info");
            }
            const Result expected = runCli(fromDirectory);
            const Result actual = runCli(fromImage);
            ASSERT_EQ(expected.status, 0) << folder << expected.err;
            EXPECT_EQ(actual.status, 0) << folder << actual.err;
            EXPECT_EQ(actual.out, expected.out) << folder;
        }
    }
    const Result notAnImage = runCli({"--cd", demo + "/Leggimi.txt", "drives"});
    EXPECT_EQ(notAnImage.status, 2);
    EXPECT_NE(notAnImage.err.find("Leggimi.txt: not a readable disc image"), std::string::npos) << notAnImage.err;
    EXPECT_EQ(notAnImage.out.find("Leggimi.txt"), std::string::npos) << notAnImage.out;
}

// The demo disc's folders copied onto a floppy image by mcopy list from the
// unmounted floppy exactly as from the disc directory.
TEST(CliList, FloppyImageListsLikeTheDemoDirectory)
{
    if (!iradudo::programExists("mformat"))
        GTEST_SKIP() << "mtools is not installed";
    TempDir dir;
    const std::string image = (dir.path() / "a.img").string();
    const std::vector<std::string> environment = {"MTOOLSRC=/dev/null", "LC_ALL=C.UTF-8"};
    ASSERT_EQ(
        iradudo::runProgram({"mformat", "-C", "-f", "1440", "-v", "DEMO", "-i", image, "::"}, environment).exitCode, 0);
    std::vector<std::string> folders;
    std::vector<std::string> copy = {"mcopy", "-s", "-i", image};
    for (const std::string top : {"Giochi", "Grafica", "Documenti", "Utility"})
        copy.push_back(demo + "/" + top);
    copy.push_back("::/");
    ASSERT_EQ(iradudo::runProgram(copy, environment).exitCode, 0);
    for (const auto& entry : fs::recursive_directory_iterator(demo)) {
        std::string relative = fs::relative(entry.path(), demo).string();
        if (entry.is_directory()) {
            std::replace(relative.begin(), relative.end(), '/', '\\');
            folders.push_back(relative);
        }
    }
    const Result drives = runCli({"--cd", demo, "--floppy", image, "drives"});
    const std::string directoryLine = driveLineFor(drives.out, fs::canonical(demo).string());
    ASSERT_FALSE(directoryLine.empty()) << drives.out;
    ASSERT_GT(folders.size(), 3u);
    for (const std::string& folder : folders) {
        const Result expected
            = runCli({"--cd", demo, "--floppy", image, "list", std::string{directoryLine[0]} + ":\\" + folder});
        const Result actual = runCli({"--cd", demo, "--floppy", image, "list", "A:\\" + folder});
        ASSERT_EQ(expected.status, 0) << folder << expected.err;
        EXPECT_EQ(actual.status, 0) << folder << actual.err;
        EXPECT_EQ(actual.out, expected.out) << folder;
    }
    const Result notFat = runCli({"--floppy", demo + "/Leggimi.txt", "list", "A:\\"});
    EXPECT_EQ(notFat.status, 1);
    EXPECT_NE(notFat.err.find("21"), std::string::npos) << notFat.err;
}
