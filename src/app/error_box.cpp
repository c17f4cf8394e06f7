// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/error_box.h"

#include "base/exception.h"
#include "base/text_encoding.h"

#include <QMessageBox>

#include <utility>

namespace iradudo {
namespace {

ErrorPresenter& presenter()
{
    static ErrorPresenter current = &showStandardErrorBox;
    return current;
}

}  // namespace

QString errorBoxText(std::string_view message)
{
    std::string text(message);
    if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.'))
        text += '.';
    return QString::fromStdString(toDisplayUtf8(text));
}

void showStandardErrorBox(const QString& text)
{
    QMessageBox box(QMessageBox::Critical, QString::fromLatin1(kApplicationTitle), text, QMessageBox::Ok,
        QApplication::activeWindow());
    box.exec();
}

ErrorPresenter setErrorPresenter(ErrorPresenter next)
{
    ErrorPresenter previous = std::move(presenter());
    presenter() = next ? std::move(next) : ErrorPresenter(&showStandardErrorBox);
    return previous;
}

void reportCurrentException()
{
    presenter()(errorBoxText(messageOfCurrentException()));
}

Application::Application(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QString::fromLatin1(kApplicationTitle));
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        reportCurrentException();
        return true;
    }
}

}  // namespace iradudo
