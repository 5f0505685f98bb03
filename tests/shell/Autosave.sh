#!/bin/sh
# The autosave of the real program, under a private X server: the program
# starts in a folder of its own, its window is closed as a window manager
# closes it (close_window sends WM_DELETE_WINDOW), and what became of the
# autosave is checked. Runs in the game folder (the working directory).
# Usage: Autosave.sh <morvheld> <close_window> <folder of sample saves>
program="$1"
closer="$2"
samples="$3"
[ -x "$program" ] && [ -x "$closer" ] && [ -f "$samples/played" ] || { echo "usage: $0 <morvheld> <close_window> <samples>"; exit 2; }
. "$(dirname "$0")/GameFolder.sh"
enter_game_folder
# The close protocol's atoms exist before the first window does (the server
# keeps them: -noreset).
"$closer" --intern || exit 2

# play <size limit in 512-byte blocks, or -> <arguments>: the program until
# its window is closed; its exit code in $status, what it printed in $output.
# The signal of a size limit is left as a shell leaves it.
play() {
    limit="$1"
    shift
    "$closer" 30 &
    closing=$!
    output=$( (if [ "$limit" != - ]; then ulimit -f "$limit" || exit 2; fi; exec "$program" "$@" </dev/null) 2>&1)
    status=$?
    wait "$closing" || fail "the window was not closed"
}

what="a new game"
fresh
play -
[ "$status" -eq 0 ] || fail "exit code $status"
[ -f Save/autosave.sav ] && [ ! -f error.log ] || fail "no autosave, or an error logged"
cp Save/autosave.sav new.sav

what="a saved game"
fresh
cp "$samples/played" Save/autosave.sav
play -
[ "$status" -eq 0 ] && [ ! -f error.log ] || fail "exit code $status, or an error logged"
# Continued, and saved again as it was.
cmp -s Save/autosave.sav "$samples/played" && [ "$(files)" = autosave.sav ] || fail "not the same game"

# An autosave that cannot be loaded is kept whole under a name of its own, the
# player is told where (error.log), and the new game is autosaved beside it.
while IFS='|' read -r what make kept earlier; do
    fresh
    eval "$make" >Save/autosave.sav
    cp Save/autosave.sav refused.sav
    [ -z "$earlier" ] || printf '%s' "$earlier" >Save/autosave.refused.sav
    play -
    [ "$status" -eq 0 ] || fail "exit code $status"
    cmp -s "Save/$kept" refused.sav || fail "not kept whole as $kept"
    logged "kept as it was under the name Save/$kept" || fail "not reported"
    cmp -s Save/autosave.sav new.sav || fail "the new game is not the autosave"
    [ -z "$earlier" ] || [ "$(cat Save/autosave.refused.sav)" = "$earlier" ] || fail "the one kept before was replaced"
done <<EOF
cut by one byte|head -c -1 "$samples/played"|autosave.refused.sav|
of another version|head -c 8 new.sav; printf '\011'; tail -c +10 new.sav|autosave.refused.sav|
not a saved game|printf 'Morvheld'|autosave.refused.sav|
the current location neither entered nor kept|cat "$samples/played-cellar-not-entered"|autosave.refused.sav|
one kept before|head -c 100 new.sav|autosave.refused.2.sav|earlier
EOF

# An autosave that fails at the window's close is reported (error.log) with
# the reason, the exit code says so, and what was there stays as it was.
unwritable="Save is a file|rmdir Save; printf x >Save|-|Not a directory|[ \"\$(cat Save)\" = x ]|no"
[ "$(id -u)" -eq 0 ] || unwritable="$unwritable
a folder that cannot be written|chmod 555 Save|-|Permission denied|[ -z \"\$(ls -A Save)\" ]|no"
# kept: whether an old autosave was there for the message to say it stays.
while IFS='|' read -r what make limit reason same kept; do
    fresh
    eval "$make"
    play "$limit" -new
    [ "$status" -ne 0 ] || fail "exit code 0"
    logged "The game could not be saved to Save/autosave.sav" && logged "$reason" || fail "not reported: $reason"
    if logged "the autosave there is left as it was"; then said=yes; else said=no; fi
    [ "$said" = "$kept" ] || fail "an old autosave said to be kept: $said, there was one: $kept"
    eval "$same" || fail "what was there changed, or a temporary file was left"
    chmod 755 Save 2>/dev/null
done <<EOF
$unwritable
a file-size limit|cp "$samples/played" Save/autosave.sav|8|File too large|cmp -s Save/autosave.sav "$samples/played" && [ "\$(files)" = autosave.sav ]|yes
a device|ln -s /dev/full Save/autosave.sav|-|It is a device, not a file.|[ -L Save/autosave.sav ] && [ "\$(files)" = autosave.sav ]|no
EOF

# What killed autosaves left beside it is removed when the game starts;
# nothing else is, a user's own backup included.
what="files an interrupted autosave left"
fresh
cp "$samples/played" Save/autosave.sav
for name in .autosave.sav.morvheld-unfinished.k1Ll9x .autosave.sav.backup .autosave.sav.k1Ll9x \
    .other.sav.morvheld-unfinished.k1Ll9x autosave.sav.morvheld-unfinished.k1Ll9x; do
    head -c 3000 "$samples/played" >"Save/$name"
done
play -
[ "$status" -eq 0 ] || fail "exit code $status"
[ "$(files | tr '\n' ' ')" = ".autosave.sav.backup .autosave.sav.k1Ll9x .other.sav.morvheld-unfinished.k1Ll9x \
autosave.sav autosave.sav.morvheld-unfinished.k1Ll9x " ] || fail "not the left file alone removed"
cmp -s Save/autosave.sav "$samples/played" || fail "not the same game"
echo "autosave passed"
