#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running Kandrel need.
# Quiet and quick when everything is already there.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-charts-dev libgl1-mesa-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format
  libxml2-utils libxml2-dev xvfb xauth imagemagick fonts-dejavu-core
  libx11-dev qt6-translations-l10n
  qt6-l10n-tools qt6-tools-dev
  dpkg-dev appstream bash-completion man-db desktop-file-utils shared-mime-info xdotool
  pybind11-dev python3-dev python3-pytest libxlsxwriter-dev xlsx2csv ccache
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
