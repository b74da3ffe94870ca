#!/usr/bin/env bash
# The one-shot modes of the real program on a virtual display, from a program folder whose
# name has a blank: the language page (also reached from the wizard's language link, through a
# second copy), the newsletter sign-up against a local stand-in for the vendor's server, the
# quality-improvement page, the translation report, the update mode, and install followed by
# uninstall inside a private mount namespace whose /opt and menu folder are empty tmpfs mounts.
# A fake "xdg-open" records what would have opened in the browser.
#
#   modes_gui_test.sh BUILD_DIR SCREENSHOT_DIR
#
# Needs root (mount namespace) and Xvfb; exits 77 (skipped) without them.
set -euo pipefail

GUI_LIB=$(cd "$(dirname "$0")" && pwd)/lib.sh
# shellcheck source=lib.sh
. "$GUI_LIB"
if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: needs root for its private mount namespace"
  exit 77
fi
need_tools xvfb-run xdotool import unshare
under_xvfb "$0" "$@"

BUILD=$(cd "$1" && pwd)
mkdir -p "$2"
SHOTS=$(cd "$2" && pwd)
SCRATCH=$(mktemp -d /tmp/nulldrift-modes.XXXXXX)
cleanup() {
  set +e
  [ -n "${APP_PID:-}" ] && kill "$APP_PID" 2>/dev/null
  [ -n "${SERVER_PID:-}" ] && kill "$SERVER_PID" 2>/dev/null
  rm -rf "$SCRATCH"
}
trap cleanup EXIT

use_scratch_home
fake_opener
start_answer_server "$BUILD/answer_server"

# The program folder, with every shipped language and its flag.
PROGRAM="$SCRATCH/my programs"
mkdir -p "$PROGRAM"
cp -r "$BUILD/nulldrift" "$BUILD/Languages" "$BUILD/pictures" "$BUILD/program-back.jpg" \
  "$BUILD/sound.wav" "$PROGRAM/"

# Starts the program with the mode word $1 (may be empty) and waits up to 10 s for a window whose
# title matches $2; its id goes to WID.
start() {
  if [ -n "$1" ]; then
    "$PROGRAM/nulldrift" "$1" >>"$SCRATCH/app.log" 2>&1 &
  else
    "$PROGRAM/nulldrift" >>"$SCRATCH/app.log" 2>&1 &
  fi
  APP_PID=$!
  wait_window "$2"
}
# Answers the message box in front with the key $1 (Return, alt+y, alt+n).
answer_box() {
  local box=""
  for _ in $(seq 1 50); do
    box=$(xdotool search --onlyvisible --name "^Nulldrift$" 2>/dev/null | grep -vx "${WID:-none}" |
      tail -1 || true)
    [ -n "$box" ] && break
    sleep 0.1
  done
  [ -n "$box" ] || fail "no message box appeared"
  sleep 0.4
  xdotool windowfocus --sync "$box" key "$1"
  sleep 0.5
}
stored() { tr -d '\r' <"$STORE" | grep -x "$1" >/dev/null; }

# The language page: three columns of six, German beginning the second.
start lang "^Nulldrift$"
stored "Language=English" || fail "the first start did not store English"
click 215 51                        # German: its flag shows
shot second-language
click 450 401                       # OK stores it and ends
wait_exit
stored "Language=German" || fail "OK did not store German"

# The wizard, now in German; its language link hands over to a second copy with "lang".
start "" "^Nulldrift [0-9.]* German$"
click 60 311
wait_exit
wait_window "^Nulldrift$"
xdotool mousemove --window "$WID" 450 401 click 1
for _ in $(seq 1 50); do
  xdotool search --onlyvisible --name "^Nulldrift$" >/dev/null 2>&1 || break
  sleep 0.1
done
xdotool search --onlyvisible --name "^Nulldrift$" >/dev/null 2>&1 && fail "the copy did not end"

