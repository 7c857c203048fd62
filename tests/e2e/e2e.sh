#!/usr/bin/env bash
# shellcheck disable=SC2015  # "check && check || fail" is meant: fail ends the script
# End to end, as a person uses the reader: the real program in a real X window
# under Xvfb, driven with pointer motion, clicks and keys (xdotool), checked by
# screenshots (import) and by its stdout, with its sound recorded by OpenAL's
# wave output.
#
# Usage: e2e.sh demo|reject|chooser RUN_DIR PROBE DEMO_CONSOLE DEMO_FACTS ARTEFACT_DIR
#   demo     the demo module through a scripted chooser: box, selection screen,
#            trace and listing, board, scrolling, one question of each type
#            played to its answer, F10.
#   reject   a file that is not a module: the rejection line, an empty board, F10.
#   chooser  the run directory as built, with its own chooser: a click opens
#            the dialog in the run directory, Return picks the demo module.
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
    if [ -n "${RVL_E2E_REQUIRED:-}" ]; then
        echo "FAIL: RVL_E2E_REQUIRED is set, so a skip is a failure here"
        exit 1
    fi
    exit 77
}

for tool in Xvfb xdotool xwininfo import iconv; do
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
mkdir -p "$art/work"
work=$art/work
step_no=0
xvfb_pid=
reader_pid=
reader_status=

finish() {
    local status=$?
    [ -n "$reader_pid" ] && kill "$reader_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    if [ "$status" -eq 0 ] && [ -n "${RVL_E2E_KEEP:-}" ]; then
        echo "PASS: end-to-end '$scenario'; RVL_E2E_KEEP is set, screenshots are in $art"
    elif [ "$status" -eq 0 ] || [ "$status" -eq 77 ]; then
        rm -rf "$art"
        [ "$status" -eq 0 ] && echo "PASS: end-to-end '$scenario'"
    else
        echo "Screenshots, stdout, stderr and sound of this run are in $art"
    fi
    exit "$status"
}
trap finish EXIT

fail() {
    echo "FAIL [$scenario, step $step_no: $step_name]: $*"
    if [ -n "$xvfb_pid" ] && kill -0 "$xvfb_pid" 2>/dev/null; then
        import -window root "$art/at-failure.png" 2>>"$art/import.log"
        xwininfo -root -tree >"$art/windows-at-failure.txt" 2>&1
        echo "--- windows on the screen"
        grep -E '^ +0x[0-9a-f]+ "' "$art/windows-at-failure.txt" | head -n 5
    fi
    # Where a reader that is still running stands.
    if reader_alive && command -v gdb >/dev/null 2>&1; then
        timeout 30 gdb -p "$reader_pid" -batch -ex "thread apply all bt 12" >"$art/reader-stacks.txt" 2>&1
        echo "--- reader main thread"
        grep -E '^#' "$art/reader-stacks.txt" | head -n 12
    fi
    if [ -s "$art/stdout.txt" ]; then echo "--- reader stdout (last lines)"; tail -n 5 "$art/stdout.txt"; fi
    if [ -s "$art/stderr.txt" ]; then echo "--- reader stderr (last lines)"; tail -n 10 "$art/stderr.txt"; fi
    exit 1
}

step_name=start
step() {
    step_no=$((step_no + 1))
    step_name=$1
    echo "== step $step_no: $step_name (at ${SECONDS}s)"
}

# Screenshot of the whole screen (the window fills it) as $art/NN-NAME.png;
# the name of the file is left in $shot.
shot() {
    shot=$(printf '%s/%02d-%s.png' "$art" "$step_no" "$1")
    import -window root "$shot" 2>>"$art/import.log" || fail "import could not take a screenshot"
}

reader_alive() { [ -n "$reader_pid" ] && kill -0 "$reader_pid" 2>/dev/null; }

