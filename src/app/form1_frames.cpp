// SPDX-License-Identifier: GPL-3.0-or-later
// The internal windows' handlers: drag by the title, resize by the gadget,
// close and raise.
#include "app/form1.h"

using namespace iradudo;

void TForm1::bindFrameHandlers()
{
    for (AmigaWindow* window : {Panel1, Panel5, Panel9, Panel13, Panel21})
        window->titleLabel->handlers.down
            = [this](Qt::MouseButton b, int s, int x, int y) { Label2MouseDown(b, s, x, y); };
    for (AmigaWindow* window : {Panel1, Panel5, Panel9})
        window->resizeGadget->handlers.down
            = [this](Qt::MouseButton b, int s, int x, int y) { Image2MouseDown(b, s, x, y); };

    Panel1->titleLabel->handlers.move = [this](int s, int x, int y) { Label2MouseMove(s, x, y); };
    Panel5->titleLabel->handlers.move = [this](int s, int x, int y) { Label3MouseMove(s, x, y); };
    Panel9->titleLabel->handlers.move = [this](int s, int x, int y) { Label4MouseMove(s, x, y); };
    Panel13->titleLabel->handlers.move = [this](int s, int x, int y) { Label5MouseMove(s, x, y); };
    Panel21->titleLabel->handlers.move = [this](int s, int x, int y) { Label15MouseMove(s, x, y); };
    Panel1->resizeGadget->handlers.move = [this](int s, int x, int y) { Image2MouseMove(s, x, y); };
    Panel5->resizeGadget->handlers.move = [this](int s, int x, int y) { Image6MouseMove(s, x, y); };
    Panel9->resizeGadget->handlers.move = [this](int s, int x, int y) { Image10MouseMove(s, x, y); };

    Panel1->closeGadget->handlers.click = [this] { Image1Click(); };
    Panel5->closeGadget->handlers.click = [this] { Image4Click(); };
    Panel9->closeGadget->handlers.click = [this] { Image8Click(); };
    Panel13->closeGadget->handlers.click = [this] { Image12Click(); };
    Panel21->closeGadget->handlers.click = [this] { Image19Click(); };
    Panel1->depthGadget->handlers.click = [this] { Image3Click(); };
    Panel5->depthGadget->handlers.click = [this] { Image5Click(); };
    Panel9->depthGadget->handlers.click = [this] { Image9Click(); };
    Panel13->depthGadget->handlers.click = [this] { Image13Click(); };
    Panel21->depthGadget->handlers.click = [this] { Image20Click(); };
}

void TForm1::Label2MouseDown(Qt::MouseButton, int, int x, int y)
{
    motion_.storeAnchor(x, y);
}

void TForm1::Image2MouseDown(Qt::MouseButton, int, int x, int y)
{
    motion_.storeAnchor(x, y);
}

void TForm1::Label2MouseMove(int shift, int x, int y)
{
    motion_.drag(Panel1, shift, x, y);
}

void TForm1::Label3MouseMove(int shift, int x, int y)
{
    motion_.drag(Panel5, shift, x, y);
}

void TForm1::Label4MouseMove(int shift, int x, int y)
{
    motion_.drag(Panel9, shift, x, y);
}

void TForm1::Label5MouseMove(int shift, int x, int y)
{
    motion_.drag(Panel13, shift, x, y);
}

void TForm1::Label15MouseMove(int shift, int x, int y)
{
    motion_.drag(Panel21, shift, x, y);
}

void TForm1::Image2MouseMove(int shift, int x, int y)
{
    motion_.resize(Panel1, shift, x, y);
}

void TForm1::Image6MouseMove(int shift, int x, int y)
{
    if (motion_.resize(Panel5, shift, x, y) && RichEdit1)
        RichEdit1->update();
}

void TForm1::Image10MouseMove(int shift, int x, int y)
{
    motion_.resize(Panel9, shift, x, y);
}

void TForm1::Image1Click()
{
    Panel1->hide();
}

void TForm1::Image4Click()
{
    Panel5->hide();
}

void TForm1::Image8Click()
{
    Panel9->hide();
}

void TForm1::Image12Click()
{
    Panel13->hide();
}

void TForm1::Image19Click()
{
    Panel21->hide();
}

void TForm1::Image3Click()
{
    Panel1->raise();
}

void TForm1::Image5Click()
{
    Panel5->raise();
}

void TForm1::Image9Click()
{
    Panel9->raise();
}

void TForm1::Image13Click()
{
    Panel13->raise();
}

void TForm1::Image20Click()
{
    Panel21->raise();
}