# The newsletter: the request reaches the server, the answer's marker is shown, then the
# quality-improvement page.
start subscribe "^Nulldrift$"
click 345 174
xdotool type --delay 20 "Ada"
click 345 214
xdotool type --delay 20 "Smith & Co"
click 345 254
xdotool type --delay 20 "ada@example.org"
shot second-newsletter
click 325 401                       # Subscribe
answer_box Return                   # the server's [OKAY]
shot second-quality
click 50 208                        # join
click 445 401                       # Save
answer_box Return                   # thanks
wait_exit
grep -qx "ln=Smith & Co" "$REQUESTS" || fail "the last name did not arrive whole: $(cat "$REQUESTS")"
grep -qx "email=ada@example.org" "$REQUESTS" || fail "no address in the request"
stored "CIP=YES" || fail "the answer was not stored"
stored "Subscription Email=ada@example.org" || fail "the address was not stored"

# The translation report goes to the data folder and is handed to the desktop's opener.
"$PROGRAM/nulldrift" vard || fail "vard ended with status $?"
REPORT=$XDG_DATA_HOME/NDRF3/temp.txt
grep -q "^================= GERMAN =================" "$REPORT" || fail "no GERMAN section"
[ "$(grep -c "^================= " "$REPORT")" -ge 17 ] || fail "not every language reported"
grep -v "^================= " "$REPORT" | grep -q "=" && fail "missing texts: $(cat "$REPORT")"
for _ in $(seq 1 20); do grep -qx "$REPORT" "$OPENED" && break; sleep 0.1; done
grep -qx "$REPORT" "$OPENED" || fail "the report was not opened"

# The update mode stores the time of the check and opens the update page.
"$PROGRAM/nulldrift" updates || fail "updates ended with status $?"
stored "Recent Update=.*" || fail "no time of the check"
for _ in $(seq 1 20); do grep -q "&to=updates&" "$OPENED" && break; sleep 0.1; done
grep -q "&to=updates&" "$OPENED" || fail "the update page was not opened"

# Install and uninstall, with /opt and the menu folder of a private mount namespace.
export BUILD SCRATCH OPENED STORE PROGRAM
export -f fail answer_box
unshare -m --propagation private bash -euo pipefail -c '
  mount -t tmpfs none /opt
  mount -t tmpfs none /usr/share/applications
  INSTALLED="/opt/Nulldrift 3"
  cmake --install "$BUILD" --prefix "$INSTALLED" >/dev/null
  sed -i "s/^Language=German/Language=English/" "$STORE"   # English names for the entries
  "$INSTALLED/nulldrift" install || fail "install ended with status $?"
  MENU="/usr/share/applications/Nulldrift 3"
  for entry in "$HOME/Desktop/Nulldrift 3.desktop" "$MENU/Nulldrift 3.desktop" \
      "$MENU/Check for updates.desktop" "$MENU/Nulldrift web site.url" \
      "$MENU/Nulldrift 3 uninstall.desktop"; do
    [ -f "$entry" ] || fail "install did not write $entry"
  done
  grep -q "^Exec=\"/opt/Nulldrift 3/nulldrift\" updates$" "$MENU/Check for updates.desktop" ||
    fail "the update entry: $(cat "$MENU/Check for updates.desktop")"
  grep -q "&to=install&" "$OPENED" || fail "the server was not told of the install"

  "$INSTALLED/nulldrift" uninstall &
  PID=$!
  WID=""
  answer_box alt+y                   # remove the program: yes
  answer_box alt+n                   # keep the settings: no
  answer_box Return                  # removed: OK
  wait "$PID" || fail "uninstall ended with status $?"
  for _ in $(seq 1 100); do [ -e "$INSTALLED" ] || break; sleep 0.1; done
  [ ! -e "$INSTALLED" ] || fail "the install folder is still there"
  [ ! -e "$MENU" ] || fail "the menu folder is still there"
  [ ! -e "$HOME/Desktop/Nulldrift 3.desktop" ] || fail "the desktop entry is still there"
  [ ! -e "$XDG_DATA_HOME/NDRF3" ] || fail "the data folder is still there"
  [ ! -e "$STORE" ] || fail "the settings are still there"
  [ -e "$(dirname "$STORE")/KX.ini" ] || fail "the install stamp went too"
  grep -q "&to=uninstall&" "$OPENED" || fail "the uninstall page was not opened"
'
echo "PASS: language page, language link, newsletter and quality pages, report, updates, install and uninstall"
