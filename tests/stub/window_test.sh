#!/usr/bin/env bash
# The stub's window end to end under a virtual X server: an empty password
# gets its box, Enter in the edit does nothing, the right (UTF-8) password
# typed and "Decrypt" clicked restores the file and shows "File decrypted!",
# and closing the window ends the program.
# Usage: window_test.sh SFDSTUB CIPHRA2K-CLI [SCREENSHOT.png]
set -euo pipefail
stub=$1
cli=$2
screenshot=${3:-}

for tool in Xvfb xdotool; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed"
    exit 77
  fi
done

source "$(dirname "${BASH_SOURCE[0]}")/../gui/xvfb_display.sh"
source "$(dirname "${BASH_SOURCE[0]}")/window_tools.sh"
start_xvfb

password='pässwörd€1'
printf '%s' "$password" >"$work/pw"
head -c 30000 /dev/urandom >"$work/photo.jpg"
"$cli" sfx --password-file "$work/pw" --stub "$stub" "$work/photo.jpg" >/dev/null

"$work/photo.exe" </dev/null >"$work/stub.out" 2>&1 &
app_pid=$!
main=$(window_named "Ciphra Self-Decrypting") || fail "no main window: $(cat "$work/stub.out")"

# Edit at (60, 8, 149, 21), "Decrypt" at (216, 8, 75, 22).
click_at "$main" 253 19
box=$(window_named "Password check") || fail "an empty password gave no box"
press_ok "$box"
no_window_named "Password check" || fail "the box did not close"

click_at "$main" 100 18
# Characters outside the keyboard map (ä, ö, €) are typed by remapping a spare
# key for each; on a busy machine a short delay lets the server and the stub
# read a key under its next mapping.
xdotool type --delay 120 "$password"
xdotool key Return
sleep 0.5
[[ ! -e $work/photo.dec ]] || fail "Enter in the edit decrypted"
no_window_named "Ciphra SFD" || fail "Enter in the edit showed a box"

[[ -z $screenshot ]] || import -window "$main" "$work/main.png"

click_at "$main" 253 19
box=$(window_named "Ciphra SFD") || fail "no box after Decrypt"
if [[ -n $screenshot ]]; then
  # The window with the typed password above the box it shows afterwards.
  import -window "$box" "$work/box.png"
  convert "$work/main.png" "$work/box.png" -bordercolor '#4a6a8a' -border 12 \
    -background '#4a6a8a' -gravity center -append "$screenshot"
fi
cmp -s "$work/photo.jpg" "$work/photo.dec" || fail "the restored file differs"
press_ok "$box"
no_window_named "Ciphra SFD" || fail "the box did not close"

xdotool windowclose "$main"
for _ in $(seq 50); do
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$app_pid" 2>/dev/null && fail "closing the window did not end the program"
wait "$app_pid" || fail "the program ended with status $?"
app_pid=""
echo "PASS"
