#!/usr/bin/env bash
# Shows that this tree's parser gives what another commit's gives (by
# default where this branch left main): ParseDump, built against both trees,
# parses the texts that the script tests load, a few texts of its own, the
# fuzzers' seed corpora and the sample scripts, each also in many variants,
# and every digest must agree.
#   scripts/parse-diff.sh [COMMIT]      VARIANTS=n: variants per text (40)
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
ref="${1:-$(git -C "$top" merge-base HEAD main)}"
variants="${VARIANTS:-40}"
jobs="${JOBS:-4}"
work="$top/build/parsediff"

commit="$(git -C "$top" rev-parse "$ref^{commit}")"
mkdir -p "$work"
rm -rf "$work/captured"
mkdir -p "$work/captured"
# The reference tree is unpacked again only when it is another commit, so
# that its build is kept.
if [ "$(cat "$work/ref-src.commit" 2>/dev/null)" != "$commit" ]; then
  rm -rf "$work/ref-src" "$work/ref"
  mkdir -p "$work/ref-src"
  git -C "$top" archive "$commit" | tar -x -C "$work/ref-src"
  echo "$commit" > "$work/ref-src.commit"
fi

build() { # build folder, tree, extra options...
  local dir="$1" tree="$2"
  shift 2
  cmake -S "$top/tests/parsediff" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMORVHELD_TREE="$tree" "$@" >/dev/null
}
build "$work/ref" "$work/ref-src"
cmake --build "$work/ref" -j "$jobs" --target parse_dump
build "$work/cur" "$top" -DMORVHELD_CAPTURE_TESTS=ON
cmake --build "$work/cur" -j "$jobs" --target parse_dump test_script

# The tests' verdicts do not matter here, only the texts they load.
(cd "$work/cur/tree/tests" && MORVHELD_CAPTURE="$work/captured" ./test_script > /dev/null 2>&1) || true
inputs=("$work/captured" "$top/tests/parsediff/edges" "$top/fuzz/corpus/script_fuzz"
  "$top/fuzz/corpus/game_script_fuzz" "$top/fuzz/corpus/scanner_fuzz" "$top/Data/Scripts")
"$work/ref/parse_dump" --variants "$variants" "${inputs[@]}" > "$work/ref.txt" &
"$work/cur/parse_dump" --variants "$variants" "${inputs[@]}" > "$work/cur.txt"
wait
cases="$(wc -l < "$work/cur.txt")"
if cmp -s "$work/ref.txt" "$work/cur.txt"; then
  echo "parse-diff: $cases cases, $(ls "$work/captured" | wc -l) texts from the tests: all the same as $ref"
  exit 0
fi
echo "parse-diff: differences from $ref:"
diff "$work/ref.txt" "$work/cur.txt" | grep '^>' | head -n 20 || true
for id in $(diff "$work/ref.txt" "$work/cur.txt" | grep '^>' | head -n 3 | awk '{print $2}'); do
  "$work/ref/parse_dump" --variants "$variants" --show "$id" "${inputs[@]}" > "$work/ref-$id.txt"
  "$work/cur/parse_dump" --variants "$variants" --show "$id" "${inputs[@]}" > "$work/cur-$id.txt"
  diff "$work/ref-$id.txt" "$work/cur-$id.txt" | head -n 40 || true
done
exit 1
