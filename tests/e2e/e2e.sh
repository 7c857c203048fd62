#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck disable=SC2015  # "check && check || fail" is meant: fail ends the script
# End to end, as a person uses the reader: the real program in a real X window
# under Xvfb, driven with pointer clicks and keys (xdotool), checked by
# screenshots (import) and by its stdout, with its sound recorded by OpenAL's
# wave output. The pictures themselves are checked pixel by pixel in-process
# (board, card, picture tests); here it is the path through the program.
#
# Usage: e2e.sh demo|reject|refused|fullscreen|package|game|host RUN_DIR PROBE DEMO_CONSOLE DEMO_FACTS ARTEFACT_DIR
#   demo        the demo module through a scripted chooser: the start-up box, the
#               selection screen, trace and listing, the board, one question of
#               each type played to its answer with its sound recorded, F10.
#   reject      a file that is not a module: the rejection line, an empty board, F10.
#   refused     a pack on the command line that does not exist: its message in a box too.
#   fullscreen  the demo pack on the command line on a 1920x1080 screen: the
#               picture scaled with black bars, clicks mapped back to the board.
#   package     the Debian package made from this build tree with CPack: lintian,
#               appstreamcli, desktop-file-validate, its manual pages, completion
#               and copyright; unpacked with dpkg-deb -x, run on a relative pack
#               path: trace, listing, board and its per-user run directory.
#   game        the demo pack with --teams: a buzzer key shows the band, awards
#               reach the saved game and the scoreboard, undo puts a played
#               question back, a double-click on the card plays nothing; the
#               reader killed three times and resumed; the last question shows
#               the scoreboard by itself.
#   host        the demo pack with --teams and --host-display 1 on two displays
#               (Xorg's dummy driver): the host's window on the second display,
#               the answer there while the picture shows, a buzzer key with
#               the host's window focused, "+N" clicked there, host clicks
#               that leave the picture and the card alone, F10; then
#               --display 1 alone puts the projector's window there.
# Exits 77 (skipped, with the reason) when the X tools are missing, unless
# RVL_E2E_REQUIRED is set. Screenshots and logs stay in ARTEFACT_DIR/SCENARIO
# when the test fails, or always with RVL_E2E_KEEP set.
set -uo pipefail

scenario=${1:?scenario}
run_dir=${2:?run directory}
probe=${3:?screen probe}
demo_console=${4:?expected console text}
demo_facts=${5:?demo facts}
art_base=${6:?artefact directory}
art=$art_base/$scenario
mkdir -p "$art_base"
rm -f "$art_base/SKIPPED-$scenario.txt"

skip() {
    echo "SKIPPED: end-to-end test '$scenario' not run: $*" | tee "$art_base/SKIPPED-$scenario.txt"
    [ -z "${RVL_E2E_REQUIRED:-}" ] || { echo "FAIL: RVL_E2E_REQUIRED is set, so a skip is a failure here"; exit 1; }
    exit 77
}

for tool in Xvfb xdotool xwininfo import compare iconv; do
    command -v "$tool" >/dev/null 2>&1 || skip "'$tool' not found (Debian packages: xvfb xdotool x11-utils imagemagick)"
done
[ -e /usr/share/fonts/X11/misc/fonts.dir ] ||
    skip "X core fonts not found, SDL's own message box needs them (Debian package: xfonts-base)"
for f in "$run_dir/rvl-reader" "$run_dir/rvl-video.so" "$probe" "$demo_console" "$demo_facts" "$run_dir/demo.rvl"; do
    [ -e "$f" ] || { echo "FAIL: $f is missing; build first (cmake --build build)"; exit 1; }
done
# shellcheck source=/dev/null
. "$demo_facts"

rm -rf "$art"
work=$art/work
mkdir -p "$work"
step_no=0 step_name=start xvfb_pid= reader_pid= reader_status=

finish() {
    local status=$?
    if [ -n "$reader_pid" ]; then
        # The reader first, while its X server is still there to part from.
        kill "$reader_pid" 2>/dev/null
        for _ in $(seq 50); do kill -0 "$reader_pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$reader_pid" 2>/dev/null
    fi
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    if [ "$status" -ne 0 ] && [ "$status" -ne 77 ]; then
        echo "Screenshots, stdout, stderr and sound of this run are in $art"
    elif [ -z "${RVL_E2E_KEEP:-}" ]; then
        rm -rf "$art"
    fi
    [ "$status" -eq 0 ] && echo "PASS: end-to-end '$scenario'"
    exit "$status"
}
trap finish EXIT

