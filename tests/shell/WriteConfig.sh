#!/bin/sh
# "morvheld -writecfg" on a failing disk: it must fail, say which file, and
# leave the user's "game.ini" as it was. Usage: WriteConfig.sh <path to morvheld>
program="$1"
[ -x "$program" ] || { echo "no program: $program"; exit 2; }
dir=$(mktemp -d) || exit 2
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 2
old='[config]
lang = "pl"'

# A fresh file.
"$program" -writecfg >out.txt 2>&1 || { echo "fresh write failed"; cat out.txt; exit 1; }
grep -q '^\[config\]' game.ini || { echo "no section in the written file"; exit 1; }

# No room for a single byte (ulimit -f 0, the signal it sends left as a shell
# leaves it: the program must not be killed by it).
printf '%s\n' "$old" >game.ini
# The output goes through a pipe: the limit holds for files only.
if output=$( (ulimit -f 0 && exec "$program" -writecfg) 2>&1); then
    echo "size limit: exit 0"; echo "$output"; exit 1
fi
case "$output" in
*"(game.ini)"*"File too large"*) ;;
*) echo "size limit: the error names no file or reason"; echo "$output"; exit 1 ;;
esac
[ "$(cat game.ini)" = "$old" ] || { echo "size limit: game.ini changed"; cat game.ini; exit 1; }
[ "$(ls -A)" = "game.ini
out.txt" ] || { echo "size limit: files left behind"; ls -A; exit 1; }

# A folder it may not write in: the reason is given (a root user may write
# in any folder of its own, but not in /sys).
if [ "$(id -u)" -ne 0 ]; then
    mkdir locked && chmod 555 locked && where=locked
elif [ -d /sys ]; then
    where=/sys
fi
if [ -n "$where" ]; then
    if output=$(cd "$where" && "$program" -writecfg 2>&1); then
        echo "unwritable folder: exit 0"; echo "$output"; exit 1
    fi
    printf '%s\n' "$output" | grep -q '(game.ini).*File cannot be opened for writing: [A-Z]' ||
        { echo "unwritable folder: no reason given"; echo "$output"; exit 1; }
    [ "$where" = /sys ] || rmdir locked
fi

# A full disk.
if [ -e /dev/full ]; then
    rm game.ini && ln -s /dev/full game.ini
    if "$program" -writecfg >out.txt 2>&1; then
        echo "full disk: exit 0"; cat out.txt; exit 1
    fi
    grep -q 'No space left on device' out.txt || { echo "full disk: no reason given"; cat out.txt; exit 1; }
    [ -L game.ini ] || { echo "full disk: the link was replaced"; exit 1; }
fi
# "@lp" takes more arguments from the setting "cmd_line" of the file that
# is read: here the writer itself, after an option it does not know.
rm -f game.ini out.txt
mkdir -p Data
printf '[config]\ncmd_line = "  -bogus\t-writecfg "\n' >Data/game.ini
"$program" @lp >out.txt 2>&1 || { echo "@lp: exit code $?"; cat out.txt; exit 1; }
grep -qx 'Unknown option, ignored: -bogus' out.txt || { echo "@lp: no note for -bogus"; cat out.txt; exit 1; }
grep -q '^\[config\]' game.ini || { echo "@lp: no configuration written"; cat out.txt; exit 1; }
grep -q '^cmd_line = ""' game.ini || { echo "@lp: not the defaults"; cat game.ini; exit 1; }
echo "configuration writer passed"
