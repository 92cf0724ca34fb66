#!/usr/bin/env bash
# Starts the program on a virtual X screen with a window manager, as a user's desktop runs it, and
# checks that its main window keeps the one native window it was first shown with while the
# movie player loads into it and plays: never unmapped, never destroyed, never replaced.
# usage: native_window.sh <program>
set -euo pipefail
program=$1
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    [ -f "$work/program.log" ] && { echo "--- program log"; tail -20 "$work/program.log"; }
    [ -f "$work/events.log" ] && { echo "--- window events"; grep Notify "$work/events.log"; }
    exit 1
}
wait_for() {
    local limit=$1; shift
    for _ in $(seq $((limit * 10))); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
    return 1
}

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
wait_for 10 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"
openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
# A window mapped while the window manager is still starting may never be shown.
wm_runs() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"; }
wait_for 20 wm_runs || fail "the window manager did not start: $(cat "$work/openbox.log")"

export XDG_DATA_HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=xcb
export QTWEBENGINE_DISABLE_SANDBOX=1
export QT_LOGGING_RULES="lumenquill.player.debug=true"
mkdir -p "$work/home" "$work/runtime" && chmod 700 "$work/runtime"
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
