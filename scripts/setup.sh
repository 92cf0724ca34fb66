#!/usr/bin/env bash
# Installs what building and testing need on Debian 12 (as root, or through sudo), then configures
# and builds into build/. Safe to run again: it installs only what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
)
# Further packages a part of the program needs are listed one per line in scripts/packages.txt.
if [ -f scripts/packages.txt ]; then
    while read -r pkg; do
        [ -n "$pkg" ] && [ "${pkg#\#}" = "$pkg" ] && packages+=("$pkg")
    done < scripts/packages.txt
fi

# The build fetches the movie player with npm; Debian's own Node.js serves where none is installed.
command -v npm >/dev/null 2>&1 || packages+=(nodejs npm)

missing=()
for pkg in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    # Another install running on the machine holds apt's lock for a while: wait for it.
    wait_lock=(-o DPkg::Lock::Timeout=600)
    $sudo apt-get "${wait_lock[@]}" update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get "${wait_lock[@]}" install -y -q "${missing[@]}"
fi

build_type="${BUILD_TYPE:-RelWithDebInfo}"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE="$build_type" ${CMAKE_ARGS:-}
cmake --build build
