# Helpers the window tests share; sourced, with SHOTS (screenshot folder) set by the caller.
# WID is the window being driven, APP_PID the program started last.

# Exits 77 (skipped) unless every tool named is installed.
need_tools() {
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null; then
      echo "SKIP: $tool is missing (scripts/install-deps installs it)"
      exit 77
    fi
  done
}

# Runs the calling script (its path and arguments given) again on a virtual display of its own,
# unless it already runs on one.
under_xvfb() {
  if [ -z "${ND_UNDER_XVFB:-}" ]; then
    ND_UNDER_XVFB=1 exec xvfb-run -a -s '-screen 0 1024x768x24' "$@"
  fi
}

# A home of its own under SCRATCH, in a locale with no country, where the program sees no volume
# at all; STORE is its settings file.
use_scratch_home() {
  export HOME=$SCRATCH/home
  export XDG_DATA_HOME=$HOME/.local/share XDG_CONFIG_HOME=$HOME/.config
  export NULLDRIFT_MOUNTS=$SCRATCH/no-volumes LC_ALL=C.UTF-8 LANG=C.UTF-8
  STORE=$XDG_CONFIG_HOME/Nulldrift/NDRF.ini
  mkdir -p "$HOME/Desktop" "$(dirname "$STORE")"
}

fail() {
  echo "FAIL: $*"
  exit 1
}

# Waits up to 10 s for a visible window whose title matches $1; its id goes to WID. One
# waiting xdotool, not a loop of them: a burst of short-lived X clients now and then makes the
# display refuse a starting program's connection.
wait_window() {
  WID=$(timeout 10 xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -1 || true)
  [ -n "$WID" ] || fail "no window \"$1\" appeared"
  sleep 0.8
}

click() {
  xdotool mousemove --window "$WID" "$1" "$2" click 1
  sleep 0.7
}

shot() { import -window "$WID" "$SHOTS/$1.png"; }

# Waits up to 10 s for the program to end, which it must do with status 0.
wait_exit() {
  for _ in $(seq 1 100); do kill -0 "$APP_PID" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$APP_PID" 2>/dev/null && fail "the program did not end"
  wait "$APP_PID" || fail "the program ended with status $?"
  APP_PID=""
}

# A stand-in for the desktop's opener on PATH that records what it was given in OPENED.
fake_opener() {
  mkdir -p "$SCRATCH/bin"
  OPENED=$SCRATCH/opened.log
  printf '#!/bin/sh\nprintf "%%s\\n" "$@" >>"%s"\n' "$OPENED" >"$SCRATCH/bin/xdg-open"
  chmod 755 "$SCRATCH/bin/xdg-open"
  export PATH=$SCRATCH/bin:$PATH
}

# Starts the answer server $1 for the vendor's server script (SERVER_PID), answering "[OKAY]";
# NULLDRIFT_SERVER is its address and REQUESTS the log of the requests it got.
start_answer_server() {
  REQUESTS=$SCRATCH/requests.log
  "$1" "[OKAY] subscribed" "$REQUESTS" >"$SCRATCH/server.out" &
  SERVER_PID=$!
  for _ in $(seq 1 50); do [ -s "$SCRATCH/server.out" ] && break; sleep 0.1; done
  NULLDRIFT_SERVER=$(head -1 "$SCRATCH/server.out")
  [ -n "$NULLDRIFT_SERVER" ] || fail "the answer server did not start"
  export NULLDRIFT_SERVER
}
