#!/bin/bash
# Builds the Windows executables: build/win32/nortavel_free_service.exe (32-bit,
# for every Windows) and build/win64/nortavel_free_service.exe (64-bit Windows).
set -eu
cd "$(dirname "$0")/.."
scripts/ensure-packages.sh
for preset in "${@:-win32 win64}"; do
  for p in $preset; do
    cmake --preset "$p" >/dev/null
    cmake --build --preset "$p" -j"$(nproc)"
    echo "Built build/$p/nortavel_free_service.exe"
  done
done
