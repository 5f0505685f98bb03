#!/bin/sh
# The real program ended from outside, under a private X server: a signal
# (SIGTERM, SIGHUP, SIGINT) ends it as closing its window does, autosaved,
# with the exit code 128 + the signal's number; the loss of its X server
# ends it autosaved too, with the reason in error.log; a second copy in the
# same game folder exits 1 and changes nothing. Runs in the game folder.
# Usage: EndedFromOutside.sh <morvheld> <close_window>
program="$1"
window="$2"
[ -x "$program" ] && [ -x "$window" ] || { echo "usage: $0 <morvheld> <close_window>"; exit 2; }
. "$(dirname "$0")/GameFolder.sh"
enter_game_folder
server=
trap '[ -z "$server" ] || kill "$server" 2>/dev/null; rm -rf "$dir"' EXIT
"$window" --intern || exit 2
# A new game in the background (a shell starts one with SIGINT ignored:
# here it has the default, as from a terminal); the window tool waits for
# its window and presses the key.
# A wait key goes to the game only once the herbalist's greeting, which
# opens a new game, is ended (Escape).
start() {
    env --default-signal=INT "$program" -new </dev/null >out.log 2>&1 &
    pid=$!
    case "$1" in
    F7 | F8)
        "$window" --key Escape 60 || fail "no window"
        sleep 1
        ;;
    esac
    "$window" --key "$1" 60 || fail "no window"
}
finish() {
    wait "$pid"
    status=$?
}
# The game clock of the autosave's header (a little-endian u64 at byte 20).
clock() { od -An -tu8 -j20 -N8 Save/autosave.sav | tr -d ' '; }

# A key that does nothing, then a signal: the new game as it began.
while IFS='|' read -r what key signal code; do
    fresh
    start "$key"
    kill -s "$signal" "$pid"
    finish
    [ "$status" -eq "$code" ] || fail "exit code $status, not $code"
    [ -f Save/autosave.sav ] && [ ! -f error.log ] || fail "no autosave, or an error logged"
    case "$key" in
    Shift_L)
        if [ -f new.sav ]; then cmp -s Save/autosave.sav new.sav || fail "not the new game"; fi
        cp Save/autosave.sav new.sav
        ;;
    *)
        # The wait key's turns are in the autosave: its clock is later.
        [ "$(clock)" -gt "$(od -An -tu8 -j20 -N8 new.sav | tr -d ' ')" ] || fail "not the later date: $(clock)"
        ;;
    esac
done <<EOF2
SIGTERM|Shift_L|TERM|143
SIGTERM after the wait for the morning|F7|TERM|143
SIGHUP after the wait for the evening|F8|HUP|129
SIGINT|Shift_L|INT|130
EOF2

# Its output a pipe whose reader is gone (as "morvheld | tee" after Ctrl+C
# ended tee): the writes fail, the game goes on and is still autosaved.
what="a pipe with no reader"
fresh
mkfifo out.fifo
head -c 1 out.fifo >/dev/null &
env --default-signal=INT "$program" -new </dev/null >out.fifo 2>&1 &
pid=$!
"$window" --key Shift_L 60 || fail "no window"
kill -s TERM "$pid"
finish
[ "$status" -eq 143 ] || fail "exit code $status, not 143"
cmp -s Save/autosave.sav new.sav || fail "not autosaved"
rm -f out.fifo

what="a second copy"
fresh
start Shift_L
listing=$(ls -lA --time-style=full-iso Save)
second=$(timeout 30 "$program" -new </dev/null 2>&1)
status=$?
[ "$status" -eq 1 ] || fail "exit code $status"
printf '%s\n' "$second" | grep -qF "Another copy of the game is running in this folder" || fail "not said: $second"
[ "$(ls -lA --time-style=full-iso Save)" = "$listing" ] && [ ! -f error.log ] || fail "the folder changed"
"$window" 30 || fail "the first window was not closed"
finish
[ "$status" -eq 0 ] || fail "the first copy's exit code $status"
cmp -s Save/autosave.sav new.sav || fail "the first copy's autosave is not its game"

# A server of its own, to end under the game. The atoms exist before the
# game's window, as above (kept: the server must not reset when the tool
# that made them leaves); the game has started once it logs its last step.
what="the X server gone"
fresh
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp -noreset 3>display 2>/dev/null &
server=$!
for _ in $(seq 100); do [ -s display ] && break; sleep 0.1; done
[ -s display ] || fail "no X server of its own"
DISPLAY=":$(cat display)"
export DISPLAY
"$window" --intern || exit 2
# The greeting ended, so that the new game is whole when the server goes
# (the game is saved as it stands then, even inside a script).
start Escape
for _ in $(seq 300); do grep -qF "First aid" out.log && break; sleep 0.1; done
kill "$server"
finish
server=
[ "$status" -eq 1 ] || fail "exit code $status"
logged "The connection to the display was lost" || fail "not said why"
cmp -s Save/autosave.sav new.sav || fail "not autosaved"
echo "ended from outside: passed"
