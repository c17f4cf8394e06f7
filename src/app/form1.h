// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/amiga_window.h"
#include "app/icon_item_model.h"
#include "app/icon_list_view.h"
#include "app/mouse_relay.h"
#include "app/speed_button.h"
#include "browser/directory_source.h"
#include "controls/amiga_button.h"
#include "controls/directory_list_box.h"
#include "controls/drive_combo_box.h"
#include "floppy/floppy_copy.h"
#include "platform/platform.h"
#include "viewers/views/image_control.h"
#include "viewers/views/rich_text_view.h"

#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QWidget>

#include <vector>

class QScrollArea;

// The program's single main window: the desktop with its CD-ROM icons and the
// five internal windows. Every action is one of its handlers; each stays a few
// lines and calls the folder that owns the work.
class TForm1 : public QWidget {
    // Declared first: the directory source's components below refer into it.
    iradudo::Platform& platform_;
    iradudo::DirectorySource source_;

public:
    // The platform must outlive the window.
    explicit TForm1(iradudo::Platform& platform, QWidget* parent = nullptr);
    ~TForm1() override;

    // --- Desktop ------------------------------------------------------------
    QWidget* Notebook1;
    iradudo::PictureBox* Image7;
    QLabel* Label1;
    QLabel* Label6;
    QWidget* Shape15;
    QLabel* Label10;
    QLabel* Label11;
    QLabel* Label12;
    QLabel* Label13;
    iradudo::IconListView* ListView1;
    iradudo::IconItemModel* ListView1Items;

    // The type icons' source pictures, in the order of the file-type icon index.
    QImage Image14, Image15, Image16, Image17, Image18;
    std::vector<QPixmap> ImageList3;

    // --- Internal windows ---------------------------------------------------
    iradudo::AmigaWindow* Panel1;   // browser
    iradudo::AmigaWindow* Panel5;   // text viewer
    iradudo::AmigaWindow* Panel9;   // image viewer
    iradudo::AmigaWindow* Panel13;  // format options
    iradudo::AmigaWindow* Panel21;  // folder selection

    // --- Browser window -----------------------------------------------------
    QWidget* ToolBar1;
    iradudo::SpeedButton* SpeedButton1;
    iradudo::SpeedButton* SpeedButton2;
    iradudo::SpeedButton* SpeedButton3;
    iradudo::SpeedButton* ToolButton3;
    iradudo::SpeedButton* ToolButton4;
    iradudo::SpeedButton* SpeedButton4;
    iradudo::SpeedButton* SpeedButton7;
    iradudo::SpeedButton* SpeedButton5;
    iradudo::SpeedButton* SpeedButton10;
    iradudo::IconListView* ListView2;
    iradudo::IconItemModel* ListView2Items;
    QLabel* Label8;

    // --- Text viewer (form1_viewers.cpp) ------------------------------------
    QWidget* ToolBar2;
    iradudo::SpeedButton* SpeedButton6;
    iradudo::SpeedButton* SpeedButton9;
    QLabel* Label14;
    iradudo::SpeedButton* SpeedButton11;
    QWidget* Shape64;
    QWidget* Shape63;
    iradudo::RichTextView* RichEdit1 = nullptr;
    // The default-printer check and the print dialog; tests replace them.
    iradudo::PrintSteps printSteps;

    // --- Image viewer (form1_viewers.cpp) -----------------------------------
    QScrollArea* ScrollBox1;
    iradudo::ImageControl* Image11;

    // --- Format options (form1_floppy.cpp) -----------------------------------
    iradudo::SpeedButton* SpeedButton8;
    QLabel* Label9;
    QWidget* Panel15;
    QListWidget* ListBox1;
    int ListBox1Columns = 0;
    iradudo::TAmigaButton* AmigaButton1;
    iradudo::TAmigaButton* AmigaButton2;

    // --- Folder selection (form1_floppy.cpp) ---------------------------------
    iradudo::TZTRDriveComboBox* ZTRDriveComboBox1;
    iradudo::TZTRDirectoryListBox* ZTRDirectoryListBox1;
    iradudo::TAmigaButton* AmigaButton3;
    iradudo::TAmigaButton* AmigaButton4;

    // --- Directory source ---------------------------------------------------
    iradudo::DriveList& DriveComboBox1;
    iradudo::DirectoryList& DirectoryListBox1;
    iradudo::FileList& FileListBox1;

    // --- Handlers -----------------------------------------------------------
    void FormCreate();
    void ListView1DblClick();

    void Label2MouseDown(Qt::MouseButton button, int shift, int x, int y);
    void Image2MouseDown(Qt::MouseButton button, int shift, int x, int y);
    void Label2MouseMove(int shift, int x, int y);
    void Label3MouseMove(int shift, int x, int y);
    void Label4MouseMove(int shift, int x, int y);
    void Label5MouseMove(int shift, int x, int y);
    void Label15MouseMove(int shift, int x, int y);
    void Image2MouseMove(int shift, int x, int y);
    void Image6MouseMove(int shift, int x, int y);
    void Image10MouseMove(int shift, int x, int y);
    void Image1Click();
    void Image4Click();
    void Image8Click();
    void Image12Click();
    void Image19Click();
    void Image3Click();
    void Image5Click();
    void Image9Click();
    void Image13Click();
    void Image20Click();

    void Upd();
    void SpeedButton10Click();
    void ListView2Click();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void ListView2DblClick();
    void DirectoryListBox1Change();
    void SpeedButton5Click();

    void SpeedButton4Click();
    void SpeedButton6Click();
    void SpeedButton9Click();
    void SpeedButton11Click();
    void SpeedButton7Click();

    void SpeedButton3Click();
    void ToolButton3Click();
    void ToolButton4Click();
    void SpeedButton8Click();
    void AmigaButton1Click();
    void AmigaButton2Click();

    // Drive A: for "Copia su dischetto"; none until set.
    iradudo::FloppyTarget floppy;

    // The press anchor shared by the title labels and resize gadgets.
    iradudo::PressAnchor anchor() const { return motion_.anchor(); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildDesktop();
    void layoutDesktop();
    void buildWindows();
    void buildBrowser();
    void buildViewers();
    void buildFloppyWindows();
    void bindFrameHandlers();
    void setBusy(bool busy);
    // The browser entry the viewers and "Avvia" act on: the list's focused item.
    const iradudo::ListingItem* pickedEntry() const;

    iradudo::WindowMotion motion_;
    bool busy_ = false;
};
