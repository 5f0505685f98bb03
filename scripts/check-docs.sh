#!/usr/bin/env bash
# Checks that docs/ARCHITECTURE.md names every source file once: each .h and
# .cpp of the eight source folders stands, by its path within the folder, in
# exactly one table row of its folder's section (the "## " section whose
# heading starts with the folder, as in "## `world/`: ..."; a row may name
# several files), and no row names a file that is not there. Run by hand after
# a file is added, moved or removed.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
doc="$top/docs/ARCHITECTURE.md"
status=0

for folder in platform VEKLib data script rules world windows shell; do
  # The folder's section: from its heading to the next "## " heading.
  section="$(awk -v head="## \`$folder/\`" '
    index($0, head) == 1 { inside = 1; next }
    /^## / { inside = 0 }
    inside' "$doc")"
  if [ -z "$section" ]; then
    echo "no section for $folder/ (a heading starting ## \`$folder/\`)"
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
