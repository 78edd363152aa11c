# Every dialog of install and uninstall runs on a real (virtual) X display: each
# is read and closed by dialog_closer.exe, and a screenshot of each is kept in
# $E2E_WORK/artifacts. Then the tray of the user Wine runs as (the Unix user),
# with the service installed: without rules of their own it ends at once; with
# a used-up budget its status window shows exactly the expected lines (read by
# window_texts.exe) and is shot; a second start only opens the first one's
# window. With the service running, the window offers to ask for more time;
# after nortaveltray /ask 30 it shows the request and the parent's PIN field
# (shot), and a parent's no from the tool shows within seconds. At 150 % its
# window is laid out for the DPI (shot); taking the user's rules away ends it.
set -eu
. "$(dirname "$0")/../lib.sh"
command -v Xvfb >/dev/null && command -v import >/dev/null || e2e_fail "Xvfb and ImageMagick's import are needed"

e2e_xvfb 1024x768

e2e_prefix dialogs
# This scenario wants the X11 driver, not the prefix's null driver.
e2e_use_x11
cp "$BUILD_DIR/dialog_closer.exe" "$E2E_DIR/"
artifacts="$E2E_WORK/artifacts"
mkdir -p "$artifacts"

# dialog ARGUMENTS CAPTION EXPECTED SHOT: runs the executable, waits for its dialog,
# matches its text against the pattern EXPECTED, takes the screenshot, presses OK,
# and waits for the end. (The Windows tests check the system's texts exactly.)
dialog() {
  local arguments=$1 caption=$2 expected=$3 shot="$artifacts/$4.png" seen
  (cd "$E2E_DIR" && exec wine nortavel_free_service.exe $arguments </dev/null >/dev/null 2>&1) &
  local run=$!
  seen=$(cd "$E2E_DIR" && wine dialog_closer.exe --peek "$caption" 30000 </dev/null 2>/dev/null) \
    || { kill "$run" 2>/dev/null; e2e_fail "no \"$caption\" dialog for $arguments"; }
  local text=${seen#*text:}
  # shellcheck disable=SC2053
  [[ $text == $expected ]] || { kill "$run" 2>/dev/null; e2e_fail "\"$caption\" for $arguments shows: $text"; }
  sleep 1  # let the dialog paint
  import -window root "$shot"
  (cd "$E2E_DIR" && wine dialog_closer.exe "$caption" 10000 </dev/null >/dev/null 2>&1) || e2e_fail "could not press OK"
  e2e_wait_for 20 bash -c "! kill -0 $run 2>/dev/null" || e2e_fail "$arguments still running after OK"
  wait "$run" || e2e_fail "$arguments ended with $?"
  local colours
  colours=$(identify -format '%k' "$shot")
  [ "$colours" -gt 2 ] || e2e_fail "$shot is blank ($colours colours)"
  echo "$4: \"$caption\" $(tr '\r\n' '  ' <<<"$text") ($colours colours)"
}

crlf=$'\r\n'
dialog "/INSTALL" Information "Service installed successfully" install_information
dialog "/INSTALL /SILENT" Error \
  "Service \"Nortavel free\" failed to install with error: \"System Error.  Code: 1073.${crlf}?*\"" install_error_1073
dialog "/UNINSTALL" Information "Service uninstalled successfully" uninstall_information
dialog "/UNINSTALL" Error \
  "Service \"Nortavel free\" failed to uninstall with error: \"System Error.  Code: 1060.${crlf}?*\"" uninstall_error_1060

# The tray. Today is allowed all day, with a budget of 90 minutes that
# usage.csv shows used up; every other day allows 07:00-08:00 and 15:00-20:00
# (Saturday and Sunday 09:00-21:30). So the lines depend on the weekday alone,
# as long as the day does not end while the scenario runs.
cp "$BUILD_DIR/nortaveltray.exe" "$BUILD_DIR/window_texts.exe" "$E2E_DIR/"
# A clock ends once the service is no longer installed.
e2e_exe /INSTALL /SILENT
if [ "$(date +%H%M)" -ge 2355 ]; then sleep $(( $(date -d 'tomorrow 00:00:05' +%s) - $(date +%s) )); fi
user=$(wine cmd /c 'echo %USERNAME%' </dev/null 2>/dev/null | tr -d '\r')
[ -n "$user" ] || e2e_fail "no user name from Wine"
status=(NortavelFreeTrayStatus "Nortavel free")
probe() {
  local out
  out=$(cd "$E2E_DIR" && wine window_texts.exe "$@" </dev/null 2>/dev/null) || return
  tr -d '\r' <<<"$out"
}
# tray_once: a start that must end by itself, soon; prints its milliseconds.
tray_once() {
  local t0; t0=$(e2e_now_ms)
  (cd "$E2E_DIR" && timeout 20 wine nortaveltray.exe /show </dev/null >/dev/null 2>&1) || e2e_fail "nortaveltray /show: exit $?"
  echo $(( $(e2e_now_ms) - t0 ))
}
reg_import() {  # REGEDIT4 lines on stdin, into the view the executables read
  { echo REGEDIT4; echo; cat; } >"$WINEPREFIX/drive_c/tray.reg"
  e2e_reg import 'C:\tray.reg' || e2e_fail "reg import"
}

key="HKEY_LOCAL_MACHINE\\SOFTWARE\\Vrem\\NortavelFree\\Time_restrictions"
printf '[%s\\someone_else]\n"Time1"="%s"\n' "$key" "$(printf '1%.0s' $(seq 48))" | reg_import
ms=$(tray_once) || exit 1
echo "tray of a user without rules: ended after $ms ms"

today=$(date +%u); tomorrow=$(( today % 7 + 1 ))
weekday="$(printf '1%.0s' $(seq 14))00$(printf '1%.0s' $(seq 14))$(printf '0%.0s' $(seq 10))$(printf '1%.0s' $(seq 8))"
weekend="$(printf '1%.0s' $(seq 18))$(printf '0%.0s' $(seq 25))11111"
{
  printf '[%s\\%s]\n' "$key" "$user"
  for n in 1 2 3 4 5 6 7; do
    if [ $n = "$today" ]; then rule=$(printf '0%.0s' $(seq 48)); elif [ $n -ge 6 ]; then rule=$weekend; else rule=$weekday; fi
    printf '"Time%s"="%s"\n' $n "$rule"
  done
  printf '"Budget%s"=dword:%08x\n' "$today" 90
} | reg_import
mkdir -p "$WINEPREFIX/drive_c/ProgramData/NortavelFree"
printf 'date,user,seconds\n%s,%s,5400\n' "$(date +%F)" "$user" >"$WINEPREFIX/drive_c/ProgramData/NortavelFree/usage.csv"
first=$([ $tomorrow -ge 6 ] && echo 09:00 || echo 07:00)
restricted="windows:1
static:Today's time is used up
static:Next allowed: tomorrow $first"
expected="$restricted
child:NortavelFreeTrayGrid"
# check_status: exactly one status window, showing exactly the expected lines
# (within a few seconds: the service's answers come a second apart).
status_shows() {
  seen=$(probe "${status[@]}" 20000) || e2e_fail "no status window"
  rect=$(sed -n 's/^rect://p' <<<"$seen")
  [ "$(grep -v '^rect:' <<<"$seen")" = "$expected" ]
}
check_status() {
  e2e_wait_for 15 status_shows || e2e_fail "the status window shows:
$seen
expected:
$expected"
}
# shoot NAME: the status window alone, from a shot of the screen.
shoot() {
  sleep 1  # let it paint
  import -window root "$artifacts/$1_screen.png"
  IFS=, read -r left top right bottom <<<"$rect"
  convert "$artifacts/$1_screen.png" -crop "$(( right - left ))x$(( bottom - top ))+$left+$top" +repage \
    "$artifacts/$1.png"
  colours=$(identify -format '%k' "$artifacts/$1.png")
  [ "$colours" -gt 8 ] || e2e_fail "$1.png is blank ($colours colours)"
  echo "$1: $(tr '\n' '|' <<<"$expected") ($colours colours)"
}

(cd "$E2E_DIR" && exec wine nortaveltray.exe /show </dev/null >/dev/null 2>&1) &
tray=$!
check_status
shoot tray_status

probe --close "${status[@]}" 10000 || e2e_fail "the status window did not close"
kill -0 "$tray" 2>/dev/null || e2e_fail "closing the status window ended the tray"
ms=$(tray_once) || exit 1
echo "second start, window closed: ended after $ms ms"
check_status
ms=$(tray_once) || exit 1
echo "second start, window open: ended after $ms ms"
check_status
echo "the second starts opened the first one's window, once"

# The service runs: the child may ask. Their sessions are locked at the end,
# through the doubles, so that nothing is switched off.
wine reg add 'HKLM\SOFTWARE\Vrem\NortavelFree' /v EndAction /d lock /f </dev/null >/dev/null 2>&1
wine net start "$E2E_SERVICE" </dev/null >/dev/null 2>&1 || true
expected="$restricted
button:Ask for more time…
child:NortavelFreeTrayGrid"
check_status
(cd "$E2E_DIR" && wine nortaveltray.exe /ask 30 </dev/null >/dev/null 2>&1) || e2e_fail "nortaveltray /ask 30 failed"
expected="$restricted
static:You asked for 30 minutes at $(date +%H:%M)
static:Parent's PIN:
edit:
button:Approve
child:NortavelFreeTrayGrid"
check_status
shoot tray_asked
(cd "$E2E_DIR" && wine nortavelctl.exe deny "$user" </dev/null >/dev/null 2>&1) || e2e_fail "nortavelctl deny failed"
expected="$restricted
static:Your parent said no
button:Ask for more time…
child:NortavelFreeTrayGrid"
check_status
echo "the parent's no shows at the clock"

# At 150 % the tray lays its window out for the DPI (the service, started
# again with the session, still says no): its content, 346 pixels
# wide at 100 %, grows by half. (Windows tells the real DPI only to a program
# whose manifest says it is aware, which scripts/check_package.sh checks; Wine
# tells every program.)
at100=$rect
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f </dev/null >/dev/null 2>&1
e2e_use_x11  # a session reads the DPI when it starts
(cd "$E2E_DIR" && exec wine nortaveltray.exe /show </dev/null >/dev/null 2>&1) &
tray=$!
check_status
IFS=, read -r left _ right _ <<<"$rect"
[ $(( right - left - $(cut -d, -f3 <<<"$at100") + $(cut -d, -f1 <<<"$at100") )) -eq 173 ] \
  || e2e_fail "the status window at 150 %: $rect, at 100 %: $at100"
echo "the status window at 150 %: $rect, at 100 %: $at100"
shoot tray_status_150

t0=$(e2e_now_ms)
e2e_reg delete "$key\\$user" /f || e2e_fail "reg delete"
e2e_wait_for 10 bash -c "! kill -0 $tray 2>/dev/null" || e2e_fail "the tray still runs without rules"
echo "rules taken away: the tray ended after $(( $(e2e_now_ms) - t0 )) ms"
ls -l "$artifacts"
