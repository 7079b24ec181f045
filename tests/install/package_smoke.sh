#!/usr/bin/env bash
# Builds the .deb, installs it with apt-get, starts the program headless, removes it.
set -euo pipefail
build=$1
if [ "$(id -u)" != 0 ]; then echo "skipped: installing a package needs root"; exit 77; fi
for tool in dpkg apt-get dpkg-shlibdeps file cpack; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
if dpkg-query -W -f='${db:Status-Status}' rulecraft 2>/dev/null | grep -q installed; then
  echo "skipped: a rulecraft package is installed on this machine already"; exit 77
fi

out=$(mktemp -d)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  DEBIAN_FRONTEND=noninteractive apt-get purge -y -q rulecraft >/dev/null 2>&1 || true
  rm -rf "$out"
}
trap cleanup EXIT

(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
deb=$(ls "$out"/rulecraft_*.deb)
echo "built $(basename "$deb")"
test "$(dpkg-deb -f "$deb" Package)" = rulecraft
dpkg-deb -f "$deb" Maintainer | grep -q .
dpkg-deb -f "$deb" Description | grep -q "CSS"
# Computed from the binary: the Qt libraries it links must be there.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libqt6widgets6 libqt6gui6 libqt6core6 libstdc++6; do
  grep -q "$library" <<<"$depends" || { echo "missing dependency $library"; exit 1; }
done

DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$deb" >/dev/null
test -x /usr/bin/rulecraft
test -f /usr/share/applications/org.rulecraft.Rulecraft.desktop

QT_QPA_PLATFORM=offscreen /usr/bin/rulecraft &
pid=$!
sleep 3
kill -0 "$pid" || { echo "rulecraft did not stay up"; exit 1; }
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=

DEBIAN_FRONTEND=noninteractive apt-get purge -y -q rulecraft >/dev/null
test ! -e /usr/bin/rulecraft
test ! -e /usr/share/applications/org.rulecraft.Rulecraft.desktop
! dpkg-query -W -f='${db:Status-Status}' rulecraft 2>/dev/null | grep -q installed
echo "package installs, starts and removes cleanly"
