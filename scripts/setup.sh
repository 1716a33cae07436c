#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Орвелин-9 need.
# Idempotent and quiet when everything is present already.
set -euo pipefail

# Each with what needs it (CI's .ci/run and the scripts it calls need every one).
packages=(
  build-essential cmake ninja-build pkg-config           # g++, cmake, ctest, cpack, ninja
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl1-mesa-dev
  libgtest-dev googletest
  libcsv-dev                                             # the CSV files of number lists and recipients
  libarchive-dev                                         # the support bundle of a history record
  qt6-translations-l10n
  xvfb xauth fonts-dejavu-core fonts-liberation          # scripts/run.sh without a display
  clang-format                                           # CI's formatting check
  clang libclang-rt-14-dev                               # scripts/fuzz.sh: clang++, libFuzzer
  g++-mingw-w64-x86-64-posix wine wine64                 # scripts/cross-windows.sh
  dpkg-dev file appstream man-db                         # the package and .ci/check-package
  locales                                                # the CP1251 charmap the code page test checks against
  ccache                                                 # builds reuse what an earlier build compiled
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
