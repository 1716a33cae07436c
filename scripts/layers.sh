#!/usr/bin/env bash
# Prints the include graph of the program's sources by folder and fails on an include that goes
# upward: each folder of src/ may include only itself and the folders below it, the two front
# ends (app, the window; cli, the command line) never include each other, and the emulator
# includes nothing of src/ (it must catch the program's mistakes, not share them).
#
# Usage: scripts/layers.sh [ROOT]   (ROOT defaults to the source tree this script lives in)
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"

# The floors from the ground up; app and cli share the top floor. A folder that does not exist
# yet is simply absent.
declare -A rank=([base]=0 [settings]=1 [link]=2 [operations]=3 [sms]=4 [records]=5 [app]=6 [cli]=6)

declare -A edges=()
bad=0
include_re='^([^:]+):[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)"'
while IFS= read -r line; do
  [[ $line =~ $include_re ]] || continue
  file=${BASH_REMATCH[1]}
  target=${BASH_REMATCH[2]}
  from=${file#src/}
  from=${from%%/*}
  to=${target%%/*}
  [ "$to" != "$target" ] || continue # a header of the same folder, named without its folder
  [ "$to" != "$from" ] || continue
  [ -n "${rank[$to]:-}" ] || continue # a system or library header named with a path
  edges["$from -> $to"]=$((${edges["$from -> $to"]:-0} + 1))
  if [ -z "${rank[$from]:-}" ]; then
    echo "unknown floor: $file includes $target ($from is no known folder)" >&2
    bad=1
  elif [ "${rank[$to]}" -ge "${rank[$from]}" ]; then
    echo "upward: $file includes $target ($from may not include $to)" >&2
    bad=1
  fi
done < <(grep -roE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]+"' src \
  --include='*.h' --include='*.cpp')

# The emulator stands apart from the program.
while IFS= read -r line; do
  echo "the emulator includes the program: $line" >&2
  bad=1
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"(base|settings|link|operations|sms|records|app|cli)/' emulator || true)

echo "Include graph by folder (includes counted):"
for edge in "${!edges[@]}"; do
  echo "  $edge: ${edges[$edge]}"
done | sort
if [ "$bad" -ne 0 ]; then
  echo "Upward includes found." >&2
  exit 1
fi
echo "No upward include."
