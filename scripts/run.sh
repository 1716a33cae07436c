#!/usr/bin/env bash
# Sets up, builds and starts Орвелин-9. The program keeps its working files (config.bak,
# 1.txt, "Dalvorn Terminal.ini") in the folder it is started from: by default run/ in the
# source tree, or the folder named by ORV_WORKDIR.
#
# When "Dalvorn Terminal.ini" there names a serial port that exists (and is not the
# emulator's), the program is started alone on that port. Otherwise the device emulator is
# started first, the port file is pointed at its terminal (<workdir>/emulator-port), and the
# emulator is stopped when the program ends; it logs the lines it received to emulator.log and
# leaves the device's final registers and SIM slots in emulator-state.txt.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build"
workdir=${ORV_WORKDIR:-$root/run}
mkdir -p "$workdir"
cd "$workdir"

program=("$root/build/bin/orvelin9" "$@")
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: starting under Xvfb." >&2
  program=(xvfb-run -a -s "-screen 0 1280x1024x24" "${program[@]}")
fi

emulator_link="$workdir/emulator-port"
port=""
if [ -f "Dalvorn Terminal.ini" ]; then
  IFS= read -r port < "Dalvorn Terminal.ini" || true
  port=${port%$'\r'}
fi
if [ -n "$port" ] && [ "$port" != "$emulator_link" ] && [ "$port" != "emulator-port" ] &&
   [ -c "$port" ]; then
  echo "Using the serial port $port." >&2
  exec "${program[@]}"
fi

# A link left by an emulator that was killed may point at another program's terminal now.
if [ -L "$emulator_link" ]; then
  rm -f "$emulator_link"
fi
state_args=()
if [ -f emulator-state.txt ]; then
  state_args=(--state emulator-state.txt)
fi
"$root/build/bin/orvelin9-emulator" --link "$emulator_link" "${state_args[@]}" \
  --dump emulator-state.txt --log emulator.log --sms-record emulator-sms.txt >/dev/null &
emulator=$!
trap 'kill "$emulator" 2>/dev/null || true; wait "$emulator" 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do
  [ -e "$emulator_link" ] && break
  if ! kill -0 "$emulator" 2>/dev/null; then
    echo "The device emulator did not start." >&2
    exit 1
  fi
  sleep 0.05
done
printf '%s\r\n' "$emulator_link" > "Dalvorn Terminal.ini"
echo "Device emulator on $emulator_link." >&2
status=0
"${program[@]}" || status=$?
exit "$status"
