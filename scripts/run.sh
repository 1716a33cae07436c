#!/usr/bin/env bash
# Sets up, builds and starts Орвелин-9. The program keeps its working files (config.bak,
# 1.txt, "Dalvorn Terminal.ini") in the folder it is started from: by default run/ in the
# source tree, or the folder named by ORV_WORKDIR.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build"
workdir=${ORV_WORKDIR:-$root/run}
mkdir -p "$workdir"
cd "$workdir"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: starting under Xvfb." >&2
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$root/build/bin/orvelin9" "$@"
fi
exec "$root/build/bin/orvelin9" "$@"
