# A log over 1 MiB is cut back below 1 MiB when the service stops; the newest
# lines survive and the file is hidden.
set -eu
. "$(dirname "$0")/../lib.sh"
trap e2e_cleanup EXIT
e2e_prefix trim
e2e_exe /INSTALL /SILENT
e2e_configure 3
log=$(e2e_log_file)
for i in $(seq 1 17000); do printf '[ old ] line %06d of a long log that must be cut back to size\r\n' "$i"; done >"$log"
before=$(stat -c %s "$log")
wine net start "$E2E_SERVICE" </dev/null >/dev/null 2>&1 || true
e2e_wait_for 30 e2e_state_is RUNNING || e2e_fail "service never RUNNING"
e2e_wait_for 20 e2e_log_has "Service started" || e2e_fail "no 'Service started'"
t0=$(e2e_now_ms)
wine net stop "$E2E_SERVICE" </dev/null >/dev/null 2>&1 || true
e2e_wait_for 30 e2e_state_is STOPPED || e2e_fail "service never STOPPED"
echo "stop request to STOPPED with a $before-byte log: $(( $(e2e_now_ms) - t0 )) ms"
after=$(stat -c %s "$log")
echo "log size before: $before bytes, after: $after bytes"
[ "$before" -ge 1048576 ] || e2e_fail "test log too small"
[ "$after" -lt 1048576 ] || e2e_fail "log not trimmed"
tail -2 "$log" | grep -qF "Service stopped" || e2e_fail "newest lines lost"
head -1 "$log" | grep -q '^\[ old \] line' || e2e_fail "first kept line is not a whole old line"
