#!/usr/bin/env bash
# Checks that docs/ARCHITECTURE.md names every source file once: each .h and
# .cpp of the eight source folders and of bench/ stands, by its path within
# the folder, in exactly one table row of its folder's section (the section
# whose heading starts with the folder, as in "## `world/`: ..." or
# "### `bench/`: ...", up to the next heading of its level or above; a row may
# name several files), and no row names a file that is not there. The test
# command runs it, so a file added, moved or removed is named in the guide.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
doc="$top/docs/ARCHITECTURE.md"
status=0

for folder in platform VEKLib data script rules world windows shell bench; do
  # The folder's section: from its heading to the next heading of its level
  # or above (lines of code blocks are no headings).
  section="$(awk -v name="\`$folder/\`" '
    /^```/ { fence = !fence }
    !fence && match($0, /^#+ /) {
      depth = RLENGTH - 1
      if (inside && depth <= level) { inside = 0 }
      if (!inside && substr($0, RLENGTH + 1, length(name)) == name) { inside = 1; level = depth; next }
    }
    inside' "$doc")"
  if [ -z "$section" ]; then
    echo "no section for $folder/ (a heading starting ## \`$folder/\` or ### \`$folder/\`)"
    status=1
    continue
  fi
  rows="$(printf '%s\n' "$section" | grep '^|' || true)"
  while IFS= read -r file; do
    name="${file#"$top/$folder/"}"
    count="$(printf '%s\n' "$rows" | { grep -oF "\`$name\`" || true; } | wc -l)"
    if [ "$count" -ne 1 ]; then
      echo "$folder/$name: named $count times in its section's tables (once wanted)"
      status=1
    fi
  done < <(find "$top/$folder" \( -name '*.h' -o -name '*.cpp' \) | sort)
  # Every file a row names is there.
  while IFS= read -r name; do
    if [ ! -f "$top/$folder/$name" ]; then
      echo "$folder/$name: named in the document but not in the tree"
      status=1
    fi
  done < <(printf '%s\n' "$rows" | { grep -oE '`[A-Za-z0-9_/]+\.(h|cpp)`' || true; } | tr -d '`' | sort -u)
done

[ "$status" -eq 0 ] && echo "Every source file is named once in docs/ARCHITECTURE.md."
exit "$status"
