#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the project and runs every test: the normal build, then the sanitizer
# build (AddressSanitizer + UndefinedBehaviorSanitizer) of the cores and their tests.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

# The C++ sources follow .clang-format.
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DIRADUDO_WERROR=ON
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DIRADUDO_WERROR=ON \
  -DIRADUDO_SANITIZE=ON -DIRADUDO_WITH_GUI=OFF -DIRADUDO_BENCHMARKS=OFF
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs" -L core
