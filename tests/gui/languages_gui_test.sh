#!/usr/bin/env bash
# Every shipped language in the real windows on a virtual display: the wizard and the newsletter
# window open in it with no caption needing more room than its control has (the program's fit
# log stays empty), and a first start under a German, Brazilian or Korean locale opens in that
# language.
#
#   languages_gui_test.sh BUILD_DIR
#
# Needs Xvfb; exits 77 (skipped) without it.
set -euo pipefail

GUI_LIB=$(cd "$(dirname "$0")" && pwd)/lib.sh
# shellcheck source=lib.sh
. "$GUI_LIB"
need_tools xvfb-run xdotool
under_xvfb "$0" "$@"

BUILD=$(cd "$1" && pwd)
SCRATCH=$(mktemp -d /tmp/nulldrift-languages.XXXXXX)
cleanup() {
  local status=$?
  set +e
  [ -n "${APP_PID:-}" ] && kill "$APP_PID" 2>/dev/null
  [ "$status" -ne 0 ] && [ -s "$SCRATCH/app.log" ] && tail -5 "$SCRATCH/app.log"
  rm -rf "$SCRATCH"
}
trap cleanup EXIT

use_scratch_home
export NULLDRIFT_FIT_LOG=$SCRATCH/fit.log

# Starts the program (mode word $1, may be empty) and ends it once its window titled $2 shows.
open_and_close() {
  "$BUILD/nulldrift" ${1:+"$1"} >>"$SCRATCH/app.log" 2>&1 &
  APP_PID=$!
  wait_window "$2"
  kill "$APP_PID"
  wait "$APP_PID" 2>/dev/null || true
  APP_PID=""
}

COUNT=0
for file in "$BUILD"/Languages/*.ini; do
  language=$(basename "$file" .ini)
  printf '[Settings]\r\nLanguage=%s\r\n' "$language" >"$STORE"
  open_and_close "" "^Nulldrift [0-9.]* $language$"
  open_and_close subscribe "^Nulldrift"
  COUNT=$((COUNT + 1))
done
[ "$COUNT" -ge 18 ] || fail "only $COUNT language files"
if [ -s "$NULLDRIFT_FIT_LOG" ]; then
  echo "Texts that do not fit their controls (window, control, language's text):"
  cat "$NULLDRIFT_FIT_LOG"
  fail "clipped texts"
fi

# A first start, with no stored language, follows the locale's country.
for pair in de_DE.UTF-8:German pt_BR:Portuguese ko_KR.UTF-8:Korean; do
  rm -f "$STORE"
  LC_ALL="" LANG=${pair%%:*} open_and_close "" "^Nulldrift [0-9.]* ${pair#*:}$"
  tr -d '\r' <"$STORE" | grep -qx "Language=${pair#*:}" || fail "${pair%%:*} did not store ${pair#*:}"
done
echo "PASS: $COUNT languages fit their windows; German, Brazilian and Korean locales pick theirs"
