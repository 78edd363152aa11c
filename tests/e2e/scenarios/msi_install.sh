# The Windows Installer package of BUILD_DIR's architecture: a silent install
# puts the four executables into Program Files, makes every session start the
# tray (a Run value in the package's registry view), puts the parent's window
# on the Start menu without opening it, registers the service as
# designed (quoted path), its two event sources and its Safe Mode keys, writes the
# defaults (level, log folder, a 10-minute warning, the logon hours backstop, the
# computer's zone, which its log names), starts the service and puts the folder
# on the machine Path, and check mends the registration by repairing the package;
# the service then keeps a configured user's week in their logon hours. A silent
# removal unlocks every configured account, stops and deletes the service, its
# event sources and Safe Mode keys, ends the running clock, removes the files,
# the shortcut, the Run value and the Path entry, and keeps the configuration. A second prefix
# shows that an install that fails leaves the configuration as it was and no
# folder it made, that an existing configuration is not overwritten by an
# install, and that the
# properties set what they name (a folder with its closing backslash too).
# The x86 package refuses a 64-bit prefix, with the name of the package to take.
# Prints the time of each step.
set -eu
. "$(dirname "$0")/../lib.sh"
trap e2e_cleanup EXIT
msi=$(e2e_msi_build 1.0.0) || e2e_fail "package build failed"

e2e_prefix msi_install
: >"$WINEPREFIX.reg.log"  # e2e_reg appends; a run before this one may have left lines
cp "$msi" "$WINEPREFIX/drive_c/package.msi"
dir=$(e2e_msi_dir); unix_dir=$(e2e_msi_unix_dir)
if [ "$(e2e_msi_arch)" = x86 ] && [ -d "$WINEPREFIX/drive_c/Program Files (x86)" ]; then
  if e2e_msiexec refused /i 'C:\package.msi' /qn; then e2e_fail "the x86 package installed on 64-bit Windows"; fi
  # Wine's installer logs no launch condition's text when quiet: the package's
  # table holds it, and the log shows which check ended the install.
  tr -d '\0' <"$WINEPREFIX/drive_c/refused.log" | grep -q 'LaunchConditions. Return value 0' \
    || e2e_fail "the install did not end at its launch conditions"
  msiinfo export "$msi" LaunchCondition | tr -d '\r' | grep -qxF "$(printf 'NOT VersionNT64 OR Installed\tThis package is for 32-bit Windows. On 64-bit Windows install NortavelFree-1.0.0-x64.msi.')" \
    || e2e_fail "the refusal does not name the x64 package: $(msiinfo export "$msi" LaunchCondition)"
  [ ! -e "$unix_dir/nortavel_free_service.exe" ] || e2e_fail "a refused install left files"
  echo "x86 package refused on 64-bit Windows"
  exit 0
fi
t0=$(e2e_now_ms)
e2e_msiexec install /i 'C:\package.msi' /qn || e2e_fail "msiexec /i ended with $?"
echo "install: $(( $(e2e_now_ms) - t0 )) ms"
for f in nortavel_free_service.exe nortavelctl.exe nortaveltray.exe nortavelsettings.exe README.md nortavel_free.reg; do
  [ -f "$unix_dir/$f" ] || e2e_fail "$dir\\$f not installed"
done
cmp -s "$unix_dir/nortavelctl.exe" "$BUILD_DIR/nortavelctl.exe" || e2e_fail "installed nortavelctl.exe is not the build's"
cmp -s "$unix_dir/nortaveltray.exe" "$BUILD_DIR/nortaveltray.exe" || e2e_fail "installed nortaveltray.exe is not the build's"
# The parent's window is on the Start menu; a silent install does not open it.
# Windows makes a per-machine package's shortcut in everybody's menu; Wine 8
# sets ProgramMenuFolder to the installing user's whatever ALLUSERS says.
shortcut=$(find "$WINEPREFIX/drive_c/ProgramData" "$WINEPREFIX/drive_c/users" -path '*Start Menu/Programs/*' \
           -name 'Nortavel free settings.lnk' 2>/dev/null | head -1)
[ -n "$shortcut" ] || e2e_fail "no Start menu shortcut \"Nortavel free settings\""
strings -el "$shortcut" | grep -qi 'nortavelsettings.exe' || strings "$shortcut" | grep -qi 'nortavelsettings.exe' \
  || e2e_fail "the shortcut does not open nortavelsettings.exe"
