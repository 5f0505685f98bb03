#!/usr/bin/env bash
# Takes a picture of the running game: a new game in its window on a private
# X server (the map, the message log under it and the date beside it), with
# the herbalist's greeting that opens it. Builds the program first
# (build/screenshot, without tests or sanitizers).
#   screenshot.sh [output.png]    default: docs/screenshot.png
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
out="$(realpath -m "${1:-$top/docs/screenshot.png}")"
build="$top/build/screenshot"

"$top/scripts/install-deps.sh" screenshot
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMORVHELD_TESTS=OFF > /dev/null
cmake --build "$build" --target morvheld -j "$(nproc)"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# Run inside the X server: the game in its folder, no autosave written.
cat > "$work/shot.sh" <<'EOF'
set -euo pipefail
build="$1" out="$2" log="$3"
(cd "$build/game" && exec "$build/morvheld" -new -noautosave) > "$log" 2>&1 &
game=$!
trap 'kill "$game" 2>/dev/null || true' EXIT
window="$(timeout 60 xdotool search --sync --onlyvisible --name '^Morvheld$' | head -n 1)"
# No window manager gives it the focus; the game draws only while it has it.
xdotool windowfocus --sync "$window"
sleep 2
xwd -silent -id "$window" | xwdtopnm 2> /dev/null | pnmtopng > "$out"
EOF
mkdir -p "$(dirname "$out")"
if ! xvfb-run -a -s "-screen 0 800x600x24" bash "$work/shot.sh" "$build" "$out" "$work/game.log"; then
  cat "$work/game.log"
  echo "No picture taken." >&2
  exit 1
fi
echo "Written: $out"
