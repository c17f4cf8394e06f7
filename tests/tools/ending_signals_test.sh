#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# iradudo-cli and iradudo-format ended by SIGTERM, SIGINT or SIGHUP while a
# stand-in mtools program runs: the private folder goes with them, the exit
# status is 128 + the signal, and the stand-in ran with no signal blocked.
set -uo pipefail
cli=$1
format=$2

work=$(mktemp -d)
trap 'kill $(cat "$work"/*.pid 2>/dev/null) 2>/dev/null; rm -rf "$work"' EXIT
mkdir "$work/bin" "$work/tmp"
# Every mtools program the tools may run first: note the signal mask, then hang.
for name in mdir mcopy minfo mlabel mformat mattrib mdel mren; do
  cat >"$work/bin/$name" <<STANDIN
#!/bin/sh
grep '^SigBlk:' /proc/self/status >"$work/mask"
echo \$\$ >"$work/standin.pid"
exec sleep 30
STANDIN
  chmod +x "$work/bin/$name"
done
# A real floppy: the programs read it themselves before they start mtools to write.
mkfs.fat -C "$work/a.img" 720 >/dev/null
echo "dati" >"$work/GIOCO.LHA"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# run SIGNAL STATUS PROGRAM ARGS...
run() {
  local signal=$1 expected=$2
  shift 2
  rm -f "$work/mask" "$work/standin.pid"
  TMPDIR="$work/tmp" PATH="$work/bin:$PATH" "$@" >"$work/out" 2>&1 &
  local pid=$!
  for _ in $(seq 100); do [ -s "$work/standin.pid" ] && break; sleep 0.1; done
  if [ ! -s "$work/standin.pid" ]; then
    fail "$*: no mtools program was started"; cat "$work/out"; kill -9 $pid; wait $pid; return
  fi
  local folders
  folders=$(find "$work/tmp" -mindepth 1 -maxdepth 1 -name 'iradudo-*' | wc -l)
  [ "$folders" -eq 1 ] || fail "$*: $folders private folders while running, expected 1"
  grep -q $'^SigBlk:\t0*$' "$work/mask" || fail "$*: the child ran with signals blocked: $(cat "$work/mask")"
  kill -s "$signal" $pid
  wait $pid
  local status=$?
  [ $status -eq "$expected" ] || fail "$*: ended on $signal with status $status, expected $expected"
  kill "$(cat "$work/standin.pid")" 2>/dev/null
  rm -f "$work/standin.pid"
  local left
  left=$(find "$work/tmp" -mindepth 1 -maxdepth 1 -name 'iradudo-*')
  [ -z "$left" ] || { fail "$*: left behind after $signal: $left"; rm -rf "$work"/tmp/iradudo-*; }
}

run TERM 143 "$cli" --floppy "$work/a.img" copy-to-floppy "$work/GIOCO.LHA"
run INT 130 "$cli" --floppy "$work/a.img" copy-to-floppy "$work/GIOCO.LHA"
run HUP 129 "$cli" --floppy "$work/a.img" copy-to-floppy "$work/GIOCO.LHA"
run TERM 143 "$format" --floppy "$work/a.img" --yes A: /Q /F:720
run HUP 129 "$format" --floppy "$work/a.img" --yes A: /F:720

[ $failures -eq 0 ] && echo "all passed"
exit $((failures > 0))
