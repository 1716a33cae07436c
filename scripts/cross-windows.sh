#!/usr/bin/env bash
# Cross-compiles the core and its virtual-time tests for 64-bit Windows with MinGW-w64 into
# build-windows/ (or the folder given as the first argument), statically linked, and runs the
# tests under Wine in a fresh Wine prefix. scripts/setup.sh installs the compiler and Wine when
# they are missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-windows}

"$root/scripts/setup.sh"  # the compiler and Wine

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
  -DORV_CORE_ONLY=ON -DORV_WERROR=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)" --target orv_core_tests

prefix=$(mktemp -d)
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$prefix"' EXIT
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=$(command -v wine64 || command -v wine)
"$wine" "$build/bin/orv_core_tests.exe"