for pid in $(pgrep -f 'nortavelsettings[.]exe' || true); do
  ! grep -qzx "WINEPREFIX=$WINEPREFIX" "/proc/$pid/environ" 2>/dev/null || e2e_fail "a silent install opened the window"
done
echo "Start menu: Nortavel free settings; the silent install opened no window"
# Every session starts the tray: the Run value names it, quoted (the folder
# holds a blank), in the package's own registry view and only there.
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
: >"$WINEPREFIX.reg.log"
e2e_reg query "$run_key" /v NortavelFreeTray || e2e_fail "no Run value for the tray"
run_value=$(tr -d '\r' <"$WINEPREFIX.reg.log" | sed -n 's/^ *NortavelFreeTray    REG_SZ    //p')
[ "$run_value" = "\"$dir\\nortaveltray.exe\"" ] || e2e_fail "Run value: $(cat "$WINEPREFIX.reg.log")"
if [ "$(e2e_msi_arch)" = x64 ] && wine reg query "$run_key" /v NortavelFreeTray /reg:32 </dev/null >/dev/null 2>&1; then
  e2e_fail "the x64 package wrote the Run value into the 32-bit view"
fi
echo "tray installed, started with every session by $run_value"

key='HKLM\System\CurrentControlSet\Services\NortavelFree'
e2e_check_registration
# Windows Installer writes the path in quotes; Wine's InstallServices leaves them
# out and its sc cannot change a path afterwards, so both forms are taken here.
image=$E2E_IMAGE_PATH
[ "$image" = "\"$dir\\nortavel_free_service.exe\"" ] || [ "$image" = "$dir\\nortavel_free_service.exe" ] \
  || e2e_fail "ImagePath $image"
e2e_check_event_sources "$dir\\nortavel_free_service.exe"
e2e_check_safe_mode present
e2e_wait_for 30 e2e_state_is RUNNING || e2e_fail "service not running after install: $(e2e_state)"
echo "service running"

e2e_reg query "$E2E_KEY" /v Debug || e2e_fail "no Debug in the service's view"
e2e_reg query "$E2E_KEY" /v Path || e2e_fail "no Path in the service's view"
tr -d '\r' <"$WINEPREFIX.reg.log" | grep -q 'Debug    REG_DWORD    0x2$' || e2e_fail "Debug is not 2"
tr -d '\r' <"$WINEPREFIX.reg.log" | grep -qi 'Path    REG_SZ    C:\\ProgramData\\NortavelFree\\logs$' || e2e_fail "Path is not the log folder"
: >"$WINEPREFIX.reg.log"
e2e_reg query "$E2E_KEY"
computer_zone=$(wine reg query 'HKLM\System\CurrentControlSet\Control\TimeZoneInformation' /v TimeZoneKeyName </dev/null \
  | tr -d '\r' | sed -n 's/^ *TimeZoneKeyName    REG_SZ    //p')
for want in 'WarnMinutes    REG_DWORD    0xa' 'LogonHoursBackstop    REG_DWORD    0x1' 'KeepUsage    REG_DWORD    0x1' \
            'EndAction    REG_SZ    lock' "TimeZone    REG_SZ    $computer_zone"; do
  tr -d '\r' <"$WINEPREFIX.reg.log" | grep -q "^ *$want\$" || e2e_fail "default '$want' not written: $(cat "$WINEPREFIX.reg.log")"
done
# The package's log names the zone it pinned and the time there; check finds
# the package's entry (Wine registers the service without quotes) and names
# its repair.
tr -d '\0' <"$WINEPREFIX/drive_c/install.log" | grep -qF "PINNEDZONE = $computer_zone, where it is " \
  || e2e_fail "the package's log does not name the zone it pinned"
(cd "$unix_dir" && wine nortavelctl.exe check </dev/null >"$WINEPREFIX.ctl.log" 2>&1) || true
tr -d '\r' <"$WINEPREFIX.ctl.log" | grep -q 'repair the package with msiexec /fa {[0-9A-F-]*}$' \
  || e2e_fail "check does not name the package's repair: $(cat "$WINEPREFIX.ctl.log")"
