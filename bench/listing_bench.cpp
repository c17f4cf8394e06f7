// SPDX-License-Identifier: GPL-3.0-or-later
// The browser listing of a directory of 10,000 entries (5,000 archives with
// 5,000 lower-case ".readme" companions) beside a bare loop making the same
// system calls: one stat per entry, one open and read of each companion.
#include "browser/directory_source.h"
#include "browser/listing.h"
#include "platform/linux_platform.h"

#include <benchmark/benchmark.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace iradudo;

namespace {

constexpr int kArchives = 5000;

struct Disc {
    fs::path root;
    std::unique_ptr<LinuxPlatform> platform;
    std::vector<std::string> entries;      // the file list, as the browser holds it
    std::vector<std::string> companionOf;  // per entry: the companion's stored name, or empty

    Disc()
    {
        std::string pattern = (fs::temp_directory_path() / "iradudo-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        root = pattern;
        const std::string archiveBytes(2048, 'a');
        for (int i = 0; i < kArchives; ++i) {
            char stem[32];
            std::snprintf(stem, sizeof stem, "Archive%04d", i);
            std::ofstream(root / (std::string(stem) + ".lha"), std::ios::binary) << archiveBytes;
            std::ofstream(root / (std::string(stem) + ".readme"), std::ios::binary)
                << "Short:        Archive number " << i << " of the benchmark disc\n"
                << "Author:       Somebody\nUploader:     somebody@example.org\nType:         util/misc\n"
                << "Architecture: m68k-amigaos\n\nA longer description follows here.\n";
        }
        Drive drive;
        drive.letter = 'D';
        drive.type = DriveCdRom;
        drive.root = root.string();
        platform = std::make_unique<LinuxPlatform>(DriveTable({drive}));
        platform->setCurrentDirectory("D:\\");
        FileList files(*platform);
        entries = files.entries();
        for (const std::string& entry : entries) {
            const std::string stem = entry.substr(0, entry.size() - 4);
            companionOf.push_back(entry.ends_with(".lha") ? stem + ".readme" : std::string());
        }
    }

    ~Disc()
    {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
};

Disc& disc()
{
    static Disc instance;
    return instance;
}

void BM_Listing(benchmark::State& state)
{
    Disc& d = disc();
    for (auto _ : state) {
        Listing listing = buildListing(d.entries, *d.platform, false);
        benchmark::DoNotOptimize(listing.items.data());
        if (listing.items.size() != d.entries.size() || listing.items.front().comment.empty())
            state.SkipWithError("listing incomplete");
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(d.entries.size()));
}

void BM_BareLoop(benchmark::State& state)
{
    Disc& d = disc();
    char buffer[4096];
    for (auto _ : state) {
        std::int64_t total = 0;
        for (std::size_t i = 0; i < d.entries.size(); ++i) {
            struct stat info { };
            if (::stat(d.entries[i].c_str(), &info) == 0)
                total += info.st_size;
            if (!d.companionOf[i].empty()) {
                const int fd = ::open(d.companionOf[i].c_str(), O_RDONLY | O_CLOEXEC);
                if (fd >= 0) {
                    benchmark::DoNotOptimize(::read(fd, buffer, sizeof buffer));
                    ::close(fd);
                }
            }
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(d.entries.size()));
}

BENCHMARK(BM_BareLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Listing)->Unit(benchmark::kMillisecond);

// Prints the runs as usual and keeps their times for the ratio.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, std::pair<double, double>> times;  // real, CPU

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            // With repetitions only the medians count; a single run counts as it is.
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median")
                continue;
            times[run.run_name.function_name] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv)
{
    // Other programs share the machine: by default repeat both loops, interleaved
    // in random order, and compare their medians.
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
    disc();  // build the directory before anything is timed
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto bare = reporter.times.find("BM_BareLoop");
    const auto listing = reporter.times.find("BM_Listing");
    if (bare != reporter.times.end() && listing != reporter.times.end() && bare->second.first > 0
        && bare->second.second > 0) {
        // On a shared machine the CPU-time ratio is the steadier of the two.
        std::printf("listing / bare loop: %.2f real time, %.2f CPU time (target <= 1.30)\n",
            listing->second.first / bare->second.first, listing->second.second / bare->second.second);
    }
    benchmark::Shutdown();
    return 0;
}
