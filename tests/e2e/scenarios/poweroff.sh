# The power-off path with the real calls: the probe enables the shutdown privilege,
# writes its log at level 2 and requests a forced power-off. Wine then ends every
# process of the prefix (a bystander, Wine's own services and the probe itself),
# and the log file already ends with "Shutting down computer".
set -eu
. "$(dirname "$0")/../lib.sh"
trap e2e_cleanup EXIT

# The Linux ids of the prefix's Windows processes: Wine processes (not the
# wineserver) that carry this prefix in their environment.
prefix_processes() {
  local pid exe
  for pid in $(ls /proc | grep -E '^[0-9]+$'); do
    exe=$(readlink "/proc/$pid/exe" 2>/dev/null) || continue
    case "$(basename "$exe")" in wine*preloader | wine | wine64) ;; *) continue ;; esac
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    # A process that has ended but not yet been reaped is gone for our purpose.
    [ "$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null)" = Z ] && continue
    echo "$pid"
  done
}
none_left() { [ -z "$(prefix_processes)" ]; }

e2e_prefix poweroff
[ -f "$BUILD_DIR/poweroff_probe.exe" ] || e2e_fail "poweroff_probe.exe is not built in $BUILD_DIR"
cp "$BUILD_DIR/poweroff_probe.exe" "$E2E_DIR/"
cd "$E2E_DIR"
log_file="$E2E_DIR/debug_free.log"

wine poweroff_probe.exe --idle 'C:\nortavel\' </dev/null >"$WINEPREFIX.idle.log" 2>&1 &
e2e_wait_for 60 test -f "$E2E_DIR/idle.ready" || e2e_fail "the bystander did not start"
before=$(prefix_processes | wc -l)
echo "prefix processes before the power-off: $before"
[ "$before" -ge 2 ] || e2e_fail "expected the bystander and Wine's services to run, found $before processes"

wine poweroff_probe.exe 'C:\nortavel\' </dev/null >"$WINEPREFIX.probe.log" 2>&1 &
e2e_wait_for 60 test -f "$log_file" || e2e_fail "no log file was written before the power-off"
e2e_wait_for 60 none_left || {
  ps -o pid,stat,args -p "$(prefix_processes | paste -sd, -)" || true
  e2e_fail "processes of the prefix are still running 60 s after the power-off request"
}
echo "every process of the prefix has ended"

# The probe may or may not live long enough to write its result.
if [ -f "$E2E_DIR/poweroff_probe.result" ]; then
  result=$(tr -d '\r' <"$E2E_DIR/poweroff_probe.result")
  echo "probe wrote: $result"
  [ "$result" = result=1 ] || e2e_fail "the power-off request was refused"
fi

echo "log file:"
tr -d '\r' <"$log_file" | sed 's/^/  /'
lines=$(tr -d '\r' <"$log_file" | grep -v '^$')
echo "$lines" | tail -1 | grep -q '\] Shutting down computer$' ||
  e2e_fail "the newest log line is not \"Shutting down computer\""
echo "$lines" | tail -2 | head -1 | grep -q '\] User account successfully blocked: probe$' ||
  e2e_fail "the lines logged before the power-off are not in the file before it"
echo "$lines" | grep -q 'FILTER: User logged in, invoking shutdown$' || e2e_fail "the pass's lines are missing"
echo "power-off ended the prefix after the log was written"
