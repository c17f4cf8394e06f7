#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs every Debian package the project needs to build, test and run.
# Run as root (or through sudo) on Debian 12.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libjpeg62-turbo-dev
  libgtest-dev libgmock-dev libbenchmark-dev clang-format
  # references for tests and benchmarks: giflib and stb_image decode the same files
  libgif-dev giflib-tools libstb-dev
  # test data made by independent tools
  imagemagick python3-pil pandoc xorriso
  # independent readers of the disc images the tests make
  genisoimage libarchive-tools
  # remaking the metafile test files (tests/viewers/metafile/data/make_metafiles.sh):
  # libuemf's writer makes them (never linked into the program),
  # wmf2gd (with its fonts) and emf2svg-conv with rsvg-convert render the references
  libuemf-dev libwmf-bin gsfonts emf2svg librsvg2-bin
  # page counts of printed PDF files
  poppler-utils
  # fonts the window program maps its font names to
  fonts-liberation2 fonts-dejavu-core fonts-wine
  # the end-to-end test of the window program
  xvfb xdotool x11-apps xfonts-base libxkbcommon-x11-0
  # opening files with the desktop's default application
  xdg-utils
  # drive A:: floppy images and drives through mtools, the low-level format of
  # real drives (controller and USB), the format program's terminal, and
  # dosfstools' fsck.fat to check formatted images in the tests
  mtools fdutils ufiformat xterm dosfstools
  # unadf, an independent reader of the Amiga disk files the program writes
  unadf
  # installing: icons rendered from their drawing, the Debian package's library
  # dependencies, and the checks of the desktop entry, the metadata, the manual
  # pages and the package
  librsvg2-bin dpkg-dev desktop-file-utils appstream man-db lintian
)

if [ "$(id -u)" -ne 0 ]; then
  echo "scripts/setup.sh installs packages: run it as root (sudo bash scripts/setup.sh)" >&2
  exit 1
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
