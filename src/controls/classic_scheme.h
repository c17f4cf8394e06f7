// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>

// The colour-scheme roles the Amiga controls paint with. The original took them
// from the desktop's colour scheme; here they are fixed once, to the values of
// the Windows Classic ("Windows Standard" of Windows 95 to 2000) scheme, so that
// the buttons and lists look the same under every desktop theme.
namespace iradudo::classic {

inline const QColor clBtnFace{0xC0, 0xC0, 0xC0};        // button face
inline const QColor clBtnShadow{0x80, 0x80, 0x80};      // button shadow
inline const QColor clBtnHighlight{0xFF, 0xFF, 0xFF};   // button highlight
inline const QColor cl3DLight{0xC0, 0xC0, 0xC0};        // 3D light: the face grey in this scheme
inline const QColor cl3DDkShadow{0x00, 0x00, 0x00};     // 3D dark shadow
inline const QColor clBtnText{0x00, 0x00, 0x00};        // button text
inline const QColor clGrayText{0x80, 0x80, 0x80};       // disabled text
inline const QColor clWindow{0xFF, 0xFF, 0xFF};         // list background
inline const QColor clWindowText{0x00, 0x00, 0x00};     // list text, and the default font colour
inline const QColor clHighlight{0x00, 0x00, 0x80};      // selected item
inline const QColor clHighlightText{0xFF, 0xFF, 0xFF};  // selected item's text

}  // namespace iradudo::classic
