// SPDX-License-Identifier: GPL-3.0-or-later
// iradudo-cli's text, picture, gif2bmp and copy-to-floppy read a drive path
// through its drive, on every kind of drive, whatever its working directory holds.
#include "platform/run_program.h"
#include "support/cli_runner.h"
#include "support/disc_images.h"
#include "support/listed_media.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>

extern char** environ;

using namespace iradudo;
using namespace iradudo::test;
namespace fs = std::filesystem;

namespace {

using Result = CliResult;

// The tool run in a working directory of the test's choice.
Result runCliIn(const fs::path& workingDirectory, std::vector<std::string> args)
{
    return runCli(std::move(args), workingDirectory, {"QT_QPA_PLATFORM=offscreen", "MTOOLSRC=/dev/null"});
}

// The width and height a GIF's logical screen descriptor states.
std::string gifSize(const std::string& gif)
{
    if (gif.size() < 10)
        return {};
    const auto word = [&](std::size_t at) {
        return static_cast<unsigned char>(gif[at]) | static_cast<unsigned char>(gif[at + 1]) << 8;
    };
    return std::to_string(word(6)) + " " + std::to_string(word(8)) + "\n";
}

class CliListedFilesTest : public ::testing::TestWithParam<MediumCase> {
protected:
    void SetUp() override
    {
        for (const char* tool : {"xorriso", "mformat", "convert"}) {
            if (!programExists(tool))
                GTEST_SKIP() << tool << " is not installed";
        }
        floppySource = GetParam().kind == MediumKind::FloppyImage;
        folder = floppySource ? "DOCS" : "";
        const std::string prefix = folder.empty() ? "tree/" : "tree/" + folder + "/";
        work.writeFile(prefix + "Leggimi.txt", "riga uno\nriga due\n");
        work.writeFile(prefix + "Gioco.lha", pattern(30000, 11));
        fs::copy_file(IRADUDO_BINARY_DIR "/tests/pictures-data/picture.gif", work.path() / prefix / "Figura.gif");

        decoys = work.makeDir("decoys");
        work.writeFile("decoys/Leggimi.txt", "ESCA\n");
        work.writeFile("decoys/Gioco.lha", "decoy archive");
        ASSERT_TRUE(runQuietly({"convert", "-size", "5x3", "xc:red", (decoys / "Figura.gif").string()}));
        work.makeDir("decoys/DOCS");
        work.writeFile("decoys/DOCS/Leggimi.txt", "ESCA nella cartella\n");

        medium = std::make_unique<ListedMedium>(GetParam().kind, work.path(), work.path() / "tree", folder);
        target = floppySource ? medium->path() : makeBlankFloppy(work.path() / "target.img");
        options = {"--floppy", target};
        if (!floppySource)
            options.insert(options.end(), {"--cd", medium->path()});
        for (const char* name : {"Leggimi.txt", "Figura.gif", "Gioco.lha"})
            ASSERT_FALSE(medium->readBack(name).empty()) << name;
    }

    // The drive path of a file of the medium, as the window's browser reaches it.
    std::string drivePath(const std::string& name)
    {
        if (floppySource)
            return "A:\\" + folder + "\\" + name;
        std::vector<std::string> args = options;
        args.push_back("drives");
        const Result drives = runCliIn(decoys, args);
        const std::string root = fs::canonical(medium->path()).string();
        std::istringstream lines(drives.out);
        for (std::string line; std::getline(lines, line);) {
            if (line.size() > root.size() && line.compare(line.size() - root.size(), root.size(), root) == 0)
                return line.substr(0, 1) + ":\\" + name;
        }
        ADD_FAILURE() << "no drive for " << root << " in\n" << drives.out;
        return {};
    }

    Result run(std::vector<std::string> command)
    {
        std::vector<std::string> args = options;
        args.insert(args.end(), command.begin(), command.end());
        return runCliIn(decoys, args);
    }

