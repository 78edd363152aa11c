# The warning before the power-off: the account Wine runs as owns processes and
# is allowed now and in the next half hour, restricted in the two after; with
# WarnMinutes 60 the first pass shows the message in the user's session (recorded
# by our wtsapi32 double) with the start of the restricted time, and later passes
# do not repeat it. Then, in sign-out mode with WarnMinutes 1, nortavelctl set
# restricts the user at once: the tool says when their time ends, the service
# locks and warns them at once and signs them out (never powers off) a minute later.
# Last, a daily budget of one minute with no warning: the user, counted since the
# start, has long used it up, so the pass after the reload says so and signs them
# out; the usage file holds the day's use; after a restart the first pass finds
# the budget used up again, although a reader held the readers' copy of the file
# open all along. Then the time of a locked and of a switched-away session is
# not counted, that of an unlocked one is.
set -eu
. "$(dirname "$0")/../lib.sh"
trap e2e_cleanup EXIT
e2e_prefix warning
user=$(wine cmd /c 'echo %USERNAME%' </dev/null 2>/dev/null | tr -d '\r')
e2e_exe /INSTALL /SILENT
e2e_configure 2
e2e_reg add "$E2E_KEY" /v WarnMinutes /t REG_DWORD /d 60 /f
# As the package sets it: use is counted from the start, budget or not.
e2e_reg add "$E2E_KEY" /v KeepUsage /t REG_DWORD /d 1 /f
slot=$(( 10#$(date +%H) * 2 + 10#$(date +%M) / 30 ))
ends=$(( (slot + 2) % 48 ))
rule=""
for i in $(seq 0 47); do
  if [ "$i" -eq "$ends" ] || [ "$i" -eq $(( (ends + 1) % 48 )) ]; then rule+=1; else rule+=0; fi
done
e2e_restrict "$user" "$rule"
started=$(date +%s); start_day=$(date +%F)
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

# The budget: written without a reload request, so that the one set asks for
# reads it whole, with every half hour allowed. The use counted since the start
# is one day's only if no midnight came in between.
if [ "$(date +%F)" != "$start_day" ]; then echo "midnight passed: the budget is not tried"; exit 0; fi
used_up="Daily time used up for user: $user"
used_up_count() { grep -c -- "$used_up" "$(e2e_log_file)" || true; }
# after_used_up N TEXT: TEXT is logged after the Nth used-up line.
after_used_up() {
  tr -d '\r' <"$(e2e_log_file)" | awk -v m="$used_up" -v n="$1" 'index($0, m) { seen++ } seen >= n' | grep -qF -- "$2"
}
cp "$BUILD_DIR/hold_file.exe" "$E2E_DIR/"
wine "$E2E_DIR/hold_file.exe" 'C:\ProgramData\NortavelFree\usage.csv' </dev/null >/dev/null 2>&1 &
e2e_reg add "$E2E_KEY" /v WarnMinutes /t REG_DWORD /d 0 /f
for n in 1 2 3 4 5 6 7; do
  e2e_reg add "$E2E_KEY\\Time_restrictions\\$user" /v "Budget$n" /t REG_DWORD /d 1 /f
done
[ "$(used_up_count)" = 0 ] || e2e_fail "the budget was used up before it was set"
set_at=$(date +%s)
e2e_ctl set "$user" always
[ "$CTL_RC" = 0 ] || e2e_fail "set always: exit $CTL_RC: $CTL_ERR"
e2e_wait_for 30 e2e_log_has "$used_up" || e2e_fail "the budget was not found used up"
e2e_wait_for 10 after_used_up 1 "Signing out user: $user" ||
  e2e_fail "$user was not signed out when the budget was used up"
after_used_up 1 "User account successfully blocked: $user" || e2e_fail "$user not locked when the budget was used up"
echo "budget used up $(( $(date +%s) - set_at )) s after set"

# The day's use as the service's record keeps it: the user was present from the start.
usage="$WINEPREFIX/drive_c/ProgramData/NortavelFree/service/usage.csv"
[ -f "$usage" ] || e2e_fail "no usage record in C:\\ProgramData\\NortavelFree\\service"
tr -d '\r' <"$usage"
[ "$(head -1 "$usage" | tr -d '\r')" = "date,user,seconds" ] || e2e_fail "the usage file has no header"
day=$(tr -d '\r' <"$usage" | sed -n 's/^# latest [0-9-]* [0-9:]* UTC; day \([0-9-]*\)$/\1/p')
seconds=$(tr -d '\r' <"$usage" | awk -F, -v d="$day" -v u="$user" '$1 == d && $2 == u { print $3 }')
echo "$user used ${seconds:-nothing} s on ${day:-no day} in $(( $(date +%s) - started )) s of service"
[ -n "$day" ] && [ -n "$seconds" ] || e2e_fail "no row of the day for $user"
[ "$seconds" -ge 60 ] || e2e_fail "less than the minute counted"
[ "$seconds" -le $(( $(date +%s) - started )) ] || e2e_fail "more counted than the service ran"
[ "$seconds" -ge $(( set_at - started - 20 )) ] || e2e_fail "less counted than the user was present"

# The use survives a restart: the first pass of the new start finds the budget
# used up (a pass that counted afresh would have unlocked the user first).
wine net stop "$E2E_SERVICE" </dev/null >/dev/null 2>&1 || true
e2e_wait_for 30 e2e_state_is STOPPED || e2e_fail "service never STOPPED"
lines_before=$(wc -l <"$(e2e_log_file)")
restarted=$(date +%s)
wine net start "$E2E_SERVICE" </dev/null >/dev/null 2>&1 || true
second_used_up() { [ "$(used_up_count)" -ge 2 ]; }
e2e_wait_for 30 second_used_up || e2e_fail "the budget was not used up after the restart"
echo "budget used up again $(( $(date +%s) - restarted )) s after the restart began"
first=$(tail -n +$((lines_before + 1)) "$(e2e_log_file)" | tr -d '\r' |
  grep -m1 -oE -- "($used_up|User account successfully (un)?blocked: $user)\$" || true)
[ "$first" = "$used_up" ] || e2e_fail "the first pass after the restart did not find the budget used up: $first"
e2e_wait_for 10 after_used_up 2 "Signing out user: $user" || e2e_fail "$user was not signed out after the restart"
e2e_log_has "Shutting down computer" && e2e_fail "powered off in sign-out mode"

# Time counts at an unlocked screen only: while the double reports the session
# locked, or switched away from, the record does not grow (a tick of slack);
# unlocked, it does. Each phase runs the service for 12 s; its stop saves.
counted() { tr -d '\r' <"$usage" | awk -F, -v d="$day" -v u="$user" '$1 == d && $2 == u { print $3 }'; }
for phase in locked disconnected unlocked; do
  echo "$phase" >"$WINEPREFIX/drive_c/wtsapi32_state.txt"
  wine net stop "$E2E_SERVICE" </dev/null >/dev/null 2>&1 || true
  e2e_wait_for 30 e2e_state_is STOPPED || e2e_fail "service never STOPPED"
  before=$(counted)
  wine net start "$E2E_SERVICE" </dev/null >/dev/null 2>&1 || true
  sleep 12
  wine net stop "$E2E_SERVICE" </dev/null >/dev/null 2>&1 || true
  e2e_wait_for 30 e2e_state_is STOPPED || e2e_fail "service never STOPPED"
  grown=$(( $(counted) - before ))
  echo "$phase: $grown s counted in 12 s"
  if [ "$phase" = unlocked ]; then [ "$grown" -ge 6 ] || e2e_fail "an unlocked session did not count"
  else [ "$grown" -le 2 ] || e2e_fail "a $phase session counted $grown s"; fi
done
exit 0
