# A change followed by the reload request (user-defined control 128) is read at
# the next tick, not two minutes later; other user-defined codes change nothing.
# Prints the time from the request to the log showing the new rule.
set -eu
. "$(dirname "$0")/../lib.sh"
trap e2e_cleanup EXIT
e2e_prefix reload_request
e2e_exe /INSTALL /SILENT
e2e_configure 2
allowed=$(e2e_rule allowed)
restricted=$(e2e_rule restricted)
e2e_restrict nouser_kid "$allowed"
wine net start "$E2E_SERVICE" </dev/null >/dev/null 2>&1 || true
e2e_wait_for 30 e2e_state_is RUNNING || e2e_fail "service never RUNNING"
e2e_wait_for 20 e2e_log_has "Time 1 : $allowed" || e2e_fail "first rules not read"

e2e_restrict nouser_kid "$restricted"
e2e_control 200 >/dev/null
sleep 5
if e2e_log_has "Time 1 : $restricted"; then e2e_fail "control 200 reloaded"; fi
t0=$(e2e_now_ms)
status=$(e2e_control 128)
case "$status" in "state=4 "*) ;; *) e2e_fail "control 128: $status" ;; esac
e2e_wait_for 10 e2e_log_has "Time 1 : $restricted" || e2e_fail "the requested reload did not come"
echo "request to new rule in the log: $(( $(e2e_now_ms) - t0 )) ms (without the request: up to 120000 ms)"
wine net stop "$E2E_SERVICE" </dev/null >/dev/null 2>&1 || true
e2e_wait_for 30 e2e_state_is STOPPED || e2e_fail "service never STOPPED"
