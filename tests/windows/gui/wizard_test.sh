#!/usr/bin/env bash
# nulldrift.exe's wizard under Wine on a virtual display, walked with mouse clicks: a quick
# clean of a loop-mounted ext4 volume mapped as drive D: (the only drive the program may list)
# in English, Russian, Japanese and Arabic, each page shot; the job log and the user's file
# checked after each. Then a longer job that is paused and resumed, and a session end in the
# middle of it, which must stop the job and delete its files before the window goes. No caption
# may need more room than its control has, in any of the four languages.
#
#   wizard_test.sh BUILD_WINDOWS_DIR SCREENSHOT_DIR
#
# Needs root (loop device, drive letters), Xvfb and Wine; exits 77 (skipped) without them.
set -euo pipefail

BUILD=$(cd "$1" && pwd)
mkdir -p "$2"
SHOTS=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
. "$here/lib.sh"
if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: needs root for its loop-mounted scratch volume"
  exit 77
fi
[ -f "$BUILD/nulldrift.exe" ] || { echo "SKIP: $BUILD/nulldrift.exe is not built"; exit 77; }
need_tools xvfb-run xdotool import convert mkfs.ext4 losetup
under_xvfb "$0" "$@"

work=$(mktemp -d "${TMPDIR:-/tmp}/nulldrift-wingui.XXXXXX")
SCRATCH=$work
prepare_wine
prefix=$PREFIX
# shellcheck source=../scratch-drive.sh
. "$here/../scratch-drive.sh"
cleanup() {
  local status=$?
  set +e
  [ -n "${APP_PID:-}" ] && kill "$APP_PID" 2>/dev/null
  stop_wine
  drop_drive
  unmount_volume
  [ "$status" -ne 0 ] && [ -s "$work/app.log" ] && tail -5 "$work/app.log"
  rm -rf "$work" "$PROGRAM"
}
trap cleanup EXIT INT TERM

# One run at a time owns the prefix's drive letters.
exec 8>"$(dirname "$prefix")/.drives-lock"
flock 8

# The volume of size $1 MiB as the only drive, with a file of the user's on it; the small-file
# pass writes one file per 10 KiB of it, so its size sets how long a job runs.
fresh_drive() {
  stop_wine
  drop_drive
  unmount_volume
  make_volume ext4 "$1" 40000
  head -c 300000 /dev/urandom >"$work/volume/keep.bin"
  KEEP_SUM=$(sha256sum <"$work/volume/keep.bin")
  map_drive
}
fresh_drive 32
export NULLDRIFT_MOUNTS='D:\'
export NULLDRIFT_FIT_LOG="$PROGRAM_DIR\\fit.log"
FIT_LOG=$PROGRAM/fit.log
start_desktop

next() { click 650 515; }
fast_mode() { click 60 430; }
deep_mode() { click 480 430; }
volume_tile() { click 68 132; }

