#!/usr/bin/env bash
# Installs the Debian packages that a build needs and that are missing.
#   install-deps.sh run    what building and running the program needs
#   install-deps.sh test   what building and running every test needs
set -euo pipefail

run_pkgs=(g++ cmake ninja-build libirrlicht-dev 7zip zlib1g-dev nettle-dev)
test_pkgs=("${run_pkgs[@]}" googletest libgtest-dev libgmock-dev libbenchmark-dev libtcod-dev liblua5.4-dev lua5.4 tcl-dev pkg-config clang libclang-rt-14-dev xvfb xauth libx11-dev clang-format-16)

case "${1:-run}" in
  run) pkgs=("${run_pkgs[@]}") ;;
  test) pkgs=("${test_pkgs[@]}") ;;
  *) echo "usage: $0 run|test" >&2; exit 2 ;;
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
