#!/usr/bin/env bash
# Builds the program and starts it on the bundled demo disc (and any disc
# directories given as arguments).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DIRADUDO_BENCHMARKS=OFF >/dev/null
cmake --build build -j "$(nproc)"
if [ $# -eq 0 ]; then
  set -- "$PWD/demo"
fi
cd_args=()
for dir in "$@"; do cd_args+=(--cd "$dir"); done
./build/iradudo-cli "${cd_args[@]}" drives
exec ./build/iradudo-cli "${cd_args[@]}" list "$1"
