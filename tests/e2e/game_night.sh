#!/usr/bin/env bash
# The reader as a host runs it on game night, under Xvfb:
#   fullscreen  a 1920x1080 screen, the demo pack given on the command line:
#               the picture scaled with black bars, a click on the last topic
#               row (after scrolling) chooses the last topic, F10 ends it.
#   package     the Debian package made from this build tree with CPack,
#               unpacked with dpkg-deb -x and run from there with a relative
#               pack path: its per-user run directory, the console text and
#               the board.
# Usage: game_night.sh fullscreen|package BUILD_DIR PROBE DEMO_CONSOLE DEMO_FACTS
# Exits 77 (skipped, with the reason) when a tool is missing, unless
# RVL_E2E_REQUIRED is set.
set -uo pipefail

scenario=${1:?scenario}
build=${2:?build directory}
probe=${3:?screen probe}
demo_console=${4:?expected console text}
# shellcheck source=/dev/null
. "${5:?demo facts}"
run_dir=$build/run
work=$(mktemp -d /tmp/rvl-game-night.XXXXXX)
xvfb_pid=
reader_pid=

finish() {
    local status=$?
    [ -n "$reader_pid" ] && kill -KILL "$reader_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    if [ "$status" -ne 0 ] && [ "$status" -ne 77 ]; then
        echo "--- reader stdout (last lines)"; tail -n 5 "$work/stdout.txt" 2>/dev/null
        echo "--- reader stderr"; tail -n 10 "$work/stderr.txt" 2>/dev/null
        echo "(screenshots and logs stay in $work)"
    else
        rm -rf "$work"
    fi
    exit "$status"
}
trap finish EXIT
fail() { echo "FAIL [$scenario]: $*"; exit 1; }
skip() {
    echo "SKIPPED: game night '$scenario': $*"
    [ -n "${RVL_E2E_REQUIRED:-}" ] && exit 1
    exit 77
}
tools=(Xvfb xdotool xwininfo import)
[ "$scenario" = package ] && tools+=(cpack dpkg-deb dpkg-shlibdeps)
for tool in "${tools[@]}"; do command -v "$tool" >/dev/null 2>&1 || skip "'$tool' not found"; done

# wait_for SECONDS WHAT COMMAND...
wait_for() {
    local deadline=$((SECONDS + $1)) what=$2
    shift 2
    until "$@"; do
        [ "$SECONDS" -ge "$deadline" ] && fail "timed out waiting for $what"
        [ "$what" = "the reader to end" ] || kill -0 "$reader_pid" 2>/dev/null || fail "the reader ended while waiting for $what"
        sleep 0.2
    done
}
shot() { import -window root "$work/$1.png" 2>/dev/null; }
count() { "$probe" count "$work/$1.png" "${@:2}"; }
window_id() { xwininfo -root -tree 2>/dev/null | awk -v name="\"$1\":" '$2 == name { print $1; exit }'; }

start_x() { # WxH
    Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
    xvfb_pid=$!
    wait_for_display() { [ -s "$work/display" ]; }
    reader_pid=$xvfb_pid wait_for 15 "Xvfb" wait_for_display
    export DISPLAY=":$(head -n 1 "$work/display")"
}

# start_reader DIR ARGS...: the reader started in DIR; dismisses the start-up box.
start_reader() {
    local dir=$1
    shift
    (cd "$dir" && exec env -u WAYLAND_DISPLAY SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy TZ="$DEMO_TZ" \
        "$@" >"$work/stdout.txt" 2>"$work/stderr.txt") &
    reader_pid=$!
    box_up() { [ -n "$(window_id Error)" ]; }
    wait_for 30 "the start-up box" box_up
    box_gone() { [ -z "$(window_id Error)" ] && xwininfo -root -tree 2>/dev/null | grep -q '"RVL Reader"'; }
    local attempt
    for attempt in 1 2 3; do
        xdotool key --window "$(window_id Error)" Return 2>/dev/null
        local deadline=$((SECONDS + 5))
        while ! box_gone && [ "$SECONDS" -lt "$deadline" ]; do sleep 0.2; done
        box_gone && return
    done
    fail "the start-up box did not close"
}

quit_with_f10() {
    xdotool key F10
    reader_ended() { ! kill -0 "$reader_pid" 2>/dev/null; }
    wait_for 10 "the reader to end" reader_ended
    wait "$reader_pid"
    local status=$?
    reader_pid=
    [ "$status" -eq 0 ] || fail "exit status $status after F10"
}

