#!/usr/bin/env bash
# Prints what a build's core makes of settings (tests/tools/encoding_dump.cpp): command lists,
# decoded registers, refusals and read-back messages. Two builds that print the same file encode,
# decode, check and load alike.
# Usage: encoding-proof.sh <source tree> <its build folder> <output file>
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
src=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
tool="$build/encoding_dump"
g++ -std=c++17 -O0 -I"$src/src" -I"$root/tests/support" "$root/tests/tools/encoding_dump.cpp" \
    "$root/tests/support/sample_record.cpp" "$build/src/liborv_core.a" -o "$tool"
"$tool" > "$3"
