#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need; only what is missing.
set -euo pipefail
PKGS=(build-essential cmake ninja-build pkg-config
      qt6-base-dev qt6-serialport-dev qt6-svg-dev libqt6svg6 qt6-charts-dev libqt6opengl6-dev
      libmodbus-dev mbpoll libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
      xvfb xauth imagemagick xdotool clang libclang-rt-14-dev ser2net
      desktop-file-utils appstream lintian man-db dpkg-dev
      libmosquitto-dev mosquitto mosquitto-clients openssl)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
