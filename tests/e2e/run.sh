#!/bin/bash
# Runs every end-to-end scenario (tests/e2e/scenarios/*.sh) against a Windows
# build, each in a private Wine prefix, and prints "e2e: N passed, N failed".
#   tests/e2e/run.sh BUILD_DIR [SCENARIO_NAME...]
set -u
here=$(cd "$(dirname "$0")" && pwd)
export BUILD_DIR=$(cd "${1:?usage: run.sh BUILD_DIR [SCENARIO...]}" && pwd)
shift
export E2E_WORK=${E2E_WORK:-$BUILD_DIR/e2e}
mkdir -p "$E2E_WORK"
passed=0; failed=0
for scenario in "$here"/scenarios/*.sh; do
  name=$(basename "$scenario" .sh)
  if [ $# -gt 0 ] && ! printf '%s\n' "$@" | grep -qx "$name"; then continue; fi
  start=$(date +%s)
  if bash "$scenario" >"$E2E_WORK/$name.log" 2>&1; then
    passed=$((passed + 1)); echo "PASS $name ($(( $(date +%s) - start )) s)"
  else
    failed=$((failed + 1)); echo "FAIL $name ($(( $(date +%s) - start )) s)"; sed 's/^/    /' "$E2E_WORK/$name.log" | tail -40
  fi
done
echo "e2e: $passed passed, $failed failed"
[ $failed -eq 0 ]
