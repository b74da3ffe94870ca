# Helpers the Windows window tests share; sourced by bash with BUILD (the cross build) and
# SHOTS (screenshot folder) set. The programs run under Wine on a virtual display, inside one
# Wine desktop of 1024x768 that gives their windows frames (Xvfb has no window manager).
# WINDOW is the window being driven (a window_probe pattern) and TITLE its title, APP_PID the
# program started last.

HERE_GUI=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# fail, need_tools, under_xvfb (a 1024x768 screen, the size of the Wine desktop), fake_opener
# and start_answer_server; the window helpers of the Linux tests are replaced below.
# shellcheck source=../../gui/lib.sh
. "$HERE_GUI/../../gui/lib.sh"
WINE_RUN=$HERE_GUI/../../../scripts/wine-run
DESKTOP=nulldrift-tests
PROGRAM_DIR='C:\nulldrift-gui'

# The scratch prefix, with the program as installed on its C: (executable, Languages, pictures,
# background and sound), the probe beside it, and nothing of this machine mapped as a drive.
# PREFIX and PROGRAM (the host path of PROGRAM_DIR) are set for the caller.
prepare_wine() {
  export NULLDRIFT_WINE_DISPLAY=1 LANG=C.UTF-8 WINEPATH=""
  PREFIX=$("$WINE_RUN" --prepare)
  PROGRAM=$PREFIX/drive_c/nulldrift-gui
  rm -rf "$PROGRAM"
  mkdir -p "$PROGRAM"
  cd "$PROGRAM"  # a working folder that Wine can name
  cp -r "$BUILD/nulldrift.exe" "$BUILD/window_probe.exe" "$BUILD/Languages" "$BUILD/pictures" \
    "$BUILD/program-back.jpg" "$BUILD/sound.wav" "$PROGRAM/"
  # Settings of an earlier run would choose the language and skip the welcome page.
  "$WINE_RUN" reg delete 'HKCU\Software\Nulldrift' /f >/dev/null 2>&1 || true
  # What Windows records for a 96-DPI display, which Wine's prefix lacks; without it the
  # second window first asks for 96 DPI.
  "$WINE_RUN" reg add 'HKCU\Control Panel\Desktop\WindowMetrics' /v AppliedDPI /t REG_DWORD \
    /d 96 /f >/dev/null
  # Windows opens text files with Notepad; Wine's prefix knows Notepad but not ".txt".
  "$WINE_RUN" reg add 'HKCR\.txt' /ve /d txtfile /f >/dev/null
}

probe() { "$WINE_RUN" "$PROGRAM_DIR\\window_probe.exe" "$DESKTOP" "$@"; }

# The desktop and a process that keeps it open: Wine closes a desktop when its last program ends.
# A fresh Wine server, since a running one does not see drive letters mapped after its start.
start_desktop() {
  stop_wine
  "$WINE_RUN" --serve
  "$WINE_RUN" explorer "/desktop=$DESKTOP,1024x768" >/dev/null 2>&1 &
  probe run "$PROGRAM_DIR\\window_probe.exe" "$DESKTOP" hold &
  DESKTOP_XID=$(timeout 20 xdotool search --sync --name "^$DESKTOP" 2>/dev/null | head -1 || true)
  [ -n "$DESKTOP_XID" ] || fail "Wine's desktop did not appear"
}

# Ends every Wine process of the prefix; run by the callers' traps.
stop_wine() {
  "$WINE_RUN" --kill >/dev/null 2>&1 || true
}

# Starts the program on the desktop with the arguments given (a mode word, or none).
start_app() {
  probe run "$PROGRAM_DIR\\nulldrift.exe" "$@" >>"$SCRATCH/app.log" 2>&1 &
  APP_PID=$!
}

# Waits up to 10 s for a visible window matching $1, which becomes WINDOW, and for its program
# to take messages; WIN_* is its frame and CLIENT_X/Y its client area's corner on the desktop.
wait_window() {
  local place
  place=$(probe wait "$1" "${2:-10}") || fail "no window \"$1\" appeared"
  WINDOW=$1
  read -r _ WIN_X WIN_Y WIN_W WIN_H _ CLIENT_X CLIENT_Y _ _ TITLE <<<"$place"
}

# A click at a point of WINDOW's client area, from the X side as a user's; then the pointer
# leaves, so that no tooltip covers a screenshot.
click_only() {
  xdotool mousemove --window "$DESKTOP_XID" $((CLIENT_X + $1)) $((CLIENT_Y + $2)) click 1 \
    mousemove --window "$DESKTOP_XID" 1020 760
}

# The same, and what the click started is waited for.
click() {
  click_only "$1" "$2"
  probe wait "$WINDOW" >/dev/null || fail "\"$WINDOW\" went away after a click"
  sleep 0.2
}

# Clicks the control captioned $2 in the window matching $1 (a message box's OK, Yes or No)
# and waits for that window to go; WINDOW and its place stay those of the window driven before.
press() {
  local saved="$WINDOW|$WIN_X|$WIN_Y|$WIN_W|$WIN_H|$CLIENT_X|$CLIENT_Y|$TITLE" x y
  wait_window "$1"
  read -r x y < <(probe controls "$1" | awk -v text="$2" '{
    line = $0; for (i = 1; i <= 6; i++) sub(/^[^ ]* /, "", line)
    if (line == text) { print $3 + int($5 / 2), $4 + int($6 / 2); exit } }') ||
    fail "no \"$2\" in \"$1\""
  click_only "$x" "$y"
  probe gone "$1" 10 || fail "\"$1\" stayed after a click on \"$2\""
  IFS='|' read -r WINDOW WIN_X WIN_Y WIN_W WIN_H CLIENT_X CLIENT_Y TITLE <<<"$saved"
  sleep 0.2
}

# The caption of the visible control of WINDOW whose top left corner is at $1 $2.
caption_at() {
  probe controls "$WINDOW" | awk -v x="$1" -v y="$2" '$3 == x && $4 == y {
    $1 = $2 = $3 = $4 = $5 = $6 = ""; sub(/^ +/, ""); print; exit }'
}

# The window as the user sees it, frame included, cut out of the desktop.
shot() {
  import -window "$DESKTOP_XID" -crop "${WIN_W}x${WIN_H}+${WIN_X}+${WIN_Y}" +repage \
    "$SHOTS/$1.png"
}

# Waits up to $1 s (10 by default) for the program to end, which it must do with status 0.
wait_exit() {
  local status=0
  for _ in $(seq 1 $((${1:-10} * 10))); do kill -0 "$APP_PID" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$APP_PID" 2>/dev/null && fail "the program did not end"
  wait "$APP_PID" || status=$?
  APP_PID=""
  [ "$status" -eq 0 ] || fail "the program ended with status $status"
}

# A settings value of the program (application NDRF), or "" when it has none.
setting() {
  "$WINE_RUN" reg query "HKCU\\Software\\Nulldrift\\NDRF\\$1" /v "$2" 2>/dev/null | tr -d '\r' |
    awk -v key="$2" 'index($0, key) { sub(/^ *[^ ].* REG_SZ */, ""); print; exit }'
}

set_setting() {
  "$WINE_RUN" reg add "HKCU\\Software\\Nulldrift\\NDRF\\$1" /v "$2" /t REG_SZ /d "$3" /f \
    >/dev/null || fail "cannot store $1 / $2"
}
