// SPDX-License-Identifier: GPL-3.0-or-later
// Loading text into the viewer's document: the RTF reader beside the plain-text
// path on the same visible text, and the plain path on a large file.
#include "app/program_fonts.h"
#include "viewers/text/document_text.h"
#include "viewers/text/text_loader.h"

#include <benchmark/benchmark.h>

#include <QAbstractTextDocumentLayout>
#include <QGuiApplication>
#include <QTextDocument>

#include <chrono>

namespace {

using iradudo::fixedSysFont;
using iradudo::loadTextBytes;

const char* const kWords[] = {"Amiga", "dischetto", "programma", "caff\xe8", "citt\xe0", "versione", "demo", "grafica",
    "musica", "gioco", "utility", "archivio", "lha", "Workbench"};

// Plain text of about `size` bytes: lines of 40 to 100 characters, CR LF ends.
QByteArray makePlainText(qsizetype size)
{
    QByteArray text;
    text.reserve(size + 200);
    unsigned seed = 1;
    qsizetype lineStart = 0;
    while (text.size() < size) {
        seed = seed * 1103515245 + 12345;
        text += kWords[(seed >> 16) % std::size(kWords)];
        if (text.size() - lineStart > 40 + qsizetype((seed >> 8) % 60)) {
            text += "\r\n";
            lineStart = text.size();
        } else {
            text += ' ';
        }
    }
    return text;
}

// WordPad-like rich text of about `size` bytes: paragraphs of 12 words, a centred
// heading in another font every 8 paragraphs, accents as hex escapes, a euro sign
// as \u every 16 words, and a bold, italic or coloured word every `styledEvery` words.
QByteArray makeRichText(qsizetype size, int styledEvery)
{
    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1040{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}"
                     "{\\f1\\froman\\fcharset0 Times New Roman;}}\r\n{\\colortbl ;\\red255\\green0\\blue0;}\r\n"
                     "\\viewkind4\\uc1\\pard\\lang1040\\f0\\fs20 ";
    rtf.reserve(size + 200);
    unsigned seed = 7;
    int words = 0;
    while (rtf.size() < size) {
        seed = seed * 1103515245 + 12345;
        QByteArray word = kWords[(seed >> 16) % std::size(kWords)];
        word.replace("\xe8", "\\'e8").replace("\xe0", "\\'e0");
        ++words;
        if (words % styledEvery == 0) {
            switch ((seed >> 8) % 3) {
            case 0: rtf += "\\b " + word + "\\b0 "; break;
            case 1: rtf += "\\i " + word + "\\i0 "; break;
            default: rtf += "\\cf1 " + word + "\\cf0 "; break;
            }
        } else if (words % 16 == 0) {
            rtf += word + " \\u8364? ";
        } else {
            rtf += word + ' ';
        }
        if (words % 12 == 0)
            rtf += (words % 96 == 0) ? "\\par\r\n\\pard\\qc\\f1\\fs28 " : "\\par\r\n\\pard\\f0\\fs20 ";
    }
    rtf += "\\par\r\n}\r\n";
    return rtf;
}

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
