#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what the tests need, builds, and runs every test: the suite, the
# same suite under AddressSanitizer and UndefinedBehaviorSanitizer, and each
# fuzz target for a bounded time (RVL_FUZZ_SECONDS, default 20; longer runs: scripts/fuzz.sh SECONDS).
# Two trees: build/ (the default preset) and build-sanitize/ (the sanitizers
# preset, shared by the sanitizer suite and the fuzz targets).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test
# CI has Xvfb: there the end-to-end tests must run, and a skip fails them.
if [ "${CI:-}" = true ]; then export RVL_E2E_REQUIRED=1; fi
jobs=$(nproc)

# Runs one stage and says how long it took, so a slow run shows where.
stage() {
  local name=$1 start=$SECONDS
  shift
  "$@"
  echo "test.sh: $name took $((SECONDS - start)) s"
}
suite() {
  cmake --preset default
  cmake --build --preset default -j "$jobs"
  ctest --preset default -j "$jobs"
  # Skipped end-to-end tests leave their reason here; say it rather than skip silently.
  cat build/e2e-artefacts/SKIPPED-*.txt 2>/dev/null || true
}
stage "the suite" suite
stage "the sanitizer suite" bash scripts/sanitize.sh
stage "the fuzz runs" bash scripts/fuzz.sh "${RVL_FUZZ_SECONDS:-20}"
echo "test.sh: the suite, the sanitizer suite and the fuzz runs all passed in $SECONDS s"
