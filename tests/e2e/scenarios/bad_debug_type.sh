# A Debug value of the wrong type ends the start: the service reports STOPPED and
# writes one error event naming the value.
set -eu
. "$(dirname "$0")/../lib.sh"
trap e2e_cleanup EXIT
export WINEDEBUG=err+eventlog
e2e_prefix bad_debug
e2e_exe /INSTALL /SILENT
e2e_reg add "$E2E_KEY" /v Debug /t REG_SZ /d 3 /f
wine net start "$E2E_SERVICE" </dev/null >/dev/null 2>&1 || true
e2e_wait_for 30 e2e_state_is STOPPED || e2e_fail "service not STOPPED (state: $(e2e_state))"
e2e_wait_for 10 grep -q "Service failed on start: Invalid data type for 'Debug'" "$WINEPREFIX.session.log" \
  || { cat "$WINEPREFIX.session.log"; e2e_fail "no start failure event"; }
grep "Service failed on start" "$WINEPREFIX.session.log"
