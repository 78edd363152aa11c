# The parent's window on a real (virtual) X display, with the service
# installed and running: a probe finds it by its caption, clicks the cell
# Tuesday 10:00 of the week and presses Save; Time2 then allows that half hour,
# the service is asked to reload and says so in its log, and nortavelctl show
# agrees. With the service stopped, a daily time typed for Saturday lands in
# Budget6. Both pages are shot at 100 % and at 200 % (artifacts/settings_*.png).
set -eu
. "$(dirname "$0")/../lib.sh"
command -v Xvfb >/dev/null && command -v import >/dev/null || e2e_fail "Xvfb and ImageMagick's import are needed"

e2e_xvfb 2048x1536
e2e_prefix settings
e2e_use_x11
cp "$BUILD_DIR/nortavelsettings.exe" "$BUILD_DIR/settings_probe.exe" "$BUILD_DIR/window_texts.exe" "$E2E_DIR/"
# Wine's account calls are stubs: the window reads the accounts from the doubles.
e2e_doubles_for nortavelsettings.exe
artifacts="$E2E_WORK/artifacts"
mkdir -p "$artifacts"

# A school week: Mo-Fr 07:00-08:00 and 15:00-20:00, Sa-Su 09:00-21:30, two
# hours a school day; two weeks of use in the copy every user may read.
e2e_exe /INSTALL /SILENT
e2e_configure 2
ones() { printf '1%.0s' $(seq "$1"); }
zeros() { printf '0%.0s' $(seq "$1"); }
school="$(ones 14)00$(ones 14)$(zeros 10)$(ones 8)"
weekend="$(ones 18)$(zeros 25)$(ones 5)"
key="$E2E_KEY\\Time_restrictions\\kid"
for n in 1 2 3 4 5 6 7; do
  rule=$school; [ $n -ge 6 ] && rule=$weekend
  e2e_reg add "$key" /v "Time$n" /t REG_SZ /d "$rule" /f
  [ $n -ge 6 ] || e2e_reg add "$key" /v "Budget$n" /t REG_DWORD /d 120 /f
done
mkdir -p "$WINEPREFIX/drive_c/ProgramData/NortavelFree"
{
  echo date,user,seconds
  for back in $(seq 14 -1 0); do
    echo "$(date -d "-$back days" +%F),kid,$(( (back * 37 % 11 + 3) * 600 ))"
  done
} >"$WINEPREFIX/drive_c/ProgramData/NortavelFree/usage.csv"
wine net start "$E2E_SERVICE" </dev/null >/dev/null 2>&1 || true
e2e_wait_for 30 e2e_state_is RUNNING || e2e_fail "service never RUNNING"

probe() {
  local out rc=0
  out=$(cd "$E2E_DIR" && wine settings_probe.exe "$@" </dev/null 2>/dev/null) || rc=$?
  tr -d '\r' <<<"$out"
  return $rc
}
start_window() {
  (cd "$E2E_DIR" && exec wine nortavelsettings.exe </dev/null >/dev/null 2>&1) &
  window=$!
  probe wait 30000 >/dev/null || e2e_fail "no window \"Nortavel free settings\""
}
# shoot NAME: the window alone, from a shot of the screen.
shoot() {
  sleep 1  # let it paint
  local seen
  seen=$(cd "$E2E_DIR" && wine window_texts.exe NortavelFreeSettings "Nortavel free settings" 5000 </dev/null 2>/dev/null \
         | tr -d '\r') || e2e_fail "window_texts found no window"
  rect=$(sed -n 's/^rect://p' <<<"$seen")
  import -window root "$artifacts/$1_screen.png"
  IFS=, read -r left top right bottom <<<"$rect"
  convert "$artifacts/$1_screen.png" -crop "$(( right - left ))x$(( bottom - top ))+$left+$top" +repage \
    "$artifacts/$1.png"
  colours=$(identify -format '%k' "$artifacts/$1.png")
  [ "$colours" -gt 8 ] || e2e_fail "$1.png is blank ($colours colours)"
  echo "$1: $(( right - left ))x$(( bottom - top )) ($colours colours)"
}
time2() { e2e_reg query "$key" /v Time2 && sed -n 's/.*Time2.*REG_SZ *//p' "$WINEPREFIX.reg.log" | tail -1 | tr -d '\r'; }

