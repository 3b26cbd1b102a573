#!/usr/bin/env bash
# Installs every Debian 12 package the build, the tests, the demo run, the fuzzers
# and the benchmarks need. Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build git
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev
  qt6-l10n-tools qt6-tools-dev-tools
  xvfb xauth
  clang-14 libclang-rt-14-dev
  libbenchmark-dev
  clang-format
  fonts-liberation imagemagick
  python3
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
