// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui_application.h"

namespace iradudo::cli {

std::unique_ptr<QGuiApplication> startGuiApplication()
{
    if (QCoreApplication::instance())
        return nullptr;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "iradudo-cli";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

}  // namespace iradudo::cli
