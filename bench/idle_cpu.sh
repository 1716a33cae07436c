#!/usr/bin/env bash
# Idle CPU and peak memory of Орвелин-9 with its port open: starts the device emulator and the
# program (offscreen) in a scratch folder whose port file names the emulator's terminal, checks
# that the program holds the terminal open, leaves it idle for a while and prints the share of
# one core it used meanwhile, from utime + stime in /proc/<pid>/stat, and then its peak resident
# memory (VmHWM in /proc/<pid>/status).
#
# Usage: bench/idle_cpu.sh [seconds] [build folder]   (defaults: 60, build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=${2:-$root/build}
for binary in orvelin9 orvelin9-emulator; do
  if [ ! -x "$build/bin/$binary" ]; then
    echo "$build/bin/$binary is missing; build first (scripts/build.sh)." >&2
    exit 1
  fi
done

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"

"$build/bin/orvelin9-emulator" --link "$work/emulator-port" >/dev/null &
pids+=($!)
for _ in $(seq 1 100); do [ -e emulator-port ] && break; sleep 0.05; done
printf '%s\r\n' "$work/emulator-port" > "Dalvorn Terminal.ini"
slave=$(readlink -f emulator-port)

QT_QPA_PLATFORM=offscreen "$build/bin/orvelin9" >/dev/null 2>&1 &
program=$!
pids+=("$program")

# The first activation opens the port.
open=no
for _ in $(seq 1 100); do
  if ls -l "/proc/$program/fd" 2>/dev/null | grep -q -- "-> $slave\$"; then
    open=yes
    break
  fi
  sleep 0.1
done
if [ "$open" != yes ]; then
  echo "The program did not open $slave." >&2
  exit 1
fi

ticks() { awk '{ print $14 + $15 }' "/proc/$program/stat"; }
hz=$(getconf CLK_TCK)
sleep 2  # past the start-up
start_ticks=$(ticks)
start_time=$(date +%s.%N)
sleep "$seconds"
end_ticks=$(ticks)
end_time=$(date +%s.%N)
awk -v t=$((end_ticks - start_ticks)) -v hz="$hz" -v a="$start_time" -v b="$end_time" \
  'BEGIN { s = b - a; printf "%-34s %6.3f %% of one core (%.2f s of CPU in %.1f s)\n", "idle CPU with the port open", 100 * t / hz / s, t / hz, s }'
awk '/^VmHWM:/ { hwm = $2 } /^VmRSS:/ { rss = $2 }
  END { printf "%-34s %6.1f MiB (VmHWM; resident now %.1f MiB)\n", "peak memory after the idle time", hwm / 1024, rss / 1024 }' \
  "/proc/$program/status"
