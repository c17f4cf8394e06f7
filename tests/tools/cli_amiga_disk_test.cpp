// SPDX-License-Identifier: GPL-3.0-or-later
// The format program and iradudo-cli on an Amiga disk file given with a relative
// --floppy path, checked with Debian's unadf.
#include "platform/run_program.h"
#include "support/amiga_disks.h"
#include "support/cli_runner.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

using namespace iradudo::test;
namespace fs = std::filesystem;

TEST(CliAmigaDisk, FormatCopyAndListARelativeImage)
{
    if (!unadfAvailable())
        GTEST_SKIP() << "unadf is not installed";
    TempDir dir;
    dir.writeFile("disc/Gioco.lha", "LHA data");
    dir.writeFile("disc/Gioco.readme", "Short: Un gioco di prova\nType: game\n");
    const iradudo::ProgramResult formatted = iradudo::runProgram({"/usr/bin/env", "-C", dir.path().string(),
        IRADUDO_BINARY_DIR "/iradudo-format", "--floppy", "Gioco.ADF", "--yes", "A:", "/F:720"});
    ASSERT_EQ(formatted.exitCode, 0) << formatted.output;
    EXPECT_NE(unadfList(dir.path() / "Gioco.ADF").volumeLine.find("\"Vuoto\""), std::string::npos);

    const CliResult empty = runCli({"--floppy", "Gioco.ADF", "list", "A:\\"}, dir.path());
    EXPECT_EQ(empty.status, 0) << empty.err;
    EXPECT_NE(empty.out.find("0 elementi"), std::string::npos) << empty.out;

    const CliResult copied
        = runCli({"--floppy", "Gioco.ADF", "--cd", "disc", "copy-to-floppy", "D:\\Gioco.lha"}, dir.path());
    EXPECT_EQ(copied.status, 0) << copied.err;
    const UnadfListing oracle = unadfList(dir.path() / "Gioco.ADF");
    ASSERT_EQ(oracle.entries.size(), 1u);
    EXPECT_EQ(oracle.entries[0].path, "Gioco.lha");
    EXPECT_EQ(oracle.entries[0].comment, "Un gioco di prova");
    EXPECT_EQ(unadfExtract(dir.path() / "Gioco.ADF", "Gioco.lha", dir.path()), "LHA data");

    const CliResult listed = runCli({"--floppy", "Gioco.ADF", "list", "A:\\"}, dir.path());
    EXPECT_NE(listed.out.find("Gioco.lha\t8\t"), std::string::npos) << listed.out;
    const CliResult text = runCli({"--floppy", "Gioco.ADF", "text", "A:\\GIOCO.LHA"}, dir.path());
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("LHA data"), std::string::npos) << text.out;

    const CliResult readme
        = runCli({"--floppy", "Gioco.ADF", "--cd", "disc", "copy-to-floppy", "D:\\Gioco.readme"}, dir.path(), {});
    EXPECT_EQ(readme.status, 0) << readme.err;
    ::chmod((dir.path() / "Gioco.ADF").c_str(), 0444);
    const CliResult locked
        = runCli({"--floppy", "Gioco.ADF", "--cd", "disc", "copy-to-floppy", "D:\\Gioco.lha"}, dir.path());
    EXPECT_EQ(locked.status, 1);
    EXPECT_NE(locked.err.find("protetto da scrittura"), std::string::npos) << locked.err;
}