# wait_for SECONDS WHAT COMMAND...: repeats COMMAND until it succeeds.
wait_for() {
    local seconds=$1 what=$2
    shift 2
    local deadline=$((SECONDS + seconds)) started=$SECONDS
    why=
    while :; do
        if "$@"; then
            [ $((SECONDS - started)) -ge 3 ] && echo "  ($what took $((SECONDS - started))s)"
            return 0
        fi
        [ "$SECONDS" -ge "$deadline" ] && fail "timed out after ${seconds}s waiting for $what${why:+ ($why)}"
        if [ "$what" != "the reader to end" ] && ! reader_alive; then
            fail "the reader ended while waiting for $what${why:+ ($why)}"
        fi
        sleep 0.2
    done
}

# wait_for_quietly SECONDS COMMAND...: like wait_for, but only says whether
# COMMAND succeeded in time.
wait_for_quietly() {
    local deadline=$((SECONDS + $1))
    shift
    while ! "$@"; do
        [ "$SECONDS" -ge "$deadline" ] && return 1
        sleep 0.2
    done
}

# Each check leaves what it saw in $why for the failure message.
why=
pixel_is() { # IMG X Y "R G B" TOL
    local got
    # shellcheck disable=SC2086  # $4 is the three channels
    got=$("$probe" near "$1" "$2" "$3" $4 "$5") && return 0
    why="pixel ($2,$3) is ($got), expected ($4) within $5"
    return 1
}
count_of() { "$probe" count "$@"; }

# Pointer and buttons through XTEST, as a person's hand would.
# (--sync waits for the pointer to move, so it is left out when the pointer
# is already there.)
move() {
    # shellcheck disable=SC2034  # set by the eval
    local X Y SCREEN WINDOW
    eval "$(xdotool getmouselocation --shell)"
    if [ "$X" != "$1" ] || [ "$Y" != "$2" ]; then xdotool mousemove --sync "$1" "$2"; fi
    sleep 0.15
}
click() { xdotool click "$1"; sleep 0.1; }

# --- X server ------------------------------------------------------------
start_x() {
    step "X server"
    rm -f "$art/display"  # a restart must not read the last server's number
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$art/display" 2>"$art/xvfb.log" &
    xvfb_pid=$!
    local deadline=$((SECONDS + 15))
    while ! [ -s "$art/display" ]; do
        kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start: $(tail -n 3 "$art/xvfb.log")"
        [ "$SECONDS" -ge "$deadline" ] && fail "Xvfb gave no display number in 15s"
        sleep 0.1
    done
    DISPLAY=":$(head -n 1 "$art/display")"
    export DISPLAY
    echo "display $DISPLAY"
}

# --- the reader in a scratch copy of the run directory ---------------------
# The chooser is a script: it records how it was called and answers with
# $answer through openfilename.rlt in the directory it was run in.
prepare_work() {
    local answer=$1
    cp "$run_dir/rvl-reader" "$run_dir/rvl-video.so" "$work/"
    cp -r "$run_dir/res" "$work/res"
    mkdir -p "$work/temp"
    local units
    units=$(($(printf '%s' "$answer" | iconv -f UTF-8 -t UTF-16BE | wc -c) / 2))
    # shellcheck disable=SC2059
    { printf "\\$(printf %03o "$units")"; printf '%s' "$answer" | iconv -f UTF-8 -t UTF-16BE; } >"$art/answer.rlt"
    cat >"$work/fileopen.exe" <<EOF
#!/bin/sh
printf 'args=<%s> cwd=<%s>\n' "\$*" "\$(pwd)" >>'$art/chooser.log'
cat '$art/answer.rlt' >openfilename.rlt
EOF
    chmod +x "$work/fileopen.exe"
    printf '[wave]\nfile = %s\n' "$art/sound.wav" >"$work/alsoft.conf"
}

