#!/bin/bash
# What a hostile movie costs the program, measured from outside on a virtual X screen with a window
# manager: the GUI thread's (the main thread's) CPU over the flood, the program's resident memory
# before and at most during it, how fast its log grows, and how soon the next movie's first frame
# follows its launch.
#   bench/player/hostile_movie.sh BUILD_DIR fscommand|requests [SECONDS] [QT_LOGGING_RULES]
set -euo pipefail
build=$(realpath "$1"); movie=$2; seconds=${3:-60}
source "$(dirname "$0")/../../tests/support/xscreen.sh"
start_screen
export QT_LOGGING_RULES="${4:-}"
openbox >/dev/null 2>&1 & pids+=($!)
sleep 1
"$build/bench/bench_hostile_movie" --movie "$movie" --seconds "$seconds" \
    >"$work/out" 2>"$work/program.log" &
program=$!; pids+=($program)
wait_for 180 grep -q flooding "$work/out" || fail "the hostile movie did not start"
ticks() { awk '{ print $14 + $15 }' "/proc/$program/task/$program/stat"; }
rss() { awk '/^VmRSS:/ { print $2 }' "/proc/$program/status"; }
hz=$(getconf CLK_TCK)
rss0=$(rss); ticks0=$(ticks); log0=$(stat -c %s "$work/program.log"); start=$(date +%s.%N)
most=$rss0
while ! grep -q next "$work/out"; do
    sleep 1
    ticks1=$(ticks); now=$(date +%s.%N); log1=$(stat -c %s "$work/program.log")
    r=$(rss); [ "$r" -gt "$most" ] && most=$r
done
wait "$program" || true
awk -v t0="$ticks0" -v t1="$ticks1" -v s0="$start" -v s1="$now" -v hz="$hz" \
    -v l0="$log0" -v l1="$log1" -v r0="$rss0" -v r1="$most" 'BEGIN {
    d = s1 - s0
    printf "flood_seconds %.1f\ngui_thread_cpu_percent %.1f\n", d, 100 * (t1 - t0) / hz / d
    printf "log_growth_kib_per_min %.1f\nrss_before_mib %.1f\nrss_most_mib %.1f\n",
           (l1 - l0) / 1024 / d * 60, r0 / 1024, r1 / 1024 }'
grep next_launch_to_frame_ms "$work/out"
[ -n "${KEEP_LOG:-}" ] && cp "$work/program.log" "$KEEP_LOG"
echo "load_average $(cut -d' ' -f1-3 /proc/loadavg)"
