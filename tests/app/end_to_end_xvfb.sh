#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts the window program on the demo disc under a bare X server (no window
# manager, so the window stays where the program places it), double-clicks the
# CD icon with xdotool and checks the screenshot for the browser window.
# Exit 77 (skipped) when the X tools are not installed.
set -uo pipefail
program=$1
disc=$2

for tool in Xvfb xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool not installed"; exit 77; }
done

source "$(dirname "$0")/../support/xvfb_session.sh"

start_xvfb
start_program "$program" --cd "$disc"

pixel() { convert "$1" -format "%[pixel:p{$2,$3}]" info:; }
blue="srgb(96,143,191)"

# The client area starts at 128, 119; the browser's title bar lies at 200, 88 in it.
title_x=$((128 + 200 + 150)); title_y=$((119 + 88 + 8))
import -window root "$work/before.png"
[ "$(pixel "$work/before.png" $title_x $title_y)" != "$blue" ] || { echo "browser shown before the double-click"; exit 1; }

# The first CD icon stands at the top left of the icon strip (client 0, 18).
xdotool mousemove $((128 + 36)) $((119 + 18 + 20)) click 1 sleep 0.2 click --repeat 2 --delay 60 1
for _ in $(seq 30); do
  sleep 0.2
  import -window root "$work/after.png"
  [ "$(pixel "$work/after.png" $title_x $title_y)" = "$blue" ] && break
done

status=0
check() {
  local got
  got=$(pixel "$work/after.png" "$2" "$3")
  if [ "$got" != "$4" ]; then echo "$1: pixel $2,$3 is $got, expected $4"; status=1; fi
}
check "title bar" $title_x $title_y "$blue"
check "white line along the title's top" $title_x $((119 + 88)) "srgb(255,255,255)"
check "black line under the title" $title_x $((119 + 88 + 16)) "srgb(0,0,0)"
check "bottom bar" $title_x $((119 + 88 + 281 - 8)) "$blue"
if [ $status -ne 0 ]; then
  cp "$work/after.png" "${TMPDIR:-/tmp}/iradudo-end-to-end-failure.png"
  cat "$work/app.log"
fi
exit $status
