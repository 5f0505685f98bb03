#!/usr/bin/env bash
# Installs the Debian packages that a build needs and that are missing.
#   install-deps.sh run         what building and running the program needs
#   install-deps.sh test        what building and running every test needs
#   install-deps.sh bench       what the benchmarks need (bench/)
#   install-deps.sh screenshot  what scripts/screenshot.sh needs besides a build
set -euo pipefail

# The game draws its text with DejaVu Sans (fonts-dejavu-core) through FreeType.
run_pkgs=(g++ cmake ninja-build libirrlicht-dev libx11-dev 7zip zlib1g-dev nettle-dev libfreetype-dev fonts-dejavu-core)
test_pkgs=("${run_pkgs[@]}" googletest libgtest-dev libgmock-dev libbenchmark-dev libtcod-dev liblua5.4-dev lua5.4 tcl-dev pkg-config clang libclang-rt-14-dev xvfb xauth clang-format-16)
# The peers the benchmarks time beside us, and a window for the start-up one.
bench_pkgs=("${run_pkgs[@]}" libbenchmark-dev liblua5.4-dev lua5.4 tcl-dev pkg-config xvfb xauth libtcod-dev)
# A private X server, a key press and the focus for the game's window, the
# window's picture (xwd) and its conversion to PNG.
screenshot_pkgs=("${run_pkgs[@]}" xvfb xauth xdotool x11-apps netpbm)

case "${1:-run}" in
  run) pkgs=("${run_pkgs[@]}") ;;
  test) pkgs=("${test_pkgs[@]}") ;;
  bench) pkgs=("${bench_pkgs[@]}") ;;
  screenshot) pkgs=("${screenshot_pkgs[@]}") ;;
  *) echo "usage: $0 run|test|bench|screenshot" >&2; exit 2 ;;
esac

missing=()
for p in "${pkgs[@]}"; do
  if [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" != "install ok installed" ]; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
