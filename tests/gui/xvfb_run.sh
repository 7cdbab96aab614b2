#!/usr/bin/env bash
# Runs a program on a private Xvfb display with Qt's X11 platform, and ends
# the server afterwards. Exits 77 (skipped) when a tool it needs is missing.
# Usage: xvfb_run.sh TOOL... -- PROGRAM [ARGUMENT...]
set -euo pipefail
while [[ $# -gt 0 && "$1" != "--" ]]; do
  command -v "$1" >/dev/null || { echo "SKIP: $1 is not installed"; exit 77; }
  shift
done
shift
command -v Xvfb >/dev/null || { echo "SKIP: Xvfb is not installed"; exit 77; }

log="$(mktemp)"
xvfb_pid=""
cleanup() {
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -f "$log"
}
trap cleanup EXIT

# Xvfb picks a free display number and writes it to the pipe.
exec {fd}<> <(:)
Xvfb -displayfd "$fd" -screen 0 800x600x24 -nolisten tcp >"$log" 2>&1 &
xvfb_pid=$!
read -r -t 10 -u "$fd" display || { echo "Xvfb did not start"; cat "$log"; exit 1; }
DISPLAY=":$display" QT_QPA_PLATFORM=xcb "$@"
