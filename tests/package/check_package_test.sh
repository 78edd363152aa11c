#!/bin/bash
# Each rule of scripts/check_package.sh fails a package that breaks it, and names
# it: a copy of a good package gets one fault at a time, and a program of it
# loses its resources.
#   tests/package/check_package_test.sh GOOD.msi
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
good=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
property() { msiinfo export "$good" Property | tr -d '\r' | sed -n "s/^$1\t//p"; }
upgrade_code=$(property UpgradeCode) version=$(property ProductVersion)
# rule|SQL that breaks it ('&&' between queries)
cases=(
  "ICE77|UPDATE \`InstallExecuteSequence\` SET \`Sequence\` = 1402 WHERE \`Action\` = 'UnlockAll'"
  "unlock|UPDATE \`InstallExecuteSequence\` SET \`Sequence\` = 1880 WHERE \`Action\` = 'UnlockAll'"
  "rollback|UPDATE \`CustomAction\` SET \`Type\` = 3074 WHERE \`Action\` = 'PutBackSettings'"
  "rollback|UPDATE \`InstallExecuteSequence\` SET \`Sequence\` = 5802 WHERE \`Action\` = 'DefaultLevel'"
  "EXE source|UPDATE \`CustomAction\` SET \`Source\` = 'Gone' WHERE \`Action\` = 'SetLevel'"
  "secure|UPDATE \`Property\` SET \`Value\` = 'WIX_UPGRADE_DETECTED' WHERE \`Property\` = 'SecureCustomProperties'"
  "ALLUSERS|UPDATE \`Property\` SET \`Value\` = '2' WHERE \`Property\` = 'ALLUSERS'"
  "vital|UPDATE \`ServiceInstall\` SET \`ErrorControl\` = 1 WHERE \`ServiceInstall\` = 'ServiceInstall'"
  "order|UPDATE \`InstallExecuteSequence\` SET \`Sequence\` = 3450 WHERE \`Action\` = 'InstallFiles'"
  "order|UPDATE \`InstallExecuteSequence\` SET \`Sequence\` = 1650 WHERE \`Action\` = 'RemoveExistingProducts'"
  "access|DELETE FROM \`MsiLockPermissionsEx\` WHERE \`MsiLockPermissionsEx\` = 'DataFolderAccess'"
  "launch|UPDATE \`InstallUISequence\` SET \`Condition\` = 'NOT Installed' WHERE \`Action\` = 'OpenSettings'"
  "launch|UPDATE \`CustomAction\` SET \`Type\` = 18, \`Source\` = 'SettingsExe', \`Target\` = '' WHERE \`Action\` = 'OpenSettings'"
  "launch|INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('OpenSettings', 'UILevel = 5', 6700)"
  "shortcut|UPDATE \`Shortcut\` SET \`Target\` = 'Complete' WHERE \`Shortcut\` = 'SettingsShortcut'"
  "same version|DELETE FROM \`Upgrade\` WHERE \`ActionProperty\` = 'WIX_UPGRADE_DETECTED'&&INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMax\`, \`Attributes\`, \`ActionProperty\`) VALUES ('$upgrade_code', '$version', 1, 'WIX_UPGRADE_DETECTED')"
)
passed=0 failed=0
expect() {  # RULE FILE: the check fails and names RULE
  local out
  if out=$("$root/scripts/check_package.sh" "$2" 2>&1); then
    echo "FAIL $1: the check passed"; failed=$((failed + 1))
  elif ! grep -q ": $1: " <<<"$out"; then
    echo "FAIL $1: the check did not name it: $out"; failed=$((failed + 1))
  else
    passed=$((passed + 1))
  fi
}
"$root/scripts/check_package.sh" "$good" >/dev/null || { echo "FAIL: the good package fails"; failed=$((failed + 1)); }
for case in "${cases[@]}"; do
  rule=${case%%|*} sql=${case#*|}
  cp "$good" "$work/broken.msi"
  while [ -n "$sql" ]; do
    msibuild "$work/broken.msi" -q "${sql%%&&*}" || { echo "FAIL $rule: cannot break the package"; failed=$((failed + 1)); }
    [[ "$sql" == *"&&"* ]] && sql=${sql#*&&} || sql=""
  done
  expect "$rule" "$work/broken.msi"
done
msiextract -C "$work/files" "$good" >/dev/null
x86_64-w64-mingw32-objcopy --remove-section .rsrc "$(find "$work/files" -name nortavelctl.exe)" "$work/bare.exe"
expect manifest "$work/bare.exe"
echo "check_package: $passed passed, $failed failed"
[ $failed -eq 0 ]
