// SPDX-License-Identifier: GPL-3.0-or-later
// A 1 MB EMF (a chart of 52,160 records, emf2svg-test-105.emf of the metafile
// tests' data) rendered at its own size:
//  - in process: parse and play into an image, as the image viewer does;
//  - whole process: `iradudo-cli picture FILE --png OUT`, beside
//    `emf2svg-conv` then `rsvg-convert` to a PNG (the renderers the metafile
//    tests compare with), started the same way.
// At the end the ratio of the whole-process medians is printed.

#include "viewers/metafile/metafile.h"
#include "viewers/metafile/metafile_player.h"

#include "shared_machine_options.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

const QString kFile = QStringLiteral(IRADUDO_SOURCE_DIR "/tests/viewers/metafile/data/real/emf2svg-test-105.emf");

bool run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

void inProcess(benchmark::State& state)
{
    std::ifstream in(kFile.toStdString(), std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    state.counters["bytes"] = double(bytes.size());
    for (auto _ : state) {
        const iradudo::metafile::Metafile file = iradudo::metafile::parse(bytes.data(), bytes.size());
        const QImage image = iradudo::metafile::render(file, QSize(file.width, file.height), Qt::white);
        benchmark::DoNotOptimize(image.constBits());
    }
}

void ourProcess(benchmark::State& state)
{
    QTemporaryDir dir;
    for (auto _ : state) {
        if (!run(QStringLiteral(IRADUDO_CLI), {"picture", kFile, "--png", dir.filePath("out.png")}))
            state.SkipWithError("iradudo-cli failed");
    }
}

void referenceProcess(benchmark::State& state)
{
    if (QStandardPaths::findExecutable("emf2svg-conv").isEmpty()
        || QStandardPaths::findExecutable("rsvg-convert").isEmpty()) {
        state.SkipWithError("emf2svg-conv or rsvg-convert is not installed");
        return;
    }
    QTemporaryDir dir;
    for (auto _ : state) {
        if (!run("emf2svg-conv", {"-i", kFile, "-o", dir.filePath("out.svg")})
            || !run("rsvg-convert", {"-b", "white", dir.filePath("out.svg"), "-o", dir.filePath("out.png")}))
            state.SkipWithError("the reference renderers failed");
    }
}

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.aggregate_name == "median")
                real_[run.run_name.function_name] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }

    void printRatio(std::ostream& out) const
    {
        const auto a = real_.find("iradudo_cli_process"), b = real_.find("emf2svg_rsvg_process");
        if (a == real_.end() || b == real_.end() || b->second <= 0)
            return;
        out << "whole process, iradudo-cli / (emf2svg-conv + rsvg-convert) = " << a->second / b->second << '\n';
    }

private:
    std::map<std::string, double> real_;
};

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);  // text needs fonts, fonts an application
    benchmark::RegisterBenchmark("player_in_process", inProcess)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("iradudo_cli_process", ourProcess)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("emf2svg_rsvg_process", referenceProcess)->Unit(benchmark::kMillisecond);

    iradudo::bench::initializeForSharedMachine(argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio(std::cout);
    benchmark::Shutdown();
    return 0;
}