start_reader() {
    step "start the reader"
    # PATH: the chooser is found beside the reader whether it is run by its
    # bare name or as ./fileopen.exe. TZ: the creation time in the listing.
    # GSETTINGS_BACKEND, NO_AT_BRIDGE: a file dialog without a desktop
    # session stays quiet about dconf and the accessibility bus.
    # SDL_VIDEODRIVER=x11: should SDL fail to reach the X server it would
    # otherwise fall through to an invisible off-screen window; this way it
    # shows its "Can't iniitialise SDL" box, which the failure report lists.
    (cd "$work" && exec env -u WAYLAND_DISPLAY SDL_VIDEODRIVER=x11 PATH="$work:$PATH" TZ="$DEMO_TZ" SDL_AUDIODRIVER=dummy \
        GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 \
        ALSOFT_DRIVERS=wave ALSOFT_CONF="$work/alsoft.conf" ./rvl-reader >"$art/stdout.txt" 2>"$art/stderr.txt") &
    reader_pid=$!
}

window_listed() { xwininfo -root -tree 2>/dev/null | grep -q "\"$1\""; }
window_id() { xwininfo -root -tree 2>/dev/null | awk -v name="\"$1\":" '$2 == name { print $1; exit }'; }

startup_box() {
    step "the 'Device not found!' box"
    box=
    find_box() { box=$(window_id Error); [ -n "$box" ]; }
    wait_for 30 "SDL's message box titled 'Error'" find_box
    shot box
    xwininfo -root -tree >"$art/windows-with-box.txt" 2>&1
    window_listed "RVL Reader" && fail "the main window exists while the start-up box is up"
    local geometry
    geometry=$(xwininfo -id "$box" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')
    echo "box window $box, $geometry"
    [ "$geometry" != "x" ] && [ "${geometry%%x*}" -gt 50 ] || fail "the box window has no size ($geometry)"
    xwininfo -id "$box" | grep -q IsViewable || fail "the box window is not shown on the screen"
    # Its text and button label, light grey on dark grey.
    local bx by bw bh text
    read -r bx by bw bh <<<"$(xwininfo -id "$box" | awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 }
        /Width:/ { w = $2 } /Height:/ { h = $2 } END { print x, y, w, h }')"
    text=$(count_of "$shot" "$bx" "$by" "$bw" "$bh" light)
    [ "$text" -gt 100 ] || fail "the box shows no text ($text light pixels in it)"
    # A key sent before the box listens is lost; press again, as a person
    # would, when the box is still up after a few seconds.
    local attempt
    for attempt in 1 2 3; do
        xdotool key --window "$box" Return 2>>"$art/xdotool.log"
        box_closing() { ! window_listed Error; }
        wait_for_quietly 5 box_closing && break
        echo "  (the box is still up after Return number $attempt)"
    done
    box_gone() { ! window_listed Error && { window_listed "RVL Reader" || window_listed "Can't iniitialise SDL"; }; }
    wait_for 20 "the box to close and the window 'RVL Reader' to open" box_gone
    if window_listed "Can't iniitialise SDL"; then
        # Seen now and then right after the start-up box: SDL's XOpenDisplay
        # fails ("x11 not available"). The reader reports it and ends with
        # status 0; that path is checked, then the reader is started once more.
        [ "${restarted:-0}" -ge 2 ] && fail "SDL could not reach the X server three times in a row"
        restarted=$((${restarted:-0} + 1))
        shot sdl-failed
        echo "  (SDL could not reach the X server; the reader showed 'Can't iniitialise SDL'; starting X and the reader again)"
        local failed
        failed=$(window_id "Can't iniitialise SDL")
        [ -n "$failed" ] || failed=$(xwininfo -root -tree | awk '/"Can.t iniitialise SDL"/ { print $1; exit }')
        xdotool key --window "$failed" Return 2>>"$art/xdotool.log"
        wait_for 10 "the reader to end" reader_ended
        [ "$reader_status" -eq 0 ] || fail "exit status $reader_status after the SDL failure box, expected 0"
        : >"$art/stdout.txt"
        # A fresh X server as well: the failure has only been seen on a server
        # that an earlier scenario's server had just handed its number to.
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
        start_x
        start_reader
        startup_box
        return
    fi
    # The window fills the 1024x768 screen, so screen and window pixels agree.
    local x y
    x=$(xwininfo -name "RVL Reader" | awk '/Absolute upper-left X/ { print $4 }')
    y=$(xwininfo -name "RVL Reader" | awk '/Absolute upper-left Y/ { print $4 }')
    [ "$x" = 0 ] && [ "$y" = 0 ] || fail "the window stands at ($x,$y), not at (0,0)"
}

selection_screen() {
    step "selection screen"
    drawn() {
        shot selection
        local prompt hint
        prompt=$(count_of "$shot" 0 344 1024 80 white)
        hint=$(count_of "$shot" 0 0 1024 60 grey)
        why="prompt $prompt white pixels in the middle, hint $hint grey pixels at the top"
        [ "$prompt" -gt 300 ] && [ "$hint" -gt 300 ] && pixel_is "$shot" 512 700 "0 0 0" 0 && pixel_is "$shot" 5 760 "0 0 0" 0
    }
    wait_for 20 "the prompt on black" drawn
    local box
    box=$("$probe" bbox "$shot" 0 300 1024 168 white)
    read -r x0 _ x1 _ <<<"$box"
    [ $(((x0 + x1) / 2 - 512)) -ge -4 ] && [ $(((x0 + x1) / 2 - 512)) -le 4 ] ||
        fail "the prompt is not centred: white pixels from x $x0 to $x1"
    [ -e "$art/chooser.log" ] && fail "the chooser ran before any click"
    move 512 600
    click 3
    sleep 0.5
    [ -e "$art/chooser.log" ] && fail "a right click ran the chooser"
}

choose_module() {
    step "click: the chooser answers"
    move 700 650
    click 1
    wait_for 20 "the chooser to be run" test -s "$art/chooser.log"
    local expect="args=<-> cwd=<$work>"
    [ "$(cat "$art/chooser.log")" = "$expect" ] ||
        fail "the chooser was run as '$(cat "$art/chooser.log")', expected '$expect'"
}

# stdout holds at least $1 lines.
stdout_lines() { [ "$(wc -l <"$art/stdout.txt")" -ge "$1" ]; }

check_console() {
    step "console trace and listing"
    { printf 'Фаил: %s\n' "$1"; cat "$demo_console"; } >"$art/expected-stdout.txt"
    local want
    want=$(wc -l <"$art/expected-stdout.txt")
    wait_for 30 "$want lines on stdout" stdout_lines "$want"
    diff -u "$art/expected-stdout.txt" "$art/stdout.txt" >"$art/stdout.diff" ||
        fail "stdout differs from the module's trace and listing (expected vs actual):
$(head -n 30 "$art/stdout.diff")"
}

# IMG: header line, divider and both labels in yellow. The topic list and
# the grid are drawn from y 175 down and the grid from x 350 right, over the
# lines, so the lines are checked whole only where nothing covers them: the
# two-pixel strip right of the grid and the header above the line.
board_frame() {
    local x y line divider
    for x in 1022 1023; do pixel_is "$1" "$x" 175 "255 255 0" 0 || return 1; done
    for y in 10 100 170; do pixel_is "$1" 350 "$y" "255 255 0" 0 || return 1; done
    line=$(count_of "$1" 0 175 1024 1 yellow)
    divider=$(count_of "$1" 350 176 1 592 yellow)
    why="header line $line of 1024 pixels yellow, divider $divider of 592 below the line"
    [ "$line" -gt 900 ] && [ "$divider" -gt 400 ] || return 1
    local left right
    left=$(count_of "$1" 0 0 349 175 yellow)
    right=$(count_of "$1" 351 0 673 175 yellow)
    why="header labels: $left yellow pixels left, $right right"
    [ "$left" -gt 500 ] && [ "$right" -gt 500 ]
}

check_board_layout() {
    # One-pixel lines, and the labels above the header line: "Тема" from
    # 50 pixels in, "Вопрос" from 50 pixels right of the divider (at 140
    # points the two labels run into each other, so only the first one's
    # left edge can be told).
    pixel_is "$1" 1022 174 "255 255 0" 60 && fail "the header line is thicker than one pixel (y 174)"
    pixel_is "$1" 1022 176 "255 255 0" 60 && fail "the header line is thicker than one pixel (y 176)"
    pixel_is "$1" 349 600 "255 255 0" 60 && fail "the divider is thicker than one pixel (x 349)"
    pixel_is "$1" 351 600 "255 255 0" 60 && fail "the divider is thicker than one pixel (x 351)"
    local x0 y1 x1 box
    box=$("$probe" bbox "$1" 0 0 1024 175 yellow)
    read -r x0 _ x1 y1 <<<"$box"
    [ "$x0" -ge 50 ] && [ "$x0" -le 80 ] && [ "$y1" -lt 175 ] && [ "$x1" -gt 700 ] ||
        fail "header labels span ($box), expected from x 50 to past the middle of the grid, above y 175"
    [ "$(count_of "$1" 400 0 60 175 yellow)" -gt 300 ] || fail "no label at x 400 to 460"
}

# Yellow pixels of every grid cell, 20 numbers.
grid_counts() { "$probe" cells "$1"; }

board() {
    step "board"
    on_board() { shot board && board_frame "$shot"; }
    wait_for 30 "the board" on_board
    board_shot=$shot
    check_board_layout "$board_shot"
    local row n
    for row in 0 1 2 3 4 5 6 7; do
        n=$(count_of "$board_shot" 0 $((176 + 70 * row)) 349 69 yellow)
        [ "$n" -gt 150 ] || fail "topic row $((row + 1)) shows no name ($n yellow pixels)"
    done
    n=$(count_of "$board_shot" 352 177 670 591 yellow)
    [ "$n" -eq 0 ] || fail "a grid shows before any topic was chosen ($n yellow pixels)"
}

# The list in $2 is the list of $1 moved up by $3 pixels.
list_shifted() {
    local result differ yellow
    result=$("$probe" shift "$1" "$2" 0 176 349 $((592 - $3)) "$3")
    read -r differ yellow <<<"$result"
    why="against the list scrolled by $3: $differ of $yellow yellow pixels differ"
    [ "$yellow" -gt 1000 ] && [ "$differ" -le $((yellow / 50)) ]
}

scrolling() {
    step "scrolling the topic list with the wheel"
    move 175 500
    local expect=0 turn
    # Down five notches (25 pixels each, held at 70 x 10 - 593 = 107), up
    # one, down one.
    for turn in 5 5 5 5 5 4 5; do
        click "$turn"
        if [ "$turn" = 5 ]; then expect=$((expect + 25)); else expect=$((expect - 25)); fi
        [ "$expect" -gt 107 ] && expect=107
        scrolled() { shot scroll && list_shifted "$board_shot" "$shot" "$expect"; }
        wait_for 10 "the list scrolled by $expect" scrolled
        echo "scrolled by $expect"
    done
    scrolled_shot=$shot
    # The header is not covered by the scrolled list.
    board_frame "$scrolled_shot" || fail "the header changed while scrolling: $why"
}

choose_topic() {
    step "choosing the last topic"
    # With the list scrolled by 107 the tenth topic's row spans y 698 to 767.
    move 175 735
    click 1
    local before expect r g b
    before=$("$probe" pixel "$scrolled_shot" 345 745)
    read -r r g b <<<"$before"
    expect="$((r + 100 > 255 ? 255 : r + 100)) $((g + 100 > 255 ? 255 : g + 100)) $b"
    grid_shown() {
        shot topic
        local counts
        counts=$(grid_counts "$shot")
        why="grid cells: $counts"
        read -ra cell <<<"$counts"
        [ "${cell[0]}" -gt 1000 ]
    }
    wait_for 10 "the grid of the chosen topic" grid_shown
    pixel_is "$shot" 345 745 "$expect" 3 || fail "no band over the chosen topic: $why (before ($before))"
    pixel_is "$shot" 345 660 "$("$probe" pixel "$scrolled_shot" 345 660)" 0 ||
        fail "the band reaches the row above: $why"
    topic_shot=$shot
    grid=$(grid_counts "$shot")
    check_grid "$grid" "${#DEMO_TOUR_TYPES}"
    echo "grid: $grid"
}

# The first $2 cells show points, the others nothing.
check_grid() {
    local i=0 c
    for c in $1; do
        if [ "$i" -lt "$2" ]; then
            [ "$c" -gt 1000 ] || fail "cell $((i + 1)) of $2 shows no points ($1)"
        else
            [ "$c" -eq 0 ] || fail "cell $((i + 1)) should be empty with $2 questions left ($1)"
        fi
        i=$((i + 1))
    done
}

# The card: the background picture everywhere but in the middle band, and
# white text in that band.
on_card() {
    shot "$1"
    local top bottom text
    top=$("$probe" diff "$shot" "$work/res/bg.png" 0 0 1024 300 3)
    bottom=$("$probe" diff "$shot" "$work/res/bg.png" 0 468 1024 300 3)
    text=$(count_of "$shot" 0 300 1024 168 white)
    why="$top and $bottom pixels differ from the background above and below the text, $text white pixels of text"
    [ "$top" -eq 0 ] && [ "$bottom" -eq 0 ] && [ "$text" -gt 300 ]
}

# Plays the question in the first cell: media, question card, answer card,
# back to the board without it.
play_first_question() {
    local type=$1 left=$2
    step "question of type $type ($left left)"
    move 434 242
    click 1
    case "$type" in
    I) picture_question ;;
    A) audio_question ;;
    V) video_question ;;
    esac
    wait_for 30 "the question card" on_card question
    local question_shot=$shot
    click 1
    answer_shown() {
        on_card answer || return 1
        local changed
        changed=$("$probe" diff "$shot" "$question_shot" 0 300 1024 168 8)
        why="the answer line differs from the question in $changed pixels"
        [ "$changed" -gt 200 ]
    }
    wait_for 10 "the answer card" answer_shown
    click 1
    back_on_board() { shot board-again && board_frame "$shot" && [ "$("$probe" cells "$shot")" != "$grid" ]; }
    wait_for 10 "the board without the played question" back_on_board
    local new
    new=$(grid_counts "$shot")
    check_grid "$new" $((left - 1))
    # The later questions moved forward one cell each.
    read -ra old_cells <<<"$grid"
    read -ra new_cells <<<"$new"
    local i
    for ((i = 0; i < left - 1; i++)); do
        local a=${old_cells[i + 1]} b=${new_cells[i]}
        [ $((a > b ? a - b : b - a)) -le $((a / 20 + 50)) ] ||
            fail "cell $((i + 1)) should now show the points of old cell $((i + 2)) (old grid $grid, new $new)"
    done
    grid=$new
}

