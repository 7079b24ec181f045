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
# Only the tests need these: the validators, the Debian packaging tools, and clang with
# its sanitizer and libFuzzer runtimes.
[ "$mode" = test ] && packages+=(desktop-file-utils appstream dpkg-dev file clang libclang-rt-14-dev)

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

export QT_QPA_PLATFORM=offscreen
passed=0
suite() { # build folder, then ctest arguments
  local log
  log=$(mktemp)
  (cd "$1" && ctest --output-on-failure --timeout 600 "${@:2}") | tee "$log"
  passed=$((passed + $(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$log")))
  rm -f "$log"
}

echo "== the test suite"
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DRULECRAFT_WERROR=ON
cmake --build build-test -j "$jobs"
suite build-test

echo "== the same tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DRULECRAFT_WERROR=ON -DRULECRAFT_SANITIZE=ON
cmake --build build-sanitize -j "$jobs"
# The package test installs the program system-wide; the plain suite has run it.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  suite build-sanitize -E package_installs_and_removes

echo "== a short fuzzing run over the committed seeds"
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRULECRAFT_WERROR=ON \
  -DRULECRAFT_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++
cmake --build build-fuzz -j "$jobs"
fuzz_seconds=${RULECRAFT_FUZZ_SECONDS:-15}
for target in windows1252 rules colour; do
  found=$(mktemp -d)
  ./build-fuzz/fuzz/fuzz_$target "$found" "fuzz/corpus/$target" \
    -max_total_time="$fuzz_seconds" 2>&1 | tail -n 1
  rm -rf "$found"
  passed=$((passed + 1))
done

# Every step above stops the script on a failure, so reaching here means none failed.
echo "rulecraft: $passed passed, 0 failed"
