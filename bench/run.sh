#!/usr/bin/env bash
# The benchmarks of Орвелин-9 in one table: builds what they need (a release build without the
# tests) and runs, in turn,
#   - write programming, read programming and an SMS broadcast to three recipients against the
#     device emulator in real time (bench/exchange_bench.cpp),
#   - the same exchanges in virtual time against a scripted device (bench/core_bench.cpp),
#   - the processor time of a write programming with and without its byte transcript, in
#     virtual time (bench/transcript_bench.cpp; bench/transcript_bench.sh adds the real time),
#   - the start-up to the first painted main window (bench/startup_bench.cpp),
#   - the idle CPU with the port open and the peak memory (bench/idle_cpu.sh),
#   - a device that floods the line at 1 MB/s with the terminal shown (bench/flood_bench.cpp):
#     peak memory, CPU, and the longest time the window took to answer a click.
# Nothing here fails on a figure; the exit status only tells whether every run went through.
#
# Usage: bench/run.sh [idle and flood seconds] [build folder]   (defaults: 60, build-bench)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=${2:-$root/build-bench}

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORV_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" --target orvelin9 orvelin9-emulator exchange_bench core_bench startup_bench \
  flood_bench transcript_bench >/dev/null

# The windows are drawn offscreen, so the figures do not depend on a display.
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  XDG_RUNTIME_DIR=$(mktemp -d)
  export XDG_RUNTIME_DIR
  trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
fi

status=0
rule() { printf '%s\n' '-------------------------------------------------------------------------------'; }
rule
printf 'Орвелин-9 benchmarks, %s\n' "$(date '+%Y-%m-%d %H:%M')"
printf 'machine: %s, %s cores; load average before: %s\n' \
  "$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)" "$(nproc)" \
  "$(cut -d' ' -f1-3 /proc/loadavg)"
printf 'build: %s\n' "$build"
rule
"$build/bin/exchange_bench" "$build/bin/orvelin9-emulator" || status=1
rule
"$build/bin/core_bench" || status=1
rule
"$build/bin/transcript_bench" || status=1
rule
printf 'The program (%s)\n' "$QT_QPA_PLATFORM"
"$build/bin/startup_bench" 5 "$build/bin/orvelin9-emulator" || status=1
"$root/bench/idle_cpu.sh" "$seconds" "$build" || status=1
"$build/bin/flood_bench" "$seconds" "$build/bin/orvelin9-emulator" || status=1
rule
printf 'load average after: %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
exit "$status"
