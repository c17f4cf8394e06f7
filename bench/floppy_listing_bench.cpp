// SPDX-License-Identifier: GPL-3.0-or-later
// The browser listing of a floppy folder of 100 files (50 archives with 50
// ".readme" companions) from a 1.44 MB image (a folder below the root) made by mformat and mcopy, beside
// the same folder on the host. BM_FloppyCold makes a new platform each time, so
// the image's FAT and directory are read again, as after a change to the image.
#include "browser/directory_source.h"
#include "browser/listing.h"
#include "platform/linux_platform.h"
#include "platform/run_program.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace iradudo;

namespace {

constexpr int kArchives = 50;

struct Folder {
    fs::path root;
    std::string image;

    Folder()
    {
        std::string pattern = (fs::temp_directory_path() / "iradudo-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        root = pattern;
        fs::create_directories(root / "host" / "Archives");
        const std::string archiveBytes(2048, 'a');
        std::vector<std::string> copy{"mcopy", "-i", (root / "a.img").string()};
        for (int i = 0; i < kArchives; ++i) {
            char stem[32];
            std::snprintf(stem, sizeof stem, "Archive%02d", i);
            const fs::path archive = root / "host" / "Archives" / (std::string(stem) + ".lha");
            const fs::path readme = root / "host" / "Archives" / (std::string(stem) + ".readme");
            std::ofstream(archive, std::ios::binary) << archiveBytes;
            std::ofstream(readme, std::ios::binary)
                << "Short:        Archive number " << i << " of the benchmark floppy\n"
                << "Author:       Somebody\nType:         util/misc\n\nA longer description follows here.\n";
            copy.push_back(archive.string());
            copy.push_back(readme.string());
        }
        // The root holds 224 entries, fewer than 100 long names need.
        copy.push_back("::/Archives/");
        image = (root / "a.img").string();
        const std::vector<std::string> environment{"MTOOLSRC=/dev/null", "mtools_skip_check=1"};
        if (runProgram({"mformat", "-C", "-f", "1440", "-i", image, "::"}, environment).exitCode != 0
            || runProgram({"mmd", "-i", image, "::/Archives"}, environment).exitCode != 0
            || runProgram(copy, environment).exitCode != 0) {
            std::fprintf(stderr, "mformat/mcopy failed\n");
            std::abort();
        }
    }

    ~Folder()
    {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    std::unique_ptr<LinuxPlatform> platform() const
    {
        Drive a;
        a.letter = 'A';
        a.type = DriveRemovable;
        a.floppy = image;
        Drive c;
        c.letter = 'C';
        c.type = DriveFixed;
        c.root = (root / "host").string();
        return std::make_unique<LinuxPlatform>(DriveTable({a, c}));
    }
};

Folder& folder()
{
    static Folder instance;
    return instance;
}

void listOnce(benchmark::State& state, LinuxPlatform& platform, const char* directory)
{
    platform.setCurrentDirectory(directory);
    FileList files(platform);
    Listing listing = buildListing(files.entries(), platform, false);
    benchmark::DoNotOptimize(listing.items.data());
    // "." and ".." are listed below the root; each archive shows its companion's line.
    const auto described = std::ranges::count_if(listing.items, [](const auto& item) { return !item.comment.empty(); });
    if (listing.items.size() != 2 * kArchives + 2 || described != kArchives)
        state.SkipWithError("listing incomplete");
}

void BM_Host(benchmark::State& state)
{
    const std::unique_ptr<LinuxPlatform> platform = folder().platform();
    for (auto _ : state)
        listOnce(state, *platform, "C:\\Archives");
}

void BM_Floppy(benchmark::State& state)
{
    const std::unique_ptr<LinuxPlatform> platform = folder().platform();
    for (auto _ : state)
        listOnce(state, *platform, "A:\\Archives");
}

void BM_FloppyCold(benchmark::State& state)
{
    for (auto _ : state) {
        const std::unique_ptr<LinuxPlatform> platform = folder().platform();
        listOnce(state, *platform, "A:\\Archives");
    }
}

BENCHMARK(BM_Host)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Floppy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloppyCold)->Unit(benchmark::kMillisecond);

class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> cpu;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median")
                continue;
            cpu[run.run_name.function_name] = run.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv)
{
    // Other programs share the machine: repeat, interleaved, and compare medians.
    std::vector<char*> args(argv, argv + argc);
    std::string repetitions = "--benchmark_repetitions=9";
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    std::string aggregates = "--benchmark_report_aggregates_only=true";
    if (argc == 1) {
        args.push_back(repetitions.data());
        args.push_back(interleave.data());
        args.push_back(aggregates.data());
    }
    int count = static_cast<int>(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    folder();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double host = reporter.cpu["BM_Host"];
    if (host > 0) {
        std::printf("floppy / host: %.2f, cold floppy / host: %.2f CPU time (target <= 1.50)\n",
            reporter.cpu["BM_Floppy"] / host, reporter.cpu["BM_FloppyCold"] / host);
    }
    benchmark::Shutdown();
    return 0;
}
