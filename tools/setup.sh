#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, then runs Rulecraft or its tests.
#   bash tools/setup.sh run    build and start the program
#   bash tools/setup.sh test   build with warnings as errors and run every test headless
set -euo pipefail
mode=${1:-}
case "$mode" in
  run|test) ;;
  *) echo "usage: bash tools/setup.sh run|test" >&2; exit 2 ;;
esac
cd "$(dirname "$0")/.."
bash tools/install-deps.sh "$mode"
jobs=$(nproc 2>/dev/null || echo 2)

if [ "$mode" = run ]; then
  cmake --preset release
  cmake --build --preset release -j "$jobs"
  exec ./build/windows/rulecraft
fi

export QT_QPA_PLATFORM=offscreen
passed=0
suite() { # preset
  local log
  log=$(mktemp)
  cmake --preset "$1"
  cmake --build --preset "$1" -j "$jobs"
  ctest --preset "$1" | tee "$log"
  passed=$((passed + $(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$log")))
  rm -f "$log"
}

echo "== the test suite"
suite dev
echo "== the same tests under AddressSanitizer and UndefinedBehaviorSanitizer"
suite sanitize

echo "== a short fuzzing run of the text path over the committed seeds"
cmake --preset fuzz
cmake --build --preset fuzz -j "$jobs"
found=$(mktemp -d)
# Short inputs; the target itself repeats the few that ask for it past every piece size.
./build-fuzz/fuzz/fuzz_text "$found" fuzz/corpus/text -max_len=64 \
  -max_total_time="${RULECRAFT_FUZZ_SECONDS:-30}" 2>&1 | tail -n 1
rm -rf "$found"
passed=$((passed + 1))

# The package installs system-wide, so it is judged only where asked, as CI does.
if [ "${RULECRAFT_PACKAGE_TEST:-}" = 1 ]; then
  echo "== the Debian package, judged by Debian's own tools"
  bash tools/check-package.sh
  passed=$((passed + 1))
fi

# Every step above stops the script on a failure, so reaching here means none failed.
echo "rulecraft: $passed passed, 0 failed"