logs="$WINEPREFIX/drive_c/ProgramData/NortavelFree/logs"
[ -d "$logs" ] || e2e_fail "log folder not made"
e2e_wait_for 20 grep -q . "$logs/debug_free.log" || e2e_fail "the service writes no log into the folder"
env_path=$(wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v Path </dev/null | tr -d '\r')
grep -qiF "$dir" <<<"$env_path" || e2e_fail "install folder not on the machine Path: $env_path"
grep -qiF '%SystemRoot%\system32' <<<"$env_path" || e2e_fail "the rest of Path was lost: $env_path"

# With the backstop, an allowed user's account keeps their week: every hour but
# those of one restricted hour on a day other than today.
calls="$WINEPREFIX/drive_c/netapi32_calls.log"
week=$([ "$(date +%u)" = 3 ] && echo "Mo-We,Fr-Su 00:00-24:00; Th" || echo "Mo,Tu,Th-Su 00:00-24:00; We")
(cd "$unix_dir" && wine nortavelctl.exe set kid "$week 00:00-03:00, 04:00-24:00" </dev/null \
  >"$WINEPREFIX.ctl.log" 2>&1) || { cat "$WINEPREFIX.ctl.log"; e2e_fail "nortavelctl set"; }
week_written() { grep 'user=kid ' "$calls" 2>/dev/null | tail -1 | grep -q 'hours=' && ! grep 'user=kid ' "$calls" | tail -1 | grep -qE 'hours=(ff){21}|hours=(00){21}'; }
e2e_wait_for 40 week_written || e2e_fail "the service did not write kid's week: $(grep 'user=kid ' "$calls" | tail -1)"
echo "backstop: $(grep 'user=kid ' "$calls" | tail -1)"

# A configured, locked account; removal must give its hours back.
(cd "$unix_dir" && wine nortavelctl.exe set kid never </dev/null >"$WINEPREFIX.ctl.log" 2>&1) || { cat "$WINEPREFIX.ctl.log"; e2e_fail "nortavelctl set"; }
before=$(grep -c 'user=kid ' "$calls" 2>/dev/null || true)
# A child's clock runs from the install folder (the account Wine runs as, with
# a week that allows it always, so that the service leaves it alone).
user=$(wine cmd /c 'echo %USERNAME%' </dev/null 2>/dev/null | tr -d '\r')
(cd "$unix_dir" && wine nortavelctl.exe set "$user" always --force </dev/null >"$WINEPREFIX.ctl.log" 2>&1) \
  || { cat "$WINEPREFIX.ctl.log"; e2e_fail "nortavelctl set $user"; }
(cd "$unix_dir" && exec wine nortaveltray.exe </dev/null >/dev/null 2>&1) &
tray=$!
sleep 3
kill -0 "$tray" 2>/dev/null || e2e_fail "the clock did not stay before the removal"

t0=$(e2e_now_ms)
e2e_msiexec remove /x 'C:\package.msi' /qn || e2e_fail "msiexec /x ended with $?"
echo "removal: $(( $(e2e_now_ms) - t0 )) ms"
if wine reg query "$key" </dev/null >/dev/null 2>&1; then e2e_fail "service still registered after removal"; fi
e2e_check_event_sources_gone
e2e_check_safe_mode gone
e2e_service_process_gone || e2e_fail "service process still alive after removal"
for f in nortavel_free_service.exe nortavelctl.exe nortaveltray.exe; do [ ! -e "$unix_dir/$f" ] || e2e_fail "$f left behind"; done
[ -z "$(ls -A "$unix_dir" 2>/dev/null)" ] || e2e_fail "files left in $dir: $(ls -A "$unix_dir")"
e2e_wait_for 5 bash -c "! kill -0 $tray 2>/dev/null" || e2e_fail "the clock still runs after the removal"
if e2e_reg query "$run_key" /v NortavelFreeTray; then e2e_fail "the tray's Run value left behind"; fi
[ ! -e "$shortcut" ] || e2e_fail "the Start menu shortcut left behind"
last=$(grep 'user=kid ' "$calls" | tail -1)
[ "$(grep -c 'user=kid ' "$calls")" -gt "${before:-0}" ] || e2e_fail "removal made no call for kid"
case "$last" in *"hours=$(printf 'ff%.0s' $(seq 21))"*) ;; *) e2e_fail "removal did not unlock kid: $last" ;; esac
e2e_reg query "$E2E_KEY\\Time_restrictions\\kid" /v Time1 || e2e_fail "removal lost kid's rules"
e2e_reg query "$E2E_KEY" /v Debug || e2e_fail "removal lost Debug"
env_path=$(wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v Path </dev/null | tr -d '\r')
! grep -qiF "$dir" <<<"$env_path" || e2e_fail "install folder still on Path: $env_path"
grep -qiF '%SystemRoot%\system32' <<<"$env_path" || e2e_fail "removal damaged Path: $env_path"
echo "removed: service, files, shortcut, Run value and Path entry gone; kid unlocked; configuration kept"

