# Shared by the tests that run the program in a real window on a virtual X screen: a scratch
# folder ($work), the processes to end on exit ($pids), waiting, failing with the program's log,
# and the screen itself. Source it from a script that runs with "set -euo pipefail".
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
    [ -f "$work/program.log" ] && { echo "--- program log"; tail -40 "$work/program.log"; }
    [ -f "$work/events.log" ] && { echo "--- window events"; grep Notify "$work/events.log"; }
    exit 1
}
# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
    local limit=$1; shift
    for _ in $(seq $((limit * 10))); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
    return 1
}
# Starts Xvfb on a display it picks and points DISPLAY at it; the program's data and runtime
# folders go in $work, and its player says what it does in its log.
start_screen() {
    exec 3>"$work/display"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    wait_for 10 test -s "$work/display" || fail "Xvfb did not start"
    export DISPLAY=":$(head -n1 "$work/display")"
    export XDG_DATA_HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=xcb
    export QTWEBENGINE_DISABLE_SANDBOX=1
    export QT_LOGGING_RULES="lumenquill.player.debug=true"
    mkdir -p "$work/home" "$work/runtime" && chmod 700 "$work/runtime"
}
# Starts openbox on the screen and waits until it runs: a window mapped while the window manager
# is still starting may never be shown.
start_window_manager() {
    openbox --sm-disable >"$work/openbox.log" 2>&1 &
    pids+=($!)
    wm_runs() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"; }
    wait_for 20 wm_runs || fail "the window manager did not start: $(cat "$work/openbox.log")"
}
