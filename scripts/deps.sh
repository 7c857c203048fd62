#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages this project needs. Usage: deps.sh build|test|run
# (test and run include build). Uses sudo only when not root.
set -euo pipefail

build=(build-essential cmake pkg-config libsdl2-dev libsdl2-image-dev libsdl2-ttf-dev
       libsfml-dev libopencv-dev libgtest-dev nlohmann-json3-dev libcli11-dev nettle-dev
       libavformat-dev libavcodec-dev libavutil-dev libswresample-dev libswscale-dev libexif-dev libcsv-dev
       libzip-dev libpugixml-dev
       fonts-urw-base35 fonts-yanone-kaffeesatz dpkg-dev
       scdoc gettext bash-completion)  # manual pages, message catalogues, completion's directory
# The file dialog: zenity, with the icon loaders GTK wants (installs run
# without recommended packages).
dialog=(zenity librsvg2-common libgtk-3-bin)
# The package test: lintian, AppStream and desktop-entry validators, man.
# Two displays (the host's screen, --display 1): Xorg's dummy driver and xrandr.
test=(xvfb xauth xdotool x11-utils xfonts-base imagemagick gnumeric locales clang libclang-rt-14-dev "${dialog[@]}"
      lintian appstream desktop-file-utils man-db
      xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils)
run=("${dialog[@]}")

want=("${build[@]}")
case "${1:-build}" in
  test) want+=("${test[@]}") ;;
  run) want+=("${run[@]}") ;;
  build) ;;
  *) echo "usage: $0 build|test|run" >&2; exit 2 ;;
esac

missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The console tests also run under a generated Russian UTF-8 locale.
if [ "${1:-build}" = test ] && ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf8$'; then
  $sudo sed -i 's/^# *ru_RU.UTF-8 UTF-8/ru_RU.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
fi
