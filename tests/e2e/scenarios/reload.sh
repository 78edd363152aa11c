# A changed rule is picked up by the reload two minutes after the start, without
# a restart; the reload also logs the rules again.
set -eu
. "$(dirname "$0")/../lib.sh"
trap e2e_cleanup EXIT
e2e_prefix reload
e2e_exe /INSTALL /SILENT
e2e_configure 2
e2e_restrict nouser_kid "$(e2e_rule allowed)"
wine net start "$E2E_SERVICE" </dev/null >/dev/null 2>&1 || true
e2e_wait_for 30 e2e_state_is RUNNING || e2e_fail "service never RUNNING"
e2e_wait_for 20 e2e_log_has "ERROR: Not possible to set user settings nouser_kid" || e2e_fail "no first pass"
e2e_log_has "FILTER: found user with time restrictions:nouser_kid" && e2e_fail "restricted before the change"
e2e_restrict nouser_kid "$(e2e_rule restricted)"
e2e_wait_for 150 e2e_log_has "FILTER: found user with time restrictions:nouser_kid" || e2e_fail "change not picked up"
echo "picked up after the reload:"; tr -d '\r' <"$(e2e_log_file)" | grep -F "FILTER" | head -2
wine net stop "$E2E_SERVICE" </dev/null >/dev/null 2>&1 || true
e2e_wait_for 30 e2e_state_is STOPPED || e2e_fail "service never STOPPED"
