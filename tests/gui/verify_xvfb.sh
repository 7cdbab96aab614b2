#!/usr/bin/env bash
# The hash window's verification in the real program under Xvfb: opens the
# hash window on a file (ciphra2k --hash), types the path of a sha256sum list
# into the Expected box, presses Alt+V, and checks that the green MATCH
# verdict is on screen. The screenshot is the one docs/verification.png shows.
# Usage: verify_xvfb.sh <ciphra2k> <screenshot.png>
set -euo pipefail
program="$1"
shot="$2"
for tool in Xvfb xdotool import convert sha256sum; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

source "$(dirname "${BASH_SOURCE[0]}")/xvfb_display.sh"

mkdir "$work/Downloads"
file="$work/Downloads/debian-12.5.0-amd64-netinst.iso"
head -c 100000 /dev/zero >"$file"
(cd "$work/Downloads" && head -c 64 /dev/zero | tr '\0' '1' && printf '  other.iso\n' &&
  sha256sum "$(basename "$file")") >"$work/Downloads/SHA256SUMS"

start_xvfb
export XDG_CONFIG_HOME="$work/config"
export QT_QPA_PLATFORM=xcb
# Started in the work folder, so that the list's path can be typed short.
(cd "$work" && exec "$program" --hash "$file") >"$work/app.log" 2>&1 &
app_pid=$!

window=""
for _ in $(seq 1 200); do
  window="$(xdotool search --onlyvisible --name '^Hash File$' 2>/dev/null | head -n1 || true)"
  [[ -n "$window" ]] && break
  kill -0 "$app_pid" 2>/dev/null || { echo "the program ended early"; cat "$work/app.log"; xvfb_state; exit 1; }
  sleep 0.05
done
[[ -n "$window" ]] || { echo "no hash window within 10 s"; cat "$work/app.log"; exit 1; }

# There is no window manager to give the window the focus.
xdotool windowfocus --sync "$window"
sleep 0.3
xdotool key --window "$window" alt+x
sleep 0.2
xdotool type --window "$window" --delay 5 "Downloads/SHA256SUMS"
xdotool key --window "$window" alt+v
# The MATCH verdict's green ground covers a good part of the window. On a
# busy machine hashing and painting take a while: look again for up to 10 s.
green=0
for _ in $(seq 1 40); do
  sleep 0.25
  import -window "$window" "$shot"
  [[ -s "$shot" ]] || { echo "no screenshot"; exit 1; }
  green=$(convert "$shot" -fill black +opaque '#1e7b34' -fill white -opaque '#1e7b34' \
    -format '%[fx:int(mean*w*h)]' info:)
  ((green > 5000)) && break
done
echo "verdict ground: $green pixels; screenshot: $shot"
if ((green <= 5000)); then
  cp "$shot" "$shot.failed.png"
  echo "no MATCH verdict on screen: see $shot.failed.png"
  cat "$work/app.log"
  exit 1
fi
