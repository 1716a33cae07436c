#!/usr/bin/env bash
# Configures and builds into build/ (or the folder given as the first argument; further
# arguments go to CMake).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
shift || true
cmake -S "$root" -B "$build" -G Ninja "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
