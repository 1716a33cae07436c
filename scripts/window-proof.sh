#!/usr/bin/env bash
# Dumps every window of a build (tests/tools/window_dump.cpp): the widget tree as text and a
# picture of each window and page, offscreen, into an output folder. Run it on two builds and
# compare the folders (scripts/window-proof.sh --compare A B) to show that the windows are the same.
# Usage: window-proof.sh <source tree> <its build folder> <output folder>
#        window-proof.sh --compare <folder A> <folder B>
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ "${1:-}" = --compare ]; then
    status=0
    for a in "$2"/*; do
        b="$3/$(basename "$a")"
        case "$a" in
            *.png) pixels=$(compare -metric AE "$a" "$b" null: 2>&1) || true
                   echo "$(basename "$a"): $pixels pixels differ"
                   [ "$pixels" = 0 ] || status=1 ;;
            *) if cmp -s "$a" "$b"; then echo "$(basename "$a"): same"; else
                   echo "$(basename "$a"): DIFFERS"; status=1; fi ;;
        esac
    done
    [ "$(ls "$2" | wc -l)" = "$(ls "$3" | wc -l)" ] || { echo "the folders hold different files"; status=1; }
    exit $status
fi
src=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
out=$3
mkdir -p "$out"
out=$(cd "$out" && pwd)
tool="$build/window_dump"
# shellcheck disable=SC2046
g++ -std=c++17 -fPIC -O0 -I"$src/src" -I"$root/tests/support" \
    $(pkg-config --cflags Qt6Widgets Qt6SerialPort) "$root/tests/tools/window_dump.cpp" \
    "$build/src/app/liborv_ui.a" "$build/src/liborv_link.a" "$build/src/liborv_core.a" \
    $(pkg-config --libs Qt6Widgets Qt6SerialPort) -o "$tool"
# The same empty working folder for every build, so that the file dialogs show the same.
work=/tmp/orvelin9-window-proof
rm -rf "$work" && mkdir -p "$work"
(cd "$work" && QT_QPA_PLATFORM=offscreen "$tool" "$out")
rm -rf "$work"
