#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# "Formatta veloce" end to end: the window program on the demo disc with a
# 720 KB image as drive A:, under a bare X server. The button opens the format
# program in a terminal; xdotool answers its three questions, and the image must
# then hold a fresh, empty FAT12 file system (fsck.fat and mdir read it).
# Exit 77 (skipped) when the X tools, a terminal or mtools are not installed.
set -uo pipefail
program=$1
disc=$2

for tool in Xvfb xdotool xterm mformat mdir mcopy fsck.fat; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool not installed"; exit 77; }
done

source "$(dirname "$0")/../support/xvfb_session.sh"

image=$work/a.img
export MTOOLSRC=/dev/null
mformat -C -f 720 -i "$image" :: || exit 1
echo "old" >"$work/OLD.TXT"
mcopy -i "$image" "$work/OLD.TXT" ::OLD.TXT || exit 1

start_xvfb
start_program "$program" --floppy "$image" --cd "$disc"

# Client area at 128, 119: the CD icon, then the browser's format button, then
# "Formatta veloce" in the format options (720 kb at start).
xdotool mousemove $((128 + 36)) $((119 + 18 + 20)) click 1 sleep 0.2 click --repeat 2 --delay 60 1
sleep 1
xdotool mousemove $((128 + 315 + 11)) $((119 + 110 + 12)) click 1
sleep 0.5
xdotool mousemove $((128 + 208 + 56)) $((119 + 320 + 12)) click 1

# x-terminal-emulator may be any terminal; its window is found by its class.
terminal=$(timeout 15 xdotool search --sync --onlyvisible --class "term" | head -n1)
[ -n "$terminal" ] || { echo "no terminal with the format program appeared"; cat "$work/app.log"; exit 1; }
sleep 1
# Real key presses (XTEST) into the focused terminal: Enter to start, "s": wipe
# the file the image holds, "n": no other disk.
xdotool mousemove --window "$terminal" 50 50 windowfocus --sync "$terminal"
xdotool key Return
sleep 1
xdotool type "s"
xdotool key Return
sleep 2
xdotool type "n"
xdotool key Return
for _ in $(seq 50); do
  xdotool search --onlyvisible --class "term" >/dev/null 2>&1 || break
  sleep 0.2
done

status=0
fsck.fat -n "$image" >"$work/fsck.log" 2>&1 || { echo "fsck.fat finds the image damaged"; cat "$work/fsck.log"; status=1; }
listing=$(mdir -b -i "$image" ::)
[ -z "$listing" ] || { echo "the image still holds files after the quick format: $listing"; status=1; }
[ "$(stat -c %s "$image")" = 737280 ] || { echo "the image changed its size"; status=1; }
exit $status
