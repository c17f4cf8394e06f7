// SPDX-License-Identifier: GPL-3.0-or-later
// Image viewer benchmarks on the 2048 x 2048 GIFs, run offscreen:
//  - DecodeAlone: TPicture::LoadFile without a progress: read, decode, hand-off
//    to the 8-bit picture.
//  - DecodeWithEvents/us:N: the viewer's load (loadPicture) into a bare image
//    control, its progress letting pending events run at most every N
//    microseconds (0: every row), without a window.
//  - ShowPicture/us:N: "Mostra immagine" on the focused entry until the
//    picture's first frame is painted, in the main window.
//  - Split/us:N: both paths timed in each iteration, with the window's share
//    (events, hand-off to the control, paint) as a counter.
#include "app/error_box.h"
#include "app/form1.h"
#include "app/program_fonts.h"
#include "base/file_handle.h"
#include "platform/linux_platform.h"
#include "viewers/pictures/picture.h"
#include "viewers/pictures/picture_formats.h"
#include "viewers/views/image_control.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <memory>
#include <string>

namespace {

const char* const kPictures[] = {"photo.gif", "flat.gif"};

std::string picturePath(int index)
{
    return std::string(IRADUDO_BENCH_PICTURES) + "/" + kPictures[index];
}

std::unique_ptr<iradudo::LinuxPlatform> makePlatform()
{
    using namespace iradudo;
    Drive drive;
    drive.letter = 'D';
    drive.type = DriveCdRom;
    drive.root = IRADUDO_BENCH_PICTURES;
    drive.label = "BENCH";
    return std::make_unique<LinuxPlatform>(DriveTable({drive}));
}

// The main window, shown, its browser on the pictures' folder with the
// picture focused and the image viewer closed.
class ShownForm {
public:
    explicit ShownForm(int picture) : platform_(makePlatform()), form(*platform_)
    {
        form.show();
        form.ListView1->setCurrentIndex(form.ListView1Items->index(0));
        form.ListView1DblClick();
        QCoreApplication::processEvents();
        for (int row = 0; row < form.ListView2Items->count(); ++row)
            if (form.ListView2Items->item(row).caption == kPictures[picture])
                form.ListView2->setCurrentIndex(form.ListView2Items->index(row));
    }

    // From the button's handler to the painted picture.
    bool showPicture()
    {
        form.SpeedButton7Click();
        form.Image11->repaint();
        return form.Image11->width() == 2048 && !form.Panel9->isHidden();
    }
    void closeViewer()
    {
        form.Image8Click();
        QCoreApplication::processEvents();
    }

private:
    std::unique_ptr<iradudo::LinuxPlatform> platform_;

public:
    TForm1 form;
};

void DecodeAlone(benchmark::State& state)
{
    const std::string path = picturePath(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        TPicture picture;
        picture.LoadFile(path);
        benchmark::DoNotOptimize(picture.Graphic());
    }
    state.SetLabel(kPictures[state.range(0)]);
}
BENCHMARK(DecodeAlone)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();

void DecodeWithEvents(benchmark::State& state)
{
    iradudo::ImageControl control;
    control.setEventInterval(std::chrono::microseconds(state.range(1)));
    const std::string path = picturePath(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        if (iradudo::loadPicture(&control, nullptr, iradudo::openRegularFile(path), path)
            != iradudo::LoadOutcome::Loaded) {
            state.SkipWithError("the picture was not loaded");
            break;
        }
        benchmark::DoNotOptimize(control.Picture().Graphic());
    }
    state.SetLabel(kPictures[state.range(0)]);
}
BENCHMARK(DecodeWithEvents)
    ->ArgNames({"picture", "us"})
    ->Args({0, 0})
    ->Args({0, 10000})
    ->Args({1, 0})
    ->Args({1, 10000})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20)
    ->UseRealTime();

void ShowPicture(benchmark::State& state)
{
    ShownForm shown(static_cast<int>(state.range(0)));
    shown.form.Image11->setEventInterval(std::chrono::microseconds(state.range(1)));
    for (auto _ : state) {
        if (!shown.showPicture()) {
            state.SkipWithError("the picture was not shown");
            break;
        }
        state.PauseTiming();
        shown.closeViewer();
        state.ResumeTiming();
    }
    state.SetLabel(kPictures[state.range(0)]);
}
BENCHMARK(ShowPicture)
    ->ArgNames({"picture", "us"})
    ->Args({0, 0})
    ->Args({0, 10000})
    ->Args({1, 0})
    ->Args({1, 10000})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20)
    ->UseRealTime();

// Alternates the two paths within one run, so that both see the same machine load.
void Split(benchmark::State& state)
{
    ShownForm shown(static_cast<int>(state.range(0)));
    shown.form.Image11->setEventInterval(std::chrono::microseconds(state.range(1)));
    const std::string path = picturePath(static_cast<int>(state.range(0)));
    double windowNs = 0;
    double decodeNs = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        if (!shown.showPicture()) {
            state.SkipWithError("the picture was not shown");
            break;
        }
        windowNs += static_cast<double>(timer.nsecsElapsed());
        state.PauseTiming();
        shown.closeViewer();
        timer.restart();
        {
            TPicture picture;
            picture.LoadFile(path);
        }
        decodeNs += static_cast<double>(timer.nsecsElapsed());
        state.ResumeTiming();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["show_ms"] = windowNs / n / 1e6;
    state.counters["decode_ms"] = decodeNs / n / 1e6;
    state.counters["window_share_pct"] = windowNs > 0 ? 100.0 * (windowNs - decodeNs) / windowNs : 0;
    state.SetLabel(kPictures[state.range(0)]);
}
BENCHMARK(Split)
    ->ArgNames({"picture", "us"})
    ->Args({0, 0})
    ->Args({0, 10000})
    ->Args({1, 0})
    ->Args({1, 10000})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    iradudo::Application app(argc, argv);
    iradudo::installProgramFonts();
    iradudo::initialisePictureFormats(24);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
