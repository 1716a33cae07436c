#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) with clang into build-fuzz/ and runs each one for the
# given number of seconds (default 40) over a working copy of its seed corpus. Fails at the
# first crash, leak, sanitizer report or broken check; the input that caused it is kept in
# build-fuzz/findings/ and printed as base64. The seed corpora in the repository are never
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

summary=()
for t in "${targets[@]}"; do
  binary=$build/bin/fuzz_$t
  if [ ! -x "$binary" ]; then
    echo "fuzz.sh: no target fuzz_$t" >&2
    exit 1
  fi
  corpus=$work/corpus-$t
  mkdir -p "$corpus" "$work/artifacts-$t"
  cp "$root/fuzz/corpus/$t/"* "$corpus/"
  echo "=== fuzz_$t: ${seconds}s over $(ls "$corpus" | wc -l) seed inputs ==="
  log=$work/$t.log
  if (cd "$work" && "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len=4096 -print_final_stats=1 -artifact_prefix="$work/artifacts-$t/" \
        "$corpus" >"$log" 2>&1); then
    runs=$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$log" | tail -1)
    edges=$(sed -n 's/.*DONE .*cov: \([0-9]*\).*/\1/p' "$log" | tail -1)
    echo "fuzz_$t: no finding in ${runs:-?} runs, ${edges:-?} edges reached"
    summary+=("$(printf '%-22s %10s runs %6s edges  no finding' "fuzz_$t" "${runs:-?}" "${edges:-?}")")
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
    exit 1
  fi
done

echo "=== Fuzzing summary (${seconds}s per target) ==="
printf '%s\n' "${summary[@]}"