picture_question() {
    local centre expect_corner corner_x corner_y tol
    if [ "$picture_no" = 0 ]; then
        # PNG, 400 x 300: centred at (312,234), a grey frame 6 pixels wide.
        centre=$DEMO_PNG_CENTRE expect_corner="60 60 60" corner_x=314 corner_y=236 tol=2
    else
        # JPEG, 480 x 320 at (272,224).
        centre=$DEMO_JPEG_CENTRE expect_corner="" corner_x=274 corner_y=226 tol=30
    fi
    picture_no=$((picture_no + 1))
    picture_shown() {
        shot picture
        pixel_is "$shot" 512 384 "$centre" "$tol" || return 1
        [ -z "$expect_corner" ] || pixel_is "$shot" "$corner_x" "$corner_y" "$expect_corner" "$tol" || return 1
        # Outside the picture: the background picture.
        pixel_is "$shot" $((corner_x - 5)) $((corner_y - 5)) \
            "$("$probe" pixel "$work/res/bg.png" $((corner_x - 5)) $((corner_y - 5)))" 0
    }
    wait_for 15 "the picture centred on the background" picture_shown
    sleep 0.5
    shot picture-stays
    pixel_is "$shot" 512 384 "$centre" "$tol" || fail "the picture did not wait for a click: $why"
    click 1
}

