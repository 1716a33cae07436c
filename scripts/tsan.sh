#!/usr/bin/env bash
# Builds the window, link and end-to-end tests with ThreadSanitizer into build-tsan/ and runs
# the window and link tests and the end-to-end tests matching the regular expression given as
# the first argument (all of them without one). Qt's libraries are not built with
# ThreadSanitizer; the hand-overs through Qt's event queue are marked for it in
# src/link/queued_call.h, and tests/tsan.supp names the few frames left, each with why it is no
# race. Every report is kept in build-tsan/tsan-reports and printed, and fails the run, as does
# a failed test.
#   scripts/tsan.sh [e2e-test-regex]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
e2e=${1:-.}
build=$root/build-tsan

"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -G Ninja -DORV_TSAN=ON -DORV_WERROR=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target orv_ui_tests orv_link_tests orv_e2e_tests

cd "$build"
rm -rf tsan-reports && mkdir tsan-reports
export TSAN_OPTIONS="suppressions=$root/tests/tsan.supp ignore_noninstrumented_modules=1 log_path=$build/tsan-reports/report"
export QT_QPA_PLATFORM=offscreen
failed=0
ctest --output-on-failure --no-tests=error -j "$(nproc)" -L '^(ui|link)$' || failed=1
ctest --output-on-failure --no-tests=error -L '^e2e$' -R "$e2e" || failed=1

reports=(tsan-reports/report.*)
if [ -e "${reports[0]}" ]; then
  for report in "${reports[@]}"; do
    echo "--- $build/$report"
    cat "$report"
  done
  warnings=$(cat "${reports[@]}" | grep -c '^WARNING: ThreadSanitizer') || warnings=0
  echo "ThreadSanitizer: $warnings reports in ${#reports[@]} files (above)" >&2
  exit 1
fi
echo "ThreadSanitizer: no report"
[ "$failed" -eq 0 ]
