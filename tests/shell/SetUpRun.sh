#!/bin/sh
# Runs "morvheld" without autosaving in the game folder (the working
# directory): it must set up on the sample data and start a new game,
# logging each step in order, and exit 0. No display, so the null driver
# opens no window.
# Usage: SetUpRun.sh <path to morvheld>
program="$1"
[ -x "$program" ] || { echo "no program: $program"; exit 2; }
[ -f Morvheld.dat ] || { echo "no Morvheld.dat in $(pwd)"; exit 2; }
output=$(env -u DISPLAY "$program" -noautosave 2>&1) || { echo "exit code $?"; echo "$output"; exit 1; }
printf '%s\n' "$output" | awk '
    BEGIN {
        n = split("Video driver: |Initializing data archive...|Loading localized resources...|" \
                  "Loading graphics...|Creating game objects...|Loading game data...|Loading localized strings...|" \
                  "Loading game data (for scripts)...|Loading global declarations...|Analyzing monster parameters...|" \
                  "Loading world...|Preparing a new game...|Creating world...|" \
                  "Launching the OnLoad commands...", step, "|")
        next_step = 1
    }
    next_step <= n && index($0, step[next_step]) > 0 { next_step++ }
    END {
        if (next_step <= n) { print "missing or out of order: " step[next_step]; exit 1 }
    }' || { echo "$output"; exit 1; }

# A set-up that fails once the message display is there: exit 1, and the
# error reaches "error.log" (UTF-16) in a session of its own.
game=$(pwd)
dir=$(mktemp -d) || exit 2
trap 'rm -rf "$dir"' EXIT
mkdir "$dir/Data" && ln -s "$game/Morvheld.dat" "$game/Graphics" "$dir/" || exit 2
sed -e 's/^world = .*/world = "nowhere.world"/' "$game/Data/game.ini" >"$dir/Data/game.ini"
if output=$(cd "$dir" && env -u DISPLAY "$program" -noautosave 2>&1); then
    echo "missing world: exit 0"; echo "$output"; exit 1
fi
[ -f "$dir/error.log" ] || { echo "missing world: no error.log"; echo "$output"; exit 1; }
log=$(tr -d '\000\376\377' <"$dir/error.log")
for line in '*** Session started: ' 'nowhere.world' '*** Session closed.'; do
    printf '%s\n' "$log" | grep -qF "$line" || { echo "error.log lacks: $line"; printf '%s\n' "$log"; exit 1; }
done
echo "set-up passed"
