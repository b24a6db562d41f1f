#!/usr/bin/env bash
# The interactive handheld as a person uses it, under tmux: it boots from a state folder, the
# built-in keyboard types into Notes, `handheld reg` reads and writes the running device's
# registry, the settings program works from the keyboard alone, the session is recorded and
# replays to the same screen, a device killed in the middle of settings changes leaves a hive
# that a new device starts from, Notes keeps its note from one session to the next, and the
# settings program's message box (whose Yes restarts the device) and file dialog are answered
# on the screen.
#
#   interactive_check.sh HANDHELD
# Every wait polls for what it expects, with a generous limit; nothing waits a fixed time.
set -uo pipefail
HANDHELD=$1
work=$(mktemp -d)
sock=$work/tmux
state=$work/state
T=device
trap 'tmux -S "$sock" kill-server 2>/dev/null; rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*"
    echo "---- screen ----"
    tmux -S "$sock" capture-pane -p -t $T 2>/dev/null
    exit 1
}

# Polls the screen until it shows TEXT (fixed string); 60 s at most.
wait_screen() {
    for _ in $(seq 600); do
        tmux -S "$sock" capture-pane -p -t $T 2>/dev/null | grep -qF -- "$1" && return 0
        sleep 0.1
    done
    fail "the screen never showed: $1"
}

# Polls the screen until it no longer shows TEXT; 60 s at most.
wait_screen_without() {
    for _ in $(seq 600); do
        tmux -S "$sock" capture-pane -p -t $T 2>/dev/null | grep -qF -- "$1" || return 0
        sleep 0.1
    done
    fail "the screen still shows: $1"
}

wait_gone() {
    for _ in $(seq 600); do
        tmux -S "$sock" has-session -t $T 2>/dev/null || return 0
        sleep 0.1
    done
    fail "the device did not end"
}

start() {
    tmux -S "$sock" new-session -d -s $T -x 80 -y 24 "$HANDHELD --terminal --state $state $*" ||
        fail "tmux could not start the device"
    wait_screen "keyboard link up"
}

