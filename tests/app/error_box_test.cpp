// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/error_box.h"
#include "base/exception.h"

#include <gtest/gtest.h>

#include <QTimer>

#include <QWidget>
#include <ios>
#include <new>
#include <vector>

using namespace iradudo;

TEST(ErrorBoxText, AppendsAFullStopAfterCharactersSortingAfterIt)
{
    EXPECT_EQ(errorBoxText("I/O error 21"), QStringLiteral("I/O error 21."));
    EXPECT_EQ(errorBoxText("File not found"), QStringLiteral("File not found."));
    EXPECT_EQ(errorBoxText("Cannot open file [DOCS]"), QStringLiteral("Cannot open file [DOCS]."));
    EXPECT_EQ(
        errorBoxText("Unknown picture file extension (.iff)"), QStringLiteral("Unknown picture file extension (.iff)"));
    EXPECT_EQ(errorBoxText("Done."), QStringLiteral("Done."));
    EXPECT_EQ(errorBoxText("Really?"), QStringLiteral("Really?."));
    EXPECT_EQ(errorBoxText("dash-"), QStringLiteral("dash-"));
    EXPECT_EQ(errorBoxText(""), QString());
}

TEST(ErrorBoxText, ShowsLatin1NamesReadably)
{
    EXPECT_EQ(errorBoxText("Cannot open file caf\xE9"), QStringLiteral("Cannot open file caf\u00E9."));
}

namespace {

class Thrower : public QWidget {
protected:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User)
            throw Exception("I/O error 21");
        return QWidget::event(e);
    }
};

}  // namespace

TEST(Application, ShowsAFailedHandlersMessageAndGoesOn)
{
    QStringList shown;
    const ErrorPresenter previous = setErrorPresenter([&](const QString& text) { shown << text; });
    Thrower thrower;
    QEvent event(QEvent::User);
    EXPECT_TRUE(QApplication::sendEvent(&thrower, &event));
    bool timerRan = false;
    QTimer::singleShot(0, [&] {
        timerRan = true;
        throw Exception("List index out of bounds (0)");
    });
    QApplication::processEvents();
    setErrorPresenter(previous);
    EXPECT_TRUE(timerRan);
    EXPECT_EQ(shown, (QStringList{"I/O error 21.", "List index out of bounds (0)"}));
}

TEST(Application, LibraryFailuresShowTheProgramsOwnWords)
{
    QStringList shown;
    const ErrorPresenter previous = setErrorPresenter([&](const QString& text) { shown << text; });
    QTimer::singleShot(0, [] { throw std::bad_alloc(); });
    QTimer::singleShot(0, [] { throw std::ios_base::failure("basic_filebuf::underflow error reading the file"); });
    QTimer::singleShot(0, [] { std::vector<int>().at(3); });
    QApplication::processEvents();
    setErrorPresenter(previous);
    EXPECT_EQ(shown, (QStringList{"Out of memory.", "Read error.", "Unknown error."}));
}
