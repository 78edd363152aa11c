#!/bin/bash
# What nortaveltray.exe costs under Wine, beside a bare windowed program
# (tests/bench/win32/bare_window.cpp: one window, one line of text):
#  - the time from CreateProcess to the status window shown (/show), and to the
#    program waiting for input with it painted, RUNS starts each (the first
#    start of each in the session apart);
#  - then, the tray left running with its icon alone (the status window
#    closed), its CPU time over SECONDS (/proc/PID/stat of the Wine process, and
#    GetProcessTimes) and its memory (GetProcessMemoryInfo, and /proc/PID/status).
# The user Wine runs as is allowed all week with 40 of today's 120 minutes left,
# so the tray counts down as on a school day. Run under the null graphics
# driver, and under Xvfb (Wine's X11 driver) when Xvfb is installed.
#   scripts/bench_tray.sh [SECONDS [RUNS]]     defaults 60, 10
# BUILD_DIR names a Windows build to use; without it the win32 preset is built.
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}
runs=${2:-10}
. tests/e2e/lib.sh
e2e_use_build bench
xvfb_pid=""
trap 'e2e_cleanup; [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true' EXIT
e2e_prefix bench_tray
cp "$BUILD_DIR/nortaveltray.exe" "$BUILD_DIR/tray_bench.exe" "$BUILD_DIR/bare_window.exe" "$E2E_DIR/"

user=$(wine cmd /c 'echo %USERNAME%' </dev/null 2>/dev/null | tr -d '\r')
today=$(date +%u)
{
  printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vrem\\NortavelFree]\n"WarnMinutes"=dword:0000000a\n\n'
  printf '[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vrem\\NortavelFree\\Time_restrictions\\%s]\n' "$user"
  for n in 1 2 3 4 5 6 7; do printf '"Time%s"="%s"\n' $n "$(printf '0%.0s' $(seq 48))"; done
  printf '"Budget%s"=dword:%08x\n' "$today" 120
} >"$WINEPREFIX/drive_c/bench.reg"
e2e_reg import 'C:\bench.reg' || e2e_fail "reg import"
mkdir -p "$WINEPREFIX/drive_c/ProgramData/NortavelFree"
printf 'date,user,seconds\n%s,%s,4800\n' "$(date +%F)" "$user" >"$WINEPREFIX/drive_c/ProgramData/NortavelFree/usage.csv"

# The Linux process of this prefix whose command line matches.
prefix_pid() {
  local p
  for p in $(pgrep -f "$1" || true); do
    grep -qzx "WINEPREFIX=$WINEPREFIX" "/proc/$p/environ" 2>/dev/null && { echo "$p"; return 0; }
  done
  return 1
}
hz=$(getconf CLK_TCK)
cpu_ms() { sed 's/^.*) //' "/proc/$1/stat" | awk -v hz="$hz" '{print ($12 + $13) * 1000 / hz}'; }
status_kib() { awk -v f="$2:" '$1 == f {print $2}' "/proc/$1/status"; }
measure() {  # DRIVER: prints the figures under the running session
  local driver=$1 out tray before after proc0 proc1 u0 k0 u1 k1 ws peak private bws bpeak
  echo "== $driver driver"
  out=$(e2e_tray_bench start-bare "$runs") || { echo "$out"; e2e_fail "the bare program did not start"; }
  echo "bare program, shown:      $(e2e_summary shown <<<"$out")"
  echo "bare program, idle:       $(e2e_summary idle <<<"$out")"
  local bare bare_sample
  bare_sample=$(e2e_tray_bench sample bare) || e2e_fail "no bare program to sample"
  bare=$(prefix_pid 'bare_window[.]exe') && kill "$bare"
  out=$(e2e_tray_bench start "$runs" 'C:\nortavel\nortaveltray.exe' /show) || { echo "$out"; e2e_fail "the tray did not show its window"; }
  echo "nortaveltray /show, shown: $(e2e_summary shown <<<"$out")"
  echo "nortaveltray /show, idle:  $(e2e_summary idle <<<"$out")"
  tray=$(prefix_pid 'nortaveltray[.]exe') || e2e_fail "no tray process"
  sleep 2  # past the closing of the status window
  before=$(e2e_tray_bench sample) || e2e_fail "no tray to sample"
  proc0=$(cpu_ms "$tray")
  sleep "$seconds"
  after=$(e2e_tray_bench sample) || e2e_fail "the tray ended"
  proc1=$(cpu_ms "$tray")
  read -r _ u0 k0 <<<"$(grep '^cpu_ms' <<<"$before")"
  read -r _ u1 k1 <<<"$(grep '^cpu_ms' <<<"$after")"
  read -r _ ws peak private <<<"$(grep '^memory_kib' <<<"$after")"
  read -r _ bws bpeak _ <<<"$(grep '^memory_kib' <<<"$bare_sample")"
  # Wine 8's GetProcessTimes for another process does not follow its CPU time
  # (it went down between samples while /proc stood still): /proc is the figure.
  awk -v u0="$u0" -v u1="$u1" -v k0="$k0" -v k1="$k1" -v p0="$proc0" -v p1="$proc1" -v s="$seconds" 'BEGIN {
    printf "tray idle %d s, icon alone: CPU %.0f ms (/proc), %.3f %% of one core;", s, p1 - p0, 100 * (p1 - p0) / (s * 1000)
    printf " GetProcessTimes: %.0f ms user, %.0f ms kernel\n", u1 - u0, k1 - k0
  }'
  echo "tray memory: working set $ws KiB, peak $peak KiB, private bytes $private KiB (GetProcessMemoryInfo);" \
    "resident anonymous $(status_kib "$tray" RssAnon) KiB, file-backed $(status_kib "$tray" RssFile) KiB (/proc)"
  echo "bare program memory: working set $bws KiB, peak $bpeak KiB"
  kill "$tray" 2>/dev/null || true
}

echo "Wine $(wine --version), $(objdump -f "$BUILD_DIR/nortaveltray.exe" | grep -q x86-64 && echo 64 || echo 32)-bit build," \
  "${E2E_WINEARCH:-win64} prefix, $runs starts each, $seconds s idle; clock tick $(( 1000 / hz )) ms"
measure null

if command -v Xvfb >/dev/null; then
  display=:$(( 70 + $$ % 200 ))
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=$display
  sleep 1
  e2e_use_x11
  measure "X11 (Xvfb)"
fi