sound_check() { # NAME FREQ MIN_LOUD MIN_TONE
    cp "$art/sound.wav" "$art/$1.wav" 2>/dev/null
    local result loud tone
    result=$("$probe" wav "$art/$1.wav" "$2") || fail "cannot read the recorded sound: $result"
    echo "$1 sound: $result"
    read -r _ _ _ loud _ tone <<<"$result"
    awk -v l="$loud" -v t="$tone" -v ml="$3" -v mt="$4" 'BEGIN { exit !(l >= ml && t >= mt) }' ||
        fail "too little sound was played for the $1: $result (expected loud >= $3 s, near $2 Hz >= $4 s)"
}

audio_question() {
    # The speaker picture of res/sk.png (301 x 201) stands at (362,284).
    speaker_shown() { shot speaker && pixel_is "$shot" 427 384 "250 250 235" 2; }
    wait_for 15 "the speaker picture while the sound plays" speaker_shown
    # The clip ends by itself and leads on to the card.
    wait_for 15 "the clip to end and the card to come by itself" on_card question
    sleep 0.5
    sound_check audio-question 0 1.5 0
}

video_question() {
    video_shown() {
        shot video
        pixel_is "$shot" 5 5 "$DEMO_VIDEO_GROUND" 30 && pixel_is "$shot" 1018 762 "$DEMO_VIDEO_GROUND" 30
    }
    wait_for 15 "video frames over the whole window" video_shown
    local first=$shot
    sleep 0.4
    shot video-later
    local moved
    moved=$("$probe" diff "$first" "$shot" 0 0 1024 768 40)
    [ "$moved" -gt 2000 ] || fail "the video does not move ($moved pixels changed in 0.4 s)"
    # The frames run out after ${DEMO_VIDEO_SECONDS}s and the card follows.
    wait_for 20 "the clip to end and the card to come by itself" on_card question
    sleep 0.5
    sound_check video-question 880 1.0 1.0
    grep -q "Could not initialize capturing" "$art/stderr.txt" && fail "the video could not be opened"
    [ -e "$work/temp/videobuffer.bin" ] && fail "temp/videobuffer.bin is left behind after the clip"
}

