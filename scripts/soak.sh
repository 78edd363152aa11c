#!/bin/bash
# Soak run: the service runs under Wine at level 4 for MINUTES (default 30) with
# one allowed user (the account Wine runs as, unlocked every pass) and one
# restricted user without an account (a failed lock every pass). Every minute it
# samples the service's Linux process: resident anonymous memory (the private
# bytes), virtual size, open file descriptors (Wine's handles to files, sockets
# and server objects) and threads, and prints the series. Wine reports neither
# handle counts nor private bytes of another process, hence the Linux view.
#   scripts/soak.sh [MINUTES]
set -eu
cd "$(dirname "$0")/.."
minutes=${1:-30}
. tests/e2e/lib.sh
e2e_use_build soak
trap e2e_cleanup EXIT
e2e_prefix soak
user=$(wine cmd /c 'echo %USERNAME%' </dev/null 2>/dev/null | tr -d '\r')
e2e_exe /INSTALL /SILENT
e2e_configure 4
e2e_restrict "$user" "$(printf '0%.0s' $(seq 48))"
e2e_restrict nouser_kid "$(printf '1%.0s' $(seq 48))"
wine net start "$E2E_SERVICE" </dev/null >/dev/null 2>&1 || true
e2e_wait_for 30 e2e_state_is RUNNING || e2e_fail "service never RUNNING"
pid=$(e2e_service_pids | head -1)
echo "minute  rss_anon_kB  vm_size_kB  fds  threads  log_bytes"
sample() {
  local anon size fds threads
  anon=$(awk '/^RssAnon:/ {print $2}' "/proc/$pid/status")
  size=$(awk '/^VmSize:/ {print $2}' "/proc/$pid/status")
  threads=$(awk '/^Threads:/ {print $2}' "/proc/$pid/status")
  fds=$(ls "/proc/$pid/fd" | wc -l)
  printf '%6s  %11s  %10s  %3s  %7s  %9s\n' "$1" "$anon" "$size" "$fds" "$threads" "$(stat -c %s "$(e2e_log_file)" 2>/dev/null || echo 0)"
}
for m in $(seq 0 "$minutes"); do
  [ -d "/proc/$pid" ] || e2e_fail "service process ended at minute $m"
  sample "$m"
  [ "$m" -lt "$minutes" ] && sleep 60
done
wine net stop "$E2E_SERVICE" </dev/null >/dev/null 2>&1 || true
e2e_wait_for 30 e2e_state_is STOPPED || e2e_fail "service never STOPPED"
echo "passes logged: $(grep -c 'ERROR: Not possible to set user settings nouser_kid' "$(e2e_log_file)")"
