#!/bin/bash
# What the service's work costs the computer: the CPU time (user + system, from
# /proc/PID/stat) of the Wine process running the service over SECONDS, beside
# the same service built with ticks that do nothing
# (nortavel_free_service_empty_tick.exe), both running at once in prefixes of
# their own, set up alike: level 2, the account Wine runs as restricted with a
# rule that allows it (so every pass unlocks it through our netapi32 double),
# and EXTRA idle 32-bit processes whose owners the ticks read. Also prints the
# CPU time of each prefix's wineserver, which answers the service's calls, and
# then the time from a stop request to STOPPED with a log over 1 MiB
# (tests/e2e/scenarios/trim_at_stop.sh, STOP_RUNS times).
#   scripts/bench_service_cpu.sh [SECONDS [EXTRA [STOP_RUNS]]]     defaults 300, 32, 3
# BUILD_DIR names a Windows build to use; without it the win32 preset is built.
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-300}
extra=${2:-32}
stop_runs=${3:-3}
. tests/e2e/lib.sh
e2e_use_build bench

variants=(work empty)
declare -A prefix dir service server
cleanup() {
  local v
  for v in "${variants[@]}"; do
    [ -n "${prefix[$v]:-}" ] && WINEPREFIX=${prefix[$v]} e2e_cleanup
  done
  return 0
}
trap cleanup EXIT

# The Linux process of this prefix whose command line matches.
prefix_pid() {
  local p
  for p in $(pgrep -f "$2" || true); do
    grep -qzx "WINEPREFIX=$1" "/proc/$p/environ" 2>/dev/null && { echo "$p"; return 0; }
  done
  return 1
}
# user + system time of a process, in clock ticks.
cpu_ticks() { sed 's/^.*) //' "/proc/$1/stat" | awk '{print $12 + $13}'; }
hz=$(getconf CLK_TCK)
ms() { echo $(( $1 * 1000 / hz )); }

use() { export WINEPREFIX=${prefix[$1]}; E2E_DIR=${dir[$1]}; }
for v in "${variants[@]}"; do
  e2e_prefix "cpu_$v"
  prefix[$v]=$WINEPREFIX
  dir[$v]=$E2E_DIR
  # Both run under the same name, so the prefixes need no difference at all.
  [ "$v" = empty ] && cp "$BUILD_DIR/nortavel_free_service_empty_tick.exe" "$E2E_DIR/nortavel_free_service.exe"
  cp "$BUILD_DIR/scale_probe.exe" "$BUILD_DIR/idle_process.exe" "$E2E_DIR/"
  user=$(wine cmd /c 'echo %USERNAME%' </dev/null 2>/dev/null | tr -d '\r')
  e2e_exe /INSTALL /SILENT
  e2e_configure 2
  e2e_restrict "$user" "$(printf '0%.0s' $(seq 48))"
  if [ "$extra" -gt 0 ]; then
    (cd "$E2E_DIR" && wine scale_probe.exe spawn "$extra" </dev/null >"$E2E_DIR/spawn.log" 2>&1) ||
      e2e_fail "idle processes did not start"
  fi
done
for v in "${variants[@]}"; do
  use "$v"
  wine net start "$E2E_SERVICE" </dev/null >/dev/null 2>&1 || true
done
for v in "${variants[@]}"; do
  use "$v"
  e2e_wait_for 30 e2e_state_is RUNNING || e2e_fail "$v: service never RUNNING"
  service[$v]=$(prefix_pid "$WINEPREFIX" 'nortavel_free_service[.]exe') || e2e_fail "$v: no service process"
  server[$v]=$(prefix_pid "$WINEPREFIX" 'wineserver') || e2e_fail "$v: no wineserver"
done

sleep 10  # past the start and the first tick's reload
declare -A service0 server0
for v in "${variants[@]}"; do
  service0[$v]=$(cpu_ticks "${service[$v]}")
  server0[$v]=$(cpu_ticks "${server[$v]}")
done
t0=$(e2e_now_ms)
sleep "$seconds"
elapsed=$(( $(e2e_now_ms) - t0 ))
declare -A service_ms server_ms
for v in "${variants[@]}"; do
  [ -d "/proc/${service[$v]}" ] || e2e_fail "$v: the service process ended"
  service_ms[$v]=$(ms $(( $(cpu_ticks "${service[$v]}") - service0[$v] )))
  server_ms[$v]=$(ms $(( $(cpu_ticks "${server[$v]}") - server0[$v] )))
done
ticks=$(( elapsed / 2000 ))
passes() {
  local log=${dir[$1]}/logs/debug_free.log
  if [ -f "$log" ]; then grep -c 'User account successfully unblocked' "$log" || true; else echo 0; fi
}

echo "CPU time over $(( elapsed / 1000 )) s ($ticks ticks), $extra idle 32-bit processes beside Wine's own; clock tick $(( 1000 / hz )) ms"
printf '%-34s %12s %14s %14s\n' "" "service ms" "wineserver ms" "passes logged"
printf '%-34s %12s %14s %14s\n' "service" "${service_ms[work]}" "${server_ms[work]}" "$(passes work)"
printf '%-34s %12s %14s %14s\n' "same service, empty ticks" "${service_ms[empty]}" "${server_ms[empty]}" "$(passes empty)"
per_tick() { awk -v a="$1" -v b="$2" -v n="$ticks" 'BEGIN { printf "%.2f", (a - b) / n }'; }
echo "cost of the work per tick: $(per_tick "${service_ms[work]}" "${service_ms[empty]}") ms in the service," \
  "$(per_tick "${server_ms[work]}" "${server_ms[empty]}") ms in the wineserver"
awk -v a="${service_ms[work]}" -v s="$elapsed" 'BEGIN { printf "service CPU share: %.3f %% of one core\n", 100 * a / s }'

for v in "${variants[@]}"; do
  use "$v"
  wine net stop "$E2E_SERVICE" </dev/null >/dev/null 2>&1 || true
done
cleanup
prefix=()

echo
echo "stop request to STOPPED with a log over 1 MiB (goal: under 1 s):"
for run in $(seq "$stop_runs"); do
  out=$(bash tests/e2e/scenarios/trim_at_stop.sh 2>&1) || { echo "$out" | tail -5; e2e_fail "trim_at_stop failed"; }
  grep -E '^stop request' <<<"$out" | sed "s/^/  run $run: /"
done
