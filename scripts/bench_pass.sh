#!/bin/bash
# The decisions of an enforcement pass for 100 and 1,000 users under Wine, as
# built (each user looked up again by name) and by position, in a private prefix.
#   scripts/bench_pass.sh [USERS...]
# BUILD_DIR names a Windows build to use (holding nortavel_free_service.exe,
# netapi32.dll and pass_bench.exe); without it the win32 preset is built.
set -eu
cd "$(dirname "$0")/.."
if [ -z "${BUILD_DIR:-}" ]; then
  scripts/ensure-packages.sh
  cmake --preset win32 >/dev/null && cmake --build --preset win32 -j"$(nproc)" >/dev/null
  BUILD_DIR=$PWD/build/win32
fi
export BUILD_DIR=$(cd "$BUILD_DIR" && pwd)
export E2E_WORK=${E2E_WORK:-$BUILD_DIR/bench}
mkdir -p "$E2E_WORK"
. tests/e2e/lib.sh
trap e2e_cleanup EXIT
e2e_prefix bench_pass
cp "$BUILD_DIR/pass_bench.exe" "$E2E_DIR/"
(cd "$E2E_DIR" && wine pass_bench.exe "$@" </dev/null 2>/dev/null) | tr -d '\r'
