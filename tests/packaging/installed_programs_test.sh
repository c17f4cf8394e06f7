#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# usage: installed_programs_test.sh PREFIX SOURCE_DIR VERSION PROGRAM...
# The installed programs, run from the prefix with the source and build
# folders out of sight: --version, --help and a wrong argument on each, the
# demo disc listed by the installed command-line tool, and manual pages that
# render cleanly and document every option --help names.
set -euo pipefail
prefix=$1 source=$2 version=$3
shift 3
programs=("$@")
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# No display: --help and --version must not need one. The work folder is
# elsewhere, so nothing is found relative to the source tree by accident.
cd /
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@"; }
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT

for program in "${programs[@]}"; do
  binary=$prefix/bin/$program
  [ -x "$binary" ] || { fail "$binary is not installed"; continue; }
  if readelf -d "$binary" | grep -qE 'R(UN)?PATH'; then
    fail "$program keeps a library search path: $(readelf -d "$binary" | grep -E 'R(UN)?PATH')"
  fi

  if run "$binary" --version >"$out" 2>"$err"; then
    [ "$(head -n 1 "$out")" = "$program $version" ] || fail "$program --version: '$(head -n 1 "$out")', not '$program $version'"
    grep -q 'GPLv3+' "$out" || fail "$program --version names no licence"
    [ -s "$err" ] && fail "$program --version wrote on stderr: $(cat "$err")"
  else
    fail "$program --version: status $?: $(cat "$err")"
  fi

  if run "$binary" --help >"$out" 2>"$err"; then
    grep -qiE "^usage: *$program( |\$)" "$out" || fail "$program --help prints no usage on stdout"
  else
    fail "$program --help: status $?: $(cat "$err")"
  fi

  # The window program reads a wrong argument once Qt has started, so it gets a platform.
  status=0
  QT_QPA_PLATFORM=offscreen "$binary" --no-such-option >"$out" 2>"$err" || status=$?
  [ "$status" -eq 2 ] || fail "$program --no-such-option: status $status, not 2"
  grep -qiE "^usage: *$program( |\$)" "$err" || fail "$program --no-such-option: no usage on stderr"
  [ -s "$out" ] && fail "$program --no-such-option wrote on stdout"

  # Every option --help names is in the manual page, and the page renders without warnings.
  page=$prefix/share/man/man1/$program.1.gz
  if [ ! -f "$page" ]; then
    fail "$page is not installed"
    continue
  fi
  warnings=$(zcat "$page" | LC_ALL=C.UTF-8 MANWIDTH=80 groff -man -Tutf8 -ww -z 2>&1 || true)
  [ -z "$warnings" ] || fail "$program.1 renders with warnings: $warnings"
  manual=$(zcat "$page" | LC_ALL=C.UTF-8 MANWIDTH=80 man -l - 2>/dev/null | col -b)
  run "$binary" --help 2>/dev/null | grep -oE -- '--[a-z][a-z-]*' | sort -u | while read -r option; do
    grep -qF -- "$option" <<<"$manual" || echo "$option"
  done >"$err"
  [ -s "$err" ] && fail "$program.1 does not document: $(tr '\n' ' ' <"$err")"
done

# The command-line tool's commands, as --help lists them, each have their paragraph.
page=$prefix/share/man/man1/iradudo-cli.1.gz
if [ -f "$page" ]; then
  manual=$(zcat "$page" | LC_ALL=C.UTF-8 MANWIDTH=80 man -l - 2>/dev/null | col -b)
  for command in $(run "$prefix/bin/iradudo-cli" --help | sed -n 's/^  \([a-z0-9-]*\).*/\1/p'); do
    grep -qE "^ +$command( |\$)" <<<"$manual" || fail "iradudo-cli.1 does not describe the command $command"
  done
fi

# The demo disc through the installed tool: its drawers, its files with their
# sizes, and the totals line counted here from the file system (.info hidden).
cli=$prefix/bin/iradudo-cli
if "$cli" --cd "$source/demo" list "$source/demo" >"$out" 2>"$err"; then
  for drawer in Documenti Giochi Grafica Utility; do
    grep -qP "^0\t\\[$drawer\\]\t" "$out" || fail "the demo listing has no drawer $drawer"
  done
  for file in Leggimi.txt Lettera.rtf Indice.html; do
    grep -qP "^[0-9]\t\Q$file\E\t$(stat -c %s "$source/demo/$file")\t" "$out" \
      || fail "the demo listing has no file $file with its size"
  done
  entries=$(find "$source/demo" -mindepth 1 -maxdepth 1 ! -name '*.info' | wc -l)
  bytes=$(find "$source/demo" -mindepth 1 -maxdepth 1 -type f ! -name '*.info' -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')
  [ "$(tail -n 1 "$out")" = "$entries elementi, $bytes bytes totali" ] \
    || fail "the demo listing ends '$(tail -n 1 "$out")', not '$entries elementi, $bytes bytes totali'"
else
  fail "iradudo-cli list of the demo disc: $(cat "$err")"
fi

[ "$failures" -eq 0 ] || exit 1
echo "installed programs: all checks passed"
