#!/usr/bin/env bash
# Starts the program on a virtual X screen with a window manager, as a user's desktop runs it, and
# checks that its main window keeps the one native window it was first shown with while the
# movie player loads into it and plays: never unmapped, never destroyed, never replaced.
# usage: native_window.sh <program>
set -euo pipefail
program=$1
source "$(dirname "$0")/../support/xscreen.sh"

start_screen
start_window_manager

# Every top-level window the window manager takes into a frame of its own, from before the program
# starts: the main window must be the only one, once.
xev -root -event substructure >"$work/events.log" 2>&1 &
pids+=($!)
sleep 0.5
"$program" >"$work/program.log" 2>&1 &
pids+=($!)
main=$(timeout 30 xdotool search --sync --onlyvisible --name '^LUMEN QUILL $' | head -n1) ||
    fail "the main window did not open"
wait_for 60 grep -q "New Ruffle instance created" "$work/program.log" || fail "the player did not start"
# The player has made its web view; give the window system a moment to show what followed.
sleep 2
# xev gives the reparented window on the line after the event's name.
framed=$(grep -A1 "^ReparentNotify" "$work/events.log" | grep "^ *event" | grep -o " window 0x[0-9a-f]*" | cut -c9- || true)
[ "$framed" = "$(printf '0x%x' "$main")" ] ||
    fail "the window manager framed these windows: $(echo $framed), the main window is $main"
xwininfo -id "$main" | grep -q "IsViewable" || fail "the main window $main is no longer on screen"
echo "PASS: the main window kept its native window $main while the player loaded"
