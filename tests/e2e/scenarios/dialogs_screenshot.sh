# Every dialog of install and uninstall runs on a real (virtual) X display: each
# is read and closed by dialog_closer.exe, and a screenshot of each is kept in
# $E2E_WORK/artifacts.
set -eu
. "$(dirname "$0")/../lib.sh"
command -v Xvfb >/dev/null && command -v import >/dev/null || e2e_fail "Xvfb and ImageMagick's import are needed"

display=:$(( 70 + $$ % 200 ))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'e2e_cleanup; kill "$xvfb_pid" 2>/dev/null || true' EXIT
export DISPLAY=$display
e2e_wait_for 10 import -window root -display "$display" png:/dev/null 2>/dev/null || e2e_fail "Xvfb did not come up"

e2e_prefix dialogs
# This scenario wants the X11 driver, not the prefix's null driver: restart the session with it.
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11 /f </dev/null >/dev/null 2>&1
# No window manager runs on Xvfb: Wine draws the frames, captions included, itself.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true
wineserver -p >/dev/null 2>&1
wine wineboot </dev/null >>"$WINEPREFIX.session.log" 2>&1
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
ls -l "$artifacts"
