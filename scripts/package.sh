#!/usr/bin/env bash
# Builds the Debian package: a release build without the tests into build-pkg/ (or the folder
# given as the first argument), then CPack. Prints the path of the .deb as its last line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-pkg}
"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORV_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"
rm -f "$build"/orvelin9_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/orvelin9_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  echo "package.sh: no single orvelin9 package in $build" >&2
  exit 1
fi
echo "${debs[0]}"
