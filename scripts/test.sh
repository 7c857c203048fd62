#!/usr/bin/env bash
# Installs what the tests need, builds, and runs every test: the suite, the
# same suite under AddressSanitizer and UndefinedBehaviorSanitizer, and each
# fuzz target for a bounded time (RVL_FUZZ_SECONDS, default 60).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test
# CI has Xvfb: there the end-to-end tests must run, and a skip fails them.
if [ "${CI:-}" = true ]; then export RVL_E2E_REQUIRED=1; fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRVL_TESTS=ON
cmake --build build -j2
ctest --test-dir build --output-on-failure -j2
# Skipped end-to-end tests leave their reason here; say it rather than skip silently.
cat build/e2e-artefacts/SKIPPED-*.txt 2>/dev/null || true
bash scripts/sanitize.sh
bash scripts/fuzz.sh "${RVL_FUZZ_SECONDS:-60}"
echo "test.sh: the suite, the sanitizer suite and the fuzz runs all passed"
