#!/bin/bash
# The decisions of an enforcement pass for 100 and 1,000 users under Wine, as
# built (each user looked up again by name) and by position, in a private prefix.
#   scripts/bench_pass.sh [USERS...]
# BUILD_DIR names a Windows build to use (holding nortavel_free_service.exe,
# netapi32.dll and pass_bench.exe); without it the win32 preset is built.
set -eu
cd "$(dirname "$0")/.."
. tests/e2e/lib.sh
e2e_use_build bench
trap e2e_cleanup EXIT
e2e_prefix bench_pass
cp "$BUILD_DIR/pass_bench.exe" "$E2E_DIR/"
(cd "$E2E_DIR" && wine pass_bench.exe "$@" </dev/null 2>/dev/null) | tr -d '\r'
