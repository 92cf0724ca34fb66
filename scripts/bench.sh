#!/usr/bin/env bash
# Builds the program and its benchmarks into build/ (as scripts/setup.sh does) and prints the
# table of figures, measured on an X display of its own (Xvfb with openbox) that lq_bench starts
# and stops. Arguments go to build/bench/lq_bench: --quick for a short run, --help for more.
set -euo pipefail
cd "$(dirname "$0")/.."
# In a fresh clone there is no build/ yet for the log of the set-up.
mkdir -p build
if ! scripts/setup.sh >build/setup.log 2>&1; then
    cat build/setup.log
    exit 1
fi
exec build/bench/lq_bench "$@"
