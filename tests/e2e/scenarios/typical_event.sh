# The typical event end to end: the account Wine runs as is restricted in the
# current half hour and owns processes, so the first pass logs the decision, locks
# the account (recorded by the netapi32 double), logs "Shutting down computer" and
# powers off: every process of the prefix ends.
set -eu
. "$(dirname "$0")/../lib.sh"
trap e2e_cleanup EXIT
e2e_prefix typical
user=$(wine cmd /c 'echo %USERNAME%' </dev/null 2>/dev/null | tr -d '\r')
e2e_exe /INSTALL /SILENT
e2e_configure 2
rule=$(e2e_rule restricted)
e2e_restrict "$user" "$rule"
wine net start "$E2E_SERVICE" </dev/null >/dev/null 2>&1 || true
e2e_wait_for 60 e2e_log_has "Shutting down computer" || e2e_fail "no power-off request"
e2e_wait_for 20 e2e_service_process_gone || e2e_fail "the power-off did not end the service"
log=$(tr -d '\r' <"$(e2e_log_file)" | sed -E 's/^\[ [^]]* \] //')
echo "$log"
expected=("Reading times for user: $user" "Time 1 : $rule" "Time 7 : $rule"
          "FILTER: found user with time restrictions:$user" "FILTER: User logged in, invoking shutdown"
          "User account successfully blocked: $user" "Shutting down computer")
line=0
for text in "${expected[@]}"; do
  found=$(echo "$log" | tail -n +$((line + 1)) | grep -nxF -- "$text" | head -1 | cut -d: -f1)
  [ -n "$found" ] || e2e_fail "missing, or out of order: $text"
  line=$((line + found))
done
# The same tick goes on to its reload while Wine ends the processes, so lines may
# follow "Shutting down computer"; the flush before the request is proven natively.
grep -q "server=(null) user=$user level=1020 units=168 hours=$(printf '00%.0s' $(seq 21))" \
  "$WINEPREFIX/drive_c/netapi32_calls.log" || e2e_fail "no lock recorded by the double"
echo "lock recorded: $(head -1 "$WINEPREFIX/drive_c/netapi32_calls.log")"
