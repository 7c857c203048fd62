#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets with clang, ASan and UBSan in build-sanitize/
# (the sanitizers preset, shared with the sanitizer suite), writes their seed
# corpus, and runs each target for a bounded time.
# Fails when a target finds a crash, a hang, a leak or a sanitizer report;
# the input that did it is left in build-sanitize/artifacts/TARGET/.
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
set -a
. scripts/headless.env
set +a

tree=build-sanitize
cmake --preset sanitizers >/dev/null

# Every fuzz-* target whose code is in the tree (fuzz/CMakeLists.txt says
# which are waiting).
mapfile -t all < <(cmake --build "$tree" --target help | sed -n 's/^\.\.\. \(fuzz-[a-z_]*\).*/\1/p' | sort)
if [ $# -gt 0 ]; then targets=("$@"); else targets=("${all[@]}"); fi
[ ${#targets[@]} -gt 0 ] || { echo "fuzz.sh: no fuzz targets configured" >&2; exit 1; }
cmake --build --preset fuzz -j "$(nproc)" --target rvl-fuzz-seeds "${targets[@]}"

seeds=$tree/seeds
rm -rf "$seeds"
"$tree/fuzz/rvl-fuzz-seeds" "$seeds"

failed=()
for target in "${targets[@]}"; do
  name=${target#fuzz-}
  corpus=$tree/corpus/$name
  artifacts=$tree/artifacts/$name
  mkdir -p "$corpus" "$artifacts"
  extra=()
  [ -d "$seeds/$name" ] && extra+=("$seeds/$name")
  [ -d "tests/fuzz_regressions/$name" ] && extra+=("tests/fuzz_regressions/$name")
  echo "== $target: ${seconds}s"
  if ! "$tree/fuzz/$target" "$corpus" "${extra[@]}" -max_total_time="$seconds" -timeout=10 \
       -rss_limit_mb=2048 -artifact_prefix="$artifacts/" -print_final_stats=1 2> "$tree/$name.log"; then
    failed+=("$target")
    tail -n 60 "$tree/$name.log"
  fi
  grep -E '^stat::number_of_executed_units|^Done [0-9]+ runs' "$tree/$name.log" | sed "s/^/$target: /" || true
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz.sh: findings in ${failed[*]} (inputs in $tree/artifacts/)" >&2
  exit 1
fi
echo "fuzz.sh: ${#targets[@]} targets, ${seconds}s each, no findings"
