// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>
#include <QString>

#include <exception>
#include <functional>
#include <string>
#include <string_view>

class QWidget;

namespace iradudo {

inline constexpr const char* kApplicationTitle = "DIZOZ Iradudo";

// The text the error box shows for a failure message: the message with a full
// stop appended when its last byte sorts after ".", converted for display.
QString errorBoxText(std::string_view message);

// Shows the error box for a message; replaceable so tests can record the
// messages instead of opening a modal dialog.
using ErrorPresenter = std::function<void(const QString& text)>;

// The standard box: captioned with the application title, error icon, OK.
void showStandardErrorBox(const QString& text);

ErrorPresenter setErrorPresenter(ErrorPresenter presenter);

// Shows the error box for the exception being handled; call from a catch block.
void reportCurrentException();

// The window program's application: failures raised by an event handler end
// that handler and reach the user in the error box, and the program goes on.
// Qt does not let exceptions cross its event loop, so they stop here.
class Application : public QApplication {
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace iradudo
