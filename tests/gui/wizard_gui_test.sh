#!/usr/bin/env bash
# The real wizard on a virtual display: walks the seven pages with mouse clicks, cleans a
# loop-mounted scratch volume in quick mode, checks the job log and the user's files, and saves a
# screenshot of every page; then the same in Japanese and Arabic. A start in Russian shows its
# texts and then ends the session in the middle of a job, which must stop and clean up first.
# No caption may need more room than its control has, in any of the four languages.
#
#   wizard_gui_test.sh BUILD_DIR SCREENSHOT_DIR
#
# Needs root (loop mount) and Xvfb; exits 77 (skipped) without them.
set -euo pipefail

BUILD=$(cd "$1" && pwd)
SHOTS=$2
mkdir -p "$SHOTS"
SHOTS=$(cd "$SHOTS" && pwd)

if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: needs root to mount a scratch volume"
  exit 77
fi
GUI_LIB=$(cd "$(dirname "$0")" && pwd)/lib.sh
# shellcheck source=lib.sh
. "$GUI_LIB"
need_tools xvfb-run xdotool import convert mkfs.ext4

SCRATCH=$(mktemp -d /tmp/nulldrift-gui.XXXXXX)
VOLUME=$SCRATCH/volume
EXTRA=$SCRATCH/zextra  # sorts after VOLUME, so it takes the next letter and the next tile
cleanup() {
  set +e
  [ -n "${APP_PID:-}" ] && kill "$APP_PID" 2>/dev/null
  mountpoint -q "$EXTRA" && umount "$EXTRA"
  mountpoint -q "$VOLUME" && umount "$VOLUME"
  rm -rf "$SCRATCH"
}
trap cleanup EXIT

# The user's world: a home of its own, and one volume holding a file that must survive.
export HOME=$SCRATCH/home
export XDG_DATA_HOME=$HOME/.local/share XDG_CONFIG_HOME=$HOME/.config
export NULLDRIFT_MOUNTS=$VOLUME:$EXTRA LC_ALL=C.UTF-8 LANG=C.UTF-8
export NULLDRIFT_FIT_LOG=$SCRATCH/fit.log  # every caption that needs more room than it has
mkdir -p "$HOME" "$VOLUME" "$EXTRA"
truncate -s 32M "$SCRATCH/extra.img"
mkfs.ext4 -q -F "$SCRATCH/extra.img"
# Big enough, and with inodes enough, for the deep mode's 100,000 small files.
truncate -s 1G "$SCRATCH/volume.img"
mkfs.ext4 -q -F -N 160000 -L SCRATCH "$SCRATCH/volume.img"
mount -o loop "$SCRATCH/volume.img" "$VOLUME"
head -c 300000 /dev/urandom >"$VOLUME/keep.bin"
KEEP_SUM=$(sha256sum <"$VOLUME/keep.bin")

