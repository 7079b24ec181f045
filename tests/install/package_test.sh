#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from a copy of the source, lets lintian and hardening-check
# judge it, installs it, starts the program headless, purges it and checks nothing is left.
# It installs system-wide, so it runs only where asked: RULECRAFT_PACKAGE_TEST=1, as root.
set -uo pipefail
source=$1
[ "${RULECRAFT_PACKAGE_TEST:-}" = 1 ] || { echo "skipped: RULECRAFT_PACKAGE_TEST is not 1"; exit 77; }
[ "$(id -u)" = 0 ] || { echo "skipped: installing a package needs root"; exit 77; }
if dpkg-query -W -f='${db:Status-Status}' rulecraft 2>/dev/null | grep -q installed; then
  echo "skipped: a rulecraft package is installed on this machine already"; exit 77
fi

work=$(mktemp -d)
log=$work/log
trap 'DEBIAN_FRONTEND=noninteractive apt-get purge -y -q rulecraft >/dev/null 2>&1; rm -rf "$work"' EXIT
step() { # what, command...
  echo "== $1" >>"$log"
  if ! "${@:2}" >>"$log" 2>&1; then
    cat "$log"; echo "FAILED: $1"; exit 1
  fi
}
no_complaints() { # a report must hold no error and no warning
  "$@" | tee /dev/stderr | { ! grep -E '^(E|W): |: no($|[^a-z])' | grep -v '(ignored)$'; }
}

mkdir "$work/rulecraft"
(cd "$source" && git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$work/rulecraft")
step "build the package" bash -c 'cd "$1" && DEB_BUILD_OPTIONS=nocheck dpkg-buildpackage -us -uc -b >"$1/../build.log" 2>&1' \
  _ "$work/rulecraft"
deb=$(ls "$work"/rulecraft_*.deb)
step "lintian" no_complaints lintian --pedantic --fail-on error,warning "$work"/rulecraft_*.changes
step "unpack" dpkg-deb -x "$deb" "$work/root"
# Two lines cannot say yes for this program on Debian 12, so they are checked another way:
# fortify protects a call only where the compiler knows the size of its target, and the
# program makes no such call (hardening-check then finds only unprotected ones); and
# glibc's start files carry no control-flow note, so the linker drops it from every
# program. The build log shows both flags on every compile instead.
step "hardening-check" no_complaints hardening-check --nofortify --nocfprotection \
  "$work/root/usr/bin/rulecraft"
every_compile() { # flag, build log
  local compiles
  compiles=$(grep -E '/c\+\+ .* -o [^ ]+\.o -c ' "$2") && ! grep -v -e "$1" <<<"$compiles" | grep -q .
}
step "fortified compiles" every_compile -D_FORTIFY_SOURCE=2 "$work/build.log"
step "control-flow protected compiles" every_compile -fcf-protection "$work/build.log"
step "manual page" bash -c '! MANWIDTH=80 man --warnings -l "$1" 2>&1 >/dev/null | grep .' _ \
  "$work/root/usr/share/man/man1/rulecraft.1.gz"
step "install" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$deb"
step "start headless" bash -c 'QT_QPA_PLATFORM=offscreen timeout 3 /usr/bin/rulecraft; [ $? = 124 ]'
files=$(dpkg -L rulecraft | while read -r f; do [ -f "$f" ] && echo "$f"; done)
step "purge" env DEBIAN_FRONTEND=noninteractive apt-get purge -y -q rulecraft
for f in $files; do
  [ ! -e "$f" ] || { cat "$log"; echo "FAILED: $f is left after purging"; exit 1; }
done
echo "the package builds, passes lintian and hardening-check, installs, starts and purges cleanly"
