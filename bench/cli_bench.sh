#!/usr/bin/env bash
# orvelin9-cli writing a small record to 1 and then to 8 emulated devices at once: the wall time
# of each run (that of 8 should stay within 1 % of that of 1: the ports run side by side), the
# processor time of the whole run and of each port's link thread, and the peak memory. The
# record is what `read` gives from a fresh emulator. Real time: each write takes its erase tail,
# about 4.5 minutes. Not run by CI; nothing fails on a figure.
#
# Usage: bench/cli_bench.sh [build folder]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
for binary in orvelin9-cli orvelin9-emulator; do
  if [ ! -x "$build/bin/$binary" ]; then
    echo "$build/bin/$binary is missing; build first (scripts/build.sh)." >&2
    exit 1
  fi
done
cli=$build/bin/orvelin9-cli
ticks=$(getconf CLK_TCK)

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"

for n in $(seq 1 8); do
  "$build/bin/orvelin9-emulator" --link "unit$n" >/dev/null &
  pids+=($!)
done
for n in $(seq 1 8); do
  for _ in $(seq 1 100); do [ -e "unit$n" ] && break; sleep 0.05; done
done
"$cli" --quiet --port unit1 read small.cfg >/dev/null

# One run of `write` on the first $1 units. Prints wall, user and system seconds, peak memory
# and the processor time of each link thread, sampled every 0.2 s while it runs.
run() {
  local count=$1 ports=() n
  for n in $(seq 1 "$count"); do ports+=(--port "unit$n"); done
  /usr/bin/time -f '%e %U %S %M' -o "time.$count" "$cli" --quiet "${ports[@]}" write small.cfg \
    >"out.$count" &
  local timer=$! program="" task used
  declare -A link=()
  for _ in $(seq 1 50); do
    program=$(pgrep -P "$timer" || true)
    [ -n "$program" ] && break
    sleep 0.02
  done
  while kill -0 "$timer" 2>/dev/null; do
    for task in /proc/"$program"/task/*; do
      # A thread that ended between the listing and the read keeps its last figure.
      if [ "$(cat "$task/comm" 2>/dev/null)" = link ] &&
        used=$(awk '{ print $14 + $15 }' "$task/stat" 2>/dev/null) && [ -n "$used" ]; then
        link[${task##*/}]=$used
      fi
    done
    sleep 0.2
  done
  wait "$timer" || true
  read -r wall user system peak <"time.$count"
  printf '%d unit(s): wall %.1f s, processor %.2f s (user %.2f, system %.2f), peak %d MiB\n' \
    "$count" "$wall" "$(echo "$user + $system" | bc)" "$user" "$system" $((peak / 1024))
  local per=""
  for task in "${!link[@]}"; do
    per+=" $(echo "scale=2; ${link[$task]} / $ticks" | bc)"
  done
  printf '  processor time per port (link thread, s):%s\n' "$per"
  printf '  statuses: %s\n' "$(cut -f3 "out.$count" | sort | uniq -c | tr -s ' ' | tr '\n' ' ')"
  echo "$wall" >"wall.$count"
}

printf 'orvelin9-cli write of a small record, %s\n' "$(date '+%Y-%m-%d %H:%M')"
run 1
run 8
one=$(cat wall.1)
eight=$(cat wall.8)
printf 'wall of 8 against 1: %+.2f %%\n' "$(echo "scale=4; ($eight - $one) * 100 / $one" | bc)"
