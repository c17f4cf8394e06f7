// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QGuiApplication>

#include <memory>

namespace iradudo::cli {

// Fonts and documents need a GUI application; scripts and tests have no display,
// so it runs on the offscreen platform unless the caller chose another.
// Returns nothing when an application already exists.
std::unique_ptr<QGuiApplication> startGuiApplication();

}  // namespace iradudo::cli
