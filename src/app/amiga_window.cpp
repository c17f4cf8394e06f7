// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/amiga_window.h"

#include <QPainter>

namespace iradudo {
namespace {

QWidget* namedPart(QWidget* parent, const char* name)
{
    if (!name)
        return nullptr;
    auto* part = new QWidget(parent);
    part->setObjectName(QString::fromLatin1(name));
    return part;
}

}  // namespace

AmigaWindow::AmigaWindow(FrameKind kind, const QString& caption, const AmigaWindowNames& names,
    const GadgetPictures& pictures, QWidget* parent)
    : QWidget(parent), kind_(kind)
{
    setObjectName(QString::fromLatin1(names.window));
    titleBar = namedPart(this, names.titleBar);
    leftBar = namedPart(this, names.leftBar);
    rightBar = namedPart(this, names.rightBar);

    closeGadget = new PictureBox(titleBar);
    closeGadget->setObjectName(QString::fromLatin1(names.closeGadget));
    closeGadget->setPicture(pictures.close, PictureBox::Mode::Clip);
    depthGadget = new PictureBox(titleBar);
    depthGadget->setObjectName(QString::fromLatin1(names.depthGadget));
    depthGadget->setPicture(pictures.depth, PictureBox::Mode::StretchTransparent);
    titleLabel = new TitleLabel(caption, titleBar);
    titleLabel->setObjectName(QString::fromLatin1(names.titleLabel));

    if (isResizable(kind)) {
        body = namedPart(this, names.body);
        body->setAutoFillBackground(true);
        QPalette pal = body->palette();
        pal.setColor(QPalette::Window, kBtnFace);
        body->setPalette(pal);
        body->setContentsMargins(2, 2, 2, 2);
        bottomBar = namedPart(this, names.bottomBar);
        resizeGadget = new PictureBox(bottomBar);
        resizeGadget->setObjectName(QString::fromLatin1(names.resizeGadget));
        resizeGadget->setPicture(pictures.resize, PictureBox::Mode::Clip);
    }
    layoutParts();
}

WindowBounds AmigaWindow::bounds() const
{
    return {x(), y(), width(), height()};
}

void AmigaWindow::setBounds(const WindowBounds& b)
{
    setGeometry(b.left, b.top, b.width, b.height);
}

void AmigaWindow::layoutParts()
{
    const FrameLayout f = frameLayout(kind_, width(), height());
    titleBar->setGeometry(f.titleBar);
    closeGadget->setGeometry(f.closeGadget);
    depthGadget->setGeometry(f.depthGadget);
    titleLabel->setGeometry(f.titleLabel);
    if (leftBar)
        leftBar->setGeometry(f.leftBar);
    if (rightBar)
        rightBar->setGeometry(f.rightBar);
    if (body)
        body->setGeometry(f.body);
    if (bottomBar) {
        bottomBar->setGeometry(f.bottomBar);
        resizeGadget->setGeometry(f.resizeGadget);
    }
}

void AmigaWindow::resizeEvent(QResizeEvent*)
{
    layoutParts();
}

void AmigaWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintFrame(painter, kind_, width(), height());
}

}  // namespace iradudo

namespace iradudo {

void WindowMotion::drag(AmigaWindow* window, int shift, int x, int y) const
{
    const WindowBounds before = window->bounds();
    const WindowBounds after = dragStep(before, x, y, shift, anchor_);
    if (!(after == before))
        window->move(after.left, after.top);
}

bool WindowMotion::resize(AmigaWindow* window, int shift, int x, int y) const
{
    const WindowBounds before = window->bounds();
    const ResizeResult result = resizeStep(before, x, y, shift, anchor_);
    if (!(result.bounds == before))
        window->resize(result.bounds.width, result.bounds.height);
    return result.outcome == ResizeOutcome::Resized;
}

}  // namespace iradudo
