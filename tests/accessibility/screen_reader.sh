#!/usr/bin/env bash
# Starts a virtual X screen with a window manager and a private session bus, on which the
# accessibility bus starts when first asked for, and walks the program there as a screen reader
# user would (screen_reader_walk.py).
# usage: screen_reader.sh <program> <walk script>
set -euo pipefail
program=$1
walk=$2
source "$(dirname "$0")/../support/xscreen.sh"

start_screen
start_window_manager

export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
# Debian's own Python, which has the AT-SPI bindings (not one a user put first on PATH).
dbus-run-session -- /usr/bin/python3 "$walk" "$program" "$work" || fail "the walk found faults (above)"
