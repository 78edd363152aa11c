#!/bin/bash
# Builds the Windows installer packages and the zip with wixl (Debian's msitools):
#   dist/NortavelFree-VERSION-x64.msi   64-bit service, tool, tray and settings window, Program Files
#   dist/NortavelFree-VERSION-x86.msi   32-bit service, tool, tray and settings window
#   dist/NortavelFree-VERSION-windows.zip  both builds, README.md, the sample .reg,
#                                          the Group Policy templates (policy\)
# VERSION is the CMake project version.
#   scripts/package.sh [--version X.Y.Z] [--test-double] [--out DIR] [--bin DIR] [x64|x86|zip ...]
# --version overrides it (the upgrade scenarios build an older package this way);
# --test-double puts the netapi32 double of the end-to-end scenarios into the
# packages (never for release); --out writes elsewhere than dist/; --bin takes the
# executables of one MSI from another build folder than build/win64 or build/win32.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)

version=""; double=no; out=dist; bin=""; targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --version) version=$2; shift 2 ;;
    --test-double) double=yes; shift ;;
    --out) out=$2; shift 2 ;;
    --bin) bin=$2; shift 2 ;;
    x64|x86|zip) targets+=("$1"); shift ;;
    *) echo "usage: $0 [--version X.Y.Z] [--test-double] [--out DIR] [--bin DIR] [x64|x86|zip ...]" >&2; exit 2 ;;
  esac
