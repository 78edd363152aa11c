#!/bin/bash
# Runs every test: native unit tests (plain, ASan+UBSan, TSan), the Windows tests
# under Wine for the 32- and 64-bit builds, the packages, and the end-to-end
# scenarios.
#   scripts/test.sh            everything
#   scripts/test.sh native     only the named stages (native native-asan
#                              native-tsan fuzz win32 win64 package e2e)
set -u
cd "$(dirname "$0")/.."
scripts/ensure-packages.sh || exit 1

stages=("$@")
[ ${#stages[@]} -eq 0 ] && stages=(native native-asan native-tsan fuzz win32 win64 package e2e)
mkdir -p build
total=0; failed=0; failed_stages=()

count_ctest() {  # adds the counts of a ctest summary line to the totals
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$1" | tail -1)
  if [ -z "$line" ]; then failed=$((failed + 1)); total=$((total + 1)); return; fi
  local f n
  f=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
  n=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$line")
  total=$((total + n)); failed=$((failed + f))
}

for stage in "${stages[@]}"; do
  echo "=== $stage ==="
  log=build/test-$stage.log
  if [ "$stage" = package ]; then
    # The release packages, as scripts/package.sh makes them, read for the rules
    # Windows enforces and Wine does not; and the check's own rules, each shown
    # to fail a package that breaks it.
    rm -f build/dist/*.msi
    if scripts/package.sh --out build/dist >"build/test-package.log" 2>&1 &&
       scripts/check_package.sh build/dist/*.msi >>"build/test-package.log" 2>&1 &&
       tests/package/check_package_test.sh build/dist/NortavelFree-*-x64.msi >>"build/test-package.log" 2>&1; then
      total=$((total + 1)); sed 's/^/  /' build/test-package.log
    else
      cat build/test-package.log; failed_stages+=("$stage"); failed=$((failed + 1)); total=$((total + 1))
    fi
    continue
  fi
  if [ "$stage" = e2e ]; then
    # Every scenario against the 32-bit build in a 64-bit prefix; the service's
    # own course, the tool, the fixed zone, the warning and the x64 package against
    # the 64-bit build; the x86 package also in a 32-bit prefix.
    for run in win32 win64 win32-on-win32; do
      preset=${run%%-*}
      if ! cmake --preset $preset >/dev/null || ! cmake --build --preset $preset -j"$(nproc)" >/dev/null; then
        failed_stages+=("$stage-$run"); failed=$((failed + 1)); total=$((total + 1)); continue
      fi
      scenarios=(); arch=win64
      [ $run = win64 ] && scenarios=(service_lifecycle typical_event ctl_set fixed_time_zone warning msi_install msi_upgrade)
      [ $run = win32-on-win32 ] && { scenarios=(msi_install msi_upgrade); arch=win32; }
      E2E_WINEARCH=$arch E2E_WORK=$PWD/build/$preset/e2e-$arch \
        tests/e2e/run.sh build/$preset "${scenarios[@]}" 2>&1 | tee "build/test-e2e-$run.log"
      line=$(grep -E '^e2e: [0-9]+ passed, [0-9]+ failed' "build/test-e2e-$run.log" | tail -1)
      p=$(sed -E 's/^e2e: ([0-9]+) passed.*/\1/' <<<"${line:-e2e: 0 passed}")
      f=$(sed -E 's/.* ([0-9]+) failed.*/\1/' <<<"${line:-x 1 failed}")
      total=$((total + p + f)); failed=$((failed + f))
      [ "$f" -eq 0 ] && [ -n "$line" ] || failed_stages+=("$stage-$run")
    done
    continue
  fi
  if ! cmake --preset "$stage" >"build/configure-$stage.log" 2>&1; then
    cat "build/configure-$stage.log"; failed_stages+=("$stage"); failed=$((failed + 1)); total=$((total + 1)); continue
  fi
  if ! cmake --build --preset "$stage" -j"$(nproc)" >"build/build-$stage.log" 2>&1; then
    grep -E 'error|Error' "build/build-$stage.log" | head -40; failed_stages+=("$stage")
    failed=$((failed + 1)); total=$((total + 1)); continue
  fi
  ctest --preset "$stage" 2>&1 | tee "$log" | grep -vE '^ +Start |Test +#[0-9]+: .* Passed' 
  count_ctest "$log"
  grep -q '100% tests passed' "$log" || failed_stages+=("$stage")
done

echo
if [ ${#failed_stages[@]} -gt 0 ]; then echo "Failing stages: ${failed_stages[*]}"; fi
echo "all: $((total - failed)) passed, $failed failed"
[ $failed -eq 0 ]