fail() {
    echo "FAIL [$scenario, step $step_no: $step_name]: $*"
    [ -n "$xvfb_pid" ] && import -window root "$art/at-failure.png" 2>>"$art/import.log"
    # The reader's last lines, under "==> file <==" headers.
    tail -n 8 "$art/stdout.txt" "$art/stderr.txt" 2>/dev/null
    exit 1
}

step() {
    step_no=$((step_no + 1)) step_name=$1
    echo "== step $step_no: $step_name (at ${SECONDS}s)"
}

# A screenshot of the whole screen; its file is in $shot.
shot() {
    shot=$(printf '%s/%02d-%s.png' "$art" "$step_no" "$1")
    import -window root "$shot" 2>>"$art/import.log" || fail "import could not take a screenshot"
}

reader_alive() { [ -n "$reader_pid" ] && kill -0 "$reader_pid" 2>/dev/null; }
reader_ended() {
    reader_alive && return 1
    wait "$reader_pid"
    reader_status=$? reader_pid=
}

# wait_for SECONDS WHAT COMMAND...: repeats COMMAND until it succeeds; each
# check leaves what it saw in $why for the failure message.
wait_for() {
    local deadline=$((SECONDS + $1)) what=$2
    shift 2
    why=
    until "$@"; do
        [ "$SECONDS" -ge "$deadline" ] && fail "timed out waiting for $what${why:+ ($why)}"
        [ "$what" = "the reader to end" ] || [ -z "$reader_pid" ] || reader_alive ||
            fail "the reader ended while waiting for $what${why:+ ($why)}"
        sleep 0.2
    done
}

# near X Y "R G B" TOL, in $shot: the assignment's status is the probe's.
near() {
    # shellcheck disable=SC2086  # $3 is the three channels
    why="pixel ($1,$2) is ($("$probe" near "$shot" "$1" "$2" $3 "$4")), expected ($3) within $4"
}
count_of() { "$probe" count "$shot" "$@"; }
# differing A B X Y W H TOL%: pixels of the region that differ by more than TOL%.
differing() { compare -metric AE -fuzz "$7%" "$1[$5x$6+$3+$4]" "$2[$5x$6+$3+$4]" null: 2>&1; }
window_listed() { xwininfo -root -tree 2>/dev/null | grep -q "\"$1\""; }
# (--sync waits for the pointer to move: not when it is already there.)
click() {
    [ "$(xdotool getmouselocation | cut -d' ' -f1-2)" = "x:$1 y:$2" ] || xdotool mousemove --sync "$1" "$2"
    xdotool click "$3"
    sleep 0.2
}

box_up() { box=$(xwininfo -root -tree 2>/dev/null | awk '$2 == "\"Error\":" { print $1; exit }'); [ -n "$box" ] &&
    xwininfo -id "$box" | grep -q IsViewable; }
# (The box listens once it is drawn.)
dismiss_box() { sleep 0.3 && xdotool key --window "$box" Return; }

