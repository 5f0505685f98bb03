#!/bin/sh
# The real program, without a display, meets what it should not find in its
# game folder: an autosave of 3 GB under a 2 GB memory limit, a pipe or a
# folder where the autosave is, a pipe as its configuration, and a game
# folder that another copy holds. None of it may hang the start (each run
# is bounded) or cost more than the limit. Runs in the game folder.
# Usage: OddSaveFiles.sh <morvheld> <folder of sample saves> <sanitized: 0 or 1>
program="$1"
samples="$2"
sanitized="$3"
[ -x "$program" ] && [ -f "$samples/played" ] || { echo "usage: $0 <morvheld> <samples> <sanitized>"; exit 2; }
. "$(dirname "$0")/GameFolder.sh"
enter_game_folder

said() { printf '%s\n' "$output" | grep -qF "$1"; }
# The program without a display, under a memory limit ($limit KB, 2 GB
# unless a case says otherwise): the process's address space, or (a
# sanitizer maps terabytes of it at once) the sanitizer's own limits on
# memory and on one allocation.
limit=2097152
run() {
    output=$(
        if [ "$sanitized" = 1 ]; then
            ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}hard_rss_limit_mb=$((limit / 1024)):max_allocation_size_mb=$((limit / 1024))"
            export ASAN_OPTIONS
        else
            ulimit -v "$limit" || exit 2
        fi
        exec env -u DISPLAY timeout 60 "$program" "$@" </dev/null 2>&1
    )
    status=$?
}

# An autosave that is not loaded is kept aside, whatever it is, and a new
# game starts.
while IFS='|' read -r what make kind reason; do
    fresh
    eval "$make"
    run
    [ "$status" -eq 0 ] || fail "exit code $status"
    said "Preparing a new game..." || fail "no new game"
    logged "kept as it was under the name Save/autosave.refused.sav" && logged "$reason" || fail "not reported"
    [ "$kind" Save/autosave.refused.sav ] && [ ! -e Save/autosave.sav ] || fail "not kept aside"
done <<EOF2
a sparse 3 GB autosave|cp "$samples/played" Save/autosave.sav && truncate -s 3G Save/autosave.sav|-f|larger than any saved game (at most 1073741824 bytes)
a sparse autosave of 1 GiB, read whole|cp "$samples/played" Save/autosave.sav && truncate -s 1073741824 Save/autosave.sav|-f|1073734716 bytes follow the last record
a pipe as the autosave|mkfifo Save/autosave.sav|-p|It is a named pipe (FIFO), not a file.
a folder as the autosave|mkdir Save/autosave.sav|-d|It is a folder, not a file.
EOF2

# One of a size a save may have, that the memory limit cannot hold, is
# refused too: else no later start would get past it. (A sanitizer ends the
# program instead of failing the allocation.)
if [ "$sanitized" = 0 ]; then
    what="an autosave the memory limit cannot hold"
    fresh
    cp "$samples/played" Save/autosave.sav && truncate -s 1073741824 Save/autosave.sav
    limit=524288
    run
    limit=2097152
    [ "$status" -eq 0 ] && said "Preparing a new game..." || fail "exit code $status, or no new game"
    logged "Not enough memory (Save/autosave.sav)" && [ -f Save/autosave.refused.sav ] || fail "not refused and kept aside"
fi

what="a pipe as the configuration"
fresh
rm Data/game.ini && mkfifo Data/game.ini
run
[ "$status" -eq 1 ] || fail "exit code $status"
said "File not found (Data/game.ini)Details: It is a named pipe (FIFO), not a file." || fail "not said"
rm Data/game.ini && cp "$game/Data/game.ini" Data/

# Another copy holds the folder: this one changes nothing.
what="a game folder another copy holds"
fresh
cp "$samples/played" Save/autosave.sav
printf 'x' >Save/.autosave.sav.morvheld-unfinished.a1B2c3
touch Save/.morvheld.lock
listing=$(ls -lA --time-style=full-iso Save)
output=$(flock Save/.morvheld.lock env -u DISPLAY timeout 60 "$program" </dev/null 2>&1)
status=$?
[ "$status" -eq 1 ] || fail "exit code $status"
said "Another copy of the game is running in this folder" || fail "not said"
[ "$(ls -lA --time-style=full-iso Save)" = "$listing" ] && [ ! -f error.log ] || fail "the folder changed"
# Once it is free, the leftover goes and the game goes on.
run
[ "$status" -eq 0 ] && [ ! -f error.log ] || fail "free again: exit code $status, or an error logged"
[ "$(files)" = autosave.sav ] || fail "the leftover is still there"
cmp -s Save/autosave.sav "$samples/played" || fail "the autosave changed"
echo "odd save files passed"
