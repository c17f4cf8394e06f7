// SPDX-License-Identifier: GPL-3.0-or-later
// Loading text into the viewer's document: the RTF reader beside the plain-text
// path on the same visible text, and the plain path on a large file.
#include "app/program_fonts.h"
#include "viewers/text/document_text.h"
#include "viewers/text/text_loader.h"

#include "text_samples.h"

#include <benchmark/benchmark.h>

#include <QAbstractTextDocumentLayout>
#include <QGuiApplication>
#include <QTextDocument>

#include <chrono>

namespace {

using iradudo::fixedSysFont;
using iradudo::loadTextBytes;
using iradudo::bench::makePlainText;
using iradudo::bench::makeRichText;

double secondsToLoad(const QByteArray& bytes)
{
    QTextDocument document;
    const auto start = std::chrono::steady_clock::now();
    loadTextBytes(bytes, document, fixedSysFont());
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The RTF reader against the plain path on the same visible text (as Latin-1 with
// CR LF line ends); the iteration time is the reader's. The argument is how often a
// word is styled: every 50th word is a typical formatted file, every 20th a heavily
// formatted one, every 5th an extreme one.
void BM_Rtf5MBAgainstPlainOfSameText(benchmark::State& state)
{
    const QByteArray rtf = makeRichText(5 << 20, int(state.range(0)));
    QTextDocument document;
    loadTextBytes(rtf, document, fixedSysFont());
    const QString visible = iradudo::documentPlainText(document);
    QByteArray plain = visible.toLatin1();
    plain.replace("\n", "\r\n");
    double rtfSeconds = 0;
    double plainSeconds = 0;
    for (auto _ : state) {
        const double rich = secondsToLoad(rtf);
        rtfSeconds += rich;
        plainSeconds += secondsToLoad(plain);
        state.SetIterationTime(rich);
    }
    state.counters["rtf_MB"] = rtf.size() / 1e6;
    state.counters["visible_Mchars"] = visible.size() / 1e6;
    state.counters["plain_same_text_ms"] = 1000 * plainSeconds / state.iterations();
    state.counters["ratio_rtf_to_plain"] = rtfSeconds / plainSeconds;
}
BENCHMARK(BM_Rtf5MBAgainstPlainOfSameText)
    ->Arg(1000000)
    ->Arg(50)
    ->Arg(20)
    ->Arg(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

void BM_Plain20MB(benchmark::State& state)
{
    const QByteArray plain = makePlainText(20 << 20);
    for (auto _ : state)
        state.SetIterationTime(secondsToLoad(plain));
    state.SetBytesProcessed(state.iterations() * plain.size());
}
BENCHMARK(BM_Plain20MB)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// What the viewer pays before a 1 MB file shows: the load and a full layout at the
// view's starting width (the view itself lays out only as far as it must).
void showOneMegabyte(benchmark::State& state, const QByteArray& bytes)
{
    for (auto _ : state) {
        QTextDocument document;
        loadTextBytes(bytes, document, fixedSysFont());
        document.setTextWidth(357);
        benchmark::DoNotOptimize(document.documentLayout()->documentSize());
    }
}

void BM_Show1MBPlain(benchmark::State& state)
{
    showOneMegabyte(state, makePlainText(1 << 20));
}
BENCHMARK(BM_Show1MBPlain)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_Show1MBRtf(benchmark::State& state)
{
    showOneMegabyte(state, makeRichText(1 << 20, 20));
}
BENCHMARK(BM_Show1MBRtf)->Unit(benchmark::kMillisecond)->Iterations(5);

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
