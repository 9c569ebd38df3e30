#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs every Debian package the project needs to build, test and run its demo.
# Idempotent: does nothing when everything is present. Uses sudo when not root.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git
  qt6-base-dev qt6-base-dev-tools libqt6svg6 qt6-translations-l10n libgl-dev libfontconfig-dev
  nlohmann-json3-dev
  libfuse3-dev fuse3
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-dev
  clang-format
  desktop-file-utils appstream
  udev systemd dbus-daemon util-linux
  dpkg-dev file lintian
  xvfb xauth fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