# The job log of the prefix's user, found once the first job has written it.
job_log() { ls "$PREFIX"/drive_c/users/*/AppData/Roaming/NDRF3/log.txt 2>/dev/null | head -1; }
log_lines() {
  local log
  log=$(job_log)
  if [ -n "$log" ]; then wc -l <"$log"; else echo 0; fi
}
volume_unchanged() {
  [ ! -e "$work/volume/NDRF_temp" ] || fail "$1: the work folder is still on the volume"
  [ "$(sha256sum <"$work/volume/keep.bin")" = "$KEEP_SUM" ] || fail "$1: a user file changed"
}

# A quick clean in the language $1, every page shot as windows-<language>-<page>.
quick_clean() {
  local language=$1 name runs
  name=$(echo "$language" | tr '[:upper:]' '[:lower:]')
  set_setting Settings Language "$language"
  runs=$(log_lines)
  start_app
  wait_window "Nulldrift *"
  [[ "$TITLE" =~ ^Nulldrift\ [0-9.]+\ $language$ ]] || fail "window title \"$TITLE\""
  shot "windows-$name-page1-welcome"
  next
  # The choice is stored the moment it is clicked: later starts find the disk selected.
  [ "$language" != English ] || volume_tile
  shot "windows-$name-page2-disks"
  next
  fast_mode
  shot "windows-$name-page3-mode"
  next
  shot "windows-$name-page4-method"
  next
  shot "windows-$name-page5-review"
  click_only 650 515 # starts the job, which is over in about two seconds
  sleep 0.6
  shot "windows-$name-page6-working"
  for _ in $(seq 1 600); do [ "$(log_lines)" -gt "$runs" ] && break; sleep 0.1; done
  [ "$(log_lines)" -gt "$runs" ] || fail "the $language job wrote no log line"
  sleep 3.5 # the pause after the result row, then the report
  shot "windows-$name-page7-report"
  head -c 2 "$(job_log)" | grep -qx "1|" || fail "$language job log: $(head -1 "$(job_log)")"
  click_only 650 515 # Finish
  wait_exit
  volume_unchanged "$language"
}

for language in English Russian Japanese Arabic; do
  quick_clean "$language"
  echo "$language: a quick clean after $SECONDS s"
done

# Share of the pixels of WINDOW's client rectangle W H X Y ($1-$4) that have the colour $5.
colour_share() {
  import -window "$DESKTOP_XID" "$work/desktop.png"
  convert "$work/desktop.png" -crop "${1}x${2}+$((CLIENT_X + $3))+$((CLIENT_Y + $4))" +repage \
    -fuzz 12% -fill black +opaque "$5" -fill white -opaque "$5" -format "%[fx:mean]" info:
}
STEP_PICTURES="24 112 40 108"
PAUSE_ORANGE="rgb(240,138,12)"
RUNNING_BLUE="rgb(43,123,214)"

# A long job: Pause shows the pause picture, Resume the running one; then the session ends.
fresh_drive 128
start_desktop
set_setting Settings Language English
runs=$(log_lines)
start_app
wait_window "Nulldrift *"
next
next
deep_mode
next
next
next # the job starts
sleep 0.5
click 50 416 # Pause
sleep 0.4
shot windows-english-page6-paused
share=$(colour_share $STEP_PICTURES "$PAUSE_ORANGE")
awk "BEGIN { exit !($share > 0.02) }" || fail "no pause picture after the Pause click"
pause_caption=$(caption_at 40 404)
click 50 416 # Resume
sleep 0.6
share=$(colour_share $STEP_PICTURES "$PAUSE_ORANGE")
awk "BEGIN { exit !($share < 0.005) }" || fail "the pause picture stayed after Resume"
share=$(colour_share $STEP_PICTURES "$RUNNING_BLUE")
awk "BEGIN { exit !($share > 0.02) }" || fail "no running picture after Resume"
[ "$(log_lines)" -eq "$runs" ] || fail "the long job ended before the session did"
[ -d "$work/volume/NDRF_temp" ] || fail "the long job has no work folder"

# The session ends under the job: Wine asks every window (WM_QUERYENDSESSION, WM_ENDSESSION)
# and ends the process when it has answered, so whatever the job leaves then stays left.
# A program that does not answer within 5 s gets Wine's end-task dialog, and wineboot waits.
probe run wineboot.exe --end-session --shutdown &
ENDER_PID=$!
wait_exit 30
[ "$(log_lines)" -gt "$runs" ] || fail "the ended job wrote no log line"
head -c 2 "$(job_log)" | grep -qx "0|" || fail "the ended job was not logged as stopped"
volume_unchanged "the session end"
# The window may hold the session until the job has stopped (wineboot then reports that the
# session did not end), but the program must end by itself once it has cleaned up.
ender=0
wait "$ENDER_PID" || ender=$?
ENDER_PID=""
echo "session end: wineboot ended with status $ender"

if [ -s "$FIT_LOG" ]; then
  cat "$FIT_LOG"
  fail "texts that do not fit their controls (window, control, text above)"
fi
echo "PASS: seven pages and a quick clean in four languages, Pause ($pause_caption) and" \
  "Resume, an orderly end of the session under a job"
