#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# "Avvia" on a file of a disc image under a bare X server, with a stand-in
# opener: the copy's private folder goes when the program ends on SIGTERM; after
# kill -9 it stays until the next start, which leaves a live program's folder.
# Exit 77 (skipped) when the X tools are not installed.
set -uo pipefail
program=$1

for tool in Xvfb xdotool xorriso; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool not installed"; exit 77; }
done

source "$(dirname "$0")/../support/xvfb_session.sh"

mkdir "$work/tree" "$work/bin" "$work/tmp"
echo "ciao dal disco" >"$work/tree/LEGGIMI.TXT"
xorriso -as mkisofs -quiet -R -J -V SEGNALI -o "$work/disc.iso" "$work/tree" 2>/dev/null
cat >"$work/bin/xdg-open" <<STANDIN
#!/bin/sh
grep '^SigBlk:' /proc/self/status >"$work/signals"
cp "\$1" "$work/opened"
STANDIN
chmod +x "$work/bin/xdg-open"
export TMPDIR="$work/tmp" PATH="$work/bin:$PATH"

# A file, not a variable, counts failures: some checks run in a subshell.
fail() { echo "FAIL: $*" >&2; echo x >>"$work/failures"; }
folders() { find "$work/tmp" -mindepth 1 -maxdepth 1 -name 'iradudo-*' | sort; }

# Opens the disc's browser, picks its one file and presses "Avvia"; the folder
# the copy went to on standard output.
start_the_file() {
  rm -f "$work/opened"
  local before
  before=$(folders)
  # The CD icon at client 0, 18; the file as the browser's first item; "Avvia"
  # the tenth button of its toolbar (client origin 128, 119).
  xdotool mousemove $((128 + 36)) $((119 + 18 + 20)) click 1 sleep 0.2 click --repeat 2 --delay 60 1
  sleep 1
  xdotool mousemove 372 280 click 1 sleep 0.3 mousemove 544 241 click 1
  for _ in $(seq 50); do [ -s "$work/opened" ] && break; sleep 0.1; done
  [ "$(cat "$work/opened" 2>/dev/null)" = "ciao dal disco" ] || fail "the opener did not get the file's copy"
  # The opener starts with no signal blocked, as from a shell.
  grep -q $'^SigBlk:\t0*$' "$work/signals" 2>/dev/null || fail "opener's signal mask: $(cat "$work/signals")"
  comm -13 <(echo "$before") <(folders)
}

# 1. SIGTERM: the program ends as when its window is closed, and the folder goes.
start_xvfb
start_program "$program" --cd "$work/disc.iso"
first=$(start_the_file)
[ -n "$first" ] && [ -f "$first/LEGGIMI.TXT" ] || fail "no private folder with the copy: '$first'"
kill -TERM "$app_pid"
wait "$app_pid"
status=$?
app_pid=
[ $status -eq 0 ] || fail "ended with status $status on SIGTERM"
[ -z "$(folders)" ] || fail "left behind after SIGTERM: $(folders)"

# 2. kill -9 leaves the folder; the next start, once it is past its grace time, removes it.
start_program "$program" --cd "$work/disc.iso"
killed=$(start_the_file)
kill -9 "$app_pid"
wait "$app_pid" 2>/dev/null
app_pid=
[ -n "$killed" ] && [ -d "$killed" ] || fail "no folder left by kill -9 to sweep: '$killed'"
sleep 2.5
start_program "$program" --cd "$work/disc.iso"
[ ! -e "$killed" ] || fail "the killed program's folder survived the next start"
live=$(start_the_file)
[ -n "$live" ] && [ -d "$live" ] || fail "the second program made no folder"

# 3. A third start, while the second still runs, leaves the second's folder.
sleep 2.5
QT_QPA_PLATFORM=offscreen "$program" --cd "$work/disc.iso" >"$work/third.log" 2>&1 &
third=$!
sleep 2
kill -TERM $third
wait $third
[ -n "$live" ] && [ -f "$live/LEGGIMI.TXT" ] || fail "a live program's folder was swept"
kill -TERM "$app_pid"
wait "$app_pid"
app_pid=
[ -z "$(folders)" ] || fail "left behind at the end: $(folders)"

[ -s "$work/failures" ] && { cat "$work/app.log"; exit 1; }
echo "all passed"
