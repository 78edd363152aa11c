# The sample configuration of the README, imported as an administrator would,
# is read by the service: its level, its log folder and the user "child".
set -eu
. "$(dirname "$0")/../lib.sh"
trap e2e_cleanup EXIT
e2e_prefix sample
e2e_exe /INSTALL /SILENT
mkdir -p "$WINEPREFIX/drive_c/ProgramData/NortavelFree/logs"
cp "$(dirname "$0")/../../../examples/nortavel_free.reg" "$E2E_DIR/"
(cd "$E2E_DIR" && wine reg import nortavel_free.reg /reg:32 </dev/null >>"$WINEPREFIX.reg.log" 2>&1)
wine net start "$E2E_SERVICE" </dev/null >/dev/null 2>&1 || true
log="$WINEPREFIX/drive_c/ProgramData/NortavelFree/logs/debug_free.log"
e2e_wait_for 30 grep -q "Service started" "$log" 2>/dev/null || e2e_fail "no log in C:\\ProgramData\\NortavelFree\\logs"
wine net stop "$E2E_SERVICE" </dev/null >/dev/null 2>&1 || true
e2e_wait_for 30 e2e_state_is STOPPED || e2e_fail "service never STOPPED"
tr -d '\r' <"$log" | sed -E 's/^\[ [^]]* \] //' >"$WINEPREFIX.lines"
cat "$WINEPREFIX.lines"
grep -qxF "Reading times for user: child" "$WINEPREFIX.lines" || e2e_fail "user child not read"
for n in 1 2 3 4 5 6 7; do
  grep -qxF "Time $n : 111111111111110000000000000000000000000011111111" "$WINEPREFIX.lines" || e2e_fail "Time$n not read"
done
grep -qxF "Service stopped" "$WINEPREFIX.lines" || e2e_fail "level 3 lifecycle lines missing"
