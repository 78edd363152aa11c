# The warning before the power-off: the account Wine runs as owns processes and
# is allowed now and in the next half hour, restricted in the two after; with
# WarnMinutes 60 the first pass shows the message in the user's session (recorded
# by our wtsapi32 double) with the start of the restricted time, and later passes
# do not repeat it.
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
exit 0
