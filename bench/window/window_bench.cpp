// SPDX-License-Identifier: GPL-3.0-or-later
// Window benchmarks, run offscreen:
//  - StartupProcess: the program's process from spawn to its first painted frame.
//  - FormToFirstPaint: creating the main window and showing it, in process.
//  - OpenBigDirectory/Window: a double-click on a directory of 10,000 entries
//    until the listing is painted; OpenBigDirectory/Logic does the same reading
//    and listing without any window. The window's share is their difference.
#include "app/error_box.h"
#include "app/form1.h"
#include "app/program_fonts.h"
#include "browser/listing.h"
#include "platform/linux_platform.h"

#include "support/paint_counter.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QEvent>

#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int kBigCount = 10000;

// A disc with a directory of 10,000 files (one in ten with a companion).
class BigDisc {
public:
    BigDisc()
    {
        root_ = fs::temp_directory_path() / ("iradudo-bench-" + std::to_string(::getpid()));
        fs::create_directories(root_ / "BIG");
        int made = 0;
        for (int i = 0; made < kBigCount; ++i) {
            const std::string stem = "FILE" + std::to_string(10000 + i);
            std::ofstream(root_ / "BIG" / (stem + ".LHA")) << std::string(static_cast<size_t>(i % 500), 'x');
            ++made;
            if (i % 10 == 0 && made < kBigCount) {
                std::ofstream(root_ / "BIG" / (stem + ".readme")) << "Short:   Archive number " << i << "\n";
                ++made;
            }
        }
        std::ofstream(root_ / "README.TXT") << "hello";
    }
    ~BigDisc() { fs::remove_all(root_); }
    std::string root() const { return root_.string(); }

private:
    fs::path root_;
};

BigDisc& bigDisc()
{
    static BigDisc disc;
    return disc;
}

std::unique_ptr<iradudo::LinuxPlatform> makePlatform()
{
    using namespace iradudo;
    Drive drive;
    drive.letter = 'D';
    drive.type = DriveCdRom;
    drive.root = bigDisc().root();
    drive.label = "BENCH";
    return std::make_unique<LinuxPlatform>(DriveTable({drive}));
}

using iradudo::test::PaintCounter;

void StartupProcess(benchmark::State& state)
{
    const std::string probe = IRADUDO_STARTUP_PROBE;
    const std::string demo = std::string(IRADUDO_SOURCE_DIR) + "/demo";
    for (auto _ : state) {
        char* args[] = {const_cast<char*>(probe.c_str()), const_cast<char*>(demo.c_str()), nullptr};
        pid_t pid = 0;
        if (posix_spawn(&pid, probe.c_str(), nullptr, nullptr, args, environ) != 0) {
            state.SkipWithError("cannot start the probe");
            return;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the probe failed");
            return;
        }
    }
}
BENCHMARK(StartupProcess)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

void FormToFirstPaint(benchmark::State& state)
{
    auto platform = makePlatform();
    for (auto _ : state) {
        TForm1 form(*platform);
        PaintCounter watch;
        form.installEventFilter(&watch);
        form.show();
        while (watch.paints == 0)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        state.PauseTiming();
        form.hide();
        state.ResumeTiming();
    }
}
BENCHMARK(FormToFirstPaint)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

// The window path: the double-click handler's work up to the painted listing.
void OpenBigDirectoryWindow(benchmark::State& state)
{
    auto platform = makePlatform();
    TForm1 form(*platform);
    form.show();
    form.ListView1->setCurrentIndex(form.ListView1Items->index(0));
    form.ListView1DblClick();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        state.PauseTiming();
        form.DirectoryListBox1.setDirectory("D:\\");
        form.Upd();
        form.ListView2->viewport()->repaint();
        QCoreApplication::processEvents();
        const int big = [&] {
            for (int row = 0; row < form.ListView2Items->count(); ++row)
                if (form.ListView2Items->item(row).caption == "[BIG]")
                    return row;
            return -1;
        }();
        form.ListView2->setCurrentIndex(form.ListView2Items->index(big));
        state.ResumeTiming();

        form.ListView2DblClick();
        form.ListView2->viewport()->repaint();  // lays out the items, paints the visible ones
        QCoreApplication::processEvents();
    }
    state.counters["items"] = form.ListView2Items->count();
}
BENCHMARK(OpenBigDirectoryWindow)
    ->Name("OpenBigDirectory/Window")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->UseRealTime();

// The same reading and listing without a window.
void OpenBigDirectoryLogic(benchmark::State& state)
{
    auto platform = makePlatform();
    iradudo::DirectorySource source(*platform);
    size_t items = 0;
    for (auto _ : state) {
        state.PauseTiming();
        source.directoryList().setDirectory("D:\\");
        state.ResumeTiming();
        source.directoryList().setDirectory("[BIG]");
        const iradudo::Listing listing = iradudo::buildListing(source.fileList(), *platform, false);
        items = listing.items.size();
        benchmark::DoNotOptimize(listing);
    }
    state.counters["items"] = static_cast<double>(items);
}
BENCHMARK(OpenBigDirectoryLogic)
    ->Name("OpenBigDirectory/Logic")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->UseRealTime();

// Only the window's part: filling and laying out the list view from a listing.
void FillListView(benchmark::State& state)
{
    auto platform = makePlatform();
    iradudo::DirectorySource source(*platform);
    source.directoryList().setDirectory("D:\\BIG");
    const iradudo::Listing listing = iradudo::buildListing(source.fileList(), *platform, false);
    TForm1 form(*platform);
    form.Panel1->show();
    form.show();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        form.ListView2Items->setItems(listing.items);
        form.ListView2->viewport()->repaint();
        QCoreApplication::processEvents();
        state.PauseTiming();
        form.ListView2Items->setItems({});
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(FillListView)
    ->Name("OpenBigDirectory/WindowShareOnly")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->UseRealTime();

// One double-click split into its two halves, each timed in the same run:
// the listing logic (reading the directory and building the listing) and the
// window's share (filling, laying out and painting the list view).
void OpenBigDirectorySplit(benchmark::State& state)
{
    auto platform = makePlatform();
    TForm1 form(*platform);
    form.ListView1->setCurrentIndex(form.ListView1Items->index(0));
    form.ListView1DblClick();
    form.show();
    QCoreApplication::processEvents();
    double logicMs = 0;
    double windowMs = 0;
    QElapsedTimer timer;
    for (auto _ : state) {
        state.PauseTiming();
        form.DirectoryListBox1.setDirectory("D:\\");
        form.ListView2Items->setItems({});
        QCoreApplication::processEvents();
        state.ResumeTiming();

        timer.start();
        form.DirectoryListBox1.setDirectory("[BIG]");
        const iradudo::Listing listing = iradudo::buildListing(form.FileListBox1, *platform, false);
        logicMs += static_cast<double>(timer.nsecsElapsed()) / 1e6;

        timer.start();
        form.ListView2Items->setItems(listing.items);
        form.Label8->setText(QString::fromStdString(listing.statusText()));
        form.ListView2->viewport()->repaint();
        QCoreApplication::processEvents();
        windowMs += static_cast<double>(timer.nsecsElapsed()) / 1e6;
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["logic_ms"] = logicMs / n;
    state.counters["window_ms"] = windowMs / n;
    state.counters["window_per_logic"] = windowMs / logicMs;
}
BENCHMARK(OpenBigDirectorySplit)
    ->Name("OpenBigDirectory/Split")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    iradudo::Application app(argc, argv);
    iradudo::installProgramFonts();
    bigDisc();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
