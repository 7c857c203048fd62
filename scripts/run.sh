#!/usr/bin/env bash
# Installs what is missing, builds, assembles the run directory and starts
# the reader there.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh run
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRVL_TESTS=OFF
cmake --build build -j2
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${SDL_VIDEODRIVER:-}" ]; then
  echo "rvl-reader needs a graphical desktop: no DISPLAY or WAYLAND_DISPLAY is set." >&2
  exit 1
fi
cd build/run
echo "Starting rvl-reader in build/run: dismiss its first box, click the window and pick demo.rvl; F10 ends it."
exec ./rvl-reader