# start WxH ARGS...: the X server, then the reader with ARGS in $work; the
# start-up box is dismissed.
start() {
    step "X server and the reader"
    # -noreset: a bare X server resets when its last client goes, and the
    # start-up box is its only client; the reader's own connection, a moment
    # later, would otherwise meet the reset. A reader started again keeps it.
    if [ -z "$xvfb_pid" ]; then
        Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp -noreset 3>"$art/display" 2>"$art/xvfb.log" &
        xvfb_pid=$!
    fi
    shift
    wait_for 15 "Xvfb's display number" test -s "$art/display"
    export DISPLAY=":$(head -n 1 "$art/display")"
    cp -r "$run_dir/rvl-reader" "$run_dir/rvl-video.so" "$run_dir/demo.rvl" "$run_dir/res" "$work/"
    mkdir -p "$work/temp"
    printf '[general]\nchannels = mono\nsample-type = int16\nfrequency = 44100\n[wave]\nfile = %s\n' \
        "$art/sound.wav" >"$work/alsoft.conf"
    # SDL_VIDEODRIVER=x11: should SDL fail to reach the X server, it shows its
    # "Can't iniitialise SDL" box instead of an invisible off-screen window.
    # TZ: the creation time in the listing. GSETTINGS_BACKEND, NO_AT_BRIDGE:
    # a dialog without a desktop session stays quiet. XDG_CONFIG_HOME: a
    # chooser remembers its folder there, not in ~; an installed reader makes
    # its run directory in XDG_DATA_HOME.
    (cd "$work" && exec env -u WAYLAND_DISPLAY SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy TZ="$DEMO_TZ" \
        GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 XDG_CONFIG_HOME="$art/config" XDG_DATA_HOME="$art/data" \
        XDG_STATE_HOME="$art/state" \
        ALSOFT_DRIVERS=wave ALSOFT_CONF="$work/alsoft.conf" "${reader:-./rvl-reader}" "$@" >"$art/stdout.txt" 2>"$art/stderr.txt") &
    reader_pid=$!

    step "the 'Device not found!' box"
    wait_for 30 "SDL's message box titled 'Error'" box_up
    window_listed "RVL Reader" && fail "the main window exists while the start-up box is up"
    dismiss_box
    main_window() { ! xwininfo -id "$box" >/dev/null 2>&1 && { window_listed "RVL Reader" || window_listed "Can't iniitialise SDL"; }; }
    wait_for 20 "the box to close and the window 'RVL Reader' to open" main_window
    window_listed "Can't iniitialise SDL" && fail "SDL could not reach the X server after the start-up box"
}

# Starts the reader without a pack; its chooser, a script, answers with the
# name in $1 (how it is called is checked in-process).
choose() {
    # shellcheck disable=SC2059
    { printf "\\$(printf %03o $(($(printf '%s' "$1" | iconv -f UTF-8 -t UTF-16BE | wc -c) / 2)))"
      printf '%s' "$1" | iconv -f UTF-8 -t UTF-16BE; } >"$art/answer.rlt"
    printf '#!/bin/sh\ncat "%s" >openfilename.rlt\n' "$art/answer.rlt" >"$work/fileopen.exe"
    chmod +x "$work/fileopen.exe"
    start 1024x768
    step "selection screen"
    prompt() { shot selection; white=$(count_of 0 344 1024 80 white) why="$white white pixels"; [ "$white" -gt 300 ]; }
    wait_for 20 "the white prompt in the middle" prompt
    click 700 650 1
}

# The console text must be $1 and nothing more (checked again at the end).
expect_console() {
    step "console text"
    printf '%s\n' "$1" >"$art/expected-stdout.txt"
    complete() { [ "$(wc -l <"$art/stdout.txt")" -ge "$(wc -l <"$art/expected-stdout.txt")" ]; }
    wait_for 30 "the whole console text on stdout" complete
    same_console || fail "stdout differs (expected vs actual):
$(head -n 30 "$art/stdout.diff")"
}
same_console() { diff -u "$art/expected-stdout.txt" "$art/stdout.txt" >"$art/stdout.diff"; }
pack_console() { printf 'Фаил: %s\n' "$1" && cat "$demo_console"; }
empty_listing=$'Версия: RVL1\nВремя создания: -\nАвтор: ; Название пака: '

# A screenshot and what it shows: on_board, the yellow header line and
# divider ($cells: grid cells with points); on_card, white text in the middle
# band and the background (res/bg.png) above it.
on_board() {
    shot "$1"
    cells=$("$probe" cells "$shot")
    why="$cells cells with points"
    near 1022 175 "255 255 0" 55 && near 350 100 "255 255 0" 55
}
on_card() {
    shot "$1"
    local white above
    white=$(count_of 0 300 1024 168 white) above=$(differing "$shot" "$work/res/bg.png" 0 0 1024 300 1)
    why="$white white pixels, $above above them differ from the background"
    [ "$above" -eq 0 ] && [ "$white" -gt 300 ]
}

