#!/usr/bin/env bash
# The device's window on a display of its own (Xvfb), used through X input as a person uses it:
# keys typed into the window reach Notes, a key held down repeats as the driver repeats it, a
# click on the window's Power key switches the device off and another on again, one on Fn lights
# it until the next click, a tap on the settings program's check box switches the keyboard, a
# drag moves its slider, the device's screen in a picture of the display is, pixel for pixel,
# the device's own screenshot at the window's scale, a window that another program destroys and
# a display that goes away end the device in order, and a display too small for the scale gets
# the largest scale that fits.
#
#   window_check.sh HANDHELD
# Exit status 77 (skipped) when a tool it needs is missing; ./setup installs them all.
set -uo pipefail
HANDHELD=$1
SCALE=3
for tool in Xvfb xdotool import convert compare; do
    if ! command -v $tool >/dev/null; then
        echo "SKIPPED: $tool is missing (./setup installs xvfb, xdotool and imagemagick)"
        exit 77
    fi
done
work=$(mktemp -d)
state=$work/state
xvfb=
device=
cleanup() {
    [ -n "$device" ] && kill "$device" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    [ -s "$work/device.err" ] && sed 's/^/device: /' "$work/device.err"
    exit 1
}

# Polls a command until it succeeds; 60 s at most.
wait_for() {
    local what=$1
    shift
    for _ in $(seq 600); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    fail "never: $what"
}

# Pictures of the display: the window's screen (at X, Y with its margin) against the device's own
# screenshot scaled up, and the brightest pixel of a part of the window's screen.
brightest() { # brightest W H LEFT TOP of the window's screen in the last picture
    convert "$work/now.png" -crop "$1x$2+$((X + margin + $3))+$((Y + margin + $4))" +repage \
        -format '%[fx:maxima.r+maxima.g+maxima.b]' info:
}
off() {
    import -window root "$work/now.png" && [ "$(brightest 8 8 0 0)" = 0 ] &&
        [ "$(brightest $((200 * SCALE)) $((16 * SCALE)) $((8 * SCALE)) $((160 * SCALE)))" != 0 ]
}
same_as_screenshot() {
    "$HANDHELD" --state "$state" screenshot "$work/device.png" &&
        import -window root "$work/now.png" &&
        convert "$work/now.png" -crop $((240 * SCALE))x$((320 * SCALE))+$((X + margin))+$((Y + margin)) \
            +repage "$work/window.png" &&
        convert "$work/device.png" -filter point -scale $((100 * SCALE))% "$work/scaled.png" &&
        [ "$(compare -metric AE "$work/window.png" "$work/scaled.png" null: 2>&1)" = 0 ]
}
# A display of its own, on the first free number, which does not reset between clients (a
# client that comes while it resets is refused).
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1400x1100x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
xvfb=$!
exec 3>&-
wait_for "Xvfb started" test -s "$work/display"
export DISPLAY=:$(head -1 "$work/display")

"$HANDHELD" --state "$state" --scale $SCALE >"$work/device.out" 2>"$work/device.err" &
device=$!
wait_for "the window opened" xdotool search --name "^handheld "
win=$(xdotool search --name "^handheld " | head -1)
wait_for "the monitor listened" test -S "$state/monitor"
xdotool windowfocus --sync "$win" || fail "could not focus the window"
eval "$(xdotool getwindowgeometry --shell "$win")" # X, Y, WIDTH, HEIGHT
[ "$WIDTH" -gt $((240 * SCALE)) ] && [ "$HEIGHT" -gt $((320 * SCALE)) ] ||
    fail "the window is ${WIDTH}x${HEIGHT}, too small for the screen at ${SCALE}x"
margin=$((12 * SCALE))

# Typed through X: the built-in keyboard types it into Notes.
xdotool type --delay 30 "Hello, World!"
xdotool key Return
xdotool type --delay 30 "ok"

