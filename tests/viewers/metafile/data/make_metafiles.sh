#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Remakes the metafile test pictures and their reference renderings (the files
# are checked in; run this only to change them). Independent tools only:
# - pictures/uemf_*.wmf, *.emf: uemf_writer.c, a stand-alone generator on
#   libuemf's record writer (Debian libuemf-dev 0.2.8; libuemf is GPL-2.0-only,
#   so the generator is built here and never linked with the program);
# - reference/*.png: WMF through wmf2gd (Debian libwmf-bin 0.2.12, with gsfonts),
#   at the size the program gives the picture; EMF through emf2svg-conv
#   (Debian emf2svg 1.1.0) then rsvg-convert (librsvg2-bin) on white.
# The program's own size comes from `iradudo-cli picture`, so build it first.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
cli="${1:-$here/../../../../build/iradudo-cli}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

gcc -O1 -Wall -o "$work/uemf_writer" "$here/uemf_writer.c" -luemf
mkdir -p "$here/pictures" "$here/reference"
"$work/uemf_writer" "$here/pictures"

for f in "$here"/pictures/*.wmf; do
  name="$(basename "$f" .wmf)"
  read -r w h < <("$cli" picture "$f" 2>/dev/null)
  wmf2gd --maxwidth="$w" --maxheight="$h" --maxsize -o "$here/reference/${name}_wmf.png" "$f" >/dev/null 2>&1
done
for f in "$here"/pictures/*.emf; do
  name="$(basename "$f" .emf)"
  emf2svg-conv -i "$f" -o "$work/$name.svg"
  rsvg-convert -b white "$work/$name.svg" -o "$here/reference/${name}_emf.png"
done

# real/: public test files of other projects (origins in real/README.md),
# rendered at their size fitted into 800 x 800 pixels, as the test renders them.
fit() {
  read -r w h < <("$cli" picture "$1" 2>/dev/null)
  if (( w > 800 || h > 800 )); then
    if (( w >= h )); then h=$(( (h * 800 + w / 2) / w )); w=800; else w=$(( (w * 800 + h / 2) / h )); h=800; fi
  fi
  echo "$w $h"
}
for f in "$here"/real/*.wmf; do
  name="$(basename "$f" .wmf)"
  read -r w h < <(fit "$f")
  wmf2gd --maxwidth="$w" --maxheight="$h" --maxsize -o "$here/reference/${name}_wmf.png" "$f" >/dev/null 2>&1
done
for f in "$here"/real/*.emf; do
  name="$(basename "$f" .emf)"
  read -r w h < <(fit "$f")
  emf2svg-conv -i "$f" -o "$work/$name.svg"
  rsvg-convert -b white -w "$w" -h "$h" "$work/$name.svg" -o "$here/reference/${name}_emf.png"
done
