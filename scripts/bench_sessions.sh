#!/bin/bash
# Session detection per tick against a loop making the same Windows calls and
# nothing else, side by side under Wine in a private prefix (win64, like the
# end-to-end scenarios). Two runs: the prefix's own processes only (64-bit, so a
# 32-bit caller stops at their module list), then with CHILDREN idle 32-bit
# processes added, whose owners are read to the end.
#   scripts/bench_sessions.sh [CHILDREN [ROUNDS [TICKS]]]     defaults 32, 40, 25
# BUILD_DIR names a Windows build to use (holding nortavel_free_service.exe,
# netapi32.dll and session_bench.exe); without it the win32 preset is built.
set -eu
cd "$(dirname "$0")/.."
children=${1:-32}
rounds=${2:-40}
ticks=${3:-25}
. tests/e2e/lib.sh
e2e_use_build bench
trap e2e_cleanup EXIT
e2e_prefix bench_sessions
cp "$BUILD_DIR/session_bench.exe" "$E2E_DIR/"

run() {
  (cd "$E2E_DIR" && wine session_bench.exe --children "$1" --rounds "$rounds" --ticks "$ticks" </dev/null 2>/dev/null) |
    tr -d '\r'
}
echo "== the prefix's own processes =="
run 0
echo
echo "== with $children idle 32-bit processes =="
run "$children"
