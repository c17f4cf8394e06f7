// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractButton>
#include <QImage>

namespace iradudo {

// A toolbar button in the classic raised look: a glyph centred (or at a margin
// before the caption), a second glyph for the disabled state, an optional
// drop-down arrow. The tag holds a toggle's state.
class SpeedButton : public QAbstractButton {
public:
    explicit SpeedButton(QWidget* parent = nullptr);

    void setGlyph(const QImage& glyph, const QImage& disabledGlyph = {});
    // A negative margin centres the glyph; otherwise glyph at the margin, caption after it.
    void setGlyphMargin(int margin)
    {
        margin_ = margin;
        update();
    }
    void setDropDownArrow(bool on)
    {
        dropDown_ = on;
        update();
    }

    int tag = 0;
    // A tag toggle's press: 0 becomes 1 and 1 becomes 0. Returns the new tag.
    int toggleTag() { return tag = tag == 0 ? 1 : 0; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage glyph_;
    QImage disabledGlyph_;
    int margin_ = -1;
    bool dropDown_ = false;
};

// A button of a window's toolbar: named, left pixels from the toolbar's 2-pixel
// border, 3 from its top, 25 high, with its hint.
SpeedButton* toolBarButton(QWidget* toolBar, const char* name, int left, int width, const QString& hint);

// A grey rendering of a glyph for a disabled button that has no glyph of its own.
QImage greyedGlyph(const QImage& glyph);

}  // namespace iradudo
