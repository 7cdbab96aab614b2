#!/usr/bin/env bash
# The Windows stub under Wine on a virtual X server. First its text test
# (windows/win32_text_test.cpp). Then end to end: ciphra2k-cli
# writes a program for Windows from a file, the program runs, and its
# window is driven with xdotool. An empty password, a wrong one, the right
# (UTF-8) one, a second run onto the existing output and a program cut short
# each give their box and leave the files they should. One program run and
# one Wine prefix serve every case: Wine's start is the slow part.
# Usage: wine_window_test.sh CIPHRA2K-CLI WIN32_TEXT_TEST.exe [SCREENSHOT.png]
set -euo pipefail
cli=$1
text_test=$2
screenshot=${3:-}

wine=$(command -v wine64 || true)
[[ -n $wine ]] || wine=/usr/lib/wine/wine64
wineserver=$(command -v wineserver || true)
[[ -n $wineserver ]] || wineserver=/usr/lib/wine/wineserver
for tool in Xvfb xdotool "$wine" "$wineserver"; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed"
    exit 77
  fi
done

source "$(dirname "${BASH_SOURCE[0]}")/../gui/xvfb_display.sh"
source "$(dirname "${BASH_SOURCE[0]}")/window_tools.sh"
mkdir "$work/home"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all
# No installer of Wine's .NET or HTML engines asks to be run, and no menu
# entries are written for the user; Wine's links to the user's folders go
# into the scratch folder too.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export HOME="$work/home"
# Wine reads keys outside Latin-1 (the euro sign of the password) only
# under a UTF-8 locale.
export LC_ALL=C.UTF-8
# Wine's server goes before the X server it draws on.
trap '"$wineserver" -k 2>/dev/null || true; end_xvfb_session' EXIT

# Press "Decrypt" and expect the box titled $1; its id in $box.
decrypt_expecting() {
  click_at "$main" 253 19
  box=$(window_named "$1") || fail "$2: no \"$1\" box"
}

close_box() {
  press_ok "$box"
  no_window_named "$1" || fail "the \"$1\" box did not close"
}

# Types into the edit what $1 holds, after emptying it, a key each $2 ms.
type_password() {
  click_at "$main" 100 18
  xdotool key --delay 20 End 2>/dev/null
  xdotool key --delay 20 --repeat 40 BackSpace 2>/dev/null
  xdotool type --delay "$2" "$1" 2>/dev/null
}

# The folder's names, one a line, sorted.
names() {
  (cd "$work/send" && ls -A | sort)
}

start_xvfb

# The prefix is made while the rest is made ready: it takes longest. Its
# desktop process needs the display.
"$wine" wineboot --init >"$work/wineboot.log" 2>&1 &
boot_pid=$!

# The password's characters outside the US layout (ä, ö, €) get keys of
# their own before Wine reads the keyboard: xdotool would otherwise remap a
# spare key for each while typing, which Wine on a busy machine reads too late.
cat >"$work/keymap.xkb" <<'XKB'
xkb_keymap {
  xkb_keycodes { include "evdev+aliases(qwerty)" };
  xkb_types { include "complete" };
  xkb_compat { include "complete" };
  xkb_symbols {
    include "pc+us+inet(evdev)"
    key <TLDE> { [ adiaeresis, odiaeresis ] };
    key <BKSL> { [ EuroSign, bar ] };
  };
  xkb_geometry { include "pc(pc105)" };
};
XKB
xkbcomp -w 0 "$work/keymap.xkb" "$DISPLAY" 2>/dev/null || fail "xkbcomp could not load the keyboard map"


