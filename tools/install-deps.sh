#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, from Debian's packages only.
#   bash tools/install-deps.sh run     what building and running the program needs
#   bash tools/install-deps.sh test    that, and what every test needs
set -euo pipefail
packages=(cmake make g++ pkg-config qt6-base-dev node-css-tree fonts-liberation2)
# The tests add GoogleTest, clang with its sanitizer and libFuzzer runtimes (the unversioned
# package follows the release's default clang), a browser that prints the preview for the
# test to read, a display with xwininfo to read a window's title, a session bus and pyatspi
# to hear what a screen reader is told, git for the package's file list, and Debian's
# packaging tools (dpkg-buildpackage insists on build-essential) with its judges of a
# package, desktop-file-validate among them.
[ "${1:-run}" = test ] && packages+=(libgtest-dev googletest clang libclang-rt-dev chromium
  poppler-utils xvfb xauth x11-utils dbus-daemon at-spi2-core python3-pyatspi git build-essential
  debhelper lintian devscripts autopkgtest desktop-file-utils)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
