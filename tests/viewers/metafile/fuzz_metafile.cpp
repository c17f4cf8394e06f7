// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for the metafile parser and player: scripts/fuzz.sh fuzz_metafile
// MINUTES (ASAN_OPTIONS=detect_leaks=0 there: fontconfig keeps caches that the
// leak checker would report).
// Every input must either fail with MetafileError or give a size within the
// bounds and play without fault. Keep what it finds in data/regress/.
#include "viewers/metafile/metafile.h"
#include "viewers/metafile/metafile_player.h"

#include "support/fuzz_gui.h"

#include <QImage>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace iradudo::metafile;
    // Text needs fonts, and fonts need an application.
    iradudo::test::ensureGuiApplication();
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
