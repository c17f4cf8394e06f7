// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "viewers/pictures/picture.h"

#include <QWidget>

#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <string>

namespace iradudo {

// Events run at least this often while a picture decodes (about 100 times a
// second): the window stays responsive, and running them after every row of a
// large picture would cost a good part of the decoding time.
inline constexpr std::chrono::microseconds kPictureEventInterval{10000};

// The image viewer's picture control: a picture that auto-sizes the control to
// a graphic whose width and height are both above 0, stretched into the
// control's bounds and repainted after every change. Lazy formats decode in
// the first paint after a load; their errors never leave the paint but are
// handed to the error sink from the event queue.
class ImageControl : public QWidget {
public:
    explicit ImageControl(QWidget* parent = nullptr);
    ~ImageControl() override;

    TPicture& Picture() { return *picture_; }
    // Makes a picture loaded elsewhere the control's picture, announcing the change.
    void takePicture(std::unique_ptr<TPicture> picture);

    bool AutoSize = true;
    bool Stretch = true;

    // Receives a failure raised while painting, once per failure, from the
    // event queue. The default rethrows it there, so that it reaches the
    // application's error box as any handler's failure does.
    using ErrorSink = std::function<void(std::exception_ptr)>;
    void setErrorSink(ErrorSink sink);

    // How often pending events run while a picture loads into this control
    // (loadPicture); zero: after every decoded row.
    std::chrono::microseconds eventInterval() const { return eventInterval_; }
    void setEventInterval(std::chrono::microseconds interval) { eventInterval_ = interval; }

    // Told how far a load into this control is (percent, 0 to 100) each time
    // the load lets events run.
    using ProgressSink = std::function<void(int percent)>;
    void setProgressSink(ProgressSink sink) { progressSink_ = std::move(sink); }
    void reportLoadProgress(int percent)
    {
        if (progressSink_)
            progressSink_(percent);
    }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void pictureChanged();
    void applyAutoSize();

    std::unique_ptr<TPicture> picture_;
    ErrorSink errorSink_;
    bool painting_ = false;
    std::chrono::microseconds eventInterval_ = kPictureEventInterval;
    ProgressSink progressSink_;
};

enum class LoadOutcome { Loaded, Abandoned };

// Loads the open file (named fileName) into a new picture with TPicture::LoadFile and, on success,
// gives it to the control; a failure leaves the control's picture in place and
// passes the exception on. The load has its own progress: while a picture
// decodes, pending events run from it (at the control's event interval) and
// may start another load, close the window or delete it. The load started last
// wins: an earlier one still decoding is cancelled at its next report, and so
// is a load whose control is deleted, whose window (visible when it started)
// is closed, or whose main window is closed. Abandoned loads release
// everything, report nothing and answer Abandoned.
LoadOutcome loadPicture(ImageControl* control, QWidget* window, FileHandle file, const std::string& fileName);

// How many loads are in progress: more than one only while a load started from
// the events of another runs.
int activePictureLoads();

}  // namespace iradudo
