# Sourced by the tests that run a program on a private Xvfb display. Makes a
# scratch folder ($work), and at exit ends the program under test ($app_pid,
# when set), the server and removes the folder. start_xvfb starts the server
# on a free display (it writes the number to a pipe) and exports DISPLAY.
work="$(mktemp -d)"
xvfb_pid=""
app_pid=""
end_xvfb_session() {
  [[ -n "$app_pid" ]] && kill "$app_pid" 2>/dev/null || true
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap end_xvfb_session EXIT

# Usage: start_xvfb [WIDTHxHEIGHTxDEPTH]   (default 1024x768x24)
start_xvfb() {
  local fd display
  exec {fd}<> <(:)
  Xvfb -displayfd "$fd" -screen 0 "${1:-1024x768x24}" -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  read -r -t 10 -u "$fd" display || { echo "Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
  export DISPLAY=":$display"
  # The program under test starts only once the server answers a client:
  # under load a program once found no server on the display just reported.
  command -v xdotool >/dev/null || return 0
  local _
  for _ in $(seq 1 100); do
    xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.05
  done
  echo "Xvfb on $DISPLAY does not answer"
  cat "$work/xvfb.log"
  exit 1
}
