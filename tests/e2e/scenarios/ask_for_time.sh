# Asking for more time, as a child and a parent do it. The account Wine runs as
# is restricted now and locked (EndAction lock); its clock asks for 30 minutes
# (nortaveltray /ask 30), the service logs the request and the tool lists it.
# Five wrong PINs close PIN entry: the sixth try is refused even with the right
# PIN. The parent approves from the tool, and the service gives the account its
# logon hours back. Then 10,000 malformed, oversized and silent clients leave
# the service passing at its period and its memory flat.
# Last, a running clock ends when the package says goodbye (nortaveltray /goodbye).
set -eu
. "$(dirname "$0")/../lib.sh"
trap e2e_cleanup EXIT
e2e_prefix ask_for_time
user=$(wine cmd /c 'echo %USERNAME%' </dev/null 2>/dev/null | tr -d '\r')
cp "$BUILD_DIR/nortaveltray.exe" "$BUILD_DIR/pipe_client.exe" "$E2E_DIR/"
e2e_exe /INSTALL /SILENT
e2e_configure 2
e2e_reg add "$E2E_KEY" /v EndAction /t REG_SZ /d lock /f
e2e_restrict "$user" "$(e2e_rule restricted)"
(cd "$E2E_DIR" && echo 4711 | wine nortavelctl.exe pin --stdin </dev/stdin >/dev/null 2>&1) || e2e_fail "pin --stdin"
wine net start "$E2E_SERVICE" </dev/null >/dev/null 2>&1 || true
e2e_wait_for 60 e2e_log_has "User account successfully blocked: $user" || e2e_fail "$user never locked"

client() {
  local out rc=0
  out=$(cd "$E2E_DIR" && wine pipe_client.exe "$@" </dev/null 2>/dev/null) || rc=$?
  tr -d '\r' <<<"$out"
  return $rc
}
(cd "$E2E_DIR" && wine nortaveltray.exe /ask 30 </dev/null >/dev/null 2>&1) || e2e_fail "nortaveltray /ask 30 failed"
asked=$(date +%H:%M)
e2e_wait_for 10 e2e_log_has "Extra time requested by user: $user 30 min" || e2e_fail "the request was not logged"
e2e_ctl requests
[ "$CTL_OUT" = "$user asks for 30 min, $asked" ] || e2e_fail "requests: $CTL_OUT $CTL_ERR"

answers=$(client "PIN 1111" "PIN 1111" "PIN 1111" "PIN 1111" "PIN 1111" "PIN 4711")
echo "$answers"
[ "$(sed -n 1p <<<"$answers")" = "ERR wrong PIN, 4 tries left" ] || e2e_fail "first wrong PIN: $answers"
[ "$(sed -n 5p <<<"$answers")" = "ERR wrong PIN; PIN entry is closed for 15 minutes" ] || e2e_fail "fifth: $answers"
[ "$(sed -n 6p <<<"$answers")" = "ERR PIN entry is closed for a while after too many wrong PINs" ] ||
  e2e_fail "the right PIN after five wrong ones: $answers"

t0=$(e2e_now_ms)
e2e_ctl approve "$user"
[ "$CTL_RC" = 0 ] || e2e_fail "approve: exit $CTL_RC: $CTL_ERR"
echo "$CTL_OUT"
case "$CTL_OUT" in "$user may use the computer until "[0-2][0-9]:[0-5][0-9]"; the request is closed.") ;;
  *) e2e_fail "approve said: $CTL_OUT" ;; esac
e2e_wait_for 10 e2e_log_has "User account successfully unblocked: $user" || e2e_fail "$user not unlocked"
echo "approved to unlocked: $(( $(e2e_now_ms) - t0 )) ms"

# The flood. The passes of the service (every 20 s) show in the log as its
# lock or unlock lines; none may be late while the clients come.
rss() { awk '/VmRSS/ {print $2}' "/proc/$(e2e_service_pids | head -1)/status"; }
before=$(rss)
flood_start=$(date +%s)
result=$(client --flood 10000) || e2e_fail "a malformed message got an answer other than ERR: $result"
flood_end=$(date +%s)
after=$(rss)
echo "flood: $result; service memory $before kB before, $after kB after"
[ $(( after - before )) -lt 2048 ] || e2e_fail "the service grew by $(( after - before )) kB"
passes=$(grep "successfully unblocked: $user" "$(e2e_log_file)" | sed 's/^\[ \(.*\) \].*/\1/' | while read -r t; do
  date -d "$t" +%s; done)
late=$(awk -v from="$flood_start" -v to="$flood_end" 'NR > 1 && $1 >= from && $1 <= to + 25 && $1 - prev > 25 {print $1 - prev} {prev = $1}' <<<"$passes")
[ -z "$late" ] || e2e_fail "passes came late during the flood: $late s apart"
echo "passes during the flood: $(awk -v from="$flood_start" -v to="$flood_end" '$1 >= from && $1 <= to' <<<"$passes" | wc -l)"

(cd "$E2E_DIR" && exec wine nortaveltray.exe </dev/null >/dev/null 2>&1) &
tray=$!
sleep 3
kill -0 "$tray" 2>/dev/null || e2e_fail "the clock did not stay"
t0=$(e2e_now_ms)
(cd "$E2E_DIR" && wine nortaveltray.exe /goodbye </dev/null >/dev/null 2>&1) || true
e2e_wait_for 10 bash -c "! kill -0 $tray 2>/dev/null" || e2e_fail "the clock is still running after the goodbye"
echo "goodbye: the clock ended after $(( $(e2e_now_ms) - t0 )) ms"
