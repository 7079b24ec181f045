#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the benchmarks and writes bench/RESULTS.md: every figure a ratio of medians
# against a baseline measured in the same run.   bash bench/run.sh
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DRULECRAFT_BENCH=ON >/dev/null
cmake --build build-bench -j "$(nproc)" >/dev/null

xvfb=
if command -v Xvfb >/dev/null; then
  display=:$((90 + RANDOM % 9))
  Xvfb $display -screen 0 1280x1024x24 >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill $xvfb 2>/dev/null || true' EXIT
  sleep 1
  export DISPLAY=$display QT_QPA_PLATFORM=xcb
  platform="Xvfb through Qt's xcb platform"
else
  export QT_QPA_PLATFORM=offscreen
  platform="Qt's offscreen platform (no Xvfb here)"
fi

results=bench/RESULTS.md
{
  echo "# Benchmark results"
  echo
  echo "Made by \`bash bench/run.sh\` on $(date -u +%Y-%m-%d), Release build, $platform."
  echo "Machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores,"
  echo "$(free -g | awk '/Mem:/ {print $2}') GiB memory, $(. /etc/os-release; echo "$PRETTY_NAME"), Qt $(dpkg-query -W -f='${Version}' libqt6core6 2>/dev/null)."
  echo "Each pair is run alternately 15 times; the table shows the medians."
  echo
  # Run where its Save writes its files, beside the build.
  (cd build-bench && ./bench/rulecraft_bench 2>/dev/null)
  cat bench/analysis.md
} | tee "$results.new"
mv "$results.new" "$results"