done
[ ${#targets[@]} -gt 0 ] || targets=(x64 x86 zip)
mkdir -p "$out"
out=$(cd "$out" && pwd)
# wixl takes file sources relative to the working directory only.
[ -z "$bin" ] || bin=$(realpath --relative-to="$root" "$bin")
cd "$root"
if [ -z "$version" ]; then
  version=$(sed -nE 's/^project\(NortavelFree VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)
fi
[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "no usable version: '$version'" >&2; exit 1; }
command -v wixl >/dev/null && command -v msibuild >/dev/null || { scripts/ensure-packages.sh; }

# The build of a preset, made when an executable is missing.
build() {
  local preset=$1 exe
  for exe in nortavel_free_service.exe nortavelctl.exe nortaveltray.exe nortavelsettings.exe netapi32.dll; do
    if [ ! -f "build/$preset/$exe" ]; then
      cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j2 >/dev/null
      return
    fi
  done
}

# rewrite_table MSI TABLE AWK_RULE [AWK_OPTION...]: the table's rows, tab-separated
# fields, pass through the awk rule and replace the table. msibuild's queries
# cannot change a key column and split at every ';'.
rewrite_table() {
  local msi=$1 table=$2 rule=$3 dir
  shift 3
  dir=$(mktemp -d)
  msiinfo export "$msi" "$table" | tr -d '\r' \
    | awk -F'\t' -v OFS='\t' "$@" "NR > 3 && $rule { print }" >"$dir/$table.idt"
  msibuild "$msi" -i "$dir/$table.idt"
  rm -rf "$dir"
}

# wixl writes no Environment table and cannot name a directory as the source of a
# custom action; both are added to the built database here.
finish_msi() {
  local msi=$1
  msibuild "$msi" -q 'CREATE TABLE `Environment` (`Environment` CHAR(72) NOT NULL, `Name` CHAR(255) NOT NULL LOCALIZABLE, `Value` CHAR(255) LOCALIZABLE, `Component_` CHAR(72) NOT NULL PRIMARY KEY `Environment`)'
  # "*" the machine environment, "-" taken away on removal; [~] keeps the rest of Path.
  msibuild "$msi" -q "INSERT INTO \`Environment\` (\`Environment\`, \`Name\`, \`Value\`, \`Component_\`) VALUES ('ToolOnPath', '-*Path', '[~];[INSTALLDIR]', 'PathEntry')"
  msibuild "$msi" -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('RemoveEnvironmentStrings', '', 3300)"
  msibuild "$msi" -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('WriteEnvironmentStrings', '', 5200)"
  # wixl writes an expandable registry value as a plain string; the "#%" prefix
  # makes Windows Installer write the message file names as REG_EXPAND_SZ.
  msibuild "$msi" -q "UPDATE \`Registry\` SET \`Value\` = '#%[#ServiceExe]' WHERE \`Name\` = 'EventMessageFile'"
  # Restarts after a failure: the control manager's own tool sets them (a type 34
  # action, deferred, as the installer service, a failure only logged). Windows
  # Installer sets SystemFolder whatever the Directory table holds.
  msibuild "$msi" -q "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`) VALUES ('SetRecovery', 3170, 'INSTALLDIR', '\"[SystemFolder]sc.exe\" failure NortavelFree reset= 86400 actions= restart/10000/restart/10000/restart/10000')"
  msibuild "$msi" -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('SetRecovery', 'NOT REMOVE', 5890)"
  # The shortcut runs the file itself (wixl makes it advertised: its target a
  # feature, which Windows checks and may repair at every start).
  msibuild "$msi" -q "UPDATE \`Shortcut\` SET \`Target\` = '[#SettingsExe]' WHERE \`Shortcut\` = 'SettingsShortcut'"
  # An install a parent double-clicked ends by opening the parent's window:
  # from the user interface's sequence, after the installer service has done
  # its work (a failed install never gets there), and only at full UI level,
  # so that /qn, /qb and Group Policy's installs open nothing. The window asks
  # for administrator rights, which CreateProcess refuses to an installer's
  # action (ERROR_ELEVATION_REQUIRED): the shell opens it instead, and Windows
  # asks the parent. Asynchronous without waiting (0x40 + 0x80), from the
  # Windows folder (34), so that the installer ends while the window stays.
  msibuild "$msi" -q "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`) VALUES ('OpenSettings', 226, 'WindowsFolder', '\"[WindowsFolder]explorer.exe\" \"[#SettingsExe]\"')"
  msibuild "$msi" -q "INSERT INTO \`InstallUISequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('OpenSettings', 'NOT Installed AND NOT REMOVE AND UILevel = 5', 1310)"
  # wixl appends actions sequenced After="InstallServices" behind InstallFinalize,
  # where Windows Installer refuses deferred actions (error 2762), and rollback
  # and commit actions too. They belong between InstallServices (5800) and
  # StartServices (5900), in their order, so that the service starts with the
  # values they write; the rollback action before the first that writes.
  local action sequence=5805
  for action in KeepSettings PutBackSettings \
                DefaultLevel SetLevel DefaultLogDir SetLogDir SetEndAction DefaultEndAction DefaultWarn SetWarn \
                BackstopOn BackstopOff \
                DefaultKeepUsage PinZone SetZone FollowComputerZone DropKeptSettings; do
    msibuild "$msi" -q "UPDATE \`InstallExecuteSequence\` SET \`Sequence\` = $sequence WHERE \`Action\` = '$action'"
    sequence=$((sequence + 5))
  done
  # wixl writes Execute="rollback" and "commit" as plain immediate actions,
  # which would run at every install: a rollback action is in-script (0x400)
  # and rollback (0x100), a commit action in-script and commit (0x200), each
  # beside its EXE from Binary (2) or File (18), return ignored (0x40) and no
  # impersonation (0x800).
  msibuild "$msi" -q "UPDATE \`CustomAction\` SET \`Type\` = 3394, \`Source\` = 'CtlCopy' WHERE \`Action\` = 'PutBackSettings'"
  msibuild "$msi" -q "UPDATE \`CustomAction\` SET \`Type\` = 3666 WHERE \`Action\` = 'DropKeptSettings'"
  # The zone's note is set as soon as the searches have run and costing is done.
  msibuild "$msi" -q "UPDATE \`InstallExecuteSequence\` SET \`Sequence\` = 1005 WHERE \`Action\` = 'NoteZone'"
  # The older product goes before anything of the new one is installed: its
  # removal then cannot take the service the new one registers.
  msibuild "$msi" -q "UPDATE \`InstallExecuteSequence\` SET \`Sequence\` = 1510 WHERE \`Action\` = 'RemoveExistingProducts'"
  # wixl has no AllowSameVersionUpgrades: with the older versions' maximum
  # inclusive (msidbUpgradeAttributesVersionMaxInclusive, 0x200), a rebuilt
  # package of the same version replaces the installed one instead of
  # installing beside it (every build has a product code of its own).
  rewrite_table "$msi" Upgrade '$7 == "WIX_UPGRADE_DETECTED" { $5 = $5 + 512 }'
  # wixl drops ServiceInstall's Vital: msidbServiceInstallErrorControlVital
  # (0x8000) beside SERVICE_ERROR_NORMAL makes a service that cannot be
  # registered fail the whole install.
  rewrite_table "$msi" ServiceInstall '$12 == "Service" { $6 = $6 + 32768 }'
  # wixl ignores Property/@Secure. An install elevated from a prompt without
  # administrator rights hands the installer service only the secure public
  # properties: any other that the actions use would be dropped there, and the
  # defaults written instead of what the administrator gave.
  local secure="LOGLEVEL;LOGDIR;WARNMINUTES;BACKSTOP;TIMEZONE;ENDACTION;DATADIR;COMPUTERZONE"
  secure+=";EXISTINGDEBUG;EXISTINGPATH;EXISTINGWARN;EXISTINGBACKSTOP;EXISTINGKEEPUSAGE;EXISTINGENDACTION;EXISTINGTIMEZONE"
  rewrite_table "$msi" Property '$1 == "SecureCustomProperties" { $2 = $2 ";" secure }' -v secure="$secure"
  # Access lists, which Windows Installer sets as it installs (wixl writes no
  # MsiLockPermissionsEx): the service's, as its own /INSTALL sets it, and the
  # data folder's, as the service makes it private at every start, so that it
  # is private before the service first runs.
  local dir
  dir=$(mktemp -d)
  {
    printf 'MsiLockPermissionsEx\tLockObject\tTable\tSDDLText\tCondition\n'
    printf 's72\ts72\ts32\ts0\tS255\n'
    printf 'MsiLockPermissionsEx\tMsiLockPermissionsEx\n'
    printf 'ServiceAccess\tServiceInstall\tServiceInstall\t%s\t\n' "$(service_access)"
    printf 'DataFolderAccess\tDATADIR\tCreateFolder\t%s\t\n' "$kDataFolderAccess"
  } >"$dir/MsiLockPermissionsEx.idt"
  msibuild "$msi" -i "$dir/MsiLockPermissionsEx.idt"
  rm -rf "$dir"
}

# The service's access list as the service itself sets it at /INSTALL.
service_access() {
  awk '/kServiceAccess\[\] =/ { on = 1 } on { print } on && /;/ { exit }' common/protocol.h \
    | grep -o '"[^"]*"' | tr -d '"\n'
}
# SYSTEM and the Administrators change the data folder, Users read it; nothing
# is inherited from C:\ProgramData, where every user may make folders.
kDataFolderAccess="D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)"

for target in "${targets[@]}"; do
  case "$target" in
    x64|x86)
      preset=$([ "$target" = x64 ] && echo win64 || echo win32)
      bin_dir=${bin:-build/$preset}
      [ -n "$bin" ] || build "$preset"
      msi="$out/NortavelFree-$version-$target.msi"
      rm -f "$msi"
      wixl -a "$target" -D Version="$version" -D Arch="$target" -D BinDir="$bin_dir" -D DocDir=. \
        -D WithDouble="$double" -o "$msi" packaging/NortavelFree.wxs
      finish_msi "$msi"
      echo "$msi"
      ;;
    zip)
      build win32; build win64
      zip="$out/NortavelFree-$version-windows.zip"
      rm -f "$zip"
      # CMake's own archiver makes the zip, so packaging needs nothing CMake does not have.
      top="NortavelFree-$version"
      stage=$(mktemp -d)
      mkdir -p "$stage/$top/x64" "$stage/$top/x86"
      for exe in nortavel_free_service.exe nortavelctl.exe nortaveltray.exe nortavelsettings.exe; do
        cp "build/win64/$exe" "$stage/$top/x64/"
        cp "build/win32/$exe" "$stage/$top/x86/"
      done
      cp README.md "$stage/$top/"
      cp examples/nortavel_free.reg "$stage/$top/"
      cp -r packaging/policy "$stage/$top/policy"
      (cd "$stage" && cmake -E tar cf "$zip" --format=zip "$top")
      rm -rf "$stage"
      echo "$zip"
      ;;
  esac
done