# The window's screen is the device's screenshot, pixel for pixel (a frame may come between the
# two pictures, a blinking caret, so it is asked until it holds).
wait_for "the window's screen equals the device's screenshot" same_as_screenshot

# The Power key beside the screen: the device goes off and its screen says so (dark, with a
# line of text across the middle); a click on it, or a key, switches it on again, and the key
# types nothing.
power_x=$((X + 2 * margin + 240 * SCALE + 10 * SCALE))
power_y=$((Y + margin + 10 * SCALE))
xdotool mousemove $power_x $power_y click 1
wait_for "the screen went dark at the Power key" off
xdotool mousemove $power_x $power_y click 1
wait_for "the device came on again at the Power key" same_as_screenshot
xdotool mousemove $power_x $power_y click 1
wait_for "the screen went dark at the Power key again" off
xdotool key x
wait_for "the device came on again at a key" same_as_screenshot

# The keyboard's Fn key beside the screen: a click lights it (the next key gets Fn), a second
# click puts it out again.
fn_x=$((X + 2 * margin + 240 * SCALE + 3 * SCALE))
fn_y=$((Y + margin + 28 * SCALE + 3 * SCALE))
face() {
    import -window root "$work/now.png" &&
        [ "$(convert "$work/now.png" -crop 1x1+$fn_x+$fn_y -format '%[pixel:p{0,0}]' info:)" = "$1" ]
}
grey='srgb(96,100,112)' lit='srgb(150,122,40)'
face "$grey" || fail "the Fn key is not grey before a click"
xdotool mousemove $fn_x $fn_y click 1
wait_for "a click lit the Fn key" face "$lit"
xdotool mousemove $fn_x $fn_y click 1
wait_for "a second click put the Fn key out" face "$grey"

# A host key held down is the keyboard's key held down: the driver repeats it after its delay and
# stops after its eleven repeats, and the display's own repeats type nothing. The hold lasts two
# seconds, well past the delay, the repeats and the limit.
xdotool key Return keydown a
sleep 2
xdotool keyup a

# The pen: Cmd+1 starts the settings program (assigned here), and a tap on its check box
# "Enable Keyboard" switches the keyboard off, another one on again.
"$HANDHELD" --state "$state" reg set 'Drivers\BuiltIn\Norvel' Fn-1 sz '\Windows\kbsettings.exe' ||
    fail "reg set Fn-1"
xdotool key F4 1
wait_for "the settings program started" "$HANDHELD" --state "$state" reg query \
    'Drivers\BuiltIn\Norvel' Keyboard
tap() { xdotool mousemove $((X + margin + $1 * SCALE + SCALE / 2)) $((Y + margin + $2 * SCALE + SCALE / 2)) click 1; }
enabled() {
    "$HANDHELD" --state "$state" reg query 'Drivers\BuiltIn\Norvel' "Enable Keyboard" |
        grep -q "($1)"
}
tap 66 48
wait_for "a tap on the check box switched the keyboard off" enabled 0
tap 66 48
wait_for "a second tap switched it on" enabled 1
# A drag of the repeat rate's thumb to the slider's slow end, the mouse held down on the way.
at() { echo $((X + margin + $1 * SCALE + SCALE / 2)) $((Y + margin + $2 * SCALE + SCALE / 2)); }
rate() {
    "$HANDHELD" --state "$state" reg query 'Drivers\BuiltIn\Norvel' "Repeat Rate" | grep -q "($1)"
}
xdotool mousemove $(at 72 107) mousedown 1
for x in 90 110 130 150 170; do xdotool mousemove $(at $x 107); done
xdotool mouseup 1
wait_for "a drag to the slider's end made the repeat rate 300 ms" rate 300
wait_for "the window's screen equals the device's screenshot with the settings" same_as_screenshot

