#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The time from a buzzer key being queued to the band being presented, on
# the real reader under Xvfb: 100 presses of key 2 on a question card, each
# taken back with U. A preloaded probe (game_probe.cpp) notes both moments.
# Usage: bench/game_latency.sh BUILD_DIR   (needs Xvfb and xdotool)
set -euo pipefail
build=$(cd "${1:?build directory}" && pwd)
probe=$build/bench/librvl-game-probe.so
work=$(mktemp -d)
xvfb= reader=
trap '[ -n "$reader" ] && kill "$reader" 2>/dev/null; [ -n "$xvfb" ] && kill "$xvfb"; wait; rm -rf "$work"' EXIT
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$work/display")"
cp -r "$build/run/res" "$build/run/demo.rvl" "$work/"
mkdir "$work/temp"
(cd "$work" && exec env SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy ALSOFT_DRIVERS=null XDG_STATE_HOME="$work/state" \
    LD_PRELOAD="$probe" RVL_GAME_PROBE_OUT="$work/latency.txt" "$build/run/rvl-reader" --teams "A,B,C" demo.rvl \
    >/dev/null 2>&1) &
reader=$!
window() { xwininfo -root -tree 2>/dev/null | awk -v n="\"$1\":" '$2 == n { print $1; exit }'; }
# wait_for COMMAND...: up to 30 s.
wait_for() { for _ in $(seq 150); do "$@" && return; sleep 0.2; done; echo "timed out: $*" >&2; exit 1; }
box_up() { box=$(window Error) && [ -n "$box" ]; }
wait_for box_up
sleep 0.5
xdotool key --window "$box" Return
main_up() { xwininfo -root -tree 2>/dev/null | grep -q "\"RVL Reader\""; }
wait_for main_up
sleep 1
xdotool mousemove --sync 175 200 click 1
sleep 0.3
xdotool mousemove --sync 434 242 click 1
sleep 0.5
for _ in $(seq 100); do
    xdotool key 2
    sleep 0.1
    xdotool key u
    sleep 0.1
done
sleep 0.5
sort -n "$work/latency.txt" | awk '{ v[NR] = $1 } END {
    printf "key queued to band presented, %d presses: median %s ms, largest %s ms\n", NR, v[int((NR + 1) / 2)], v[NR] }'
