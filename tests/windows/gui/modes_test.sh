#!/usr/bin/env bash
# nulldrift.exe's one-shot modes under Wine on a virtual display: the second window's language
# page (also reached from the wizard's language link, through a second copy), the newsletter
# sign-up against a stand-in for the vendor's server on this machine, the quality-improvement
# page, the translation report and the update mode; each page of the second window shot in
# English, Russian, Japanese and Arabic, with no caption needing more room than its control has.
# A fake "xdg-open" records what Wine's browser hand-off would have opened.
#
#   modes_test.sh BUILD_WINDOWS_DIR SCREENSHOT_DIR [HOST_BUILD_DIR]
#
# HOST_BUILD_DIR is the Linux build with answer_server (build/ by default). Needs root (the
# Wine prefix's drive letters are shared with the other tests only one at a time), Xvfb and
# Wine; exits 77 (skipped) without them.
set -euo pipefail

BUILD=$(cd "$1" && pwd)
mkdir -p "$2"
SHOTS=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
HOST_BUILD=$(cd "${3:-$here/../../../build}" 2>/dev/null && pwd || echo "${3:-build}")
# shellcheck source=lib.sh
. "$here/lib.sh"
if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: runs as root, like the other tests that own the Wine prefix's drives"
  exit 77
fi
[ -f "$BUILD/nulldrift.exe" ] || { echo "SKIP: $BUILD/nulldrift.exe is not built"; exit 77; }
[ -x "$HOST_BUILD/answer_server" ] || { echo "SKIP: no $HOST_BUILD/answer_server (make build)"; exit 77; }
need_tools xvfb-run xdotool import
under_xvfb "$0" "$@"

SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/nulldrift-winmodes.XXXXXX")
prepare_wine
cleanup() {
  local status=$?
  set +e
  [ -n "${APP_PID:-}" ] && kill "$APP_PID" 2>/dev/null
  [ -n "${SERVER_PID:-}" ] && kill "$SERVER_PID" 2>/dev/null
  stop_wine
  [ "$status" -ne 0 ] && [ -s "$SCRATCH/app.log" ] && tail -5 "$SCRATCH/app.log"
  rm -rf "$SCRATCH" "$PROGRAM"
}
trap cleanup EXIT INT TERM
exec 8>"$(dirname "$PREFIX")/.drives-lock"
flock 8

# Wine hands web addresses to the first browser it finds on this machine's PATH.
fake_opener
start_answer_server "$HOST_BUILD/answer_server"
export NULLDRIFT_FIT_LOG="$PROGRAM_DIR\\fit.log"
FIT_LOG=$PROGRAM/fit.log
# No drive but C: is there, and the program may list none.
export NULLDRIFT_MOUNTS='Q:\'
start_desktop

stored() { [ "$(setting Settings "$1")" = "$2" ] || fail "$1 is \"$(setting Settings "$1")\", not \"$2\""; }
lower() { echo "$1" | tr '[:upper:]' '[:lower:]'; }
second_window() { wait_window "Nulldrift"; }
# Answers the message box in front with its button $1.
answer_box() {
  probe wait "#32770/Nulldrift" 10 >/dev/null || fail "no message box appeared"
  press "#32770/Nulldrift" "$1"
}
OK_BUTTON="450 401"       # language page
SUBSCRIBE="295 401"       # newsletter page
DECLINE="435 401"
SAVE="435 401"            # quality page

# The language page: three columns of six, German beginning the second; OK stores it and ends.
start_app lang
second_window
stored Language English
shot windows-english-second-language
click 215 51
click_only $OK_BUTTON
wait_exit
stored Language German

# The wizard, now in German; its language link hands over to a second copy with "lang".
start_app
wait_window "Nulldrift *"
[[ "$TITLE" == *" German" ]] || fail "the wizard is not in German: \"$TITLE\""
click_only 60 311
wait_exit
second_window
click_only $OK_BUTTON
probe gone "Nulldrift" 10 || fail "the second copy did not end"

# The newsletter: the request reaches the server, the answer's marker is shown, then the
# quality-improvement page, whose answer is stored.
set_setting Settings Language English
start_app subscribe
second_window
click 345 174
probe type "$WINDOW" "Ada"
click 345 214
probe type "$WINDOW" "Smith & Co"
click 345 254
probe type "$WINDOW" "ada@example.org"
shot windows-english-second-newsletter
click_only $SUBSCRIBE
answer_box OK # the server's [OKAY]
second_window
shot windows-english-second-quality
click 50 208 # join
click_only $SAVE
answer_box OK # thanks
wait_exit
grep -qx "ln=Smith & Co" "$REQUESTS" || fail "the last name did not arrive whole: $(cat "$REQUESTS")"
grep -qx "email=ada@example.org" "$REQUESTS" || fail "no address in the request"
stored CIP YES
stored "Subscription Email" ada@example.org

# The same pages in the other languages: declined, and closed without saving.
for language in Russian Japanese Arabic; do
  set_setting Settings Language "$language"
  start_app lang
  second_window
  shot "windows-$(lower "$language")-second-language"
  probe close "$WINDOW"
  wait_exit
  stored Language "$language"
  start_app subscribe
  second_window
  shot "windows-$(lower "$language")-second-newsletter"
  click $DECLINE
  sleep 0.3
  shot "windows-$(lower "$language")-second-quality"
  probe close "$WINDOW"
  wait_exit
  stored CIP YES
done
set_setting Settings Language English

# The translation report goes to the data folder and is opened for the user.
start_app vard
wait_exit
REPORT=$(ls "$PREFIX"/drive_c/users/*/AppData/Roaming/NDRF3/temp.txt | head -1)
grep -q "^================= GERMAN =================" "$REPORT" || fail "no GERMAN section"
[ "$(grep -c "^================= " "$REPORT")" -ge 17 ] || fail "not every language reported"
tr -d '\r' <"$REPORT" | grep -v "^================= " | grep -q "=" && fail "missing texts: $(cat "$REPORT")"
wait_window "temp.txt - Notepad" # the report opened for reading
probe close "$WINDOW"

# The update mode stores the time of the check and opens the update page.
start_app updates
wait_exit
[ -n "$(setting Settings "Recent Update")" ] || fail "no time of the check"
for _ in $(seq 1 50); do grep -q "&to=updates&" "$OPENED" 2>/dev/null && break; sleep 0.1; done
grep -q "&to=updates&" "$OPENED" || fail "the update page was not opened"

# A mode word is recognised only as it is: in capitals it starts the wizard.
start_app LANG
wait_window "Nulldrift *"
[[ "$TITLE" == *" English" ]] || fail "not the wizard in English: \"$TITLE\""
probe close "$WINDOW"
wait_exit

if [ -s "$FIT_LOG" ]; then
  cat "$FIT_LOG"
  fail "texts that do not fit their controls (window, control, text above)"
fi
echo "PASS: language page and link, newsletter and quality pages in four languages, report," \
  "updates, a mode word in capitals"
