#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Орвелин-9 need.
# Idempotent and quiet when everything is present already.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl1-mesa-dev
  libgtest-dev googletest
  qt6-translations-l10n
  xvfb xauth fonts-dejavu-core fonts-liberation
  clang libclang-rt-14-dev dpkg-dev file
  appstream man-db
  locales  # the charmap CP1251.gz that the code page test checks the own table against
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
