#!/bin/sh
# The script guide's examples are real: every fenced block tagged "u" in the
# guide is a script that the program's script check must take. A "u" block
# followed (blank lines apart) by a block tagged "output" must print exactly
# that output, with exit code 1 when it ends in a script error line and 0
# otherwise; any other "u" block must end in "Script OK." with exit code 0.
# Runs in the game folder (the working directory).
# Usage: DocExamples.sh <path to morvheld> <guide>
program="$1"
guide="$2"
[ -x "$program" ] || { echo "no program: $program"; exit 2; }
[ -f "$guide" ] || { echo "no guide: $guide"; exit 2; }
[ -d Data/Scripts ] || { echo "no Data/Scripts in $(pwd)"; exit 2; }

dir=$(mktemp -d) || exit 2
trap 'rm -rf "$dir"' EXIT

# Each example becomes N.u with N.line (where it starts in the guide) and,
# when an output block follows it, N.out.
awk -v dir="$dir" '
    /^```/ {
        if (inside) {
            inside = 0
            if (file != "") close(file)
            file = ""
            last = kind
            next
        }
        inside = 1
        kind = substr($0, 4)
        sub(/[ \t].*$/, "", kind)
        if (kind == "u") {
            count++
            file = dir "/" count ".u"
            printf "" > file
            print NR > (dir "/" count ".line")
            close(dir "/" count ".line")
        } else if (kind == "output" && last == "u") {
            file = dir "/" count ".out"
            printf "" > file
        }
        next
    }
    inside { if (file != "") print > file; next }
    # Only blank lines may stand between an example and its output.
    /[^ \t]/ { last = "" }
' "$guide"

count=0
failed=0
for script in $(ls "$dir"/*.u 2>/dev/null | sort -V); do
    base="${script%.u}"
    where="$(basename "$guide"):$(cat "$base.line")"
    count=$((count + 1))
    output=$(env -u DISPLAY "$program" "$script" </dev/null 2>&1)
    status=$?
    if [ -f "$base.out" ]; then
        expected=$(cat "$base.out")
        want=0
        printf '%s\n' "$expected" | grep -q '^[0-9]*: error [0-9]\{4\}: ' && want=1
        if [ "$output" != "$expected" ] || [ "$status" -ne "$want" ]; then
            echo "$where: the example prints (exit code $status):"
            printf '%s\n' "$output"
            echo "where the guide shows (exit code $want):"
            printf '%s\n' "$expected"
            failed=1
        fi
    elif [ "$status" -ne 0 ] || [ "$(printf '%s\n' "$output" | tail -n 1)" != "Script OK." ]; then
        echo "$where: the example fails its check (exit code $status):"
        printf '%s\n' "$output"
        failed=1
    fi
done
# A guide without examples, or a marker changed, must not pass unseen.
[ "$count" -ge 20 ] || { echo "only $count script examples found in $guide"; exit 1; }
[ "$failed" -eq 0 ] || exit 1
echo "$count script examples of $(basename "$guide") checked"
