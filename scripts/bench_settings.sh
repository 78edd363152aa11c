#!/bin/bash
# How long the parent's window takes to show under Wine, beside a bare windowed
# program (tests/bench/win32/bare_window.cpp): the time from CreateProcess to
# the window "Nortavel free settings" visible, and to the program waiting for
# input with it painted, RUNS starts each (the first start of each in the
# session apart). One child is configured, with a school week, a daily time
# and two weeks of use, so that the first page reads and draws all it can.
# Run under the null graphics driver, and under Xvfb (Wine's X11 driver) when
# Xvfb is installed.
#   scripts/bench_settings.sh [RUNS]     default 10
# BUILD_DIR names a Windows build to use; without it the win32 preset is built.
set -eu
cd "$(dirname "$0")/.."
runs=${1:-10}
. tests/e2e/lib.sh
e2e_use_build bench
trap e2e_cleanup EXIT
e2e_prefix bench_settings
cp "$BUILD_DIR/nortavelsettings.exe" "$BUILD_DIR/tray_bench.exe" "$BUILD_DIR/bare_window.exe" "$E2E_DIR/"
e2e_doubles_for nortavelsettings.exe

school="$(printf '1%.0s' $(seq 14))00$(printf '1%.0s' $(seq 14))$(printf '0%.0s' $(seq 10))$(printf '1%.0s' $(seq 8))"
{
  printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vrem\\NortavelFree\\Time_restrictions\\kid]\n'
  for n in 1 2 3 4 5 6 7; do printf '"Time%s"="%s"\n"Budget%s"=dword:%08x\n' $n "$school" $n 120; done
} >"$WINEPREFIX/drive_c/bench.reg"
e2e_reg import 'C:\bench.reg' || e2e_fail "reg import"
mkdir -p "$WINEPREFIX/drive_c/ProgramData/NortavelFree"
{
  echo date,user,seconds
  for back in $(seq 14 -1 0); do echo "$(date -d "-$back days" +%F),kid,$(( back * 300 + 600 ))"; done
} >"$WINEPREFIX/drive_c/ProgramData/NortavelFree/usage.csv"


measure() {  # DRIVER: prints the figures under the running session
  local out
  echo "== $1 driver"
  out=$(e2e_tray_bench start-bare "$runs") || { echo "$out"; e2e_fail "the bare program did not start"; }
  echo "bare program, shown:        $(e2e_summary shown <<<"$out")"
  echo "bare program, idle:         $(e2e_summary idle <<<"$out")"
  wineserver -k >/dev/null 2>&1 || true  # the bare program the harness kept
  wineserver -p >/dev/null 2>&1
  wine wineboot </dev/null >>"$WINEPREFIX.session.log" 2>&1
  out=$(e2e_tray_bench start-settings "$runs" 'C:\nortavel\nortavelsettings.exe') \
    || { echo "$out"; e2e_fail "the settings window did not show"; }
  echo "nortavelsettings, shown:    $(e2e_summary shown <<<"$out")"
  echo "nortavelsettings, idle:     $(e2e_summary idle <<<"$out")"
}

echo "Wine $(wine --version), $(objdump -f "$BUILD_DIR/nortavelsettings.exe" | grep -q x86-64 && echo 64 || echo 32)-bit build," \
  "${E2E_WINEARCH:-win64} prefix, $runs starts each"
measure null

if command -v Xvfb >/dev/null && command -v import >/dev/null; then
  e2e_xvfb 1280x1024
  e2e_use_x11
  measure "X11 (Xvfb)"
fi
