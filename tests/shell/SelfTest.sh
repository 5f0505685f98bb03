#!/bin/sh
# Runs "morvheld -test" in the game folder (the working directory) in
# several time zones: the game sets up without a window, then the self-test
# must pass and report its grand total; a damaged "game.ini" stops it before
# any test runs. Usage: SelfTest.sh <path to morvheld>
program="$1"
[ -x "$program" ] || { echo "no program: $program"; exit 2; }
for zone in "" UTC0 "EST5EDT,M3.2.0,M11.1.0" "JST-9"; do
    if [ -z "$zone" ]; then
        output=$(env -u TZ "$program" -test) || { echo "failed without TZ"; echo "$output"; exit 1; }
    else
        output=$(TZ="$zone" "$program" -test) || { echo "failed in $zone"; echo "$output"; exit 1; }
    fi
    printf '%s\n' "$output" | grep -q '^All Suites Total:$' || { echo "no grand total"; exit 1; }
    printf '%s\n' "$output" | tail -n 1 | grep -q 'Failed: 0$' || { echo "failures in $zone"; exit 1; }
done
dir=$(mktemp -d) || exit 2
trap 'rm -rf "$dir"' EXIT
mkdir "$dir/Data" && printf '[config]\nall_available_langs = "pl|eng"\n' >"$dir/Data/game.ini" || exit 2
if output=$(cd "$dir" && env -u DISPLAY "$program" -test 2>&1); then
    echo "damaged game.ini: exit 0"; echo "$output"; exit 1
fi
printf '%s\n' "$output" | grep -q 'Incorrect language identifier eng' || { echo "damaged game.ini: no reason"; echo "$output"; exit 1; }
printf '%s\n' "$output" | grep -q 'All Suites Total' && { echo "damaged game.ini: the tests ran"; exit 1; }
echo "self-test passed"
