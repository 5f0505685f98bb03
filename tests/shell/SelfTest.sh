#!/bin/sh
# Runs "morvheld -test" in several time zones: the self-test must pass and
# report its grand total. Usage: SelfTest.sh <path to morvheld>
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
echo "self-test passed"
