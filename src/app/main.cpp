// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_line.h"
#include "app/error_box.h"
#include "app/form1.h"
#include "app/program_fonts.h"
#include "floppy/floppy_drive.h"
#include "floppy/format_terminal.h"
#include "platform/ending_signals.h"
#include "platform/linux_platform.h"
#include "platform/private_folder.h"
#include "platform/run_program.h"
#include "program_version.h"
#include "viewers/pictures/picture_formats.h"

#include <QScreen>
#include <QSocketNotifier>

#include <iostream>
#include <unistd.h>

namespace {

// --help and --version: the answer on standard output, and a clean exit.
int printInformation(const iradudo::WindowOptions& options)
{
    if (options.version)
        std::cout << "iradudo " << iradudo::kProgramVersion << '\n' << iradudo::kVersionNotice;
    else
        std::cout << iradudo::kWindowUsage;
    return 0;
}

// SIGTERM at logout, SIGHUP and Ctrl+C end the program as closing its window
// does: the event loop returns and every destructor runs, so the private
// folders go. A second signal, once this one is in hand, ends it at once.
void quitOnEndingSignals(QApplication& app)
{
    const int fd = iradudo::endingSignalPipe();
    if (fd < 0)
        return;
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [notifier, fd] {
        char bytes[16];
        while (::read(fd, bytes, sizeof bytes) > 0) { }
        notifier->setEnabled(false);
        iradudo::restoreDefaultEndingSignals();
        QCoreApplication::quit();
    });
}

}  // namespace

int main(int argc, char** argv)
{
    // --help and --version answer before Qt needs a display. Qt's own options
    // (-platform ...) stop this first reading; the one below then decides.
    if (const auto early = iradudo::parseWindowOptions(std::vector<std::string>(argv + 1, argv + argc));
        early.help || early.version)
        return printInformation(early);

    iradudo::Application app(argc, argv);
    quitOnEndingSignals(app);
    // The desktop entry's name, by which the desktop shows the window with its icon.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(iradudo::kDesktopId));
    const QScreen* screen = app.primaryScreen();
    iradudo::initialisePictureFormats(screen ? screen->depth() : 24);

    // Qt has taken its own options out of argv by now.
    const iradudo::WindowOptions options = iradudo::parseWindowOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (options.help || options.version)
        return printInformation(options);
    if (!options.error.empty()) {
        std::cerr << options.error << '\n' << iradudo::kWindowUsage;
        return 2;
    }

    iradudo::sweepStalePrivateFolders();
    iradudo::installProgramFonts();
    std::unique_ptr<iradudo::LinuxPlatform> platform;
    iradudo::FloppyTarget floppy;
    try {
        floppy = iradudo::resolveFloppy(options.floppy);
        platform = std::make_unique<iradudo::LinuxPlatform>(iradudo::buildDriveTable(options.discDirectories, floppy));
    } catch (const std::exception& error) {
        std::cerr << error.what() << '\n';
        return 1;
    }
    // "Format.com ..." opens the program's own format program on the same floppy.
    iradudo::setCommandLineTranslator(
        [setup = iradudo::FormatLaunchSetup{iradudo::formatProgramBesideExecutable(),
             options.floppy.empty() ? std::string() : floppy.device, &iradudo::programExists}](
            std::string_view line) { return iradudo::formatTerminalArguments(line, setup); });
    TForm1 form(*platform);
    form.floppy = floppy;
    form.show();
    const int status = app.exec();
    iradudo::finalisePictureFormats();
    return status;
}