# Ended as a session ends: Notes keeps what was typed.
kill -TERM $device
wait $device
status=$?
device=
[ $status = 0 ] || fail "the device ended with status $status"
note=$(cat "$state/device/My Documents/Notes.txt" 2>/dev/null | tr -d '\r')
held=${note##*$'\n'}
[ "${note%$'\n'*}" = $'Hello, World!\nok' ] || fail "Notes holds: $note"
[[ "$held" =~ ^a{2,12}$ ]] || fail "a key held for two seconds typed '$held' (a key, up to 11 repeats)"
# Its window destroyed by another program (an X error on every later request for it) ends the
# device as a closed window does: Notes keeps what was typed, nothing is left behind.
"$HANDHELD" --state "$state" --scale 1 >"$work/device.out" 2>"$work/device.err" &
device=$!
wait_for "the window opened again" xdotool search --name "^handheld "
wait_for "the monitor listened again" test -S "$state/monitor"
typed() {
    "$HANDHELD" --state "$state" screenshot "$work/after.png" &&
        [ "$(compare -metric AE "$work/before.png" "$work/after.png" null: 2>&1)" != 0 ]
}
"$HANDHELD" --state "$state" screenshot "$work/before.png" || fail "screenshot before typing"
"$HANDHELD" --state "$state" keyboard --no-connect --type " gone" || fail "handheld keyboard"
wait_for "the typing reached the screen" typed
# The device, ended by what $1 names, with exit status $2 and saying $3 in its first line: Notes
# has kept $4, and nothing is left behind.
ended_as_closed() {
    wait $device
    local status=$?
    device=
    [ $status = "$2" ] || fail "the device ended with status $status when $1"
    # (The leak checker of a sanitizer build may add its report below the first line.)
    [ "$(head -1 "$work/device.err")" = "handheld: $3; the device ended as when its window closes" ] ||
        fail "the device said: $(cat "$work/device.err")"
    grep -q "$4" "$state/device/My Documents/Notes.txt" || fail "Notes lost what was typed"
    [ ! -e "$state/monitor" ] || fail "the monitor socket was left behind"
}
xdotool windowclose "$(xdotool search --name "^handheld " | head -1)"
ended_as_closed "its window was destroyed" 0 "another program destroyed the window" gone

# The display going away (its server ends) ends the device as a closed window does: Notes keeps
# what was typed, and the device says why in one line.
"$HANDHELD" --state "$state" --scale 1 >"$work/device.out" 2>"$work/device.err" &
device=$!
wait_for "the window opened a third time" xdotool search --name "^handheld "
wait_for "the monitor listened a third time" test -S "$state/monitor"
"$HANDHELD" --state "$state" screenshot "$work/before.png" || fail "screenshot before typing"
"$HANDHELD" --state "$state" keyboard --no-connect --type "kept" || fail "handheld keyboard"
wait_for "the typing reached the screen" typed
kill "$xvfb"
wait "$xvfb" 2>/dev/null
xvfb=
ended_as_closed "its display went away" 1 "the display went away" kept

# A display too small for the window at the scale asked for: it opens at the largest that fits
# (here 1x), so the whole screen and its menu bar stay in view, and says so.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
xvfb=$!
exec 3>&-
wait_for "a small Xvfb started" test -s "$work/display"
export DISPLAY=:$(head -1 "$work/display")
"$HANDHELD" --state "$state" --scale 3 >"$work/device.out" 2>"$work/device.err" &
device=$!
wait_for "the window opened on the small display" xdotool search --name "^handheld "
eval "$(xdotool getwindowgeometry --shell "$(xdotool search --name "^handheld " | head -1)")"
[ "${WIDTH}x${HEIGHT}" = 432x344 ] || fail "on an 800 x 600 display the window is ${WIDTH}x${HEIGHT}"
grep -q "it opens at 1x" "$work/device.err" || fail "the device did not say the window is smaller"
kill -TERM $device
wait $device
device=

echo "ok: the window at ${SCALE}x shows the device's screen pixel for pixel; a key held 2 s typed ${#held}"
