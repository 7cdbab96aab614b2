# Sourced by the tests that run a program on a private Xvfb display. Makes a
# scratch folder ($work), and at exit ends the program under test ($app_pid,
# when set), the server and removes the folder. start_xvfb starts the server
# on a free display and exports DISPLAY; xvfb_state says how it is doing.
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
# The program under test starts only once the server answers a client. An X
# server resets itself when its last client leaves, and a program connecting
# during that reset is turned away ("could not connect to display"); hence
# -noreset, or the client that checked the server could make the program fail.
start_xvfb() {
  local fd display
  exec {fd}<> <(:)
  Xvfb -displayfd "$fd" -screen 0 "${1:-1024x768x24}" -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  read -r -t 10 -u "$fd" display || { echo "Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
  export DISPLAY=":$display"
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

# One line on the server, for a test's failure message.
xvfb_state() {
  if kill -0 "$xvfb_pid" 2>/dev/null; then
    echo "Xvfb on $DISPLAY is running; its log: $(tr '\n' ' ' <"$work/xvfb.log")"
  else
    echo "Xvfb on $DISPLAY has ended; its log: $(tr '\n' ' ' <"$work/xvfb.log")"
  fi
}
