#!/usr/bin/env bash
# What the byte transcript costs a write programming. Every run of orvelin9-cli writes its
# history record with a transcript of the exchange; with ORVELIN9_NO_TRANSCRIPT=1 in its
# environment it keeps the record but writes no transcript (the switch exists for this
# benchmark only). Two parts, on the record that `read` gives from a fresh emulator:
#   - processor time in virtual time (bench/transcript_bench.cpp): the median of many writes
#     with and without the transcript, and the transcript's size;
#   - wall time in real time: two emulators, and orvelin9-cli writing to both at once, one run
#     with its transcript and one without, side by side. For each: the write's wall time (the
#     result's "seconds"), the least time (the write's planned time, the sum of its steps), their
#     ratio, the process's processor time and peak memory, and the transcript's size. The
#     ratio should be the same both ways. About 5 minutes; not run by CI; nothing fails on a
#     figure.
#
# Usage: bench/transcript_bench.sh [build folder] [repetitions]   (defaults: build, 200)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
repetitions=${2:-200}
for binary in orvelin9-cli orvelin9-emulator transcript_bench; do
  if [ ! -x "$build/bin/$binary" ]; then
    echo "$build/bin/$binary is missing; build first (scripts/build.sh)." >&2
    exit 1
  fi
done
cli=$build/bin/orvelin9-cli

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"

for unit in with without; do
  "$build/bin/orvelin9-emulator" --link "$unit" >/dev/null &
  pids+=($!)
done
for unit in with without; do
  for _ in $(seq 1 100); do [ -e "$unit" ] && break; sleep 0.05; done
  mkdir "data-$unit"
done
"$cli" --quiet --port with --data-folder "$work" read small.cfg >/dev/null

printf 'The byte transcript of a write programming, %s\n' "$(date '+%Y-%m-%d %H:%M')"
"$build/bin/transcript_bench" "$repetitions" small.cfg | tee virtual.txt
least=$(sed -n 's/^planned: \([0-9.]*\) s$/\1/p' virtual.txt)

# Both writes at once, each on its own emulator.
writers=()
for unit in with without; do
  (
    [ "$unit" = without ] && export ORVELIN9_NO_TRANSCRIPT=1
    /usr/bin/time -f '%e %U %S %M' -o "time.$unit" \
      "$cli" --quiet --json --port "$unit" --data-folder "data-$unit" write small.cfg >"out.$unit"
  ) &
  writers+=($!)
done
wait "${writers[@]}" || true

printf '\nReal time against the emulator, both writes at once\n'
printf '%-24s %8s %8s %8s %8s %7s %8s %10s\n' "" "wall s" "least s" "ratio" "process" "CPU s" \
  "peak MiB" "transcript"
for unit in with without; do
  # The last line: a failed run has "Command exited with non-zero status" before it.
  read -r process user system peak < <(tail -n 1 "time.$unit")
  wall=$(sed -n 's/.*"seconds":\([0-9.]*\).*/\1/p' "out.$unit")
  status=$(sed -n 's/.*"status":\([0-9]*\).*/\1/p' "out.$unit")
  size=$(find "data-$unit/history" -name transcript.txt -exec stat -c %s {} + 2>/dev/null |
    awk '{ s += $1 } END { print s + 0 }')
  printf '%-24s %8.3f %8.3f %8.4f %8.3f %7.2f %8d %10s%s\n' "$unit the transcript" "$wall" \
    "$least" "$(echo "scale=6; $wall / $least" | bc)" "$process" \
    "$(echo "$user + $system" | bc)" $((peak / 1024)) "$size B" \
    "$([ "$status" = 0 ] || echo "  (status $status)")"
done
printf 'wall s: the write as orvelin9-cli times it (presence check included); least s: the sum of\n'
printf 'its planned steps; process: the whole run of orvelin9-cli, start-up and record included\n'
