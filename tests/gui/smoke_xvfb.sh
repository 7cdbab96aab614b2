#!/usr/bin/env bash
# Smoke test under a real X server: starts Xvfb on a free display, starts the
# program, waits for its main window, and takes a screenshot of the screen.
# Usage: smoke_xvfb.sh <ciphra2k> <screenshot.png>
set -euo pipefail
program="$1"
shot="$2"
for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

source "$(dirname "${BASH_SOURCE[0]}")/xvfb_display.sh"

start_xvfb

# A private settings store, so that the window opens at its designed place.
export XDG_CONFIG_HOME="$work/config"
export QT_QPA_PLATFORM=xcb
start=$(date +%s%N)
"$program" >"$work/app.log" 2>&1 &
app_pid=$!

window=""
for _ in $(seq 1 200); do
  window="$(xdotool search --onlyvisible --name 'Ciphra 2K V2.0 Beta1' 2>/dev/null | head -n1 || true)"
  [[ -n "$window" ]] && break
  kill -0 "$app_pid" 2>/dev/null || { echo "the program ended early"; cat "$work/app.log"; xvfb_state; exit 1; }
  sleep 0.05
done
[[ -n "$window" ]] || { echo "no main window within 10 s"; cat "$work/app.log"; exit 1; }
shown=$(date +%s%N)
echo "main window mapped $(( (shown - start) / 1000000 )) ms after the start"

sleep 1 # let the first paint land before the screenshot
import -window "$window" "$shot"
[[ -s "$shot" ]] || { echo "no screenshot"; exit 1; }
echo "screenshot: $shot"
