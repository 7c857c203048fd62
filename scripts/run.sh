#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, assembles the run directory and starts
# the reader there.
set -euo pipefail
cd "$(dirname "$0")/.."
# Say it before a build of several minutes, not after.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${SDL_VIDEODRIVER:-}" ]; then
  echo "rvl-reader needs a graphical desktop: no DISPLAY or WAYLAND_DISPLAY is set." >&2
  exit 1
fi
bash scripts/deps.sh run
# The default tree without its tests, and only what the run directory needs:
# the reader, its video module, the chooser, the pack tool and the demo pack.
cmake --preset default -DRVL_TESTS=OFF
cmake --build --preset default -j "$(nproc)" --target rvl-reader run-directory demo-module
cd build/run
echo "Starting rvl-reader in build/run: dismiss its first box, click the window and pick demo.rvl; F10 ends it."
exec ./rvl-reader
