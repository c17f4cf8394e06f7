// SPDX-License-Identifier: GPL-3.0-or-later
// "Mostra testo", "Mostra immagine", "Copia su dischetto" and "Avvia" read the
// picked file through the drive that lists it, on every kind of drive, with a
// decoy of the same name in the process's working directory.
#include "form_fixture.h"
#include "platform/run_program.h"
#include "support/disc_images.h"
#include "support/listed_media.h"
#include "support/picture_data.h"
#include "viewers/pictures/picture_formats.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

using namespace iradudo;
using namespace iradudo::test;
namespace fs = std::filesystem;

namespace {

constexpr const char* kText = "Leggimi.txt";
constexpr const char* kPicture = "Figura.gif";
constexpr const char* kArchive = "Gioco.lha";

class ListedFilesTest : public ::testing::TestWithParam<MediumCase> {
protected:
    static void SetUpTestSuite() { initialisePictureFormats(24); }
    static void TearDownTestSuite() { finalisePictureFormats(); }

    void SetUp() override
    {
        for (const char* tool : {"xorriso", "mformat", "convert"}) {
            if (!programExists(tool))
                GTEST_SKIP() << tool << " is not installed";
        }
        const bool floppySource = GetParam().kind == MediumKind::FloppyImage;
        const std::string folder = floppySource ? "DOCS" : "";
        const fs::path tree = work.path() / "tree";
        const fs::path files = folder.empty() ? tree : tree / folder;
        work.writeFile("tree/" + (folder.empty() ? std::string() : folder + "/") + kText, "riga uno\nriga due");
        fs::copy_file(pictureFile("picture.gif"), files / kPicture);
        work.writeFile("tree/" + (folder.empty() ? std::string() : folder + "/") + kArchive, pattern(40000, 7));

        // The decoys: same names, other bytes, where relative names would land.
        decoys = work.makeDir("decoys");
        work.writeFile("decoys/" + std::string(kText), "ESCA");
        ASSERT_TRUE(runQuietly({"convert", "-size", "5x3", "xc:red", (decoys / kPicture).string()}));
        work.writeFile("decoys/" + std::string(kArchive), "decoy archive");

        medium = std::make_unique<ListedMedium>(GetParam().kind, work.path(), tree, folder);
        target = floppySource ? medium->path() : makeBlankFloppy(work.path() / "target.img");
        ASSERT_EQ(::chdir(decoys.c_str()), 0);

        std::vector<Drive> drives{makeDrive('C', DriveFixed, work.path().string(), "WORK")};
        if (floppySource) {
            Drive a = makeDrive('A', DriveRemovable, std::string());
            a.floppy = medium->path();
            drives.insert(drives.begin(), a);
        } else {
            Drive d = makeDrive('D', DriveCdRom, medium->path(), "LISTED");
            d.image = GetParam().kind != MediumKind::HostDirectory;
            drives.push_back(d);
        }
        fx = std::make_unique<FormFixture>(std::move(drives));
        fx->form->floppy = {target, {}};
        fx->showForm();
        if (floppySource) {
            fx->form->Panel1->show();
            fx->form->DirectoryListBox1.setDirectory("A:\\DOCS");
            fx->form->Upd();
        } else {
            FormFixture::doubleClickItem(fx->form->ListView1, 0);
        }
        ASSERT_GE(fx->browserRow(kText), 0) << fx->browserCaptions().join(' ').toStdString();
        for (const char* name : {kText, kPicture, kArchive})
            ASSERT_FALSE(medium->readBack(name).empty()) << name;
    }

    void pick(const char* name) { FormFixture::clickItem(fx->form->ListView2, fx->browserRow(name)); }

    void expectNoErrors(const char* action)
    {
        EXPECT_TRUE(fx->errors.isEmpty()) << action << ": " << fx->errors.join('\n').toStdString();
        fx->errors.clear();
    }

    // Every action on the picked file gives the medium's bytes, never the decoy's.
    void expectActionsReadTheMedium()
    {
        TForm1& f = *fx->form;
        pick(kText);
        QTest::mouseClick(f.SpeedButton4, Qt::LeftButton);
        expectNoErrors("Mostra testo");
        EXPECT_EQ(f.RichEdit1->toPlainText().toStdString(), medium->readBack(kText));

        pick(kPicture);
        QTest::mouseClick(f.SpeedButton7, Qt::LeftButton);
        expectNoErrors("Mostra immagine");
        TGraphic* graphic = f.Image11->Picture().Graphic();
        ASSERT_NE(graphic, nullptr);
        graphic->Decode();
        EXPECT_EQ(maxChannelDifference(graphic->Image(), referencePixels("picture.gif")), 0);

        pick(kArchive);
        QTest::mouseClick(f.SpeedButton3, Qt::LeftButton);
        expectNoErrors("Copia su dischetto");
        EXPECT_EQ(floppyFile(target, kArchive), medium->readBack(kArchive));

        fx->launcher->calls.clear();
        QTest::mouseClick(f.SpeedButton5, Qt::LeftButton);
        ASSERT_EQ(fx->launcher->calls.size(), 1u);
        const std::vector<std::string>& argv = fx->launcher->calls[0].argv;
        ASSERT_EQ(argv.size(), 2u);
        ASSERT_EQ(argv[1].front(), '/') << argv[1];
        EXPECT_EQ(readFile(argv[1]), medium->readBack(kArchive));
    }

    TempDir work;
    fs::path decoys;
    std::unique_ptr<ListedMedium> medium;
    std::string target;
    WorkingDirectoryGuard cwdGuard;
    std::unique_ptr<FormFixture> fx;
};

TEST_P(ListedFilesTest, ActionsReadThePickedFileThroughItsDrive)
{
    expectActionsReadTheMedium();
}

TEST_P(ListedFilesTest, ActionsStayOnTheBrowsedDirectoryAfterTheFolderSelectionMovedAway)
{
    TForm1& f = *fx->form;
    f.ToolButton3->click();
    // The user opens C:\ and double-clicks its folder of decoys.
    TZTRDirectoryListBox* list = f.ZTRDirectoryListBox1;
    list->setDirectory("C:\\");
    int row = 0;
    while (
        row < static_cast<int>(list->items().size()) && list->items()[static_cast<std::size_t>(row)].name != "decoys")
        ++row;
    ASSERT_LT(row, list->count());
    const QPoint onDecoys = list->visualItemRect(list->item(row)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, onDecoys);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, onDecoys);
    ASSERT_EQ(fx->platform->currentDirectory(), "C:\\decoys");
    ASSERT_EQ(fs::path(workingDirectory()), fs::canonical(decoys));
    expectActionsReadTheMedium();
}

TEST_P(ListedFilesTest, OnlyAHostDriveTakesTheProcessAlong)
{
    const fs::path expected = GetParam().kind == MediumKind::HostDirectory ? fs::path(medium->path()) : decoys;
    EXPECT_EQ(fs::path(workingDirectory()), fs::canonical(expected));
}

INSTANTIATE_TEST_SUITE_P(EveryDriveKind, ListedFilesTest, ::testing::ValuesIn(allMediumKinds()),
    [](const ::testing::TestParamInfo<MediumCase>& info) { return mediumCaseName(info.param); });

}  // namespace
