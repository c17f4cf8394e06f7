// SPDX-License-Identifier: GPL-3.0-or-later
// The text viewer's load of 10 and 50 MB files, plain and RTF, as the view does it
// (read, decide the kind, fill a document step by step, plain text under the plain
// layout): the peak resident memory it adds, per byte of file, and its time. Each
// load runs in a forked child, so that one load's peak does not hide the next.
#include "app/program_fonts.h"
#include "viewers/text/text_fill.h"

#include "text_samples.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QPlainTextDocumentLayout>
#include <QTextDocument>

#include <chrono>
#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct LoadCost {
    long long peakGrowthKb = -1;  // ru_maxrss after the load less before it
    double seconds = 0;
    bool refused = false;
};

long long maxRssKb()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Loads the file in a child process; the child reports through a pipe.
LoadCost costOfLoading(const std::string& file)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        LoadCost cost;
        const auto load = [](iradudo::TextFill& fill) {
            QTextDocument document;
            if (fill.kind() == iradudo::TextKind::Plain)
                document.setDocumentLayout(new QPlainTextDocumentLayout(&document));
            fill.start(document);
            while (!fill.step(128 * 1024)) { }
        };
        // A small load first: what every load pays once (fonts, Qt's text engine)
        // is not a cost per byte of the file.
        {
            iradudo::TextFill warmUp(QByteArray("uno\r\ndue\r\n"), iradudo::fixedSysFont());
            load(warmUp);
        }
        const long long before = maxRssKb();
        const auto start = std::chrono::steady_clock::now();
        try {
            iradudo::TextFill fill(file, iradudo::fixedSysFont());
            load(fill);
            cost.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            cost.peakGrowthKb = maxRssKb() - before;
        } catch (const std::exception&) {
            cost.refused = true;
        }
        [[maybe_unused]] const ssize_t written = ::write(fds[1], &cost, sizeof cost);
        ::_exit(0);
    }
    ::close(fds[1]);
    LoadCost cost;
    if (child < 0 || ::read(fds[0], &cost, sizeof cost) != ssize_t(sizeof cost))
        cost = {};
    ::close(fds[0]);
    int status = 0;
    if (child > 0)
        ::waitpid(child, &status, 0);
    return cost;
}

void measure(benchmark::State& state, const QByteArray& text)
{
    char name[] = "/tmp/iradudo-text-memory-XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd < 0 || ::write(fd, text.constData(), size_t(text.size())) != text.size()) {
        state.SkipWithError("cannot write the sample file");
        return;
    }
    ::close(fd);
    LoadCost last;
    for (auto _ : state) {
        last = costOfLoading(name);
        state.SetIterationTime(last.seconds);
    }
    ::unlink(name);
    if (last.refused) {
        state.SkipWithError("the viewer refused the file");
        return;
    }
    state.counters["file_MB"] = double(text.size()) / 1e6;
    state.counters["peak_MB"] = double(last.peakGrowthKb) / 1024.0;
    state.counters["bytes_per_file_byte"] = double(last.peakGrowthKb) * 1024.0 / double(text.size());
}

void BM_PlainTextMemory(benchmark::State& state)
{
    measure(state, iradudo::bench::makePlainText(qsizetype(state.range(0)) << 20));
}
BENCHMARK(BM_PlainTextMemory)->Arg(10)->Arg(50)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_RtfMemory(benchmark::State& state)
{
    measure(state, iradudo::bench::makeRichText(qsizetype(state.range(0)) << 20, 20));
}
BENCHMARK(BM_RtfMemory)->Arg(10)->Arg(50)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// Files no text editor writes but a disc may hold: what each costs must stay
// within kTextLoadCostPerByte too, whatever the bytes.
enum class Pathology { AllNul, AllCr, AllLf, OneLongLine, RandomBytes };

QByteArray makePathological(Pathology kind, qsizetype size)
{
    switch (kind) {
    case Pathology::AllNul: return QByteArray(size, '\0');
    case Pathology::AllCr: return QByteArray(size, '\r');
    case Pathology::AllLf: return QByteArray(size, '\n');
    case Pathology::OneLongLine: {
        QByteArray text = iradudo::bench::makePlainText(size);
        text.replace("\r\n", "  ");
        return text;
    }
    case Pathology::RandomBytes: {
        QByteArray bytes(size, Qt::Uninitialized);
        unsigned seed = 99;
        for (char& c : bytes) {
            seed = seed * 1103515245 + 12345;
            c = char(seed >> 23);
        }
        return bytes;
    }
    }
    return {};
}

void BM_PathologicalTextMemory(benchmark::State& state)
{
    static const char* const kNames[] = {"all NUL", "all CR", "all LF", "one long line", "random bytes"};
    state.SetLabel(kNames[state.range(0)]);
    measure(state, makePathological(Pathology(state.range(0)), qsizetype(state.range(1)) << 20));
}
BENCHMARK(BM_PathologicalTextMemory)
    ->ArgsProduct({{0, 1, 2, 3, 4}, {10, 50}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    iradudo::installProgramFonts();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
