#!/bin/sh
# "morvheld <file>.u" checks a script: every sample script must pass with
# "Script OK." and exit code 0; a script with an error must print the
# script's error and exit 1. Runs in the game folder (the working
# directory). Usage: ScriptCheck.sh <path to morvheld>
program="$1"
[ -x "$program" ] || { echo "no program: $program"; exit 2; }
[ -d Data/Scripts ] || { echo "no Data/Scripts in $(pwd)"; exit 2; }
count=0
for script in $(find -L Data -name '*.u' | sort); do
    output=$(env -u DISPLAY "$program" "$script" 2>&1) || { echo "$script: exit code $?"; echo "$output"; exit 1; }
    [ "$output" = "Script OK." ] || { echo "$script: unexpected output"; echo "$output"; exit 1; }
    count=$((count + 1))
done
[ "$count" -ge 6 ] || { echo "only $count sample scripts found"; exit 1; }

dir=$(mktemp -d) || exit 2
trap 'rm -rf "$dir"' EXIT
# An item that no table names, on line 3: error 67.
printf 'var a = 1\nincr a\nAddInvItem("no such thing", 2)\n' >"$dir/bad.u"
if output=$(env -u DISPLAY "$program" "$dir/bad.u" 2>&1); then
    echo "bad script: exit 0"; echo "$output"; exit 1
fi
printf '%s\n' "$output" | grep -qx '3: error 0067: Item not found' || { echo "bad script: no error line"; echo "$output"; exit 1; }
printf '%s\n' "$output" | grep -q 'Script OK' && { echo "bad script: reported OK"; exit 1; }
# A system command that a checked script runs is logged, as in a game.
printf 'system "true"\n' >"$dir/system.u"
output=$(env -u DISPLAY "$program" "$dir/system.u" 2>&1) || { echo "system command: exit code $?"; echo "$output"; exit 1; }
printf '%s\n' "$output" | grep -qF "Script $dir/system.u, line 1, runs the system command: true" ||
    { echo "system command: not logged"; echo "$output"; exit 1; }
printf '%s\n' "$output" | tail -n 1 | grep -qx 'Script OK.' || { echo "system command: no verdict"; echo "$output"; exit 1; }
# The command gets the signals the game ignores for itself (a broken pipe, a
# file-size limit) with their usual effect: neither ignored in its shell.
printf '%s\n' 'system "m=0x$(sed -n s/^SigIgn:.//p /proc/self/status); echo ignored $(( m & 0x1001000 ))"' >"$dir/signals.u"
output=$(env -u DISPLAY "$program" "$dir/signals.u" 2>&1) || { echo "signals: exit code $?"; echo "$output"; exit 1; }
printf '%s\n' "$output" | grep -qx 'ignored 0' || { echo "signals: ignored in the command"; echo "$output"; exit 1; }
# A file that is not there: the file's own error, no script error.
if output=$(env -u DISPLAY "$program" "$dir/none.u" 2>&1); then
    echo "missing script: exit 0"; echo "$output"; exit 1
fi
printf '%s\n' "$output" | grep -qF "File not found ($dir/none.u)" || { echo "missing script: no file error"; echo "$output"; exit 1; }
printf '%s\n' "$output" | grep -q 'error 0000' && { echo "missing script: reported as a script error"; echo "$output"; exit 1; }

# The check needs no world and no bank: a game folder of loose files whose
# world is missing and whose "bank.u" does not parse still checks a script.
game=$(pwd)
mkdir -p "$dir/game/Data/Scripts" || exit 2
for entry in "$game"/Data/*; do
    case "$(basename "$entry")" in
    Scripts | game.ini | *.world) ;;
    *) ln -s "$entry" "$dir/game/Data/" ;;
    esac
done
for entry in "$game"/Data/Scripts/*; do
    [ "$(basename "$entry")" = bank.u ] || ln -s "$entry" "$dir/game/Data/Scripts/"
done
printf 'action Broken {\n' >"$dir/game/Data/Scripts/bank.u"
sed -e 's/^force_files = .*/force_files = 1/' -e 's/^world = .*/world = "nowhere.world"/' "$game/Data/game.ini" \
    >"$dir/game/Data/game.ini"
output=$(cd "$dir/game" && env -u DISPLAY "$program" Data/Scripts/_onload.u 2>&1) ||
    { echo "damaged folder: exit code $?"; echo "$output"; exit 1; }
[ "$output" = "Script OK." ] || { echo "damaged folder: unexpected output"; echo "$output"; exit 1; }
echo "script check passed ($count sample scripts)"