# An existing configuration survives an install untouched.
e2e_prefix msi_install_existing
: >"$WINEPREFIX.reg.log"  # e2e_reg appends; a run before this one may have left lines
cp "$msi" "$WINEPREFIX/drive_c/package.msi"
mkdir -p "$WINEPREFIX/drive_c/keep"
e2e_reg add "$E2E_KEY" /v Debug /t REG_DWORD /d 4 /f
e2e_reg add "$E2E_KEY" /v Path /t REG_SZ /d 'C:\keep' /f

# An install that fails leaves nothing: a zone nortavelctl refuses fails the
# install at SetZone, after the steps before it wrote their values and LOGDIR's
# folders were made; the values that were there before keep what they held.
if e2e_msiexec failed /i 'C:\package.msi' /qn TIMEZONE="Atlantis Standard Time" 'LOGDIR=C:\made\logs'; then
  e2e_fail "an install with an unknown zone succeeded"
fi
: >"$WINEPREFIX.reg.log"
e2e_reg query "$E2E_KEY"
left=$(tr -d '\r' <"$WINEPREFIX.reg.log" | grep -E '^ +[A-Za-z]+ +REG_' | sed -E 's/ +/ /g; s/^ //' | sort | tr '\n' ';')
[ "$left" = 'Debug REG_DWORD 0x4;Path REG_SZ C:\keep;' ] || e2e_fail "the failed install left values: $left"
if e2e_reg query "$E2E_KEY.install"; then e2e_fail "the failed install left its copy of the settings"; fi
for made in made ProgramData/NortavelFree; do
  [ ! -e "$WINEPREFIX/drive_c/$made" ] || e2e_fail "the failed install left the folders it made: $(find "$WINEPREFIX/drive_c/$made")"
done
if wine reg query 'HKLM\System\CurrentControlSet\Services\NortavelFree' </dev/null >/dev/null 2>&1; then
  e2e_fail "the failed install left the service registered"
fi
echo "a failed install left the configuration as it was, and no folder"
e2e_msiexec install /i 'C:\package.msi' /qn ENDACTION=signout WARNMINUTES=0 BACKSTOP=0 TIMEZONE="Tokyo Standard Time" \
  'LOGDIR=C:\given\' \
  || e2e_fail "msiexec /i over a configuration ended with $?"
: >"$WINEPREFIX.reg.log"
e2e_reg query "$E2E_KEY"
tr -d '\r' <"$WINEPREFIX.reg.log" | grep -q 'Debug    REG_DWORD    0x4$' || e2e_fail "install overwrote Debug: $(cat "$WINEPREFIX.reg.log")"
tr -d '\r' <"$WINEPREFIX.reg.log" | grep -q 'Path    REG_SZ    C:\\given$' || e2e_fail "LOGDIR not applied: $(cat "$WINEPREFIX.reg.log")"
for want in 'EndAction    REG_SZ    signout' 'WarnMinutes    REG_DWORD    0x0' 'LogonHoursBackstop    REG_DWORD    0x0' \
            'TimeZone    REG_SZ    Tokyo Standard Time'; do
  tr -d '\r' <"$WINEPREFIX.reg.log" | grep -q "^ *$want\$" || e2e_fail "property not applied, '$want': $(cat "$WINEPREFIX.reg.log")"
done
e2e_wait_for 30 e2e_state_is RUNNING || e2e_fail "service not running: $(e2e_state)"
e2e_wait_for 20 grep -q . "$WINEPREFIX/drive_c/given/debug_free.log" || e2e_fail "the service does not log to the given folder"
echo "existing configuration kept by the install"
