#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the window program and starts it: on the disc directories given as
# arguments (each becomes a CD-ROM drive whose icon stands on the desktop), else
# on the machine's own CD-ROM drives when one holds a mounted disc, else on the
# bundled demo disc.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DIRADUDO_BENCHMARKS=OFF >/dev/null
cmake --build build -j "$(nproc)" --target iradudo iradudo-cli
if [ $# -eq 0 ] && ! ./build/iradudo-cli drives | awk -F'\t' '$2 == 5 && $4 != "" { found = 1 } END { exit !found }'; then
  set -- "$PWD/demo"
fi
cd_args=()
for dir in "$@"; do cd_args+=(--cd "$dir"); done
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: run this from a desktop session (or under xvfb-run)." >&2
  exit 1
fi
exec ./build/iradudo "${cd_args[@]}"
