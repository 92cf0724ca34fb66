#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang into build-fuzz/ and runs each for a bounded
# time. Inputs found to add coverage are kept in build-fuzz/corpus/ for the next run; an input
# that breaks a target is saved in build-fuzz/findings/ and the script fails.
#   bash scripts/fuzz.sh          # 20 seconds a target, as CI runs it
#   bash scripts/fuzz.sh 1800     # half an hour a target
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-20}"

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DLQ_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
targets=()
for dir in fuzz/*/; do
    targets+=("fuzz_$(basename "$dir")")
done
cmake --build build-fuzz -j2 --target "${targets[@]}"

status=0
for target in "${targets[@]}"; do
    name="${target#fuzz_}"
    corpus="build-fuzz/corpus/$name"
    mkdir -p "$corpus" build-fuzz/findings
    log="build-fuzz/$target.log"
    echo "Fuzzing $name for $seconds s"
    if build-fuzz/fuzz/"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -dict="fuzz/$name/$name.dict" -artifact_prefix="build-fuzz/findings/$name-" \
        "$corpus" "fuzz/$name/corpus" >"$log" 2>&1; then
        grep -E '^Done [0-9]+ runs' "$log" || true
    else
        echo "FAILED: $target found a fault; the input is in build-fuzz/findings/, the log in $log"
        tail -n 30 "$log"
        status=1
    fi
done
exit $status
