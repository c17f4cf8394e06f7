# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the end-to-end tests: a scratch folder, a bare X server (no window
# manager, so windows stay where the program places them) and the window
# program on it, all ended when the test exits.
#   start_xvfb                  sets $work, starts Xvfb, exports DISPLAY
#   start_program ARGS...       starts the window program, waits for its window
work=$(mktemp -d)
xvfb_pid=
app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

start_xvfb() {
  # Xvfb picks a free display and writes its number to fd 3.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
  [ -s "$work/display" ] || { echo "Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
  export DISPLAY=":$(head -n1 "$work/display")"
  unset QT_QPA_PLATFORM
}

start_program() {
  "$@" >"$work/app.log" 2>&1 &
  app_pid=$!
  if ! timeout 10 xdotool search --sync --onlyvisible --name "DIZOZ Iradudo" >/dev/null; then
    echo "the main window did not appear"; cat "$work/app.log"; exit 1
  fi
  sleep 0.5
}
