#!/usr/bin/env bash
# The program as a screen reader sees it: under Xvfb, with a private session
# bus and the accessibility (AT-SPI) bus on it, it starts the real program
# and runs atspi_tree.py, which reads the program's accessibility tree and
# drives it with the keyboard (xdotool), as a person with a screen reader
# would. Exits 77 (skipped) only when the buses cannot start here, and not
# even then with CIPHRA_ATSPI_REQUIRED=1 (CI sets it: there they must start);
# missing tools fail, since scripts/packages.txt installs them.
# Usage: atspi_xvfb.sh <ciphra2k>
set -euo pipefail
program="$1"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
python=/usr/bin/python3 # Debian's, which has pyatspi; not whatever is first on PATH

skip() {
  if [[ "${CIPHRA_ATSPI_REQUIRED:-0}" == 1 ]]; then
    echo "FAIL: $1"
    exit 1
  fi
  echo "SKIP: $1"
  exit 77
}

if [[ -z "${CIPHRA_ATSPI_BUS:-}" ]]; then
  for tool in Xvfb xdotool dbus-run-session dbus-daemon dbus-send "$python"; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed"; exit 1; }
  done
  [[ -x /usr/libexec/at-spi-bus-launcher ]] || { echo "FAIL: at-spi2-core is not installed"; exit 1; }
  "$python" -c 'import pyatspi' || { echo "FAIL: python3-pyatspi is not installed"; exit 1; }
  dbus-run-session -- true 2>/dev/null || skip "no session bus can start here"
  # Again inside a session bus of its own, so that nothing of the caller's
  # desktop (or of another run of this test) is seen or disturbed.
  exec dbus-run-session -- env CIPHRA_ATSPI_BUS=1 bash "${BASH_SOURCE[0]}" "$@"
fi

source "$(dirname "${BASH_SOURCE[0]}")/xvfb_display.sh"

# The accessibility bus keeps its socket under XDG_RUNTIME_DIR: a private one.
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

start_xvfb

# Start the accessibility bus and switch it on, as a screen reader does when
# it starts; the program's bridge follows that switch.
a11y() {
  dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus "$@" >/dev/null 2>"$work/a11y.log"
}
if ! a11y org.a11y.Bus.GetAddress; then
  cat "$work/a11y.log"
  skip "the accessibility bus cannot start"
fi
a11y org.freedesktop.DBus.Properties.Set string:org.a11y.Status string:ScreenReaderEnabled \
  variant:boolean:true

# A folder of known entries, and a private settings store.
folder="$work/files"
mkdir -p "$folder/Photos"
printf 'Notes\n' >"$folder/notes.txt"
printf '#!/bin/sh\necho hi\n' >"$folder/backup"
head -c 64 /dev/zero >"$folder/report.CPH"
export XDG_CONFIG_HOME="$work/config"
export QT_QPA_PLATFORM=xcb
unset QT_LINUX_ACCESSIBILITY_ALWAYS_ON QT_ACCESSIBILITY

"$program" >"$work/app.log" 2>&1 &
app_pid=$!
if ! "$python" "$here/atspi_tree.py" "$app_pid" "$folder"; then
  echo "--- program output"
  cat "$work/app.log"
  exit 1
fi
