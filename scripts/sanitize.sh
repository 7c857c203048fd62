#!/usr/bin/env bash
# Builds the reader and every test with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan (build-asan-clang) and runs the whole test suite
# there. Leaks are reported; any report in our code fails the run.
# Usage: sanitize.sh [gcc|clang]   (default gcc; RVL_SANITIZE_CXX overrides)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

case "${1:-gcc}" in
  gcc) cxx=g++ dir=build-asan ;;
  clang) cxx=clang++ dir=build-asan-clang ;;
  *) echo "usage: $0 [gcc|clang]" >&2; exit 2 ;;
esac
cxx=${RVL_SANITIZE_CXX:-$cxx}

# The same options reach the build too: test discovery runs each test
# program once, and a leak report there must not be mistaken for a failure
# of the build (nor hidden: discovery fails loudly on one in our code).
# Full stacks at each allocation (fast_unwind_on_malloc=0): libraries built
# without frame pointers otherwise give two-frame stacks that neither name
# our code nor match the suppressions. It about doubles the run time.
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:abort_on_error=0:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:detect_odr_violation=2:fast_unwind_on_malloc=0"
export LSAN_OPTIONS="suppressions=$root/tests/sanitizer/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

cmake -S . -B "$dir" -DRVL_SANITIZE=ON -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g"
cmake --build "$dir" -j2
# The end-to-end tests drive the real reader in real time under Xvfb; their
# code paths run in-process in the rest of the suite, which is what is
# checked here.
ctest --test-dir "$dir" --output-on-failure -j2 -LE e2e
