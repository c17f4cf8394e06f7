// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/program_fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace iradudo {
namespace {

const char* const kWineFontFolder = "/usr/share/wine/fonts/";

bool fontsInstalled = false;
bool fixedSysAvailable = false;

bool addFontFile(const char* fileName)
{
    return QFontDatabase::addApplicationFont(QString::fromLatin1(kWineFontFolder) + QLatin1String(fileName)) >= 0;
}

}  // namespace

void installProgramFonts()
{
    if (fontsInstalled)
        return;
    fontsInstalled = true;
    addFontFile("tahoma.ttf");
    addFontFile("tahomabd.ttf");
    fixedSysAvailable = addFontFile("fixedsys.ttf");

    // The family in Fixedsys's file is spelt "Fixedsys"; the layout asks for "FixedSys".
    QFont::insertSubstitutions(
        QStringLiteral("FixedSys"), {QStringLiteral("Fixedsys"), QStringLiteral("DejaVu Sans Mono")});
    QFont::insertSubstitutions(QStringLiteral("Tahoma"), {QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("Verdana"), {QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("Arial"), {QStringLiteral("Liberation Sans")});
    QFont::insertSubstitutions(QStringLiteral("Times New Roman"), {QStringLiteral("Liberation Serif")});
}

QFont windowFont()
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    return font;
}

QFont fixedSysFont()
{
    QFont font(fixedSysAvailable ? QStringLiteral("Fixedsys") : QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(11);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}

}  // namespace iradudo
