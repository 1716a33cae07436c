#!/usr/bin/env bash
# Cross-compiles the core and its virtual-time tests for 64-bit Windows with MinGW-w64 into
# build-windows/ (or the folder given as the first argument), statically linked, and runs the
# tests under Wine in a fresh Wine prefix. Installs the compiler and Wine when they are missing
# (Debian; needs root).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-windows}

if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null || ! command -v wine >/dev/null; then
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    g++-mingw-w64-x86-64-posix wine wine64
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
  -DORV_CORE_ONLY=ON -DORV_WERROR=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)" --target orv_core_tests

prefix=$(mktemp -d)
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$prefix"' EXIT
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=$(command -v wine64 || command -v wine)
"$wine" "$build/bin/orv_core_tests.exe"
