#!/usr/bin/env bash
# Installs what is missing (Debian packages only), builds, then runs Rulecraft or its tests.
#   bash tools/setup.sh run    build and start the program
#   bash tools/setup.sh test   build with warnings as errors and run every test headless
set -euo pipefail

mode=${1:-}
case "$mode" in
  run|test) ;;
  *) echo "usage: bash tools/setup.sh run|test" >&2; exit 2 ;;
esac

cd "$(dirname "$0")/.."

packages=(cmake make g++ pkg-config libgtest-dev googletest qt6-base-dev fonts-liberation2)
# Only the tests need these: the validators and the Debian packaging tools.
[ "$mode" = test ] && packages+=(desktop-file-utils appstream dpkg-dev file)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

jobs=$(nproc 2>/dev/null || echo 2)
if [ "$mode" = run ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
  cmake --build build -j "$jobs"
  exec ./build/windows/rulecraft
fi

cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DRULECRAFT_WERROR=ON
cmake --build build-test -j "$jobs"
export QT_QPA_PLATFORM=offscreen
cd build-test
ctest --output-on-failure --timeout 300
