#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from a copy of the source and lets Debian's own tools judge it:
# lintian, hardening-check, desktop-file-validate, and autopkgtest with the null runner, which installs it on this
# machine; then purges it and checks that nothing of it is left. Run as root.
set -euo pipefail
cd "$(dirname "$0")/.."
if dpkg-query -W -f='${db:Status-Status}' rulecraft 2>/dev/null | grep -q installed; then
  echo "a rulecraft package is installed on this machine already" >&2; exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/rulecraft"
git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$work/rulecraft"

echo "== build the package, running its own tests"
(cd "$work/rulecraft" && DEB_BUILD_OPTIONS="parallel=$(nproc)" dpkg-buildpackage -us -uc -b) \
  >"$work/build.log" 2>&1 || { tail -n 40 "$work/build.log"; exit 1; }
grep -E '^[0-9]+% tests passed' "$work/build.log"
deb=$(echo "$work"/rulecraft_*.deb)

echo "== lintian --pedantic"
lintian --pedantic --fail-on error,warning,info,pedantic "$work"/rulecraft_*.changes

echo "== hardening-check"
dpkg-deb -x "$deb" "$work/root"
report=$(hardening-check "$work/root/usr/bin/rulecraft" || true)
echo "$report"
# Only what the release's toolchain cannot give this program may be reported missing:
# - control flow integrity: glibc's start files (Scrt1.o, crti.o, crtn.o) carry no IBT and
#   SHSTK note on Debian 12 (glibc 2.36) nor on 13 (2.41), and the linker keeps the note
#   only when every object has it (-Wl,-z,cet-report=warning names those three files);
# - fortify: a checked call replaces only one the compiler can size but not prove in bounds;
#   where all of a build's calls are proven or of sizes it cannot see, none is found;
# - stack clash: recognised only by the probe loop of a stack allocation of variable size,
#   which the program has none of;
# - branch protection, which Debian 13's hardening-check asks for everywhere, is arm64's.
# For fortify and stack clash the build log shows the flag on every compile instead.
# shellcheck source=/dev/null
debian=$(. /etc/os-release && echo "${VERSION_ID:-}")
case "$debian" in
  12) accepted=(cfi fortify clash) ;;
  13) accepted=(cfi fortify clash branch) ;;
  *) accepted=() ;;
esac
# "yes" may be followed by what was found, as in "yes (some protected functions found)".
missing=$(tail -n +2 <<<"$report" | grep -vE ': yes( \(.*\))?$' || true)
declare -A line=(
  [cfi]='Control flow integrity: no, not found!'
  [fortify]='Fortify Source functions: no, only unprotected functions found!'
  [clash]='Stack clash protection: unknown, no -fstack-clash-protection instructions found'
  [branch]='Branch Protection: no, not found!')
for name in "${accepted[@]}"; do
  missing=$(grep -v -x -F -e " ${line[$name]}" <<<"$missing" || true)
done
if [ -n "$missing" ]; then
  echo "hardening-check found a protection missing on Debian ${debian:-?}:" >&2
  echo "$missing" >&2; exit 1
fi
compiles=$(grep -E '/c\+\+ .* -o [^ ]+\.o -c ' "$work/build.log")
for flag in -fstack-clash-protection -D_FORTIFY_SOURCE=; do
  if [ -z "$compiles" ] || grep -v -F -e "$flag" <<<"$compiles" | grep -q .; then
    echo "a compile went without $flag" >&2; exit 1
  fi
done

echo "== desktop-file-validate"
desktop-file-validate "$work"/root/usr/share/applications/*.desktop

echo "== autopkgtest"
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }')
status=0
autopkgtest "$deb" "$work/rulecraft" -- null || status=$?

echo "== purge"
DEBIAN_FRONTEND=noninteractive apt-get purge -y -q rulecraft >/dev/null
[ "$status" = 0 ] || { echo "autopkgtest failed ($status)" >&2; exit 1; }
for f in $files; do
  [ ! -e "$f" ] || { echo "$f is left after purging" >&2; exit 1; }
done
echo "the package builds, passes lintian, hardening-check, desktop-file-validate and autopkgtest, and purges cleanly"
