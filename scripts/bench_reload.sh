#!/bin/bash
# Time from a change of the configuration to the running service's log showing
# the new rule, with the reload request: "nortavelctl set" (scenario ctl_set) and
# the bare control 128 (scenario reload_request), each run ROUNDS times (default 3)
# (ctl_set makes three changes in a row right after the start, and prints each)
# in a private prefix. Without the request the service reads a change at its next
# scheduled reload, up to 120 s later.
#   scripts/bench_reload.sh [ROUNDS]
# BUILD_DIR names a Windows build to use; without it the win32 preset is built.
set -eu
cd "$(dirname "$0")/.."
. tests/e2e/lib.sh
e2e_use_build bench_reload
rounds=${1:-3}
for scenario in ctl_set reload_request; do
  for round in $(seq "$rounds"); do
    tests/e2e/run.sh "$BUILD_DIR" "$scenario" >/dev/null || { echo "$scenario failed"; continue; }
    echo "$scenario round $round: $(grep -Eo '[0-9]+ ms' "$E2E_WORK/$scenario.log" | tr '\n' ' ')"
  done
done
