// SPDX-License-Identifier: GPL-3.0-or-later
// "Avvia" on a file of a disc image that cannot be copied out: the error box
// names the file and the cause, nothing is started and no partial copy stays.
#include "form_fixture.h"
#include "platform/run_program.h"
#include "support/disc_images.h"
#include "support/scoped_environment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sys/mount.h>
#include <unistd.h>

using namespace iradudo;
using namespace iradudo::test;
namespace fs = std::filesystem;

namespace {

constexpr const char* kArchive = "GIOCO.LHA";
constexpr std::size_t kArchiveBytes = 300000;

// The first sector of a file in an image, as xorriso reports it.
std::optional<long> firstSectorOf(const std::string& image, const std::string& path)
{
    const ProgramResult report
        = runProgram({"xorriso", "-indev", image, "-find", path, "-exec", "report_lba", "--"}, {});
    std::smatch match;
    // "File data lba:  0 ,   35 ,   147 ,   300000 , '/GIOCO.LHA'"
    static const std::regex line(R"(File data lba:\s*\d+\s*,\s*(\d+)\s*,)");
    if (!std::regex_search(report.output, match, line))
        return std::nullopt;
    return std::stol(match[1]);
}

// Every file under a folder, its private folders' lock files left out.
std::vector<std::string> filesUnder(const fs::path& folder)
{
    std::vector<std::string> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_directory() && entry.path().filename() != ".iradudo.lock")
            files.push_back(entry.path().string());
    }
    return files;
}

enum class Trouble { None, ImageCutShort, NoRoomForTheCopy };

struct StartCase {
    const char* name;
    Trouble trouble;
    const char* error;  // the error box's text; empty: the file starts
};

class StartFailureTest : public ::testing::TestWithParam<StartCase> {
protected:
    void SetUp() override
    {
        if (!programExists("xorriso"))
            GTEST_SKIP() << "xorriso is not installed";
        work.writeFile("tree/LEGGIMI.TXT", "riga");
        work.writeFile(std::string("tree/") + kArchive, pattern(kArchiveBytes, 3));
        image = makeImage(work.path() / "tree", work.path() / "disc.iso", Writer::RockRidgeAndJoliet, "GUASTO");
        tmp = work.makeDir("tmp");
        if (GetParam().trouble == Trouble::ImageCutShort) {
            const std::optional<long> sector = firstSectorOf(image, std::string("/") + kArchive);
            ASSERT_TRUE(sector);
            // The file's first sector stays, the rest of it is gone.
            fs::resize_file(image, static_cast<std::uintmax_t>(*sector + 1) * 2048);
        }
        if (GetParam().trouble == Trouble::NoRoomForTheCopy) {
            if (::mount("tmpfs", tmp.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k,mode=0700") != 0)
                GTEST_SKIP() << "a small file system for the copies needs mount rights";
            mounted = true;
        }
    }
    void TearDown() override
    {
        fx.reset();
        if (mounted)
            ::umount(tmp.c_str());
    }

    TempDir work;
    std::string image;
    fs::path tmp;
    bool mounted = false;
    std::unique_ptr<FormFixture> fx;
};

}  // namespace

TEST_P(StartFailureTest, AFileThatCannotBeCopiedOutIsSaidAndNothingStarts)
{
    const TmpDirScope scope(tmp);
    Drive d = makeDrive('D', DriveCdRom, image, "GUASTO");
    d.image = true;
    fx = std::make_unique<FormFixture>(std::vector<Drive>{makeDrive('C', DriveFixed, work.path().string()), d});
    fx->showForm();
    FormFixture::doubleClickItem(fx->form->ListView1, 0);
    const int row = fx->browserRow(kArchive);
    ASSERT_GE(row, 0) << fx->browserCaptions().join(' ').toStdString();
    FormFixture::clickItem(fx->form->ListView2, row);
    QTest::mouseClick(fx->form->SpeedButton5, Qt::LeftButton);

    const std::string error = GetParam().error;
    if (error.empty()) {
        EXPECT_TRUE(fx->errors.isEmpty()) << fx->errors.join('\n').toStdString();
        ASSERT_EQ(fx->launcher->calls.size(), 1u);
        EXPECT_EQ(readFile(fx->launcher->calls[0].argv.at(1)), pattern(kArchiveBytes, 3));
    } else {
        EXPECT_EQ(fx->errors, QStringList{QString::fromStdString(error)});
        EXPECT_TRUE(fx->launcher->calls.empty());
        EXPECT_TRUE(filesUnder(tmp).empty()) << filesUnder(tmp).front();
    }
    fx.reset();
    EXPECT_TRUE(filesUnder(tmp).empty());
}

INSTANTIATE_TEST_SUITE_P(Start, StartFailureTest,
    ::testing::Values(StartCase{"Intact", Trouble::None, ""},
        StartCase{"ImageCutShort", Trouble::ImageCutShort, "Read beyond end of file (GIOCO.LHA)"},
        StartCase{"NoRoomForTheCopy", Trouble::NoRoomForTheCopy, "Disk full (GIOCO.LHA)"}),
    [](const ::testing::TestParamInfo<StartCase>& info) { return std::string(info.param.name); });
