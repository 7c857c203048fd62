#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the reader and its benchmarks in release mode (build-release/), runs
# every bench program and prints one table of all their figures.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/deps.sh build || exit 1
cmake --preset release >/dev/null || exit 1
cmake --build --preset release -j "$(nproc)" >build-release/bench-build.log 2>&1 || { tail -30 build-release/bench-build.log; exit 1; }

set -a
. scripts/headless.env
set +a

# Everything the programs print, commentary included, is kept here.
log="$root/build-release/bench-output.txt"
: >"$log"
rows=$(mktemp)
raw=$(mktemp)
trap 'rm -f "$rows" "$raw"' EXIT
status=0
for program in "$root"/build-release/bench/*_bench; do
  [ -x "$program" ] || continue
  name=$(basename "$program")
  echo "running $name ..." >&2
  out=$(cd "$root/build-release/run" && "$program")
  code=$?
  printf '== %s (exit %d)\n%s\n' "$name" "$code" "$out" >>"$log"
  # Rows are "row<TAB>area<TAB>figure<TAB>measured<TAB>floor<TAB>ratio";
  # a program that prints none has its own output shown after the table.
  printf '%s\n' "$out" | grep $'^row\t' | cut -f2- >>"$rows"
  if ! printf '%s\n' "$out" | grep -q $'^row\t'; then
    printf '\n%s:\n%s\n' "$name" "$out" >>"$raw"
  fi
  if [ $code -ne 0 ]; then
    printf '%s\t%s\t%s\t-\t-\n' "$name" "FAILED (exit $code)" "-" >>"$rows"
    status=1
  fi
done

echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(free -g | awk '/^Mem:/ {print $2}') GiB memory"
echo
awk -F'\t' '
  { for (i = 1; i <= 5; ++i) { cell[NR, i] = $i; if (length($i) > w[i]) w[i] = length($i) } }
  END {
    split("area|figure|measured|floor|ratio", head, "|")
    for (i = 1; i <= 5; ++i) if (length(head[i]) > w[i]) w[i] = length(head[i])
    line = "|"; rule = "|"
    for (i = 1; i <= 5; ++i) { line = line sprintf(" %-*s |", w[i], head[i]); dash = sprintf("%*s", w[i], ""); gsub(/ /, "-", dash); rule = rule "-" dash "-|" }
    print line; print rule
    for (r = 1; r <= NR; ++r) { line = "|"; for (i = 1; i <= 5; ++i) line = line sprintf(" %-*s |", w[i], cell[r, i]); print line }
  }' "$rows"
cat "$raw"
echo
echo "Full output of every program: $log"
exit $status
