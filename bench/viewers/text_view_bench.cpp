// SPDX-License-Identifier: GPL-3.0-or-later
// The text viewer on big texts: a 50 MB plain text (a disc index whose lines carry
// long folder paths without blanks) and a 20 MB RTF, wrap on and off. Measures the
// time from "load" to the first painted page, and the longest gap between ticks of
// a zero-length timer while the rest is read and laid out (the window's answer time).
#include "app/program_fonts.h"
#include "viewers/views/rich_text_view.h"

#include "support/paint_counter.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <optional>

namespace {

// A disc index: one path a line, folders of 8 to 20 characters, 2 to 40 levels
// deep, no blanks; every 50th line a folder path of about 2,000 characters.
QByteArray makeDiscIndex(qsizetype size)
{
    QByteArray text;
    text.reserve(size + 4096);
    unsigned seed = 3;
    auto next = [&seed] {
        seed = seed * 1103515245 + 12345;
        return seed >> 8;
    };
    int line = 0;
    while (text.size() < size) {
        text += "CD0:";
        const unsigned depth = (++line % 50 == 0) ? 150 : 2 + next() % 39;
        for (unsigned i = 0; i < depth; ++i) {
            const unsigned length = 8 + next() % 13;
            for (unsigned c = 0; c < length; ++c)
                text += char('A' + next() % 26);
            text += '/';
        }
        text += "Archive" + QByteArray::number(line) + ".lha\r\n";
    }
    return text;
}

// WordPad-like rich text: paragraphs of 12 words with a bold, italic or coloured
// word now and then, a centred heading every 8 paragraphs.
QByteArray makeRichText(qsizetype size)
{
    static const char* const words[] = {"Amiga", "dischetto", "programma", "caff\\'e8", "versione", "demo", "grafica",
        "musica", "gioco", "utility", "archivio", "Workbench"};
    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}"
                     "{\\f1\\froman\\fcharset0 Times New Roman;}}\r\n{\\colortbl ;\\red255\\green0\\blue0;}\r\n"
                     "\\viewkind4\\uc1\\pard\\f0\\fs20 ";
    rtf.reserve(size + 256);
    unsigned seed = 7;
    int count = 0;
    while (rtf.size() < size) {
        seed = seed * 1103515245 + 12345;
        const QByteArray word = words[(seed >> 16) % std::size(words)];
        ++count;
        if (count % 20 == 0)
            rtf += ((seed >> 8) % 2 ? "\\b " : "\\cf1 ") + word + ((seed >> 8) % 2 ? "\\b0 " : "\\cf0 ");
        else
            rtf += word + ' ';
        if (count % 12 == 0)
            rtf += (count % 96 == 0) ? "\\par\r\n\\pard\\qc\\f1\\fs28 " : "\\par\r\n\\pard\\f0\\fs20 ";
    }
    rtf += "\\par\r\n}\r\n";
    return rtf;
}

using iradudo::test::PaintCounter;

struct Figures {
    double firstPageMs = 0;
    double longestGapMs = 0;
    double totalS = 0;
    bool finished = false;
};

Figures measure(const QString& file, bool wrap)
{
    iradudo::RichTextView view(iradudo::fixedSysFont());
    view.resize(357, 83);
    view.setWrapping(wrap);
    view.show();
    QApplication::processEvents();

    QElapsedTimer clock;
    clock.start();
    view.LoadFromFile(file.toStdString());
    PaintCounter watch;
    view.viewport()->installEventFilter(&watch);
    view.viewport()->update();
    while (watch.paints == 0)
        QApplication::processEvents();
    Figures figures;
    figures.firstPageMs = clock.nsecsElapsed() / 1e6;

    // The answer time: the longest gap between two ticks of a zero-length timer.
    QElapsedTimer gap;
    gap.start();
    qint64 longest = 0;
    QTimer tick;
    tick.setInterval(0);
    QObject::connect(&tick, &QTimer::timeout, [&] { longest = std::max(longest, gap.restart()); });
    tick.start();
    gap.restart();
    const qint64 limitMs = 600'000;
    while (view.busy() && clock.elapsed() < limitMs)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    QApplication::processEvents();
    figures.finished = !view.busy();
    figures.longestGapMs = double(longest);
    figures.totalS = clock.nsecsElapsed() / 1e9;
    return figures;
}

QString writeFile(QTemporaryDir& dir, const char* name, const QByteArray& bytes)
{
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void report(benchmark::State& state, const Figures& figures)
{
    state.SetIterationTime(figures.firstPageMs / 1e3);
    state.counters["first_page_ms"] = figures.firstPageMs;
    state.counters["longest_gap_ms"] = figures.longestGapMs;
    state.counters["done_s"] = figures.totalS;
    state.counters["finished"] = figures.finished ? 1 : 0;
}

QTemporaryDir* files()
{
    static QTemporaryDir dir;
    return &dir;
}

void BM_Plain50MB(benchmark::State& state)
{
    static const QString path = writeFile(*files(), "INDEX.TXT", makeDiscIndex(50'000'000));
    for (auto _ : state)
        report(state, measure(path, state.range(0) != 0));
}
BENCHMARK(BM_Plain50MB)->ArgName("wrap")->Arg(1)->Arg(0)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_Rtf20MB(benchmark::State& state)
{
    static const QString path = writeFile(*files(), "BIG.RTF", makeRichText(20'000'000));
    for (auto _ : state)
        report(state, measure(path, state.range(0) != 0));
}
BENCHMARK(BM_Rtf20MB)->ArgName("wrap")->Arg(1)->Arg(0)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    iradudo::installProgramFonts();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
