# A schedule the computer's time zone cannot move: Wine's zone is Kiritimati
# (UTC+14, 28 half hours from UTC) and TimeZone fixes UTC. The rule restricts
# only the current UTC half hour and the next, so the service locks the user;
# by the computer's own clock the user would be allowed. Clearing TimeZone with
# nortavelctl gives the hours back at the next tick.
set -eu
. "$(dirname "$0")/../lib.sh"
trap e2e_cleanup EXIT
e2e_needs_zone Pacific/Kiritimati
export TZ=Pacific/Kiritimati  # the wineserver takes the computer's zone from it
e2e_prefix fixed_zone
e2e_exe /INSTALL /SILENT
e2e_configure 3
e2e_reg add "$E2E_KEY" /v TimeZone /t REG_SZ /d UTC /f
rule=$(TZ=UTC e2e_rule restricted)
local_rule=$(e2e_rule restricted)
[ "$rule" != "$local_rule" ] || e2e_fail "UTC and the computer's zone give the same half hours"
e2e_restrict tzkid "$rule"
wine net start "$E2E_SERVICE" </dev/null >/dev/null 2>&1 || true
e2e_wait_for 60 e2e_log_has "User account successfully blocked: tzkid" || e2e_fail "tzkid was not locked by UTC"
e2e_log_has "the restrictions keep to the time zone UTC" || e2e_fail "the differing computer zone was not logged"
grep -F "WARNING:The computer's time zone is" "$(e2e_log_file)" | tr -d '\r'
slot=$(( 10#$(TZ=UTC date +%H) * 2 + 10#$(TZ=UTC date +%M) / 30 ))
decision=$(grep -E "Time control check: day=[0-6] position\[($slot|$(( (slot + 47) % 48 )))\]=1" "$(e2e_log_file)" |
  tail -1 | tr -d '\r')
[ -n "$decision" ] || e2e_fail "the decision was not taken at the UTC half hour $slot"
echo "$decision"
grep -q "user=tzkid level=1020 units=168 hours=$(printf '00%.0s' $(seq 21))" \
  "$WINEPREFIX/drive_c/netapi32_calls.log" || e2e_fail "no lock recorded by the double"

e2e_ctl timezone --clear
[ "$CTL_RC" = 0 ] || e2e_fail "timezone --clear: exit $CTL_RC: $CTL_ERR"
echo "$CTL_OUT"
e2e_wait_for 30 e2e_log_has "User account successfully unblocked: tzkid" ||
  e2e_fail "by the computer's own zone tzkid is allowed, yet was not unlocked"