t0=$(e2e_now_ms)
start_window
echo "start to window shown: $(( $(e2e_now_ms) - t0 )) ms"
[ "$(time2 | cut -c21)" = 1 ] || e2e_fail "Tuesday 10:00 is not restricted before the click"
said=$(probe cell 1 20 press '&Save') || e2e_fail "probe: $said"
echo "$said"
grep -qx 'status:Saved. The service applies it within a few seconds.' <<<"$said" || e2e_fail "Save said: $said"
rule=$(time2)
[ "$rule" = "$(ones 14)00$(ones 4)0$(ones 9)$(zeros 10)$(ones 8)" ] || e2e_fail "Time2 after the click: $rule"
e2e_wait_for 15 e2e_log_has "Time 2 : $rule" || e2e_fail "the service never read the new Time2"
e2e_ctl show kid
grep -q "Tu 07:00-08:00 10:00-10:30 15:00-20:00" <<<"$CTL_OUT" || e2e_fail "nortavelctl show: $CTL_OUT"
echo "Time2 holds the toggled position 20; nortavelctl show agrees"
shoot settings_child
said=$(probe page "This computer") || e2e_fail "probe: $said"
shoot settings_computer
probe close >/dev/null
e2e_wait_for 15 bash -c "! kill -0 $window 2>/dev/null" || e2e_fail "the window did not close"

# Without the service: the window says when the change applies.
wine net stop "$E2E_SERVICE" </dev/null >/dev/null 2>&1 || true
e2e_wait_for 30 e2e_state_is STOPPED || e2e_fail "service never STOPPED"
start_window
said=$(probe daily Saturday 2 30 press '&Save') || e2e_fail "probe: $said"
echo "$said"
grep -qx 'status:Saved. The service is not running: it applies it when it starts.' <<<"$said" || e2e_fail "Save said: $said"
e2e_reg query "$key" /v Budget6 || e2e_fail "no Budget6"
grep -q 'Budget6.*REG_DWORD.*0x96' "$WINEPREFIX.reg.log" || e2e_fail "Budget6 is not 150: $(tail -3 "$WINEPREFIX.reg.log")"
echo "Budget6 holds 150 minutes"
# A refused value is shown beside its field and nothing is written.
said=$(probe daily Sunday 25 0 press '&Save') || e2e_fail "probe: $said"
grep -qx 'status:Nothing was saved: correct the values marked in red.' <<<"$said" || e2e_fail "Save said: $said"
e2e_reg query "$key" /v Budget7 && e2e_fail "Budget7 was written"
# Closing with the refused change asks first (the session's end below ends it).
probe close >/dev/null
(cd "$E2E_DIR" && wine window_texts.exe '#32770' 'Nortavel free settings' 10000 </dev/null >/dev/null 2>&1) \
  || e2e_fail "closing with a change did not ask"

# At 200 % the window is laid out for the DPI.
at100=$rect
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 192 /f </dev/null >/dev/null 2>&1
e2e_use_x11  # a session reads the DPI when it starts
start_window
shoot settings_child_200
IFS=, read -r left _ right _ <<<"$rect"
[ $(( right - left )) -gt $(( 2 * ($(cut -d, -f3 <<<"$at100") - $(cut -d, -f1 <<<"$at100")) - 40 )) ] \
  || e2e_fail "the window at 200 %: $rect, at 100 %: $at100"
probe page "This computer" >/dev/null || e2e_fail "no computer page at 200 %"
shoot settings_computer_200
ls -l "$artifacts"
