# Sourced by the stub window tests: finding, clicking and closing windows
# on the test's X display with xdotool.

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Wait up to 20 s for a shown window of exactly this name and print its id.
window_named() {
  local id
  for _ in $(seq 200); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1 || true)
    if [[ -n $id ]]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# Wait up to 5 s for no shown window of this name to be left.
no_window_named() {
  for _ in $(seq 50); do
    xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  return 1
}

# Click inside a window at a point relative to its top-left corner.
click_at() {
  xdotool mousemove --window "$1" "$2" "$3" click 1
  sleep 0.2
}

# Press "OK" in a message box: the button sits centred near its bottom.
press_ok() {
  local WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$1" | grep -E '^(WIDTH|HEIGHT)=')"
  click_at "$1" $((WIDTH / 2)) $((HEIGHT - 21))
}
