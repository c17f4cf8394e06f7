// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/error_box.h"
#include "app/form1.h"
#include "platform/linux_platform.h"
#include "support/temp_dir.h"
#include "support/test_drives.h"

#include <QStringList>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

namespace iradudo::test {

// A main window over a drive table of the test's own, with a recording
// launcher and a recording error box.
class FormFixture {
public:
    explicit FormFixture(std::vector<Drive> drives) : FormFixture(std::move(drives), &makePlatform<LinuxPlatform>) { }

    template <class P>
    static std::unique_ptr<LinuxPlatform> makePlatform(std::vector<Drive> drives, std::shared_ptr<CommandLauncher> l)
    {
        return std::make_unique<P>(DriveTable(std::move(drives)), std::move(l));
    }

    using PlatformFactory = std::unique_ptr<LinuxPlatform> (*)(std::vector<Drive>, std::shared_ptr<CommandLauncher>);

    FormFixture(std::vector<Drive> drives, PlatformFactory factory)
    {
        launcher = std::make_shared<RecordingLauncher>();
        platform = factory(std::move(drives), launcher);
        previousPresenter = setErrorPresenter([this](const QString& text) { errors << text; });
        form = std::make_unique<TForm1>(*platform);
    }
    ~FormFixture()
    {
        form.reset();
        setErrorPresenter(previousPresenter);
    }

    void showForm()
    {
        form->show();
        [[maybe_unused]] const bool exposed = QTest::qWaitForWindowExposed(form.get());
    }

    QStringList captions(const IconItemModel* model) const
    {
        QStringList list;
        for (int row = 0; row < model->count(); ++row)
            list << model->data(model->index(row), Qt::DisplayRole).toString();
        return list;
    }
    QStringList desktopCaptions() const { return captions(form->ListView1Items); }
    QStringList browserCaptions() const { return captions(form->ListView2Items); }

    int browserRow(const QString& caption) const { return browserCaptions().indexOf(caption); }

    // Clicks an icon, then double-clicks it: an item view needs the click first.
    static void clickItem(QAbstractItemView* view, int row)
    {
        const QPoint at = view->visualRect(view->model()->index(row, 0)).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    }
    static void doubleClickItem(QAbstractItemView* view, int row)
    {
        const QPoint at = view->visualRect(view->model()->index(row, 0)).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    }

    WorkingDirectoryGuard cwdGuard;
    std::shared_ptr<RecordingLauncher> launcher;
    std::unique_ptr<LinuxPlatform> platform;
    ErrorPresenter previousPresenter;
    QStringList errors;
    std::unique_ptr<TForm1> form;
};

}  // namespace iradudo::test
