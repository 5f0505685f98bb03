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
                  "Loading global declarations...|Loading world...|Preparing a new game...|Creating world...|" \
                  "Launching the OnLoad commands...", step, "|")
        next_step = 1
    }
    next_step <= n && index($0, step[next_step]) > 0 { next_step++ }
    END {
        if (next_step <= n) { print "missing or out of order: " step[next_step]; exit 1 }
    }' || { echo "$output"; exit 1; }
echo "set-up passed"
