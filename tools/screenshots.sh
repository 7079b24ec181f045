#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes screenshots of the five windows, as a person sees them, into docs/.
#   bash tools/screenshots.sh [scale]     (scale 2 checks a high-dpi screen)
# Needs: xvfb, openbox, xdotool, imagemagick (Debian packages) and a built ./build.
set -euo pipefail
cd "$(dirname "$0")/.."
scale=${1:-1}
suffix=$([ "$scale" = 1 ] && echo "" || echo "-${scale}x")
display=:97
program=./build/windows/rulecraft
[ -x "$program" ] || { echo "build the program first: cmake -S . -B build && cmake --build build" >&2; exit 1; }

Xvfb $display -screen 0 $((1280 * scale))x$((1024 * scale))x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb $wm $app 2>/dev/null || true' EXIT
sleep 1
export DISPLAY=$display
openbox >/dev/null 2>&1 &
wm=$!
sleep 1
QT_SCALE_FACTOR=$scale $program >/dev/null 2>&1 &
app=$!
sleep 2

# The window whose title is exactly this text.
window_id() {
  local pattern
  pattern=$(printf '%s' "$1" | sed 's/[][\.*^$(){}+?|]/\\&/g')
  xdotool search --name "^$pattern\$" | tail -1
}
# Clicks at a place given in twips from the top-left of a window's client area.
click() { # window-name left top
  local id x y
  id=$(window_id "$1")
  X=$(xwininfo -id "$id" | awk '/Absolute upper-left X/ {print $4}')
  Y=$(xwininfo -id "$id" | awk '/Absolute upper-left Y/ {print $4}')
  x=$((X + $2 * scale / 15 + 6 * scale)); y=$((Y + $3 * scale / 15 + 6 * scale))
  xdotool mousemove "$x" "$y" click 1
  sleep 0.4
}
type_text() { xdotool type --delay 15 -- "$1"; sleep 0.2; }
shot() { # window-name file
  import -frame -window "$(window_id "$1")" "docs/$2$suffix.png"
}
main="Rulecraft V1"
# One rule: tag button, then Font row entries and a colour.
rule() { # button-top sub-property value colour editor-title
  click "$main" 240 "$1"
  type_text "$2"; xdotool key Tab; type_text "$3"; xdotool key Tab space
  click "$5" 1440 2880; type_text "$4"; click "$5" 4440 2880
  click "$5" 240 3240
}
rule 600 "-family" "Liberation Sans, sans-serif" "#000000" "body { PROPERTY : VALUE }"
rule 1200 "-weight" "bold" "#0000FF" "a { PROPERTY : VALUE }"
rule 1920 "-style" "italic" "#FF0000" "ahover { PROPERTY : VALUE }"
rule 3000 "-size" "12px" "#333333" "td { PROPERTY : VALUE }"
shot "$main" main-window

click "$main" 240 1680
type_text "-variant"; xdotool key Tab; type_text "small-caps"; xdotool key Tab space
click "avisited { PROPERTY : VALUE }" 1440 2880; type_text "#800080"
shot "avisited { PROPERTY : VALUE }" rule-editor

click "$main" 240 4200
shot "H#" heading-size
click "$main" 240 4800
type_text "p.note"
shot "Custom Tag" custom-tag
click "$main" 7680 960
sleep 0.5
shot "Rulecraft About" about

echo "screenshots in docs/"
