#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds one fuzz target with clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs it for the given minutes:
#   scripts/fuzz.sh fuzz_gif|fuzz_text|fuzz_bmp|fuzz_ico|fuzz_jpeg|fuzz_readme|... MINUTES
# The corpus grows in build-fuzz/corpus/TARGET, seeded from the target's kept
# files; each crash is written to build-fuzz/finds/TARGET/. Keep a find as a
# regression file beside the target's tests (its data/fuzz-* folder).
# The 30-second timeout leaves room for the pictures the decoders accept (a
# 16-megapixel one takes a few seconds under the sanitizers on a busy machine).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -ne 2 ]; then
  echo "usage: scripts/fuzz.sh TARGET MINUTES" >&2
  exit 2
fi
target=$1
minutes=$2
if ! command -v clang++ >/dev/null; then
  echo "scripts/fuzz.sh needs clang (apt-get install clang libclang-rt-dev)" >&2
  exit 1
fi

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DIRADUDO_FUZZ=ON -DIRADUDO_SANITIZE=ON -DIRADUDO_WITH_GUI=OFF -DIRADUDO_BENCHMARKS=OFF >/dev/null
cmake --build build-fuzz --target "$target"

# Seeds: the folders that the normal build replays for this target.
mapfile -t seeds < "build-fuzz/fuzz/$target.seeds"
corpus=build-fuzz/corpus/$target
finds=build-fuzz/finds/$target
mkdir -p "$corpus" "$finds"
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
QT_QPA_PLATFORM=offscreen \
  "build-fuzz/fuzz/$target" -max_total_time=$((minutes * 60)) -max_len=65536 -timeout=30 -rss_limit_mb=4096 \
  -print_final_stats=1 -artifact_prefix="$finds/" "$corpus" "${seeds[@]}"