# 1. A new device: Notes in front, the keyboard types into it.
start --record "$work/session.scn"
wait_screen "Notes"
[ -L "$state/ir-line" ] || fail "no $state/ir-line link while the device runs"
case $(readlink "$state/ir-line") in /dev/pts/*) ;; *) fail "ir-line is not a pseudo-terminal" ;; esac
tmux -S "$sock" send-keys -t $T -l "Hello, World!"
wait_screen "│Hello, World!"
# The keyboard on its own, from another terminal, finds the running device's line by itself.
"$HANDHELD" --state "$state" keyboard --no-connect --type " Hi" || fail "handheld keyboard"
wait_screen "│Hello, World! Hi"
# Its screen as a picture, asked for from another terminal.
"$HANDHELD" --state "$state" screenshot "$work/shot.png" || fail "handheld screenshot"
[ "$(head -c 8 "$work/shot.png" | od -An -c | tr -d ' ')" = '211PNG\r\n032\n' ] ||
    fail "the screenshot is no PNG"

# 1b. At 80 x 24 the screen, the status beside it and the help line with "^] quit" fit. A resize
#     is drawn at once, without a key: larger, then too small (which says how large it must be),
#     then back. The platform's Start menu opens with a click on the task bar's Start and lists
#     every program; Escape, typed into the device, closes it; `?` lists the keys; `q` asks
#     before the device ends, and No keeps it.
wait_screen "^] quit  F1 screen keys"
tmux -S "$sock" resize-window -t $T -x 120 -y 30
wait_screen "F12 reconnect"
tmux -S "$sock" resize-window -t $T -x 50 -y 16
wait_screen "the device needs at least"
wait_screen "42 x 24. Make it larger"
tmux -S "$sock" resize-window -t $T -x 80 -y 24
wait_screen "│ Start Notes"
# The mouse as xterm reports it: a press of the first button at a cell (each coordinate 1-based,
# plus 32); the task bar's Start is at the screen's first cell, the terminal's third row.
tmux -S "$sock" send-keys -t $T -l "$(printf '\033[M %b%b' '\043' '\043')"
wait_screen "│Media Player"
tmux -S "$sock" send-keys -t $T Escape
wait_screen_without "│Media Player"
tmux -S "$sock" send-keys -t $T F1 ?
wait_screen "p  running programs: Enter switches, x closes"
tmux -S "$sock" send-keys -t $T Space q
wait_screen "End the device?"
tmux -S "$sock" send-keys -t $T n F1
wait_screen "KEYBOARD:"

# 2. The registry tool on the running device: it reads the installation and its change reaches
#    the device (the status line shows the new delay). An imported key without values goes into
#    the recording too.
printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Empty]\n' >"$work/empty.reg"
"$HANDHELD" --state "$state" reg import "$work/empty.reg" || fail "reg import on the running device"
"$HANDHELD" --state "$state" reg query 'HKEY_LOCAL_MACHINE\Drivers\BuiltIn\Norvel' "Delay Time" |
    grep -q "REG_DWORD    0x1f4 (500)" || fail "reg query on the running device"
"$HANDHELD" --state "$state" reg set 'Drivers\BuiltIn\Norvel' "Delay Time" dword 300 ||
    fail "reg set on the running device"
wait_screen "delay 300 ms"

# 3. An application key starts its program (the launcher asks the shell for it), which comes
#    in front with its command line; typing goes there now. The screen's list of running
#    programs switches between them and closes one (Notes, which saves its note).
tmux -S "$sock" send-keys -t $T F8
wait_screen "start tmail.exe"
wait_screen "│Mail: (no command line)"
tmux -S "$sock" send-keys -t $T -l "Dear you"
wait_screen "│Dear you"
# The running programs, the top one first: Enter switches to the one marked, x closes it.
tmux -S "$sock" send-keys -t $T F1 p
wait_screen "│ Running Programs"
wait_screen "│ Notes"
tmux -S "$sock" send-keys -t $T Down Enter
wait_screen "─ Notes ─"
tmux -S "$sock" send-keys -t $T p Down Enter
wait_screen "─ Mail ─"
tmux -S "$sock" send-keys -t $T p Down x
wait_screen '> close "Notes"'
tmux -S "$sock" send-keys -t $T F1
wait_screen "KEYBOARD:"

# 4. ^] ends the session; the link goes with it.
tmux -S "$sock" send-keys -t $T C-]
wait_gone
[ -e "$state/ir-line" ] && fail "ir-line left behind"

# 5. The recording replays to the same screen: Mail in front with what was typed into it.
"$HANDHELD" play "$work/session.scn" --screen >"$work/journal" 2>"$work/screen" ||
    fail "the recording does not play: $(cat "$work/screen")"
grep -qF "|Dear you" "$work/screen" || fail "the replay's screen: $(cat "$work/screen")"
grep -q '"ShellExecuteEx".*"file":"tmail.exe"' "$work/journal" || fail "the replay started no Mail"
# What the other keyboard typed is on the line, so in the recording: the "i" of " Hi" (make C2,
# break 42) is typed nowhere else.
grep '^rx ' "$work/session.scn" | cut -c4- | tr '\n' ' ' | grep -q "C2 42" ||
    fail "the recording lacks the bytes of the other keyboard: $(cat "$work/session.scn")"
grep -q '^key "Software\\\\Empty"$' "$work/session.scn" || fail "the recording lacks the key without values"
{ cat "$work/session.scn"; echo 'dump "Software\Empty"'; } | "$HANDHELD" play - |
    grep -qF '"dump":"Software\\Empty","values":{}' || fail "the replay lacks the key without values"

# 6. The settings program from the Start menu, worked from the keyboard alone: `s` opens the
#    platform's Start menu, where "k" taps the entry beginning with it; the screen's arrows go
#    through the controls in reading order: the check box, the
#    rate and the delay slider, the page's test box (where Enter puts the typing) and the tabs.
#    Right moves a slider one step.
start
tmux -S "$sock" send-keys -t $T F1
wait_screen "SCREEN:"
tmux -S "$sock" send-keys -t $T s
wait_screen "│Keyboard"
tmux -S "$sock" send-keys -t $T k
wait_screen "Keyboard Settings"
wait_screen "Key Repeat Delay"
tmux -S "$sock" send-keys -t $T Down Down Down Down Enter
wait_screen "KEYBOARD:"
tmux -S "$sock" send-keys -t $T -l "xyz"
wait_screen "│ xyz_"
tmux -S "$sock" send-keys -t $T F1 Up Right
wait_screen "delay 350 ms"

# 7. Killed in the middle of settings changes: more slider steps (each a registry write by the
#    settings program) and "Enable Keyboard" switched off and on from outside (the driver closes
#    and opens its port and writes its status values), and the device is killed among them.
tmux -S "$sock" send-keys -t $T Right Right Right Right Right Right Right Right
for i in $(seq 10); do
    "$HANDHELD" --state "$state" reg set 'Drivers\BuiltIn\Norvel' "Enable Keyboard" dword $((i % 2)) ||
        fail "reg set $i"
    [ "$i" = 5 ] && kill -9 "$(tmux -S "$sock" list-panes -t $T -F '#{pane_pid}')"
done
wait_gone
"$HANDHELD" --state "$state" reg export >"$work/hive.reg" || fail "reg export after the kill"
grep -q '^"Dll"="Lumakey.DLL"$' "$work/hive.reg" || fail "the driver key lost its values"
delay=$(sed -n 's/^"Delay Time"=dword:\(.*\)$/\1/p' "$work/hive.reg")
case $((16#$delay)) in 350 | 450 | 550 | 650 | 750 | 850 | 950 | 1050) ;;
*) fail "Delay Time after the kill: $delay" ;; esac
"$HANDHELD" --state "$state" reg set 'Drivers\BuiltIn\Norvel' "Enable Keyboard" dword 1

# 8. A device starts again from that hive, with its settings, and Notes with the note that the
#    first session typed (saved when that session ended; the killed one saved nothing).
start
wait_screen "delay $((16#$delay)) ms"
wait_screen "│Hello, World! Hi"
tmux -S "$sock" send-keys -t $T -l "again"
wait_screen "│Hello, World! Hiagain"
tmux -S "$sock" send-keys -t $T C-]
wait_gone

# 9. The settings program's questions, answered on the screen, in a recorded session: a change
#    made with `handheld reg` switches the keyboard off; switched on again, OK asks whether to
#    reset (answered with the mouse: a click on Yes), and the Hot-Key page's file dialog picks
#    the Calculator's shortcut, which Cmd+1 then starts.
start --record "$work/questions.scn"
"$HANDHELD" --state "$state" reg set 'Drivers\BuiltIn\Norvel' "Enable Keyboard" dword 0 ||
    fail "reg set before the settings program"
wait_screen "Enable Keyboard off"
tmux -S "$sock" send-keys -t $T F1 s k
wait_screen "Key Repeat Del"
tmux -S "$sock" send-keys -t $T Down Enter o
wait_screen "reset your"
wait_screen "[ Yes ]"
# The mouse as xterm reports it: a press of the first button at a cell (each coordinate 1-based,
# plus 32), here the Yes button's.
yes_line=$(tmux -S "$sock" capture-pane -p -t $T | grep -n "\[ Yes \]" | head -1)
row=${yes_line%%:*}
prefix=$(LC_ALL=C.UTF-8 bash -c 'l=${1#*:}; p=${l%%"[ Yes ]"*}; echo ${#p}' _ "$yes_line")
tmux -S "$sock" send-keys -t $T -l "$(printf '\033[M %b%b' "\\$(printf %o $((33 + prefix + 1)))" \
    "\\$(printf %o $((32 + row)))")"
wait_screen "KernelIoControl"
# Yes restarts the device: the programs end, the driver is unloaded and loads again from the kept
# registry (which has the keyboard on, as the settings program left it), and Notes comes to the
# front with its note.
wait_screen "the device restarted: the keyboard"
wait_screen "driver loaded again, Notes in front"
wait_screen "─ Notes ─"
wait_screen "│Hello, World! Hiagain"
wait_screen "keyboard link up"
wait_screen "Enable Keyboard on"
tmux -S "$sock" send-keys -t $T s k
wait_screen "Key Repeat Del"
tmux -S "$sock" send-keys -t $T PageDown Down -
wait_screen "Name:"
# The dialog is a window of the device, typed to with its keyboard (Esc leaves the screen's
# keys). It opens in \My Documents (Notes keeps its note there): up to \, then Windows.
tmux -S "$sock" send-keys -t $T Escape
tmux -S "$sock" send-keys -t $T BSpace w Enter s Enter p Enter c
wait_screen "│ Calculator.lnk"
tmux -S "$sock" send-keys -t $T Enter
wait_screen "[Calculator.lnk v]"
# OK switches the keyboard on again: what is typed before the driver has opened its port is lost,
# as on a real device, so wait for the link before Cmd+1.
tmux -S "$sock" send-keys -t $T F1 o
wait_screen "keyboard link up"
tmux -S "$sock" send-keys -t $T F1 F4 1
wait_screen "│Calculator: (no command line)"
tmux -S "$sock" send-keys -t $T C-]
wait_gone
grep -q '^set "Drivers\\\\BuiltIn\\\\Norvel" "Enable Keyboard" dword 0$' "$work/questions.scn" ||
    fail "the recording lacks the registry tool's change: $(cat "$work/questions.scn")"
"$HANDHELD" play "$work/questions.scn" --screen >"$work/journal" 2>"$work/screen" ||
    fail "the recording does not play: $(cat "$work/screen")"
grep -qF "|Calculator: (no command line)" "$work/screen" || fail "the replay's screen: $(cat "$work/screen")"
grep -q '"MessageBoxW".*"result":6' "$work/journal" || fail "the replay's reset question"
grep -q '"GetOpenFileNameW".*"result":true' "$work/journal" || fail "the replay's file dialog"
echo "interactive device: all checks passed"
