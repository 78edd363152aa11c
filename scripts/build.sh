#!/bin/bash
# Builds the Windows executables, the service and the administration tool:
# build/win32/nortavel_free_service.exe and nortavelctl.exe (32-bit Windows) and
# build/win64/... (64-bit Windows).
set -eu
cd "$(dirname "$0")/.."
scripts/ensure-packages.sh
presets=("$@")
[ ${#presets[@]} -eq 0 ] && presets=(win32 win64)
for preset in "${presets[@]}"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)" --target nortavel_free_service nortavelctl >/dev/null
  echo "Built build/$preset/nortavel_free_service.exe and build/$preset/nortavelctl.exe"
done
