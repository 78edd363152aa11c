#!/bin/bash
# Reads the installer packages, and the executables inside them, for the rules
# that Windows enforces and Wine lets pass: every test here runs under Wine, so
# this stands in for Windows Installer's validation (the ICE rules) and for what
# Windows reads from an executable before it starts. A fault names its rule, the
# package and the row:
#   ICE77           every in-script (deferred, rollback, commit) custom action
#                   strictly between InstallInitialize and InstallFinalize
#                   (else error 2762 and the install or removal rolls back)
#   unlock          an action that gives logon hours back runs after StopServices
#                   and before RemoveFiles: a running service would lock again
#   rollback        a failed install leaves no setting the tool wrote for it:
#                   the action that runs "installer rollback" is a rollback
#                   action (0x400 with 0x100: without 0x400 the bit means "first
#                   sequence", and it would run at every install) after the one
#                   that runs "installer begin", and every other deferred action
#                   of the tool that writes comes after both; the one that runs
#                   "installer commit" is a commit action (0x400 with 0x200)
#   EXE source      the source of an EXE action is a row of the table its type
#                   names (type 2 Binary, 18 File, 34 Directory)
#   secure          every public property an action's target or condition uses
#                   is in SecureCustomProperties: an elevated install hands the
#                   installer service only those
#   ALLUSERS        1: the package installs for the machine
#   vital           every ServiceInstall row carries 0x8000, so that a service
#                   that cannot be registered fails the install
#   order           the standard actions in Windows' order (ICE27), and
#                   RemoveExistingProducts where ICE63 allows it
#   same version    an upgrade row whose maximum is the package's own version
#                   includes it (0x200): a rebuild replaces, not joins, the old
#   access          the service's access list (MsiLockPermissionsEx) lets no
#                   user but SYSTEM and the Administrators send it controls, and
#                   the data folder's is protected, inheriting nothing
#   launch          the action that opens the parent's window at the end of an
#                   install runs from InstallUISequence only (never at /qn, nor
#                   as the installer service), after ExecuteAction, at full UI
#                   (its condition names UILevel), without the installer
#                   waiting (0x40 and 0x80), and through the shell: the window
#                   asks for administrator rights, and CreateProcess refuses
#                   to start it from an action (ERROR_ELEVATION_REQUIRED)
#   shortcut        the Start menu has "Nortavel free settings", opening the
#                   parent's window itself, not an advertised feature
#   manifest        every executable has one manifest (resource 1 of type 24)
#                   with a requestedExecutionLevel, names Windows 8.1 and 10 as
#                   supported, a windowed program is per-monitor DPI aware, and
#                   the parent's window asks for administrator rights
# Exits 1 when there is a fault. A program named alone has its manifest read.
#   scripts/check_package.sh PACKAGE.msi|PROGRAM.exe ...
set -eu
[ $# -gt 0 ] || { echo "usage: $0 PACKAGE.msi|PROGRAM.exe ..." >&2; exit 2; }

# The programs that show windows to people.
windowed=" nortaveltray.exe nortavelsettings.exe "
# The programs that change the machine's settings from a window.
administrative=" nortavelsettings.exe "
tables="InstallExecuteSequence InstallUISequence CustomAction File Directory Binary Property ServiceInstall Upgrade
        MsiLockPermissionsEx Shortcut"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The package's tables, one file each: tab-separated rows without the header.
# msiinfo writes a table's streams (Binary's) into a folder of the table's name
# in the current folder: a throwaway one.
export_tables() {
  local msi table
  msi=$(realpath "$1")
  mkdir -p "$work/streams"
  for table in $tables; do
    { (cd "$work/streams" && msiinfo export "$msi" "$table") 2>/dev/null || true; } | tr -d '\r' | tail -n +4 >"$work/$table"
  done
}

check_tables() {
  (cd "$work" && awk -F'\t' -v package="$1" '
    function bit(value, mask) { return int(value / mask) % 2 }
    function fault(rule, text) { printf "%s: %s: %s\n", package, rule, text; faults++ }
    function between(action, after, before) {
      return (action in seq) && (after in seq) && (before in seq) && seq[after] < seq[action] && seq[action] < seq[before]
    }
    # The public properties (no lower-case letter) that text uses: [NAME] in a
    # formatted target, bare names outside quotes in a condition.
    function uses(action, text, condition,    word, words, n, i) {
      if (condition) {
        gsub(/"[^"]*"/, " ", text)
        gsub(/[^A-Za-z0-9_.]/, " ", text)
      } else {
        gsub(/[^][A-Za-z0-9_.]/, " ", text)
        gsub(/\[/, " [", text)
        gsub(/\]/, "] ", text)
      }
      n = split(text, words, " ")
      for (i = 1; i <= n; i++) {
        word = words[i]
        if (!condition) {
          if (word !~ /^\[[A-Za-z_][A-Za-z0-9_.]*\]$/) continue
          word = substr(word, 2, length(word) - 2)
        }
        if (word ~ /^[A-Z_][A-Z0-9_.]*$/ && !(word in keyword) && !(word in installer) && !(word in secure) &&
            !((action, word) in reported)) {
          reported[action, word] = 1
          fault("secure", "action " action " uses " word ", which is not in SecureCustomProperties")
        }
      }
    }
    BEGIN {
      split("NOT AND OR XOR EQV IMP", list, " "); for (i in list) keyword[list[i]] = 1
      # Set by Windows Installer itself, or handed to the service whatever the list.
      split("ACTION ADDDEFAULT ADDLOCAL ADDSOURCE ADVERTISE ALLUSERS PATCH REINSTALL REINSTALLMODE REMOVE " \
            "UPGRADINGPRODUCTCODE", list, " "); for (i in list) installer[list[i]] = 1
      # Windows suggested InstallExecuteSequence; the searches before costing
      # (rank 1) may come in any order.
      n = split("CostInitialize FileCost CostFinalize SetODBCFolders MigrateFeatureStates InstallValidate " \
                "InstallInitialize AllocateRegistrySpace ProcessComponents UnpublishComponents UnpublishFeatures " \
                "StopServices DeleteServices UnregisterComPlus SelfUnregModules UnregisterTypeLibraries RemoveODBC " \
                "UnregisterFonts RemoveRegistryValues UnregisterClassInfo UnregisterExtensionInfo UnregisterProgIdInfo " \
                "UnregisterMIMEInfo RemoveIniValues RemoveShortcuts RemoveEnvironmentStrings RemoveDuplicateFiles " \
                "RemoveFiles RemoveFolders CreateFolders MoveFiles InstallFiles PatchFiles DuplicateFiles BindImage " \
                "CreateShortcuts RegisterClassInfo RegisterExtensionInfo RegisterProgIdInfo RegisterMIMEInfo " \
                "WriteRegistryValues WriteIniValues WriteEnvironmentStrings RegisterFonts InstallODBC " \
                "RegisterTypeLibraries SelfRegModules RegisterComPlus InstallServices StartServices RegisterUser " \
                "RegisterProduct PublishComponents PublishFeatures PublishProduct InstallFinalize", list, " ")
      for (i = 1; i <= n; i++) rank[list[i]] = i + 1
      split("FindRelatedProducts AppSearch CCPSearch RMCCPSearch LaunchConditions ValidateProductID", list, " ")
      for (i in list) rank[list[i]] = 1
      sources[2] = "Binary"; sources[18] = "File"; sources[34] = "Directory"
    }
    FILENAME == "InstallExecuteSequence" { seq[$1] = $3 + 0; cond[$1] = $2; next }
    FILENAME == "InstallUISequence" { uiseq[$1] = $3 + 0; uicond[$1] = $2; next }
    FILENAME == "Shortcut" { shortcut[$3] = $2 "\t" $5; next }
    FILENAME == "CustomAction" { type[$1] = $2 + 0; source[$1] = $3; target[$1] = $4; next }
    FILENAME == "Property" { prop[$1] = $2; next }
    FILENAME == "ServiceInstall" {
      if (!bit($6, 32768)) fault("vital", "ServiceInstall " $1 " has ErrorControl " $6 ", without 0x8000")
      services[$1] = 1
      next
    }
    FILENAME == "Upgrade" { upgrade[$7] = $3 "\t" $5; next }
    FILENAME == "MsiLockPermissionsEx" { lock[$3, $2] = $4; next }
    FILENAME == "File" { file[$1] = $3 }
    { row[FILENAME, $1] = 1 }
    END {
      n = split(prop["SecureCustomProperties"], list, ";"); for (i = 1; i <= n; i++) secure[list[i]] = 1
      if (prop["ALLUSERS"] != "1") fault("ALLUSERS", "Property ALLUSERS is \"" prop["ALLUSERS"] "\", not 1")
      for (action in type) {
        kind = type[action] % 64
        if ((kind in sources) && !((sources[kind], source[action]) in row))
          fault("EXE source", "action " action " (type " type[action] ") names " source[action] \
                ", which is not in the " sources[kind] " table")
        if (!(action in seq)) continue
        if (bit(type[action], 1024) && !between(action, "InstallInitialize", "InstallFinalize"))
          fault("ICE77", "in-script action " action " at " seq[action] \
                " is not between InstallInitialize and InstallFinalize")
        if (target[action] ~ /^unlock( |$)/ && !between(action, "StopServices", "RemoveFiles"))
          fault("unlock", "action " action " at " seq[action] " is not between StopServices and RemoveFiles")
        uses(action, target[action], 0)
        uses(action, cond[action], 1)
      }
      # The window for parents at the end of an interactive install.
      for (key in file) if (file[key] ~ /nortavelsettings\.exe$/) settings = key
      for (action in type) {
        if (settings == "" || !(index(target[action], "[#" settings "]") || (type[action] % 64 == 18 && source[action] == settings)))
          continue
        if (action in seq) fault("launch", "action " action " opens the window from InstallExecuteSequence, at /qn too")
        if (!(action in uiseq) || !("ExecuteAction" in uiseq) || uiseq[action] <= uiseq["ExecuteAction"])
          fault("launch", "action " action " does not come after ExecuteAction in InstallUISequence")
        if (uicond[action] !~ /UILevel/) fault("launch", "action " action " has no condition on UILevel")
        if (!bit(type[action], 64) || !bit(type[action], 128))
          fault("launch", "action " action " (type " type[action] ") makes the installer wait for the window")
        if (type[action] % 64 == 18) fault("launch", "action " action " starts the window with CreateProcess, which refuses it")
      }
      split(shortcut["Nortavel free settings"], link, "\t")
      if (settings == "" || link[1] != "ProgramMenuFolder" || link[2] != "[#" settings "]")
        fault("shortcut", "no shortcut \"Nortavel free settings\" in ProgramMenuFolder opens nortavelsettings.exe (" \
              shortcut["Nortavel free settings"] ")")
      # The undo the tool keeps around the settings its deferred actions write.
      for (action in seq) {
        if (!(action in type)) continue
        if (target[action] ~ /^installer begin/) keep = action
        else if (target[action] ~ /^installer rollback/) undo = action
        else if (target[action] ~ /^installer commit/) drop = action
        else if (type[action] % 64 == 18 && file[source[action]] ~ /nortavelctl\.exe$/ && bit(type[action], 1024) &&
                 target[action] !~ /^unlock( |$)/)
          writes[action] = 1
      }
      if (undo != "" && !(bit(type[undo], 1024) && bit(type[undo], 256) && !bit(type[undo], 512)))
        fault("rollback", "action " undo " (type " type[undo] ") is not a rollback action (0x400 and 0x100)")
      if (drop != "" && !(bit(type[drop], 1024) && bit(type[drop], 512) && !bit(type[drop], 256)))
        fault("rollback", "action " drop " (type " type[drop] ") is not a commit action (0x400 and 0x200)")
      for (action in writes)
        if (keep == "" || undo == "" || !(seq[keep] < seq[undo] && seq[undo] < seq[action]))
          fault("rollback", "action " action " at " seq[action] " writes settings a failed install would leave: " \
                "it does not come after installer begin and the rollback action running installer rollback")
      # The sequenced actions in their order (an insertion sort: few rows).
      count = 0
      for (action in seq) {
        for (i = ++count; i > 1 && seq[order[i - 1]] > seq[action]; i--) order[i] = order[i - 1]
        order[i] = action
      }
      last = ""
      for (i = 1; i <= count; i++) {
        action = order[i]
        if (action == "RemoveExistingProducts") {
          previous = i > 1 ? order[i - 1] : ""
          if (!between(action, "InstallValidate", "InstallInitialize") && seq[action] <= seq["InstallFinalize"] &&
              !(previous ~ /^(InstallInitialize|InstallExecute|InstallExecuteAgain)$/))
            fault("order", "RemoveExistingProducts at " seq[action] " is where ICE63 does not allow it (after " \
                  previous ")")
          continue
        }
        if (!(action in rank)) continue
        if (last != "" && rank[action] < rank[last])
          fault("order", action " at " seq[action] " comes after " last " at " seq[last] ", against Windows order")
        last = action
      }
      for (service in services) {
        if (!(("ServiceInstall", service) in lock)) {
          fault("access", "ServiceInstall " service " has no access list: every signed-in user may send it controls")
          continue
        }
        n = split(lock["ServiceInstall", service], aces, "(")
        for (i = 2; i <= n; i++) {
          split(aces[i], ace, ";")
          sub(/\).*/, "", ace[6])
          if (ace[6] != "SY" && ace[6] != "BA")
            for (j = 1; j < length(ace[3]); j += 2)
              if (substr(ace[3], j, 2) == "CR")
                fault("access", "ServiceInstall " service " lets " ace[6] " send it controls (CR)")
        }
      }
      if (!(("CreateFolder", "DATADIR") in lock) || lock["CreateFolder", "DATADIR"] !~ /^(O:[A-Z]+)?D:P/)
        fault("access", "the data folder DATADIR has no protected access list: it inherits what every user may do in C:\\ProgramData")
      for (property in upgrade) {
        split(upgrade[property], fields, "\t")
        if (fields[1] == prop["ProductVersion"] && !bit(fields[2], 2) && !bit(fields[2], 512))
          fault("same version", "Upgrade " property " ends at " fields[1] " without including it (0x200)")
      }
      exit (faults > 0)
    }' $tables)
}

# The application manifest of an executable, from the resources windres reads
# back as a script: the text of every resource of type 24, one per line with
# its name first.
manifests() {
  x86_64-w64-mingw32-windres -i "$1" -O rc 2>/dev/null | awk '
    /^[0-9]+ 24 / { name = $1; text = ""; inside = 1; next }
    inside && /^BEGIN/ { next }
    inside && /^END/ { print name "\t" text; inside = 0; next }
    inside { sub(/^ *"/, ""); sub(/"$/, ""); gsub(/""/, "\""); gsub(/\\n/, " "); text = text $0 }'
}

# check_manifests LABEL PROGRAM...
check_manifests() {
  local label=$1 exe name found level faults=0
  shift
  fail() { echo "$label: manifest: $name $1"; faults=$((faults + 1)); }
  for exe in "$@"; do
    name=$(basename "$exe")
    found=$(manifests "$exe")
    if [ -z "$found" ]; then
      fail "carries no manifest (a resource of type 24)"
      continue
    fi
    if [ "$(cut -f1 <<<"$found")" != 1 ]; then
      fail "has manifests named $(cut -f1 <<<"$found" | tr '\n' ' ')where Windows reads one, named 1"
      continue
    fi
    level=$(grep -o 'requestedExecutionLevel level="[A-Za-z]*"' <<<"$found" | cut -d'"' -f2 || true)
    [[ "$level" =~ ^(asInvoker|highestAvailable|requireAdministrator)$ ]] \
      || fail "requests no execution level ('$level'): a 32-bit program's registry writes go to the VirtualStore"
    grep -qi 'supportedOS Id="{1f676c76-80e1-4239-95bb-83d0f6d0da78}"' <<<"$found" || fail "does not name Windows 8.1"
    grep -qi 'supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"' <<<"$found" || fail "does not name Windows 10"
    if [[ "$windowed" == *" $name "* ]]; then
      grep -qi '>true/pm</dpiAware>' <<<"$found" && grep -q '>PerMonitorV2[^<]*</dpiAwareness>' <<<"$found" \
        || fail "shows windows but is not per-monitor DPI aware: Windows stretches it blurry"
    fi
    if [[ "$administrative" == *" $name "* && "$level" != requireAdministrator ]]; then
      fail "changes the machine's settings but runs without asking for administrator rights ('$level')"
    fi
  done
  [ $faults -eq 0 ]
}

status=0
for file in "$@"; do
  case "$file" in
    *.exe) check_manifests "$file" "$file" || status=1 ;;
    *)
      export_tables "$file"
      check_tables "$file" || status=1
      rm -rf "$work/files" && mkdir "$work/files"
      msiextract -C "$work/files" "$file" >/dev/null
      mapfile -d '' programs < <(find "$work/files" -iname '*.exe' -print0)
      check_manifests "$file" "${programs[@]}" || status=1
      ;;
  esac
done
[ $status -eq 0 ] && echo "check_package: $# files keep the rules Windows enforces"
exit $status
