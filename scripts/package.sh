#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package rvl-reader_VERSION_amd64.deb into build-package/
# (a release build without the tests), then shows its facts and, where
# lintian is installed, checks it: an error or a warning fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh build
cmake --preset package
cmake --build --preset package -j "$(nproc)"
(cd build-package && cpack -G DEB)
deb=$(ls build-package/rvl-reader_*_amd64.deb)
dpkg-deb --info "$deb"
echo "package: $deb ($(du -k "$deb" | cut -f1) KiB)"
if command -v lintian >/dev/null 2>&1; then
  # The package is clean: any error or warning is news.
  lintian --fail-on error,warning "$deb"
else
  echo "(lintian is not installed: apt-get install lintian to check the package)"
fi
