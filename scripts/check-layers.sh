#!/usr/bin/env bash
# Fails when a source folder includes a header of a folder above it. The
# folders stand bottom-up in this order; a call upward goes through an
# interface declared below and installed from above.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
layers=(platform VEKLib data script rules world windows shell)
rank() {
  local i
  for i in "${!layers[@]}"; do [ "${layers[$i]}" = "$1" ] && { echo "$i"; return; }; done
  echo -1
}
status=0
for folder in "${layers[@]}"; do
  [ -d "$top/$folder" ] || continue
  own="$(rank "$folder")"
  while IFS=: read -r file line text; do
    used="$(sed -E 's/.*#include "([A-Za-z]+)\/.*/\1/' <<<"$text")"
    r="$(rank "$used")"
    if [ "$r" -gt "$own" ]; then
      echo "${file#$top/}:$line: $folder/ includes a header of $used/, which stands above it"
      status=1
    fi
  done < <(grep -rnE '^\s*#\s*include "[A-Za-z]+/' "$top/$folder" --include='*.h' --include='*.cpp' || true)
done
[ "$status" -eq 0 ] && echo "Layers: every folder includes only its own and lower folders."
exit "$status"
