# Upgrading in place: a package of a lower version is installed and a user
# configured with nortavelctl; installing the current package replaces the
# older product (one product entry left, the service running from the new
# files) and keeps the user, the level and the log folder; so does a rebuilt
# package of the same version. A downgrade is refused.
set -eu
. "$(dirname "$0")/../lib.sh"
trap e2e_cleanup EXIT
old=$(e2e_msi_build 0.9.0) || e2e_fail "old package build failed"
new=$(e2e_msi_build 1.0.0) || e2e_fail "new package build failed"
cp "$new" "$E2E_WORK/first-build.msi"
# Every build has a product code of its own.
rebuilt=$(e2e_msi_build 1.0.0) || e2e_fail "rebuilt package build failed"
new=$E2E_WORK/first-build.msi

e2e_prefix msi_upgrade
if [ "$(e2e_msi_arch)" = x86 ] && [ -d "$WINEPREFIX/drive_c/Program Files (x86)" ]; then
  echo "the x86 package refuses 64-bit Windows (msi_install shows it): nothing to upgrade here"
  exit 0
fi
: >"$WINEPREFIX.reg.log"  # e2e_reg appends; a run before this one may have left lines
cp "$old" "$WINEPREFIX/drive_c/old.msi"; cp "$new" "$WINEPREFIX/drive_c/new.msi"; cp "$rebuilt" "$WINEPREFIX/drive_c/rebuilt.msi"
unix_dir=$(e2e_msi_unix_dir)
e2e_msiexec old /i 'C:\old.msi' /qn || e2e_fail "msiexec /i old ended with $?"
e2e_wait_for 30 e2e_state_is RUNNING || e2e_fail "old service not running: $(e2e_state)"
(cd "$unix_dir" && wine nortavelctl.exe set kid "Mo-Fr 07:00-08:00" </dev/null >"$WINEPREFIX.ctl.log" 2>&1) \
  || { cat "$WINEPREFIX.ctl.log"; e2e_fail "nortavelctl set"; }
(cd "$unix_dir" && wine nortavelctl.exe level 3 </dev/null >>"$WINEPREFIX.ctl.log" 2>&1) || e2e_fail "nortavelctl level"
: >"$WINEPREFIX.reg.log"
e2e_reg query "$E2E_KEY\\Time_restrictions\\kid" /v Time1
rule_before=$(tr -d '\r' <"$WINEPREFIX.reg.log" | awk '/Time1/ {print $3}')
[ ${#rule_before} -eq 48 ] || e2e_fail "no rule for kid before the upgrade"
# The uninstall entries of every registry view of the prefix (Wine's msi may
# write either in a 64-bit prefix; a 32-bit prefix has one view only).
uninstall_entries() {
  local view views=32
  [ -d "$WINEPREFIX/drive_c/Program Files (x86)" ] && views="32 64"
  for view in $views; do
    wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s "/reg:$view" </dev/null 2>/dev/null
  done | tr -d '\r'
}
products() { uninstall_entries | grep -c 'DisplayName.*Nortavel free' || true; }
[ "$(products)" = 1 ] || e2e_fail "old install left $(products) product entries"

t0=$(e2e_now_ms)
e2e_msiexec upgrade /i 'C:\new.msi' /qn || e2e_fail "msiexec /i new ended with $?"
echo "upgrade: $(( $(e2e_now_ms) - t0 )) ms"
[ "$(products)" = 1 ] || e2e_fail "after the upgrade $(products) product entries"
uninstall_entries | grep -q 'DisplayVersion.*1\.0\.0' || e2e_fail "the new version is not the registered one"
for f in nortavelctl.exe nortavel_free_service.exe nortaveltray.exe; do
  [ -f "$unix_dir/$f" ] || e2e_fail "$f missing after the upgrade"
done
# The older product's removal takes its Run value; the new one's must be there.
e2e_reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' /v NortavelFreeTray \
  || e2e_fail "no Run value for the tray after the upgrade"
e2e_wait_for 30 e2e_state_is RUNNING || e2e_fail "service not running after the upgrade: $(e2e_state)"
: >"$WINEPREFIX.reg.log"
e2e_reg query "$E2E_KEY\\Time_restrictions\\kid" /v Time1 || e2e_fail "the upgrade lost kid"
[ "$(tr -d '\r' <"$WINEPREFIX.reg.log" | awk '/Time1/ {print $3}')" = "$rule_before" ] || e2e_fail "kid's rule changed"
: >"$WINEPREFIX.reg.log"
e2e_reg query "$E2E_KEY" /v Debug
tr -d '\r' <"$WINEPREFIX.reg.log" | grep -q 'Debug    REG_DWORD    0x3$' || e2e_fail "the upgrade reset the level: $(cat "$WINEPREFIX.reg.log")"
echo "upgraded in place; kid and level 3 kept"

e2e_msiexec rebuilt /i 'C:\rebuilt.msi' /qn || e2e_fail "msiexec /i of the rebuilt package ended with $?"
[ "$(products)" = 1 ] || e2e_fail "after the same-version rebuild $(products) product entries"
e2e_wait_for 30 e2e_state_is RUNNING || e2e_fail "service not running after the rebuild: $(e2e_state)"
e2e_reg query "$E2E_KEY\\Time_restrictions\\kid" /v Time1 || e2e_fail "the rebuild lost kid"
echo "a rebuild of the same version replaced it"

if e2e_msiexec downgrade /i 'C:\old.msi' /qn; then e2e_fail "a downgrade was accepted"; fi
e2e_wait_for 30 e2e_state_is RUNNING || e2e_fail "service not running after the refused downgrade"
echo "downgrade refused"
