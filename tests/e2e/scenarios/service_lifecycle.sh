# Install, start, query, interrogate, a user-defined control, stop: the service
# reaches RUNNING accepting stop and shutdown, answers every control, logs its
# lifecycle at level 3, and its process ends after STOPPED. Prints the times from
# start request to RUNNING and from stop request to STOPPED.
set -eu
. "$(dirname "$0")/../lib.sh"
trap e2e_cleanup EXIT
e2e_prefix lifecycle
e2e_exe /INSTALL /SILENT
e2e_configure 3
# An account that does not exist: every pass logs a failed update, nothing powers off.
e2e_restrict nouser_kid "$(e2e_rule allowed)"

t0=$(e2e_now_ms)
wine net start "$E2E_SERVICE" </dev/null >/dev/null 2>&1 || true
e2e_wait_for 30 e2e_state_is RUNNING || e2e_fail "service never RUNNING (state: $(e2e_state))"
echo "start request to RUNNING: $(( $(e2e_now_ms) - t0 )) ms"

status=$(e2e_control query)
echo "query: $status"
case "$status" in "state=4 accepted=5 exit=0 specific=0 checkpoint=0 waithint=2000") ;; *) e2e_fail "query: $status" ;; esac
status=$(e2e_control 4)
echo "interrogate: $status"
case "$status" in "state=4 accepted=5 "*) ;; *) e2e_fail "interrogate: $status" ;; esac
status=$(e2e_control 200)
echo "user-defined 200: $status"
case "$status" in "state=4 "*) ;; *) e2e_fail "user-defined control: $status" ;; esac

e2e_wait_for 20 e2e_log_has "Service started" || e2e_fail "no 'Service started' in the log"
# This prefix is 64-bit: the 32-bit build, which cannot see 64-bit processes, says so.
wow64="WARNING:This 32-bit service runs on 64-bit Windows and cannot see 64-bit programs"
if objdump -f "$BUILD_DIR/nortavel_free_service.exe" | grep -q x86-64; then
  if e2e_log_has "$wow64"; then e2e_fail "the 64-bit build warned of 32-bit blindness"; fi
else
  e2e_log_has "$wow64" || e2e_fail "the 32-bit build did not warn that it cannot see 64-bit programs"
fi
e2e_wait_for 20 e2e_log_has "ERROR: Not possible to set user settings nouser_kid" || e2e_fail "no enforcement pass"
# Stop in the middle of a tick period: the handler's lines go out by its own flush.
sleep 1.3
t0=$(e2e_now_ms)
wine net stop "$E2E_SERVICE" </dev/null >/dev/null 2>&1 || true
e2e_wait_for 30 e2e_state_is STOPPED || e2e_fail "service never STOPPED (state: $(e2e_state))"
echo "stop request to STOPPED: $(( $(e2e_now_ms) - t0 )) ms"
e2e_wait_for 20 e2e_service_process_gone || e2e_fail "service process still running"
e2e_log_has "Service stopped" || e2e_fail "no 'Service stopped' in the log"
# The stop's lines, then the module's destruction at program end, and nothing else.
tail -2 "$(e2e_log_file)" | sed -E 's/^\[ [^]]* \] //' | tr -d '\r' | paste -sd'|' | grep -qx "Service stopped|Service destroyed" \
  || e2e_fail "the log does not end with 'Service stopped', 'Service destroyed'"
echo "log:"; tr -d '\r' <"$(e2e_log_file)"
