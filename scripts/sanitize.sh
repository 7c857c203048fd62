#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the reader and every test with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer in build-sanitize/ (the sanitizers preset, which
# also builds the fuzz targets) and runs the whole test suite there. Leaks are
# reported; any report in our code fails the run. The sanitizer options are
# the preset's: the build runs each test program once (test discovery), and a
# leak report there must not pass for a failure of the build (nor hide: it
# fails loudly on one in our code). Full stacks at each allocation
# (fast_unwind_on_malloc=0), as libraries built without frame pointers give
# two-frame stacks that neither name our code nor match the suppressions.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
cmake --preset sanitizers
cmake --build --preset sanitizers -j "$jobs"
# The end-to-end tests drive the real reader in real time under Xvfb; their
# code paths run in-process in the rest of the suite, which is what is
# checked here (the preset leaves them out).
ctest --preset sanitizers -j "$jobs"
