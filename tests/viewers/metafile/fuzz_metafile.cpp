// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the metafile parser and player, run by hand (not part of
// the build):
//   clang++ -std=c++20 -O1 -g -fPIC -fsanitize=fuzzer,address,undefined -Isrc \
//     $(pkg-config --cflags Qt6Gui) tests/viewers/metafile/fuzz_metafile.cpp \
//     src/viewers/metafile/metafile.cpp src/viewers/metafile/metafile_player.cpp \
//     $(pkg-config --libs Qt6Gui) -o fuzz_metafile
//   ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen \
//     ./fuzz_metafile -max_len=4096 CORPUS tests/viewers/metafile/data/pictures
// (fontconfig keeps caches that the leak checker would report).
// Every input must either fail with MetafileError or give a size within the
// bounds and play without fault. Keep what it finds in data/regress/.
#include "viewers/metafile/metafile.h"
#include "viewers/metafile/metafile_player.h"

#include <QGuiApplication>
#include <QImage>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // Text needs fonts, and fonts need an application.
    static QGuiApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace iradudo::metafile;
    try {
        const Metafile file = parse(data, size);
        if (file.width < 1 || file.height < 1 || file.width > kMaxPictureSide || file.height > kMaxPictureSide)
            std::abort();
        // Small pictures, so that the fuzzer spends its time in the records.
        render(file, QSize(std::min(file.width, 64), std::min(file.height, 64)), Qt::white);
    } catch (const MetafileError&) {
    }
    return 0;
}
