#!/usr/bin/env bash
# Sets up, builds and runs every test. The tests that use the processors run as many at a time
# as there are processors; the real-time end-to-end and fault tests, which mostly wait on the
# device's pace, run beside them, several at a time (ctest's resource "cpu", set for every
# processor-bound test in tests/CMakeLists.txt, counts only those).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build"
cd "$root/build"
cpus=$(nproc)
printf '{"version": {"major": 1, "minor": 0}, "local": [{"cpu": [{"id": "0", "slots": %d}]}]}\n' \
  "$cpus" >cpu-resources.json
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --no-tests=error \
  --resource-spec-file cpu-resources.json -j "$((cpus * 4))"
