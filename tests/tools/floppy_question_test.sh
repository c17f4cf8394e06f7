#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A copy to the floppy started from a terminal replaces a read-only file of the
# same name without mtools asking anything there: the copy ends, the floppy
# holds the new bytes and no temporary name.
set -uo pipefail
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/old" "$work/new"
mkfs.fat -C "$work/a.img" 1440 >/dev/null
echo "vecchio" >"$work/old/GIOCO.LHA"
echo "nuovo" >"$work/new/GIOCO.LHA"
export MTOOLSRC=/dev/null
mcopy -i "$work/a.img" "$work/old/GIOCO.LHA" ::GIOCO.LHA
mattrib -i "$work/a.img" +r ::GIOCO.LHA

# script gives the copy a controlling terminal, as a user's shell would.
timeout 30 script -qec "$(printf '%q ' "$cli" --floppy "$work/a.img" copy-to-floppy "$work/new/GIOCO.LHA")" /dev/null \
  </dev/null >"$work/out" 2>&1
status=$?
failures=0
[ $status -eq 0 ] || { echo "FAIL: the copy ended with status $status"; cat "$work/out"; failures=1; }
listing=$(mdir -b -i "$work/a.img" ::)
[ "$listing" = "::/GIOCO.LHA" ] || { echo "FAIL: the floppy holds: $listing"; failures=1; }
bytes=$(mtype -i "$work/a.img" ::GIOCO.LHA)
[ "$bytes" = "nuovo" ] || { echo "FAIL: GIOCO.LHA holds: $bytes"; failures=1; }
[ $failures -eq 0 ] && echo "all passed"
exit $failures
