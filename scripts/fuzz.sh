#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, ASan and UBSan in build-fuzz,
# writes their seed corpus, and runs each target for a bounded time.
# Fails when a target finds a crash, a hang, a leak or a sanitizer report;
# the input that did it is left in build-fuzz/artifacts/TARGET/.
# Usage: fuzz.sh [SECONDS_PER_TARGET] [TARGET...]   (default 60, every target)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-${RVL_FUZZ_SECONDS:-60}}
shift || true

export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/tests/sanitizer/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
# The sound target reaches OpenAL through the audio library: no device.
export ALSOFT_DRIVERS=null SDL_AUDIODRIVER=dummy SDL_VIDEODRIVER=dummy

cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DRVL_FUZZ=ON -DRVL_SANITIZE=ON -DRVL_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g"

# Every fuzz-* target whose code is in the tree (fuzz/CMakeLists.txt says
# which are waiting).
mapfile -t all < <(cmake --build build-fuzz --target help | sed -n 's/^\.\.\. \(fuzz-[a-z_]*\).*/\1/p' | sort)
if [ $# -gt 0 ]; then targets=("$@"); else targets=("${all[@]}"); fi
[ ${#targets[@]} -gt 0 ] || { echo "fuzz.sh: no fuzz targets configured" >&2; exit 1; }
cmake --build build-fuzz -j2 --target rvl-fuzz-seeds "${targets[@]}"

seeds=build-fuzz/seeds
rm -rf "$seeds"
build-fuzz/fuzz/rvl-fuzz-seeds "$seeds"

failed=()
for target in "${targets[@]}"; do
  name=${target#fuzz-}
  corpus=build-fuzz/corpus/$name
  artifacts=build-fuzz/artifacts/$name
  mkdir -p "$corpus" "$artifacts"
  extra=()
  [ -d "$seeds/$name" ] && extra+=("$seeds/$name")
  [ -d "tests/fuzz_regressions/$name" ] && extra+=("tests/fuzz_regressions/$name")
  echo "== $target: ${seconds}s"
  if ! "build-fuzz/fuzz/$target" "$corpus" "${extra[@]}" -max_total_time="$seconds" -timeout=10 \
       -rss_limit_mb=2048 -artifact_prefix="$artifacts/" -print_final_stats=1 2> "build-fuzz/$name.log"; then
    failed+=("$target")
    tail -n 60 "build-fuzz/$name.log"
  fi
  grep -E '^stat::number_of_executed_units|^Done [0-9]+ runs' "build-fuzz/$name.log" | sed "s/^/$target: /" || true
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz.sh: findings in ${failed[*]} (inputs in build-fuzz/artifacts/)" >&2
  exit 1
fi
echo "fuzz.sh: ${#targets[@]} targets, ${seconds}s each, no findings"
