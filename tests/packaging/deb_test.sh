#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from the build folder BUILD, as its README says
# (cpack -G DEB; the programs are already built, so nothing is recompiled),
# then checks its control fields and contents and runs lintian on it: no
# error may remain. Exit 77 (skipped) when lintian is not installed.
set -euo pipefail
build=$1 version=$2 app_id=$3
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if ! (cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1); then
  cat "$work/cpack.log" >&2
  echo "FAIL: cpack" >&2
  exit 1
fi
debs=("$work"/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: cpack made ${#debs[@]} packages" >&2; exit 1; }
deb=${debs[0]}

[ "$(dpkg-deb -f "$deb" Package)" = iradudo ] || fail "the package is not named iradudo"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the package's version is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
# The libraries come from dpkg-shlibdeps; the rest the programs start or load by name.
for package in libc6 libqt6widgets6 libjpeg62-turbo xdg-utils mtools fonts-wine fonts-liberation2 fonts-dejavu-core; do
  grep -qE "(^|, )$package( |,|\$)" <<<"$depends" || fail "Depends lacks $package: $depends"
done

contents=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
for path in ./usr/bin/iradudo ./usr/bin/iradudo-cli \
  ./usr/share/applications/$app_id.desktop ./usr/share/metainfo/$app_id.metainfo.xml \
  ./usr/share/icons/hicolor/scalable/apps/$app_id.svg \
  ./usr/share/icons/hicolor/48x48/apps/$app_id.png \
  ./usr/share/man/man1/iradudo.1.gz ./usr/share/man/man1/iradudo-cli.1.gz \
  ./usr/share/doc/iradudo/copyright ./usr/share/doc/iradudo/changelog.gz; do
  grep -qxF -- "$path" <<<"$contents" || fail "the package lacks $path"
done

if ! command -v lintian >/dev/null; then
  [ "$failures" -eq 0 ] || exit 1
  echo "lintian is not installed: the package's contents checked, lintian skipped"
  exit 77
fi
status=0
lintian --fail-on error --display-level '>=warning' "$deb" >"$work/lintian.log" 2>&1 || status=$?
cat "$work/lintian.log"
[ "$status" -eq 0 ] || fail "lintian: status $status"

[ "$failures" -eq 0 ] || exit 1
echo "Debian package $(basename "$deb"): all checks passed"