sound_check() { # NAME FREQ MIN_LOUD MIN_TONE
    local loud tone
    read -r _ loud _ tone <<<"$("$probe" wav "$art/sound.wav" "$2")"
    echo "  $1 sound: loud $loud s, near $2 Hz $tone s"
    awk -v l="$loud" -v t="$tone" -v ml="$3" -v mt="$4" 'BEGIN { exit !(l >= ml && t >= mt) }' ||
        fail "too little sound was played for the $1: loud $loud s, $tone s near $2 Hz (expected $3 and $4)"
}

# Plays the question of the cell at X, Y: media, question card, answer card,
# back to the board with one question fewer.
play_question() {
    local type=$1 x=$2 y=$3 left=$4
    step "question of type $type ($left left)"
    click "$x" "$y" 1
    case "$type" in
    I)
        picture() { shot picture && near 512 384 "$DEMO_PNG_CENTRE" 30; }
        wait_for 15 "the picture" picture
        click "$x" "$y" 1
        ;;
    A)
        wait_for 15 "the clip to end and the card to come by itself" on_card question
        sleep 0.3
        sound_check audio-question 0 1.5 0
        ;;
    V)
        video() { shot video && near 5 5 "$DEMO_VIDEO_GROUND" 30 && near 1018 762 "$DEMO_VIDEO_GROUND" 30; }
        wait_for 15 "video frames over the whole window" video
        wait_for 20 "the clip to end and the card to come by itself" on_card question
        sound_check video-question 880 1.0 0.5
        ;;
    esac
    wait_for 30 "the question card" on_card question
    local question=$shot
    click "$x" "$y" 1
    answer() { on_card answer && [ "$(differing "$shot" "$question" 0 300 1024 168 3)" -gt 200 ]; }
    wait_for 10 "the answer card" answer
    click "$x" "$y" 1
    fewer() { on_board board-again && [ "$cells" -eq $((left - 1)) ]; }
    wait_for 10 "the board with one question fewer" fewer
}

quit_with_f10() {
    step "F10 ends the program"
    xdotool key F10
    wait_for 10 "the reader to end" reader_ended
    [ "$reader_status" -eq 0 ] || fail "exit status $reader_status, expected 0"
    ! grep -E "Error|Can't|Could not|\*\*\*" "$art/stderr.txt" || fail "the reader reported failures on stderr"
    same_console || fail "more was written to stdout while the reader ran: $(tail -n +3 "$art/stdout.diff")"
}

demo() {
    cp "$run_dir/demo.rvl" "$work/Демо.rvl"
    choose "Демо.rvl"
    expect_console "$(pack_console Демо.rvl)"
    step "board"
    wait_for 30 "the board" on_board board
    [ "$cells" -eq 0 ] || fail "a grid shows before any topic was chosen"
    step "scrolling to the last topic and choosing it"
    for _ in 1 2 3 4 5; do click 175 500 5; done
    # Scrolled to its end, the list's last row spans y 698 to 767.
    click 175 735 1
    grid() { on_board topic && [ "$cells" -eq 6 ]; }
    wait_for 10 "the grid of the tour topic" grid
    [ "$DEMO_TOUR_TYPES" = TIIAVT ] || fail "the demo's tour is $DEMO_TOUR_TYPES; this script plays TIIAVT"
    # Cell 1, then cell 2 of what remains: T, I, then A and V.
    play_question T 434 242 6
    play_question I 434 242 5
    play_question A 602 242 4
    play_question V 602 242 3
    step "without --teams the game's keys change nothing, and nothing is saved"
    on_board before-keys
    local before=$shot
    xdotool key 1 2 3 4 5 6 7 8 KP_1 equal KP_Add minus KP_Subtract 0 BackSpace Return u a Tab
    sleep 0.5
    on_board after-keys
    [ "$(differing "$before" "$shot" 0 0 1024 768 0)" -eq 0 ] || fail "the board changed after the game's keys"
    [ ! -e "$art/state" ] || fail "a game file was written: $(find "$art/state")"
    quit_with_f10
}