    // The same name as a host path, where the medium has host files.
    std::vector<std::string> pathsOf(const std::string& name)
    {
        std::vector<std::string> paths{drivePath(name)};
        if (GetParam().kind == MediumKind::HostDirectory)
            paths.push_back((fs::path(medium->path()) / name).string());
        return paths;
    }

    TempDir work;
    fs::path decoys;
    bool floppySource = false;
    std::string folder;
    std::unique_ptr<ListedMedium> medium;
    std::string target;
    std::vector<std::string> options;
};

TEST_P(CliListedFilesTest, TextComesFromTheMedium)
{
    for (const std::string& path : pathsOf("Leggimi.txt")) {
        const Result result = run({"text", path});
        EXPECT_EQ(result.status, 0) << path << ": " << result.err;
        EXPECT_EQ(result.out, medium->readBack("Leggimi.txt")) << path;
    }
}

TEST_P(CliListedFilesTest, PrintJobComesFromTheMedium)
{
    if (!programExists("pdftotext"))
        GTEST_SKIP() << "pdftotext is not installed";
    TempDir out;
    for (const std::string& path : pathsOf("Leggimi.txt")) {
        const fs::path pdf = out.path() / "listed.pdf";
        const Result result = run({"print", path, "--pdf", pdf.string()});
        EXPECT_EQ(result.status, 0) << path << ": " << result.err;
        ASSERT_TRUE(runQuietly({"pdftotext", pdf.string(), (out.path() / "listed.txt").string()})) << path;
        const std::string printed = readFile(out.path() / "listed.txt");
        EXPECT_NE(printed.find("riga uno"), std::string::npos) << path << ": " << printed;
        EXPECT_EQ(printed.find("ESCA"), std::string::npos) << path << ": " << printed;
    }
}

TEST_P(CliListedFilesTest, PictureAndGifHandOffComeFromTheMedium)
{
    TempDir out;
    const std::string original = (out.path() / "Figura.gif").string();
    {
        std::ofstream file(original, std::ios::binary);
        file << medium->readBack("Figura.gif");
    }
    const Result reference = runCliIn(out.path(), {"gif2bmp", original, (out.path() / "reference.bmp").string()});
    ASSERT_EQ(reference.status, 0) << reference.err;
    for (const std::string& path : pathsOf("Figura.gif")) {
        const Result picture = run({"picture", path});
        EXPECT_EQ(picture.status, 0) << path << ": " << picture.err;
        EXPECT_EQ(picture.out, gifSize(medium->readBack("Figura.gif"))) << path;

        const std::string bitmap = (out.path() / "listed.bmp").string();
        const Result handOff = run({"gif2bmp", path, bitmap});
        EXPECT_EQ(handOff.status, 0) << path << ": " << handOff.err;
        EXPECT_EQ(readFile(bitmap), readFile(out.path() / "reference.bmp")) << path;
    }
}

TEST_P(CliListedFilesTest, CopyToFloppyCopiesTheMediumsFile)
{
    for (const std::string& path : pathsOf("Gioco.lha")) {
        const Result result = run({"copy-to-floppy", path});
        EXPECT_EQ(result.status, 0) << path << ": " << result.err;
        EXPECT_EQ(floppyFile(target, "Gioco.lha"), medium->readBack("Gioco.lha")) << path;
        ASSERT_TRUE(runQuietly({"env", "MTOOLSRC=/dev/null", "mdel", "-i", target, "::Gioco.lha"}));
    }
}

TEST_P(CliListedFilesTest, AMissingDrivePathIsNamedAsGiven)
{
    const std::string path = drivePath("Assente.txt");
    const Result result = run({"text", path});
    EXPECT_EQ(result.status, 1);
    const std::string message = "Cannot open file " + path + "\n";
    ASSERT_GE(result.err.size(), message.size()) << result.err;
    EXPECT_EQ(result.err.substr(result.err.size() - message.size()), message);
}

INSTANTIATE_TEST_SUITE_P(EveryDriveKind, CliListedFilesTest, ::testing::ValuesIn(allMediumKinds()),
    [](const ::testing::TestParamInfo<MediumCase>& info) { return mediumCaseName(info.param); });

}  // namespace
