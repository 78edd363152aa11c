# The warning before the power-off: the account Wine runs as owns processes and
# is allowed now and in the next half hour, restricted in the two after; with
# WarnMinutes 60 the first pass shows the message in the user's session (recorded
# by our wtsapi32 double) with the start of the restricted time, and later passes
# do not repeat it. Then, in sign-out mode with WarnMinutes 1, nortavelctl set
# restricts the user at once: the tool says when their time ends, the service
# locks and warns them at once and signs them out (never powers off) a minute later.
set -eu
. "$(dirname "$0")/../lib.sh"
trap e2e_cleanup EXIT
e2e_prefix warning
user=$(wine cmd /c 'echo %USERNAME%' </dev/null 2>/dev/null | tr -d '\r')
e2e_exe /INSTALL /SILENT
e2e_configure 2
e2e_reg add "$E2E_KEY" /v WarnMinutes /t REG_DWORD /d 60 /f
slot=$(( 10#$(date +%H) * 2 + 10#$(date +%M) / 30 ))
ends=$(( (slot + 2) % 48 ))
rule=""
for i in $(seq 0 47); do
  if [ "$i" -eq "$ends" ] || [ "$i" -eq $(( (ends + 1) % 48 )) ]; then rule+=1; else rule+=0; fi
done
e2e_restrict "$user" "$rule"
wine net start "$E2E_SERVICE" </dev/null >/dev/null 2>&1 || true
e2e_wait_for 60 e2e_log_has "Warning sent to user: $user" || e2e_fail "no warning logged"
calls="$WINEPREFIX/drive_c/wtsapi32_calls.log"
cat "$calls"
text=$(printf 'Your computer time ends at %02d:%02d. The computer will be switched off then: please save your work.' \
  $(( ends / 2 )) $(( ends % 2 * 30 )))
tr -d '\r' <"$calls" | grep -qxF "server=current session=1 title=Nortavel free title_bytes=13 text=$text text_bytes=${#text} style=0x40030 timeout=0 wait=0" ||
  e2e_fail "the message is not the one expected: $text"
# Two more passes (every 20 s) leave the message alone.
three_passes() { [ "$(grep -c "User account successfully unblocked: $user" "$(e2e_log_file)")" -ge 3 ]; }
e2e_wait_for 60 three_passes || e2e_fail "no further passes"
[ "$(wc -l <"$calls")" -eq 1 ] || e2e_fail "the warning was repeated"
e2e_log_has "Shutting down computer" && e2e_fail "powered off while allowed"

e2e_ctl endaction signout
[ "$CTL_RC" = 0 ] || e2e_fail "endaction: exit $CTL_RC: $CTL_ERR"
e2e_ctl warn 1
e2e_ctl set "$user" never
[ "$CTL_RC" = 0 ] || e2e_fail "set: exit $CTL_RC: $CTL_ERR"
echo "$CTL_OUT"
case "$CTL_OUT" in *"$user is using the computer now: they are warned and signed out at "[0-2][0-9]:[0-5][0-9]*) ;;
  *) e2e_fail "set did not say that $user is cut off: $CTL_OUT" ;; esac
e2e_wait_for 30 e2e_log_has "User account successfully blocked: $user" || e2e_fail "$user not locked at once"
e2e_wait_for 10 grep -q "You will be signed out then: please save your work." "$calls" || e2e_fail "no warning of the sign-out"
locked_at=$(date +%s)
e2e_log_has "Signing out user: $user" && e2e_fail "signed out before the minute of warning"
e2e_wait_for 150 e2e_log_has "Signing out user: $user" || e2e_fail "$user was never signed out"
echo "signed out $(( $(date +%s) - locked_at )) s after the lock"
[ $(( $(date +%s) - locked_at )) -ge 40 ] || e2e_fail "signed out too soon after the warning"
grep -qx "logoff server=current session=1 wait=0" <(tr -d '\r' <"$calls") || e2e_fail "no sign-out reached the session"
e2e_log_has "Shutting down computer" && e2e_fail "powered off in sign-out mode"
exit 0
