# nortavelctl against the installed, running service: set refuses an account
# that does not exist, stores a week in the view the service reads and asks for
# a reload, so the new rule is in the service's log within seconds; status and
# check see the service; remove gives the account its hours back; export writes
# a file reg import takes. Prints the time from set to the log line.
set -eu
. "$(dirname "$0")/../lib.sh"
trap e2e_cleanup EXIT
e2e_prefix ctl_set
e2e_exe /INSTALL /SILENT
e2e_configure 2
wine net start "$E2E_SERVICE" </dev/null >/dev/null 2>&1 || true
e2e_wait_for 30 e2e_state_is RUNNING || e2e_fail "service never RUNNING"
e2e_wait_for 20 e2e_log_has "Reading times" || e2e_log_has "No restricted users" || sleep 3

e2e_ctl set nouser_kid always
[ "$CTL_RC" = 1 ] || e2e_fail "set of a missing account: exit $CTL_RC"
case "$CTL_ERR" in *"there is no local account named nouser_kid"*"--force"*) ;; *) e2e_fail "set: $CTL_ERR" ;; esac

# Three changes typed one after the other, right after the start: each is read
# at the service's next tick.
never=$(printf '1%.0s' $(seq 48))
first_half_hour=0$(printf '1%.0s' $(seq 47))
always=$(printf '0%.0s' $(seq 48))
for change in "never:$never" "always:$always" "Su 00:00-00:30:$first_half_hour"; do
  t0=$(e2e_now_ms)
  e2e_ctl set kid "${change%:*}"
  [ "$CTL_RC" = 0 ] || e2e_fail "set: exit $CTL_RC: $CTL_ERR"
  case "$CTL_OUT" in *"The service reads the change within a few seconds."*) ;; *) e2e_fail "set: $CTL_OUT" ;; esac
  e2e_wait_for 10 e2e_log_has "Time 7 : ${change##*:}" || e2e_fail "the new rule never reached the service's log"
  echo "nortavelctl set to the new rule in the service's log: $(( $(e2e_now_ms) - t0 )) ms"
done
e2e_ctl set kid never
[ "$CTL_RC" = 0 ] || e2e_fail "set: exit $CTL_RC: $CTL_ERR"
echo "$CTL_OUT"
e2e_reg query "$E2E_KEY\\Time_restrictions\\kid" /v Time3 || e2e_fail "set wrote another view"
grep -q "Time3.*REG_SZ.*$never" "$WINEPREFIX.reg.log" || e2e_fail "Time3 not in the service's view"

e2e_ctl status
echo "$CTL_OUT"
case "$CTL_OUT" in *"Service:     running, automatic start, account LocalSystem"*"kid             restricted"*) ;;
  *) e2e_fail "status: $CTL_OUT" ;; esac

e2e_ctl check
echo "$CTL_OUT"

e2e_ctl remove kid
[ "$CTL_RC" = 0 ] || e2e_fail "remove: exit $CTL_RC: $CTL_ERR"
last=$(grep 'user=kid ' "$WINEPREFIX/drive_c/netapi32_calls.log" | tail -1)
case "$last" in *"hours=$(printf 'ff%.0s' $(seq 21))"*) ;; *) e2e_fail "remove did not unlock kid: $last" ;; esac

e2e_ctl export 'C:\nortavel\export.reg'
[ "$CTL_RC" = 0 ] || e2e_fail "export: exit $CTL_RC: $CTL_ERR"
[ "$(head -c 2 "$E2E_DIR/export.reg" | od -An -tx1 | tr -d ' ')" = fffe ] || e2e_fail "export has no byte-order mark"
e2e_reg delete "$E2E_KEY" /f
e2e_reg import 'C:\nortavel\export.reg' || e2e_fail "reg import refused the export"
e2e_ctl show
case "$CTL_OUT" in "No user is configured in"*) ;; *) e2e_fail "show after import: $CTL_OUT" ;; esac
e2e_reg query "$E2E_KEY" /v Path || e2e_fail "the import made no main key"
grep -qF 'C:\nortavel\logs' "$WINEPREFIX.reg.log" || e2e_fail "the import lost Path"

wine net stop "$E2E_SERVICE" </dev/null >/dev/null 2>&1 || true
e2e_wait_for 30 e2e_state_is STOPPED || e2e_fail "service never STOPPED"
