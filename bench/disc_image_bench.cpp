// SPDX-License-Identifier: GPL-3.0-or-later
// A directory of 10,000 entries (5,000 archives with 5,000 ".readme" companions)
// listed by the browser from a disc image and from the same tree on disk, and an
// image opened with its root listed.
#include "browser/directory_source.h"
#include "browser/listing.h"
#include "platform/linux_platform.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;
using namespace iradudo;

namespace {

constexpr int kArchives = 5000;

struct Discs {
    fs::path work;
    std::string image;
    std::unique_ptr<LinuxPlatform> platform;  // D: the tree, E: its image
    std::vector<std::string> entries;

    Discs()
    {
        std::string pattern = (fs::temp_directory_path() / "iradudo-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        work = pattern;
        const fs::path tree = work / "tree";
        fs::create_directory(tree);
        const std::string archiveBytes(2048, 'a');
        for (int i = 0; i < kArchives; ++i) {
            char stem[32];
            std::snprintf(stem, sizeof stem, "Archive%04d", i);
            std::ofstream(tree / (std::string(stem) + ".lha"), std::ios::binary) << archiveBytes;
            std::ofstream(tree / (std::string(stem) + ".readme"), std::ios::binary)
                << "Short:        Archive number " << i << " of the benchmark disc\n";
        }
        image = (work / "disc.iso").string();
        std::vector<std::string> arguments = {"xorriso", "-as", "mkisofs", "-R", "-J", "-o", image, tree.string()};
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t pid = -1;
        int status = 0;
        if (posix_spawnp(&pid, "xorriso", &actions, nullptr, argv.data(), environ) != 0
            || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            std::abort();
        posix_spawn_file_actions_destroy(&actions);

        Drive directory;
        directory.letter = 'D';
        directory.type = DriveCdRom;
        directory.root = tree.string();
        Drive disc = directory;
        disc.letter = 'E';
        disc.root = image;
        disc.image = true;
        platform = std::make_unique<LinuxPlatform>(DriveTable({directory, disc}));
        platform->setCurrentDirectory("D:\\");
        entries = FileList(*platform).entries();
    }

    ~Discs()
    {
        std::error_code ignored;
        fs::remove_all(work, ignored);
    }
};

Discs& discs()
{
    static Discs instance;
    return instance;
}

void listDrive(benchmark::State& state, const char* root)
{
    Discs& d = discs();
    d.platform->setCurrentDirectory(root);
    for (auto _ : state) {
        Listing listing = buildListing(d.entries, *d.platform, false);
        benchmark::DoNotOptimize(listing.items.data());
        if (listing.items.size() != d.entries.size() || listing.items.front().comment.empty())
            state.SkipWithError("listing incomplete");
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(d.entries.size()));
}

void BM_ListingDirectory(benchmark::State& state)
{
    listDrive(state, "D:\\");
}

void BM_ListingImage(benchmark::State& state)
{
    listDrive(state, "E:\\");
}

void BM_OpenImageAndListRoot(benchmark::State& state)
{
    Discs& d = discs();
    for (auto _ : state) {
        Drive disc;
        disc.letter = 'E';
        disc.type = DriveCdRom;
        disc.root = d.image;
        disc.image = true;
        const LinuxPlatform platform(DriveTable({disc}));
        std::size_t entries = 0;
        platform.readDirectory("E:\\", [&](const FileEntry&) { ++entries; });
        benchmark::DoNotOptimize(entries);
    }
}

BENCHMARK(BM_ListingDirectory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListingImage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenImageAndListRoot)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
