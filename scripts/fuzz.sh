#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) with clang into build-fuzz/ and runs each one for the
# given number of seconds (default 40) over a working copy of its seed corpus, as many targets
# at a time as there are processors. Fails on any crash, leak, sanitizer report or broken
# check; the input that caused it is kept in build-fuzz/findings/ and printed as base64. The seed corpora in the repository are never
# written to. Prints, per target, the runs and the code edges reached.
#   scripts/fuzz.sh [seconds-per-target] [target...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-40}
shift || true
build=${ORV_FUZZ_BUILD:-$root/build-fuzz}

"$root/scripts/setup.sh"
cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)"

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for dir in "$root"/fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

work=$(mktemp -d)
# The targets' scratch files, memory-backed where the system has it; removed also after a
# finding, which ends a target without its own clean-up.
scratch=$(mktemp -d -p /dev/shm orv-fuzz.XXXXXX 2>/dev/null || mktemp -d)
trap 'rm -rf "$work" "$scratch"' EXIT
export TMPDIR=$scratch
findings=$build/findings
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# Runs one target; its lines go to $work/$t.out, its summary row to $work/$t.row. Fails on a
# finding, with the input kept.
fuzz_target() {
  local t=$1 binary=$build/bin/fuzz_$1 corpus=$work/corpus-$1 log=$work/$1.log runs edges
  mkdir -p "$corpus" "$work/artifacts-$t"
  cp "$root/fuzz/corpus/$t/"* "$corpus/"
  echo "=== fuzz_$t: ${seconds}s over $(ls "$corpus" | wc -l) seed inputs ==="
  if (cd "$work" && "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len=4096 -print_final_stats=1 -artifact_prefix="$work/artifacts-$t/" \
        "$corpus" >"$log" 2>&1); then
    runs=$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$log" | tail -1)
    edges=$(sed -n 's/.*DONE .*cov: \([0-9]*\).*/\1/p' "$log" | tail -1)
    if [ -z "$runs" ] || [ -z "$edges" ]; then
      echo "fuzz_$t: ended without its final statistics" >&2
      tail -n 60 "$log" >&2
      return 1
    fi
    echo "fuzz_$t: no finding in $runs runs, $edges edges reached"
    printf '%-22s %10s runs %6s edges  no finding\n' "fuzz_$t" "$runs" "$edges" >"$work/$t.row"
  else
    echo "fuzz_$t: FINDING" >&2
    tail -n 60 "$log" >&2
    mkdir -p "$findings"
    for a in "$work/artifacts-$t"/*; do
      [ -f "$a" ] || continue
      cp "$a" "$findings/$t-$(basename "$a")"
      echo "input $(basename "$a") (base64): $(base64 -w0 "$a")" >&2
    done
    echo "Inputs kept in $findings" >&2
    return 1
  fi
}

for t in "${targets[@]}"; do
  if [ ! -x "$build/bin/fuzz_$t" ]; then
    echo "fuzz.sh: no target fuzz_$t" >&2
    exit 1
  fi
done

# As many targets at a time as there are processors (ORV_FUZZ_JOBS), each printed whole when it
# ends; the first finding fails the run once the targets running beside it have ended.
jobs=${ORV_FUZZ_JOBS:-$(nproc)}
failed=0
running=0
for t in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
  (
    status=0
    fuzz_target "$t" >"$work/$t.out" 2>&1 || status=$?
    cat "$work/$t.out"
    exit "$status"
  ) &
  running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done
[ "$failed" -eq 0 ] || exit 1
summary=()
for t in "${targets[@]}"; do summary+=("$(cat "$work/$t.row")"); done

echo "=== Fuzzing summary (${seconds}s per target) ==="
printf '%s\n' "${summary[@]}"
