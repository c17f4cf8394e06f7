// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the window program's start-up as main does, then quits at the first
// paint of the main window; the benchmark times the whole process.
#include "app/error_box.h"
#include "app/form1.h"
#include "app/program_fonts.h"
#include "platform/linux_platform.h"

#include <QEvent>

namespace {

class FirstPaint : public QObject {
protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        return false;
    }
};

}  // namespace

int main(int argc, char** argv)
{
    iradudo::Application app(argc, argv);
    iradudo::installProgramFonts();
    std::vector<std::string> discs;
    for (int i = 1; i < argc; ++i)
        discs.emplace_back(argv[i]);
    const auto platform = iradudo::LinuxPlatform::fromSystem(discs);
    TForm1 form(*platform);
    FirstPaint probe;
    form.installEventFilter(&probe);
    form.show();
    return app.exec();
}
