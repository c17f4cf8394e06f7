// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/views/image_control.h"

#include "base/decode_context.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QScopeGuard>
#include <QTimer>

#include <algorithm>
#include <vector>

namespace iradudo {
namespace {

// One load in progress. Loads nest only through the events a decode lets run
// (its progress listener), so the active ones form a stack.
class ActiveLoad {
public:
    ActiveLoad(ImageControl* control, QWidget* window)
        : control_(control), window_(window), windowWasVisible_(window && window->isVisible()),
          mainWindow_(control ? control->window() : nullptr), mainWasVisible_(mainWindow_ && mainWindow_->isVisible())
    {
        for (ActiveLoad* earlier : stack())
            if (earlier->control_ == control_)
                earlier->superseded_ = true;
        stack().push_back(this);
    }
    ~ActiveLoad() { stack().erase(std::find(stack().begin(), stack().end(), this)); }
    ActiveLoad(const ActiveLoad&) = delete;
    ActiveLoad& operator=(const ActiveLoad&) = delete;

    bool abandoned() const
    {
        return superseded_ || !control_ || (windowWasVisible_ && (!window_ || !window_->isVisible()))
            || (mainWasVisible_ && (!mainWindow_ || !mainWindow_->isVisible()));
    }
    ImageControl* control() const { return control_; }

    static std::vector<ActiveLoad*>& stack()
    {
        static std::vector<ActiveLoad*> loads;
        return loads;
    }

private:
    QPointer<ImageControl> control_;
    QPointer<QWidget> window_;
    bool windowWasVisible_;
    QPointer<QWidget> mainWindow_;
    bool mainWasVisible_;
    bool superseded_ = false;
};

void rethrow(std::exception_ptr error)
{
    std::rethrow_exception(error);
}

}  // namespace

ImageControl::ImageControl(QWidget* parent)
    : QWidget(parent), picture_(std::make_unique<TPicture>()), errorSink_(&rethrow)
{
    setObjectName(QStringLiteral("Image11"));
    setGeometry(0, 0, 121, 57);
    picture_->SetOnChange([this](TPicture&) { pictureChanged(); });
}

ImageControl::~ImageControl() = default;

void ImageControl::takePicture(std::unique_ptr<TPicture> picture)
{
    picture_ = std::move(picture);
    picture_->SetOnChange([this](TPicture&) { pictureChanged(); });
    pictureChanged();
}

void ImageControl::setErrorSink(ErrorSink sink)
{
    errorSink_ = sink ? std::move(sink) : ErrorSink(&rethrow);
}

void ImageControl::pictureChanged()
{
    if (painting_) {
        // A lazy graphic finished decoding inside paintEvent: resizing and
        // asking for another paint belong outside it.
        QTimer::singleShot(0, this, [this] { applyAutoSize(); });
        return;
    }
    applyAutoSize();
    update();
}

void ImageControl::applyAutoSize()
{
    if (AutoSize && picture_->Width() > 0 && picture_->Height() > 0)
        resize(picture_->Width(), picture_->Height());
}

void ImageControl::paintEvent(QPaintEvent* event)
{
    TGraphic* graphic = picture_->Graphic();
    if (!graphic)
        return;
    QPainter painter(this);
    painting_ = true;
    try {
        graphic->Decode();
        const QImage image = graphic->Image();
        if (!Stretch || image.size() == size()) {
            // Shown 1:1, as auto-size makes it: only the exposed part is
            // converted for the screen, not the whole of a large palette picture.
            const QRect exposed = event->rect() & image.rect();
            if (!exposed.isEmpty())
                painter.drawImage(exposed.topLeft(), image.copy(exposed));
        } else {
            graphic->Draw(painter, rect());
        }
    } catch (...) {
        // The graphic throws once per load and then draws what it has; the
        // error box is a modal loop, which must not run inside a paint.
        // The paint drew nothing; once the error has been handed on (its box
        // closed), the control paints again and shows what was decoded.
        QMetaObject::invokeMethod(
            this,
            [this, error = std::current_exception()] {
                const auto repaint = qScopeGuard([this] { update(); });
                errorSink_(error);
            },
            Qt::QueuedConnection);
    }
    painting_ = false;
}

LoadOutcome loadPicture(ImageControl* control, QWidget* window, FileHandle file, const std::string& fileName)
{
    ActiveLoad load(control, window);
    const qint64 intervalNs = std::chrono::nanoseconds(control->eventInterval()).count();
    // The clock is read every few rows only: on a fast-decoding picture reading
    // it for each row costs a few percent of the decode.
    constexpr unsigned kReportsPerClockRead = 16;
    const unsigned reportsPerRead = intervalNs > 0 ? kReportsPerClockRead : 1;
    QElapsedTimer clock;
    unsigned reports = 0;
    // This load's own progress: events run from here (after the first row, then
    // once the interval has passed), and whatever they did to the load is seen
    // here too. The decoder then stops at once and releases its rows, as for any
    // decoding error.
    DecodeProgress progress([&](DecodeProgress& self) {
        if (clock.isValid() && (++reports % reportsPerRead != 0 || clock.nsecsElapsed() < intervalNs))
            return;
        if (ImageControl* shown = load.control())
            shown->reportLoadProgress(self.percent());
        QCoreApplication::processEvents();
        clock.start();
        if (load.abandoned())
            self.cancel();
    });
    DecodeContext context;
    context.progress = &progress;

    // The control's own picture is not touched until the load has succeeded:
    // the control may be gone by then.
    auto picture = std::make_unique<TPicture>();
    try {
        picture->LoadFile(std::move(file), fileName, context);
    } catch (const EDecodeCancelled&) {
        return LoadOutcome::Abandoned;
    } catch (...) {
        // A failure of a load that was given up on meanwhile is stale news.
        if (load.abandoned())
            return LoadOutcome::Abandoned;
        throw;
    }
    if (load.abandoned())
        return LoadOutcome::Abandoned;
    load.control()->takePicture(std::move(picture));
    return LoadOutcome::Loaded;
}

int activePictureLoads()
{
    return static_cast<int>(ActiveLoad::stack().size());
}

}  // namespace iradudo