# The saved game, squeezed onto one line.
saved_game() { tr -d ' \n' <"$(ls "$art"/state/rvl-reader/games/*[0-9a-f].json)"; }
saved_has() { why="saved: $(saved_game)"; case "$(saved_game)" in *"$1"*) true ;; *) false ;; esac; }
# The band across the top: the holder's name in yellow on black.
band_shows() { shot "$1" && [ "$(count_of 0 0 1024 100 yellow)" -gt 300 ] && [ "$(count_of 0 0 1024 100 dark)" -gt 60000 ]; }
scoreboard_shows() { shot "$1" && [ "$(count_of 300 300 400 150 dark)" -gt 20000 ]; }
tour() {
    for _ in 1 2 3 4 5; do click 175 500 5; done
    click 175 735 1
}
tour_cells() { on_board tour && why="$cells cells" && [ "$cells" -eq "$1" ]; }
kill_and_resume() {
    step "killed with SIGKILL, then --resume $*"
    kill -9 "$reader_pid"
    wait "$reader_pid" 2>/dev/null
    reader_pid=
    start 1024x768 --resume "$@" demo.rvl
    wait_for 30 "the board" on_board board
    tour
}

game() {
    start 1024x768 --teams "Красные, Синие,Зелёные" demo.rvl
    expect_console "$(pack_console "$work/demo.rvl")"
    wait_for 30 "the board" on_board board
    saved_has '"played":[]' || fail "no new game saved: $why"
    tour
    wait_for 10 "the tour's six cells" tour_cells 6
    step "key 2 buzzes: the band, then + gives Синие the question's 100"
    click 434 242 1
    wait_for 10 "the question card" on_card question
    xdotool key 2
    wait_for 5 "the band with the winner's name" band_shows band
    xdotool key equal
    wait_for 5 "the band gone after the award" on_card awarded
    wait_for 5 "the award saved" saved_has '"name":"Синие","score":100'
    sound_check buzzer-tone 880 0.1 0.05
    step "a double-click on the answer card plays nothing"
    xdotool click --repeat 3 --delay 60 1
    wait_for 10 "the board with five cells" tour_cells 5
    sleep 1
    tour_cells 5 || fail "a question was played after the card: $why"
    step "Tab shows the scoreboard, a click hides it without playing"
    xdotool key Tab
    wait_for 5 "the scoreboard" scoreboard_shows scoreboard
    click 434 242 1
    sleep 0.5
    tour_cells 5 && ! scoreboard_shows hidden || fail "the scoreboard stayed or the click played: $why"
    step "U three times: award, buzz and play undone, the question is back"
    xdotool key u u u
    wait_for 5 "six cells again" tour_cells 6
    wait_for 5 "the undo saved" saved_has '"played":[],"sequence":6,"teams":[{"name":"Красные","score":0},{"name":"Синие","score":0}'
    step "wrong, then right: Красные -100, Зелёные +100"
    click 434 242 1
    wait_for 10 "the question card" on_card question
    xdotool key 1 minus 3 Return
    wait_for 5 "the awards saved" saved_has '"score":-100},{"name":"Синие","score":0},{"name":"Зелёные","score":100}'
    click 434 242 1
    click 434 242 1
    wait_for 10 "the board with five cells" tour_cells 5

    kill_and_resume
    wait_for 10 "the played question still gone" tour_cells 5
    step "a buzzer during the picture question, then killed"
    click 434 242 1
    picture() { shot picture && near 512 384 "$DEMO_PNG_CENTRE" 30; }
    wait_for 15 "the picture" picture
    xdotool key 2
    wait_for 5 "the band over the picture" band_shows picture-band
    kill_and_resume
    wait_for 10 "the picture question gone, as played" tour_cells 4
    saved_has '"score":-100},{"name":"Синие","score":0},{"name":"Зелёные","score":100}' || fail "scores lost: $why"
    kill_and_resume --teams "A,B,C"
    wait_for 10 "the same four cells" tour_cells 4
    wait_for 5 "the new names saved" saved_has '"teams":[{"name":"A","score":-100},{"name":"B","score":0},{"name":"C","score":100}]'

    step "the last question shows the scoreboard by itself"
    xdotool key F10
    wait_for 10 "the reader to end" reader_ended
    [ "$reader_status" -eq 0 ] || fail "exit status $reader_status, expected 0"
    # Every question played but the tour's third (30000 points, a picture).
    local file played="" t q counts
    file=$(ls "$art"/state/rvl-reader/games/*[0-9a-f].json)
    counts=$(sed -n 's/^Тема: .*[^0-9]\([0-9][0-9]*\)$/\1/p' "$demo_console" | tr '\n' ' ')
    t=0
    for n in $counts; do
        for ((q = 0; q < n; q++)); do
            [ "$t" -eq $((DEMO_TOPICS - 1)) ] && [ "$q" -eq 2 ] && continue
            played+="${played:+,}[$t,$q]"
        done
        t=$((t + 1))
    done
    printf '{"format":1,"pack":"%s","sequence":0,"teams":[{"name":"A","score":-100},{"name":"B","score":0},{"name":"C","score":100}],"played":[%s],"bindings":[]}' \
        "$(basename "$file" .json)" "$played" >"$file"
    reader_pid=
    start 1024x768 --resume demo.rvl
    wait_for 30 "the board" on_board board
    tour
    wait_for 10 "one cell left" tour_cells 1
    click 434 242 1
    photo() { shot photo && near 512 384 "$DEMO_JPEG_CENTRE" 30; }
    wait_for 15 "the photo" photo
    xdotool key KP_1 KP_Enter
    click 434 242 1
    wait_for 10 "the question card" on_card question
    click 434 242 1
    click 434 242 1
    wait_for 10 "the scoreboard with the winner" scoreboard_shows winner
    saved_has '"teams":[{"name":"A","score":29900}' || fail "the last award is not saved: $why"
    quit_with_f10
}

reject() {
    printf 'Это не модуль, а заметки.\n' >"$work/заметки.txt"
    choose "заметки.txt"
    # The listing of the empty module follows the rejection line.
    expect_console "Фаил: заметки.txt
Данный фаил не является игровым модулем Ravlin.
$empty_listing"
    step "the board"
    wait_for 30 "the board" on_board board
    quit_with_f10
}

# A pack named on the command line that is not there: the loader's message on
# the console and in a box over the window, then the empty board.
refused() {
    start 1024x768 nosuch.rvl
    expect_console "Фаил: $work/nosuch.rvl
Не удалось открыть файл модуля: $work/nosuch.rvl
$empty_listing"
    step "the box with the loader's message"
    wait_for 20 "a box titled 'Error' over the reader's window" box_up
    dismiss_box
    wait_for 30 "the board" on_board board
    quit_with_f10
}

fullscreen() {
    start 1920x1080 --fullscreen --vsync demo.rvl
    expect_console "$(pack_console "$work/demo.rvl")"
    step "the board scaled by 1080/768 between black bars of 240"
    # The header line (y 175) lands at 175 * 1080 / 768 = 246. Without the
    # logical size the background alone would stretch over the whole screen,
    # the line too, and the bars would not be black.
    scaled() { shot board && [ "$(count_of 240 246 1440 1 yellow)" -gt 1400 ]; }
    wait_for 30 "the scaled board" scaled
    [ "$(count_of 0 0 240 1080 black)" -eq $((240 * 1080)) ] && [ "$(count_of 1680 0 240 1080 black)" -eq $((240 * 1080)) ] ||
        fail "the bars at the sides are not black"
    step "a click on the ninth row after scrolling chooses it"
    # 10 rows of 70 in 593 scroll by 107: row 9 stands at logical y 628 to
    # 697, screen y 883 to 980. Unmapped, the click would fall below the list,
    # which chooses the last topic.
    for _ in 1 2 3 4 5 6; do click 486 700 5; done
    sleep 0.5
    shot scrolled
    local scrolled=$shot
    click 486 932 1
    row9() { shot row9 && [ "$(differing "$scrolled" "$shot" 240 890 490 85 3)" -gt 5000 ] &&
        [ "$(differing "$scrolled" "$shot" 240 985 490 90 3)" -lt 50 ]; }
    wait_for 20 "topic row 9 chosen" row9
    quit_with_f10
}

package() {
    step "the package made with CPack from this build tree, unpacked"
    cpack -G DEB --config "$run_dir/../CPackConfig.cmake" -B "$art/cpack" >"$art/cpack.log" 2>&1 ||
        fail "cpack failed: $(tail -n 5 "$art/cpack.log")"
    local deb root=$art/root
    deb=$(echo "$art"/cpack/rvl-reader_*_amd64.deb)
    dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x failed"
    step "what a distribution checks: lintian, AppStream, the desktop entry, manuals, completion, licence"
    lintian --fail-on error,warning "$deb" >"$art/lintian.txt" 2>&1 || fail "lintian: $(cat "$art/lintian.txt")"
    appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml >"$art/appstream.txt" 2>&1 ||
        fail "appstreamcli: $(cat "$art/appstream.txt")"
    desktop-file-validate "$root/usr/share/applications/rvl-reader.desktop" || fail "desktop-file-validate complained"
    # Each manual page renders without a warning and names every option its program's --help lists.
    local page said options option text completed commands
    for page in rvl-reader rvl-pack; do
        said=$(MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null) && [ -z "$said" ] ||
            fail "man cannot render $page(1) without warnings: $said"
        # rvl-pack's commands have a --help of their own each.
        commands=("")
        [ "$page" = rvl-pack ] && commands+=(build unpack check)
        options=$(for command in "${commands[@]}"; do LC_ALL=C "$root/usr/bin/$page" ${command:+"$command"} --help; done | grep -oE -- '(^|[][ ,|])--?[a-z][a-z-]*' | sed 's/^[][ ,|]//' | sort -u)
        [ "$(wc -w <<<"$options")" -ge 3 ] || fail "'$page --help' lists hardly any options: $options"
        text=$(MANWIDTH=250 man -l "$root/usr/share/man/man1/$page.1.gz")
        for option in $options; do grep -qF -- "$option" <<<"$text" || fail "$option of '$page --help' is not in $page(1)"; done
    done
    # shellcheck disable=SC2016  # expanded by the inner shell
    completed=$(bash -c '. /usr/share/bash-completion/bash_completion; . "$1"; COMP_WORDS=(rvl-pack b) COMP_CWORD=1 COMP_LINE="rvl-pack b"
        COMP_POINT=10; $(complete -p rvl-pack | grep -oP "(?<=-F )\S+"); echo "${COMPREPLY[*]}"' _ "$root$(pkg-config --variable=completionsdir bash-completion)/rvl-pack")
    [ "$completed" = build ] || fail "completing 'rvl-pack b' gave '$completed'"
    grep -q "^License: GPL-3+$" "$root/usr/share/doc/rvl-reader/copyright" || fail "the copyright file names no GPL-3+"
    # The fonts' own packages are installed here; the unpacked tree's relative
    # links reach them as the installed package's would.
    ln -s /usr/share/fonts "$root/usr/share/fonts"
    reader=$root/usr/bin/rvl-reader
    start 1024x768 demo.rvl
    # The pack is named relative to where the host stands.
    expect_console "$(pack_console "$work/demo.rvl")"
    wait_for 30 "the board" on_board board
    local data=$art/data/rvl-reader
    [ "$(readlink "$data/res")" = "$root/usr/share/rvl-reader/res" ] && [ -x "$data/fileopen.exe" ] && [ -d "$data/temp" ] ||
        fail "the run directory $data is not prepared: $(ls -l "$data" 2>&1)"
    quit_with_f10
}

# Two displays side by side, 1280x1024 and 1920x1080, from Xorg's dummy
# driver (Xvfb shows SDL one display only); start then uses this server.
two_displays() {
    for tool in Xorg xrandr; do command -v "$tool" >/dev/null 2>&1 ||
        skip "'$tool' not found (Debian packages: xserver-xorg-core x11-xserver-utils)"; done
    [ -e /usr/lib/xorg/modules/drivers/dummy_drv.so ] || skip "Xorg's dummy driver not found (Debian package: xserver-xorg-video-dummy)"
    printf '%s\n' 'Section "Device"' ' Identifier "d"' ' Driver "dummy"' ' VideoRam 256000' EndSection \
        'Section "Monitor"' ' Identifier "m"' ' HorizSync 5.0-1000.0' ' VertRefresh 5.0-200.0' EndSection \
        'Section "Screen"' ' Identifier "s"' ' Device "d"' ' Monitor "m"' ' DefaultDepth 24' ' SubSection "Display"' \
        '  Depth 24' '  Virtual 4000 2000' ' EndSubSection' EndSection >"$art/dummy.conf"
    Xorg -displayfd 3 -config "$art/dummy.conf" -noreset -nolisten tcp -logfile "$art/xorg.log" 3>"$art/display" \
        >"$art/xorg.out" 2>&1 &
    xvfb_pid=$!
    wait_for 15 "Xorg's display number" test -s "$art/display"
    export DISPLAY=":$(head -n 1 "$art/display")"
    xrandr --output DUMMY0 --mode 1280x1024 && xrandr --addmode DUMMY1 1920x1080 &&
        xrandr --output DUMMY1 --mode 1920x1080 --right-of DUMMY0 || fail "xrandr could not set up two displays"
    # SDL finds the second display only once the monitors have been listed.
    sdl_sees_two() { xrandr --listmonitors >/dev/null; why="SDL sees $(SDL_VIDEODRIVER=x11 "$probe" displays 2>&1)" && [ "${why##* }" = 2 ]; }
    wait_for 10 "SDL to see both displays" sdl_sees_two
}
# window_at NAME: the window's id and its place, in $win and $geometry (WxH+X+Y).
window_at() {
    read -r win geometry < <(xwininfo -root -tree | grep -F "\"$1\":" | awk '{ print $1, $(NF-1); exit }')
    why="window '$1' at ${geometry:-nowhere}"
    [ -n "$win" ]
}
host_shot() { shot "$1" && host_area=$(count_of 1280 0 1000 260 yellow); }

host() {
    two_displays
    start 1024x768 --teams "Красные,Синие" --host-display 1 demo.rvl
    expect_console "$(pack_console "$work/demo.rvl")"
    step "the host's window fills the second display"
    wait_for 10 "the host's window" window_at "RVL Reader — ведущий"
    local host_win=$win
    [ "$geometry" = "1920x1080+1280+0" ] || fail "the host's window is at $geometry, not 1920x1080+1280+0"
    # The projector's window to the corner, where the board's checks look.
    window_at "RVL Reader" && xdotool windowmove --sync "$win" 0 0
    wait_for 30 "the board" on_board board
    host_shot no-question
    [ "$host_area" -lt 500 ] || fail "yellow text on the host's screen before any question: $host_area pixels"
    tour
    step "the picture question: its answer on the host's screen while the picture shows"
    click 602 242 1
    picture() { shot picture && near 512 384 "$DEMO_PNG_CENTRE" 40; }
    wait_for 10 "the picture" picture
    answer_shown() { host_shot answer && why="$host_area yellow pixels" && [ "$host_area" -gt 3000 ]; }
    wait_for 5 "the answer on the host's screen" answer_shown
    step "a buzzer key with the host's window focused, then its +N"
    xdotool windowfocus --sync "$host_win" key 1
    wait_for 5 "the band" band_shows band
    # The first team's "+N": the screen's layout at 1920x1080 (split at 55%,
    # buttons a ninth of the right column wide, the first row's middle).
    click $((1280 + 1557)) 42 1
    wait_for 5 "the award saved" saved_has '"name":"Красные","score":2000'
    step "host clicks leave the picture and the card alone"
    click $((1280 + 400)) 900 1
    sleep 0.5
    picture || fail "a click on the host's screen ended the picture: $why"
    click 512 600 1
    wait_for 10 "the question card" on_card question
    local card=$shot
    click $((1280 + 400)) 900 1
    click $((1280 + 400)) 900 1
    sleep 0.5
    shot still-card
    [ "$(differing "$card" "$shot" 0 0 1024 768 0)" -eq 0 ] || fail "a click on the host's screen moved the card on"
    click 512 600 1
    click 512 600 1
    wait_for 10 "the board with five cells" tour_cells 5
    quit_with_f10
    step "--display 1 alone: the projector's window on the second display"
    start 1024x768 --display 1 demo.rvl
    on_second() { window_at "RVL Reader" && [ "$(cut -d+ -f2 <<<"$geometry")" -ge 1280 ]; }
    wait_for 10 "the window on the second display" on_second
    xdotool key --window "$win" F10
    wait_for 10 "the reader to end" reader_ended
    [ "$reader_status" -eq 0 ] || fail "exit status $reader_status, expected 0"
}

case "$scenario" in
demo | reject | refused | fullscreen | package | game | host) "$scenario" ;;
*) echo "unknown scenario $scenario"; exit 2 ;;
esac
