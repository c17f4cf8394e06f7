// SPDX-License-Identifier: GPL-3.0-or-later
// A directory of 10,000 entries (5,000 archives with 5,000 ".readme" companions)
// listed by the browser from a disc image and from the same tree on disk; an
// image opened with its root listed, small and the size of a full CD; and a
// directory two hundred levels down an image, opened and listed.
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
constexpr int kDeepLevels = 200;

void writeImage(std::vector<std::string> arguments)
{
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int status = 0;
    if (posix_spawnp(&pid, "xorriso", &actions, nullptr, argv.data(), environ) != 0 || ::waitpid(pid, &status, 0) != pid
        || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::abort();
    posix_spawn_file_actions_destroy(&actions);
}

struct Discs {
    fs::path work;
    std::string image;
    std::string fullImage;  // 650 MB
    std::string deepImage;
    std::string deepPath;                     // below E:, two hundred levels
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
        writeImage(arguments);

        Drive directory;
        directory.letter = 'D';
        directory.type = DriveCdRom;
        directory.root = tree.string();
        Drive disc = directory;
        disc.letter = 'E';
        disc.root = image;
        disc.image = true;
        // A CD's worth of data (the big file sparse, so only the image costs
        // disk), and a path two hundred levels deep.
        const fs::path full = work / "full";
        fs::create_directory(full);
        std::ofstream(full / "ReadMe") << "the full disc";
        std::ofstream(full / "data.bin").close();
        fs::resize_file(full / "data.bin", 640ull << 20);
        fullImage = (work / "full.iso").string();
        writeImage({"xorriso", "-as", "mkisofs", "-R", "-J", "-o", fullImage, full.string()});
        fs::path deep = work / "deep";
        for (int i = 0; i < kDeepLevels; ++i) {
            deep /= "d";
            deepPath += "\\d";
        }
        fs::create_directories(deep);
        std::ofstream(deep / "bottom.txt") << "the bottom";
        deepImage = (work / "deep.iso").string();
        writeImage({"xorriso", "-as", "mkisofs", "-R", "-o", deepImage, (work / "deep").string()});

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

void openAndList(benchmark::State& state, const std::string& image, const std::string& directory, std::size_t count)
{
    for (auto _ : state) {
        Drive disc;
        disc.letter = 'E';
        disc.type = DriveCdRom;
        disc.root = image;
        disc.image = true;
        const LinuxPlatform platform(DriveTable({disc}));
        std::size_t entries = 0;
        platform.readDirectory("E:" + directory + "\\", [&](const FileEntry&) { ++entries; });
        if (entries != count)
            state.SkipWithError("listing incomplete");
    }
}

void BM_OpenImageAndListRoot(benchmark::State& state)
{
    openAndList(state, discs().image, "", 2 * kArchives);
}

void BM_OpenFullCdImageAndListRoot(benchmark::State& state)
{
    openAndList(state, discs().fullImage, "", 2);
}

void BM_OpenImageAndListDeepDirectory(benchmark::State& state)
{
    openAndList(state, discs().deepImage, discs().deepPath, 3);  // ".", ".." and the file
}

BENCHMARK(BM_ListingDirectory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListingImage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenImageAndListRoot)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenFullCdImageAndListRoot)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenImageAndListDeepDirectory)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
