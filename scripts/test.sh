#!/usr/bin/env bash
# Sets up, builds and runs every test; then fuzzes every fuzz target for a bounded time
# (scripts/fuzz.sh) and runs the suite a second time built with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/). A test that cannot run under the sanitizers (a
# bundled browser engine, say) opts out with the ctest label "no_sanitizers".
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
took() { echo "== $1 took $((SECONDS - $2)) s"; }

step=$SECONDS
scripts/setup.sh
(cd build && ctest --output-on-failure --timeout 600 -j2)
took "Build and tests" $step

step=$SECONDS
scripts/fuzz.sh "${FUZZ_SECONDS:-20}"
took "Fuzzing" $step

step=$SECONDS
sanitizers="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
# The benchmarks are measured in the ordinary build only. This build uses CMake's default generator
# (Make) while the ordinary one uses Ninja, so that every run keeps both working. A build-asan/
# left by another generator cannot be configured again: start it afresh.
if [ -f build-asan/CMakeCache.txt ] && ! grep -q '^CMAKE_GENERATOR:INTERNAL=Unix Makefiles$' build-asan/CMakeCache.txt; then
    rm -rf build-asan
fi
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="$sanitizers -O1" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" -DLQ_BENCH=OFF >/dev/null
# Tools run during the build leak what they like; only the tests are held to it.
ASAN_OPTIONS=detect_leaks=0 cmake --build build-asan -j2
export ASAN_OPTIONS="detect_leaks=1:check_initialization_order=1:strict_init_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
(cd build-asan && ctest --output-on-failure --timeout 900 -j2 -LE no_sanitizers)
took "Sanitized build and tests" $step

took "Everything" $started
