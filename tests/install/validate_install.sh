#!/usr/bin/env bash
# Installs into a temporary prefix and checks what a desktop needs from it.
set -euo pipefail
build=$1
app=org.rulecraft.Rulecraft
for tool in desktop-file-validate appstreamcli; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

test -x "$prefix/bin/rulecraft"
for file in share/applications/$app.desktop share/metainfo/$app.metainfo.xml \
            share/icons/hicolor/32x32/apps/$app.png share/icons/hicolor/scalable/apps/$app.svg; do
  test -f "$prefix/$file" || { echo "not installed: $file"; exit 1; }
done
# The entry must name the icon and the program that were installed.
grep -qx "Icon=$app" "$prefix/share/applications/$app.desktop"
grep -qx "Exec=rulecraft" "$prefix/share/applications/$app.desktop"

desktop-file-validate "$prefix/share/applications/$app.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/$app.metainfo.xml"
echo "installed files validate"