questions() {
    picture_no=0
    local left=${#DEMO_TOUR_TYPES} i
    for ((i = 0; i < ${#DEMO_TOUR_TYPES}; i++)); do
        play_first_question "${DEMO_TOUR_TYPES:i:1}" "$left"
        left=$((left - 1))
    done
    step "the played topic"
    pixel_is "$shot" 345 745 "$("$probe" pixel "$topic_shot" 345 745)" 3 || fail "the band left the topic: $why"
}

reader_ended() {
    reader_alive && return 1
    wait "$reader_pid"
    reader_status=$?
    reader_pid=
    return 0
}

quit_with_f10() {
    step "F10 ends the program"
    move 600 500
    xdotool key F10
    wait_for 10 "the reader to end" reader_ended
    [ "$reader_status" -eq 0 ] || fail "exit status $reader_status, expected 0"
    # The reader reports its own failures on stderr; none may have happened.
    if grep -E "Error|Can't|Could not|\*\*\*" "$art/stderr.txt" >"$art/stderr-failures.txt"; then
        fail "the reader reported failures on stderr:
$(head -n 5 "$art/stderr-failures.txt")"
    fi
}

demo() {
    prepare_work "Демо.rvl"
    cp "$run_dir/demo.rvl" "$work/Демо.rvl"
    start_x
    start_reader
    startup_box
    selection_screen
    choose_module
    check_console "Демо.rvl"
    board
    scrolling
    choose_topic
    questions
    quit_with_f10
    step "stdout after the end"
    diff -u "$art/expected-stdout.txt" "$art/stdout.txt" >"$art/stdout.diff" ||
        fail "more was written to stdout while the board ran:
$(head -n 20 "$art/stdout.diff")"
}

reject() {
    prepare_work "заметки.txt"
    printf 'Это не модуль, а заметки.\n' >"$work/заметки.txt"
    start_x
    start_reader
    startup_box
    selection_screen
    choose_module
    step "rejection on the console"
    wait_for 20 "two lines on stdout" stdout_lines 2
    local first second
    first=$(sed -n 1p "$art/stdout.txt")
    second=$(sed -n 2p "$art/stdout.txt")
    [ "$first" = "Фаил: заметки.txt" ] || fail "line 1 is '$first', expected 'Фаил: заметки.txt'"
    [ "$second" = "Данный фаил не является игровым модулем Ravlin." ] ||
        fail "line 2 is '$second', expected the rejection line"
    step "empty board"
    on_board() { shot board && board_frame "$shot"; }
    wait_for 30 "the board" on_board
    local list grid_now
    list=$(count_of "$shot" 0 177 349 591 yellow)
    grid_now=$(count_of "$shot" 352 177 670 591 yellow)
    [ "$list" -eq 0 ] && [ "$grid_now" -eq 0 ] || fail "the board is not empty: list $list, grid $grid_now yellow pixels"
    step "clicks and the wheel on the empty board"
    move 175 300
    click 1
    click 5
    move 500 300
    click 1
    sleep 0.5
    shot after-clicks
    list=$(count_of "$shot" 0 177 349 591 yellow)
    grid_now=$(count_of "$shot" 352 177 670 591 yellow)
    [ "$list" -eq 0 ] && [ "$grid_now" -eq 0 ] || fail "clicks changed the empty board: list $list, grid $grid_now"
    quit_with_f10
    grep -q "^Тема" "$art/stdout.txt" && fail "a topic was listed for a rejected file"
    true
}

# The run directory as the build assembled it, the way the run command
# starts the reader: its own chooser, with the demo module beside it.
chooser() {
    command -v zenity >/dev/null 2>&1 ||
        skip "'zenity' not found: the reader's chooser shows its file dialog with it (Debian package: zenity)"
    cp -r "$run_dir/." "$work/"
    rm -f "$work/openfilename.rlt"
    start_x
    start_reader
    startup_box
    selection_screen
    step "click: the chooser's dialog"
    move 700 650
    click 1
    dialog=
    find_dialog() {
        dialog=$(xwininfo -root -tree 2>/dev/null |
            awk '/\("zenity" "Zenity"\)/ && $2 != "\"zenity\":" { print $1; exit }')
        [ -n "$dialog" ] && xwininfo -id "$dialog" | grep -q IsViewable
    }
    wait_for 30 "the chooser's file dialog" find_dialog
    sleep 1
    shot dialog
    # The dialog opens in the run directory with the demo module, the only
    # module there, selected: Return picks it.
    local attempt
    for attempt in 1 2 3; do
        xdotool windowfocus "$dialog" 2>>"$art/xdotool.log"
        sleep 0.3
        xdotool key Return
        wait_for_quietly 8 test -s "$art/stdout.txt" && break
        echo "  (the dialog gave no answer after Return number $attempt)"
        shot dialog-still-up
    done
    check_console "$work/demo.rvl"
    board
    quit_with_f10
}

case "$scenario" in
demo) demo ;;
reject) reject ;;
chooser) chooser ;;
*) echo "unknown scenario $scenario"; exit 2 ;;
esac
