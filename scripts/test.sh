#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors under
# AddressSanitizer and UBSan, runs every test, then runs each fuzzer briefly.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$(nproc)"
fuzz_seconds="${FUZZ_SECONDS:-30}"

"$top/scripts/install-deps.sh" test
"$top/scripts/check-layers.sh"
"$top/scripts/check-format.sh"
"$top/scripts/check-docs.sh"

cmake -S "$top" -B "$top/build/test" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DMORVHELD_SANITIZE=ON -DMORVHELD_WERROR=ON -DMORVHELD_BENCH=ON
cmake --build "$top/build/test" -j "$jobs"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
(cd "$top/build/test" && ctest --output-on-failure -j "$jobs")

cmake -S "$top" -B "$top/build/fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DMORVHELD_FUZZ=ON -DMORVHELD_WERROR=ON
cmake --build "$top/build/fuzz" -j "$jobs"
# Each fuzzer runs on a scratch folder (the committed corpus stays as it is),
# several at a time.
run_fuzzer() {
  local fuzzer="$1" name work status=0
  name="$(basename "$fuzzer")"
  work="$(mktemp -d)"
  "$fuzzer" -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 -print_final_stats=0 \
    "$work" "$top/fuzz/corpus/$name" > "$work.log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$work.log"
    echo "== $name FAILED"
  else
    echo "== $name: $(grep -E '^Done [0-9]+ runs' "$work.log" | tail -n 1)"
  fi
  rm -rf "$work" "$work.log"
  return "$status"
}
pids=()
for fuzzer in "$top"/build/fuzz/fuzz/*_fuzz; do
  [ -x "$fuzzer" ] || continue
  while [ "$(jobs -rp | wc -l)" -ge "$(( (jobs + 1) / 2 ))" ]; do sleep 1; done
  run_fuzzer "$fuzzer" & pids+=($!)
done
failed=0
for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
[ "$failed" -eq 0 ] || { echo "A fuzzer failed."; exit 1; }
echo "All tests and fuzzers passed."
