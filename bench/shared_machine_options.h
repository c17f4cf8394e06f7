// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace iradudo::bench {

// The machine may be shared: by default repeat every benchmark, interleaved
// with the others, and compare medians. Any --benchmark_ option overrides this.
inline void initializeForSharedMachine(int argc, char** argv)
{
    std::vector<char*> args(argv, argv + argc);
    static char repetitions[] = "--benchmark_repetitions=7";
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    static char aggregates[] = "--benchmark_report_aggregates_only=true";
    bool ownOptions = false;
    for (int i = 1; i < argc; ++i)
        ownOptions = ownOptions || std::strncmp(argv[i], "--benchmark_", 12) == 0;
    if (!ownOptions)
        args.insert(args.end(), {repetitions, interleave, aggregates});
    int count = static_cast<int>(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
}

}  // namespace iradudo::bench