fullscreen() {
    start_x 1920x1080
    start_reader "$run_dir" ./rvl-reader --fullscreen --vsync demo.rvl
    # 1024x768 scaled by 1080/768: 1440 pixels wide, bars of 240 each side;
    # the header line (y 175) lands at 175 * 1080 / 768 = 246.
    board_up() { shot board && [ "$(count board 240 246 1440 1 yellow)" -gt 1400 ]; }
    wait_for 30 "the scaled board" board_up
    local y
    for y in 244 245 247 248; do
        [ "$(count board 240 "$y" 1440 1 yellow)" -lt 100 ] || fail "the header line is not at y 246 alone (also at $y)"
    done
    [ "$(count board 0 0 240 1080 black)" -eq $((240 * 1080)) ] || fail "the left bar (x 0 to 239) is not black"
    [ "$(count board 1680 0 240 1080 black)" -eq $((240 * 1080)) ] || fail "the right bar (x 1680 on) is not black"
    [ "$(count board 240 0 1 1080 black)" -lt 100 ] && [ "$(count board 1679 0 1 1080 black)" -lt 100 ] ||
        fail "the picture does not reach x 240 and 1679"
    # Scroll the list to its end (10 rows of 70 in 593: 107 pixels). Rows 9
    # and 10 then stand at logical y 628 and 698, screen y 883 and 982. A
    # click below the last row would also choose the last topic, so row 9
    # is clicked first: only a pointer mapped back to 1024x768 hits it.
    xdotool mousemove --sync 486 700
    local turn
    for turn in 1 2 3 4 5 6; do xdotool click 5; sleep 0.1; done
    sleep 0.5
    shot scrolled
    row_changed() { # SHOT Y H
        "$probe" diff "$work/scrolled.png" "$work/$1.png" 240 "$2" 490 "$3" 8
    }
    choose() { # SCREEN_Y SHOT: the row clicked is highlighted, the other row is not
        xdotool mousemove --sync 486 "$1"
        sleep 0.3
        xdotool click 1
        local shot_name=$2
        highlighted() {
            shot "$shot_name" || return 1
            # Row 9 of the demo holds no questions, row 10 six.
            if [ "$shot_name" = row9 ]; then
                [ "$(row_changed row9 890 85)" -gt 5000 ] && [ "$(row_changed row9 985 90)" -lt 50 ]
            else
                [ "$(row_changed row10 985 90)" -gt 5000 ] && [ "$(row_changed row10 890 85)" -lt 50 ] &&
                    [ "$(count "$shot_name" 737 250 940 830 yellow)" -gt 300 ]
            fi
        }
        wait_for 20 "topic row ${shot_name#row} chosen" highlighted
    }
    choose 932 row9
    choose 1026 row10
    quit_with_f10
}

package() {
    # The build tree as it stands, packed into this scratch directory.
    cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/cpack" >"$work/cpack.log" 2>&1 ||
        fail "cpack failed: $(tail -n 5 "$work/cpack.log")"
    local deb
    deb=$(ls "$work"/cpack/rvl-reader_*_amd64.deb) || fail "no rvl-reader_VERSION_amd64.deb"
    dpkg-deb --info "$deb" >"$work/info.txt" || fail "dpkg-deb --info failed"
    grep -q '^ Depends:.*libsdl2-2.0-0.*' "$work/info.txt" || fail "the dependencies were not read: $(cat "$work/info.txt")"
    mkdir "$work/root"
    dpkg-deb -x "$deb" "$work/root" || fail "dpkg-deb -x failed"
    local root=$work/root/usr f
    for f in bin/rvl-reader bin/rvl-pack libexec/rvl-reader/fileopen.exe libexec/rvl-reader/rvl-video.so \
        share/rvl-reader/res/bg.png share/rvl-reader/res/FuturaC.ttf share/icons/hicolor/128x128/apps/rvl-reader.png; do
        [ -e "$root/$f" ] || fail "/usr/$f is missing from the package"
    done
    grep -qx 'Exec=rvl-reader %f' "$root/share/applications/rvl-reader.desktop" &&
        grep -qx 'MimeType=application/x-rvl-pack;' "$root/share/applications/rvl-reader.desktop" ||
        fail "the desktop entry does not open packs"
    grep -q '<match type="string" offset="0" value="RVL1"/>' "$root/share/mime/packages/rvl-reader.xml" &&
        grep -q '<glob pattern="\*.rvl"/>' "$root/share/mime/packages/rvl-reader.xml" ||
        fail "the file type does not name the packs"

    start_x 1024x768
    # A relative path from where the host stands; the reader moves into its
    # per-user run directory after making it absolute.
    start_reader "$run_dir" env XDG_DATA_HOME="$work/data" "$root/bin/rvl-reader" demo.rvl
    { printf 'Фаил: %s\n' "$run_dir/demo.rvl"; cat "$demo_console"; } >"$work/expected.txt"
    enough_lines() { [ "$(wc -l <"$work/stdout.txt")" -ge "$(wc -l <"$work/expected.txt")" ]; }
    wait_for 30 "the console text" enough_lines
    diff -u "$work/expected.txt" "$work/stdout.txt" >"$work/stdout.diff" ||
        fail "console text differs (expected vs actual): $(head -n 20 "$work/stdout.diff")"
    board_up() { shot board && [ "$(count board 0 175 1024 1 yellow)" -gt 900 ]; }
    wait_for 30 "the board" board_up
    local rundir=$work/data/rvl-reader
    [ "$(readlink "$rundir/res")" = "$root/share/rvl-reader/res" ] &&
        [ "$(readlink "$rundir/fileopen.exe")" = "$root/libexec/rvl-reader/fileopen.exe" ] && [ -d "$rundir/temp" ] ||
        fail "the run directory $rundir is not prepared: $(ls -l "$rundir" 2>&1)"
    quit_with_f10
}

case "$scenario" in
fullscreen) fullscreen ;;
package) package ;;
*) echo "unknown scenario $scenario"; exit 2 ;;
esac
echo "PASS: game night '$scenario'"
