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

source "$(dirname "${BASH_SOURCE[0]}")/xvfb_display.sh"
start_xvfb 800x600x24
QT_QPA_PLATFORM=xcb "$@"