export SCRATCH SHOTS BUILD VOLUME EXTRA KEEP_SUM GUI_LIB
xvfb-run -a -s '-screen 0 1024x768x24' bash -euo pipefail -c '
  . "$GUI_LIB"
  trap "if [ -n \"\${APP_PID:-}\" ]; then kill \"\$APP_PID\" 2>/dev/null || true; fi" EXIT

  # Starts the program in the folder $1 and waits up to 10 s for a window whose title matches
  # $2; its id goes to WID.
  start() {
    "$1/nulldrift" >"$SCRATCH/app.log" 2>&1 &
    APP_PID=$!
    wait_window "$2"
  }
  next() { click 650 515; }
  # Whether the second disk tile shows an icon (a plain background has almost no contrast).
  second_tile_shown() {
    import -window "$WID" "$SCRATCH/tiles.png"
    local spread
    spread=$(convert "$SCRATCH/tiles.png" -crop 48x48+147+116 -format "%[fx:standard_deviation]" info:)
    awk "BEGIN { exit !($spread > 0.05) }"
  }

  start "$BUILD" "^Nulldrift "
  xdotool getwindowname "$WID" | grep -qx "Nulldrift [0-9.]* English" || fail "window title"
  shot page1-welcome
  next
  second_tile_shown && fail "a second tile before the second volume came"
  mount -o loop "$SCRATCH/extra.img" "$EXTRA"    # a disk comes while the page is shown ...
  sleep 0.8
  second_tile_shown || fail "the volume mounted under page 2 got no tile"
  umount "$EXTRA"                                # ... and goes again
  sleep 0.8
  second_tile_shown && fail "the unmounted volume kept its tile"
  click 68 132                       # the scratch volume, tile 0
  shot page2-disks
  next
  shot page3-mode
  next
  shot page4-method
  next
  shot page5-review
  next                               # starts the job
  sleep 0.4
  shot page6-working
  LOG=$XDG_DATA_HOME/NDRF3/log.txt
  for _ in $(seq 1 600); do [ -s "$LOG" ] && break; sleep 0.1; done
  [ -s "$LOG" ] || fail "the job wrote no log line"
  sleep 3.5                          # the pause after the result row, then the report
  shot page7-report
  head -c 2 "$LOG" | grep -qx "1|" || fail "job log: $(head -1 "$LOG")"
  next                               # Finish
  wait_exit
  [ ! -e "$VOLUME/NDRF_temp" ] || fail "the work folder is still on the volume"
  [ "$(sha256sum <"$VOLUME/keep.bin")" = "$KEEP_SUM" ] || fail "a user file changed"

  # Stores the language $1 for the next start.
  STORE=$XDG_CONFIG_HOME/Nulldrift/NDRF.ini
  set_language() {
    if grep -q "^Language=" "$STORE"; then
      sed -i "s/^Language=.*$/Language=$1\r/" "$STORE"
    elif grep -q "^\[Settings\]" "$STORE"; then
      sed -i "s/^\[Settings\]\r\?$/&\nLanguage=$1\r/" "$STORE"
    else
      printf "[Settings]\r\nLanguage=%s\r\n" "$1" >>"$STORE"
    fi
  }

  # A quick clean in two languages of double-byte and right-to-left script, every page shot.
  for language in Japanese Arabic; do
    set_language "$language"
    shots=$(echo "$language" | tr "[:upper:]" "[:lower:]")
    runs=$(wc -l <"$LOG")
    start "$BUILD" "^Nulldrift [0-9.]* $language$"
    shot "$shots-page1-welcome"
    next
    shot "$shots-page2-disks"
    next
    click 60 430                     # the fast small-file mode
    shot "$shots-page3-mode"
    next
    shot "$shots-page4-method"
    next
    shot "$shots-page5-review"
    next
    sleep 0.4
    shot "$shots-page6-working"
    for _ in $(seq 1 600); do [ "$(wc -l <"$LOG")" -gt "$runs" ] && break; sleep 0.1; done
    [ "$(wc -l <"$LOG")" -gt "$runs" ] || fail "the $language job wrote no log line"
    sleep 3.5
    shot "$shots-page7-report"
    head -c 2 "$LOG" | grep -qx "1|" || fail "$language job log: $(head -1 "$LOG")"
    next                             # Finish
    wait_exit
  done
  [ "$(sha256sum <"$VOLUME/keep.bin")" = "$KEEP_SUM" ] || fail "a user file changed"

  # The same window in Russian (Cyrillic, CP1251), from a program folder of its own.
  PROGRAM=$SCRATCH/program
  mkdir -p "$PROGRAM"
  cp -r "$BUILD/nulldrift" "$BUILD/Languages" "$BUILD/pictures" "$BUILD/program-back.jpg" \
    "$BUILD/sound.wav" "$PROGRAM/"
  set_language Russian
  start "$PROGRAM" "^Nulldrift "
  xdotool getwindowname "$WID" | grep -qx "Nulldrift [0-9.]* Russian" || fail "title in Russian"
  shot russian-page1-welcome
  next
  shot russian-page2-disks
  next
  click 480 430                      # the deep mode makes the small-file pass last
  shot russian-page3-mode
  next
  next
  next                               # a second job starts, Pause is clicked ...
  sleep 0.3
  xdotool mousemove --window "$WID" 50 416 click 1
  sleep 0.4
  shot russian-page6-paused
  ORANGE=$(convert "$SHOTS/russian-page6-paused.png" -crop 24x112+40+108 +repage -fuzz 12% \
    -fill black +opaque "rgb(240,138,12)" -fill white -opaque "rgb(240,138,12)" \
    -format "%[fx:mean]" info:)
  awk "BEGIN { exit !($ORANGE > 0.02) }" || fail "no pause picture 0.4 s after the click"
  kill -TERM "$APP_PID"              # ... and the session ends under it
  wait_exit
  head -c 2 "$LOG" | grep -qx "0|" || fail "the ended job was not logged as stopped"
  [ ! -e "$VOLUME/NDRF_temp" ] || fail "the stopped job left its work folder"
  [ "$(sha256sum <"$VOLUME/keep.bin")" = "$KEEP_SUM" ] || fail "a user file changed"

  # Without its background picture the program says so and ends; no page is ever shown.
  rm "$PROGRAM/program-back.jpg"
  start "$PROGRAM" "^Nulldrift$"     # a message box, titled Nulldrift
  eval "$(xdotool getwindowgeometry --shell "$WID")"
  xdotool mousemove --window "$WID" $((WIDTH / 2)) $((HEIGHT - 16)) click 1
  for _ in $(seq 1 50); do kill -0 "$APP_PID" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$APP_PID" 2>/dev/null && fail "the message did not end the program"
  STATUS=0
  wait "$APP_PID" || STATUS=$?
  [ "$STATUS" = 1 ] || fail "ended with status $STATUS without its background picture"
  if [ -s "$NULLDRIFT_FIT_LOG" ]; then
    cat "$NULLDRIFT_FIT_LOG"
    fail "texts that do not fit their controls (window, control, text above)"
  fi
  echo "PASS: seven pages, quick cleans in three languages, an orderly end under a job"
'
