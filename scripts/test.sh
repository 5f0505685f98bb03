#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors under
# AddressSanitizer and UBSan, runs every test, then runs each fuzzer briefly.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$(nproc)"
fuzz_seconds="${FUZZ_SECONDS:-30}"

"$top/scripts/install-deps.sh" test

cmake -S "$top" -B "$top/build/test" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DMORVHELD_SANITIZE=ON -DMORVHELD_WERROR=ON -DMORVHELD_BENCH=ON
cmake --build "$top/build/test" -j "$jobs"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
(cd "$top/build/test" && ctest --output-on-failure -j "$jobs")

cmake -S "$top" -B "$top/build/fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DMORVHELD_FUZZ=ON -DMORVHELD_WERROR=ON
cmake --build "$top/build/fuzz" -j "$jobs"
for fuzzer in "$top"/build/fuzz/fuzz/*_fuzz; do
  [ -x "$fuzzer" ] || continue
  name="$(basename "$fuzzer")"
  work="$(mktemp -d)"
  # The committed corpus stays as it is; new inputs go to a scratch folder.
  echo "== fuzzing $name for ${fuzz_seconds}s"
  "$fuzzer" -max_total_time="$fuzz_seconds" -print_final_stats=0 "$work" "$top/fuzz/corpus/$name" \
    > "$work.log" 2>&1 || { tail -n 60 "$work.log"; echo "$name failed"; exit 1; }
  tail -n 2 "$work.log"
  rm -rf "$work" "$work.log"
done
echo "All tests and fuzzers passed."