password='pässwörd€1'
mkdir "$work/send"
printf '%s\n' "$password" >"$work/pw"
head -c 70001 /dev/urandom >"$work/send/photo.jpg"
"$cli" sfx --target windows --password-file "$work/pw" "$work/send/photo.jpg" >/dev/null
head -c 2 "$work/send/photo.exe" | grep -q MZ || fail "photo.exe is not a Windows program"
wait "$boot_pid" || fail "wineboot: $(cat "$work/wineboot.log")"
echo "Wine prefix made in $SECONDS s"
"$wine" "$text_test" >"$work/text_test.out" 2>&1 || fail "the text test: $(cat "$work/text_test.out")"

"$wine" "$work/send/photo.exe" >"$work/stub.out" 2>&1 &
app_pid=$!
main=$(window_named "Ciphra Self-Decrypting") || fail "no main window: $(cat "$work/stub.out")"
before=$(names)

# Edit at (60, 8, 149, 21), "Decrypt" at (216, 8, 75, 22).
decrypt_expecting "Password check" "an empty password"
close_box "Password check"
[[ $(names) == "$before" ]] || fail "an empty password wrote: $(names)"

type_password 'wrong' 100
# Enter in the edit does nothing: only the button decrypts.
xdotool key Return 2>/dev/null
sleep 0.5
[[ $(names) == "$before" ]] || fail "Enter in the edit wrote: $(names)"
no_window_named "Ciphra SFD" || fail "Enter in the edit showed a box"
decrypt_expecting "Ciphra SFD" "a wrong password"
close_box "Ciphra SFD"
[[ $(stat -c %s "$work/send/photo.dec") == 70001 ]] || fail "a wrong password: not the file's length"
! cmp -s "$work/send/photo.jpg" "$work/send/photo.dec" || fail "a wrong password restored the file"
rm "$work/send/photo.dec"

# Even with the keys bound, Wine on a loaded machine now and then drops a
# typed key: the file is compared after each of up to three tries. A stub
# that keyed by anything but the password's UTF-8 bytes fails every one.
for try in 1 2 3; do
  type_password "$password" 400
  [[ -z $screenshot ]] || import -window "$main" "$work/main.png"
  decrypt_expecting "Ciphra SFD" "the right password"
  if [[ -n $screenshot ]]; then
    # The window with the typed password above the box it shows afterwards.
    import -window "$box" "$work/box.png"
    convert "$work/main.png" "$work/box.png" -bordercolor '#4a6a8a' -border 12 \
      -background '#4a6a8a' -gravity center -append "$screenshot"
  fi
  close_box "Ciphra SFD"
  cmp -s "$work/send/photo.jpg" "$work/send/photo.dec" && break
  [[ $try == 3 ]] && fail "the restored file differs"
  echo "try $try: the restored file differs; typing the password again" >&2
  rm "$work/send/photo.dec"
done
# Nothing else: the working file took the name.
[[ $(names) == "$(printf '%s\n' "$before" photo.dec | sort)" ]] || fail "files left: $(names)"

# Again: the output exists and stays; the data goes under the next name.
cp "$work/send/photo.dec" "$work/restored"
decrypt_expecting "Ciphra SFD" "an existing output"
close_box "Ciphra SFD"
cmp -s "$work/restored" "$work/send/photo.dec" || fail "the existing output was changed"
cmp -s "$work/send/photo.jpg" "$work/send/photo (2).dec" || fail "photo (2).dec differs"
rm "$work/send/photo (2).dec"

# The program's file cut short within its stub while it runs: its payload
# cannot be found, and the working file goes.
truncate -s 5000 "$work/send/photo.exe"
decrypt_expecting "CRC check" "a truncated program"
close_box "CRC check"
[[ $(names) == "$(printf '%s\n' "$before" photo.dec | sort)" ]] || fail "files left: $(names)"

# Alt+F4 closes the window and ends the program.
xdotool key --window "$main" alt+F4 2>/dev/null || true
for _ in $(seq 50); do
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$app_pid" 2>/dev/null && fail "closing the window did not end the program"
wait "$app_pid" || fail "the program ended with status $?"
app_pid=""
echo "PASS in $SECONDS s"
