# Shared steps of the end-to-end scenarios. Each scenario runs in a prefix of its
# own under $E2E_WORK, with a persistent wineserver, the null graphics driver and
# our netapi32 and wtsapi32 doubles beside the service executable.
#   BUILD_DIR   the Windows build holding nortavel_free_service.exe and the doubles

e2e_fail() { echo "FAIL: $*" >&2; exit 1; }

# e2e_needs_zone NAME: a scenario that sets TZ says which zone it needs when the
# system lacks it; otherwise Wine quietly falls back to UTC and the scenario fails
# for a reason that has nothing to do with the service.
e2e_needs_zone() {
  [ -f "/usr/share/zoneinfo/$1" ] ||
    e2e_fail "this scenario needs the time zone $1, which this system lacks (Debian package tzdata)"
}

# e2e_prefix NAME: makes a fresh prefix and a running session; exports WINEPREFIX.
e2e_prefix() {
  # A scenario that moves on to a second prefix ends the one it had.
  [ -n "${E2E_PREFIX_OPEN:-}" ] && e2e_cleanup
  E2E_PREFIX_OPEN=1
  export WINEPREFIX="$E2E_WORK/$1"
  export WINEDEBUG=${WINEDEBUG:--all}
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
  WINEARCH=${E2E_WINEARCH:-win64} wineboot -i </dev/null >"$WINEPREFIX.boot.log" 2>&1
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >>"$WINEPREFIX.boot.log" 2>&1
  e2e_doubles_for nortavel_free_service.exe nortavelctl.exe
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  wineserver -p >/dev/null 2>&1
  wine wineboot </dev/null >"$WINEPREFIX.session.log" 2>&1
  E2E_DIR="$WINEPREFIX/drive_c/nortavel"
  mkdir -p "$E2E_DIR"
  cp "$BUILD_DIR/nortavel_free_service.exe" "$BUILD_DIR/nortavelctl.exe" "$BUILD_DIR/netapi32.dll" \
    "$BUILD_DIR/wtsapi32.dll" "$E2E_DIR/"
}

# e2e_doubles_for EXE...: the executables load our netapi32 and wtsapi32
# doubles from their folder (Wine's are stubs).
e2e_doubles_for() {
  local exe dll
  for exe in "$@"; do
    for dll in netapi32 wtsapi32; do
      wine reg add "HKCU\\Software\\Wine\\AppDefaults\\$exe\\DllOverrides" /v $dll \
        /d native,builtin /f </dev/null >>"$WINEPREFIX.boot.log" 2>&1
    done
  done
}

# e2e_xvfb WIDTHxHEIGHT: a virtual X display of that size for the rest of the
# scenario, ended with it (the scenario's trap then also ends its prefix).
e2e_xvfb() {
  E2E_DISPLAY=:$(( 70 + ($$ + ${#1}) % 200 ))
  Xvfb "$E2E_DISPLAY" -screen 0 "${1}x24" -nolisten tcp >/dev/null 2>&1 &
  E2E_XVFB_PID=$!
  trap 'e2e_cleanup; kill "$E2E_XVFB_PID" 2>/dev/null || true' EXIT
  export DISPLAY=$E2E_DISPLAY
  e2e_wait_for 10 import -window root -display "$E2E_DISPLAY" png:/dev/null 2>/dev/null || e2e_fail "Xvfb did not come up"
}

# Ends the scenario's session and removes its prefix.
# Restarts the prefix's session with the X11 driver on $DISPLAY instead of the
# null driver. No window manager runs on Xvfb: Wine draws the frames, captions
# included, itself.
e2e_use_x11() {
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11 /f </dev/null >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  wineserver -p >/dev/null 2>&1
  wine wineboot </dev/null >>"$WINEPREFIX.session.log" 2>&1
}

e2e_cleanup() {
  [ -n "${WINEPREFIX:-}" ] || return 0
  wineserver -k >/dev/null 2>&1 || true
  [ -n "${E2E_KEEP:-}" ] || rm -rf "$WINEPREFIX" "$WINEPREFIX.boot.log" "$WINEPREFIX.session.log"
}

# e2e_wait_for SECONDS COMMAND...: polls COMMAND every half second until it succeeds.
e2e_wait_for() {
  local limit=$(( $1 * 2 )); shift
  for _ in $(seq "$limit"); do "$@" && return 0; sleep 0.5; done
  return 1
}

E2E_SERVICE=NortavelFree
E2E_KEY='HKLM\SOFTWARE\Vrem\NortavelFree'

# Runs the service executable with arguments, from its folder.
e2e_exe() { (cd "$E2E_DIR" && wine nortavel_free_service.exe "$@" </dev/null >>"$WINEPREFIX.exe.log" 2>&1); }

# Writes into the registry view the service under test reads: the 32-bit view
# (Wow6432Node in a win64 prefix) for the 32-bit build, the 64-bit view for the other.
e2e_reg() {
  local view=32
  objdump -f "$BUILD_DIR/nortavel_free_service.exe" 2>/dev/null | grep -q 'x86-64' && view=64
  wine reg "$@" "/reg:$view" </dev/null >>"$WINEPREFIX.reg.log" 2>&1
}

# e2e_configure LEVEL: main key with Debug = LEVEL and Path = C:\nortavel\logs.
e2e_configure() {
  mkdir -p "$E2E_DIR/logs"
  e2e_reg add "$E2E_KEY" /v Debug /t REG_DWORD /d "$1" /f
  e2e_reg add "$E2E_KEY" /v Path /t REG_SZ /d 'C:\nortavel\logs' /f
}

# e2e_rule restricted|allowed: a day rule that restricts (or allows) the current
# half hour and the next one, allowing (or restricting) every other.
e2e_rule() {
  local slot other mark rule="" i
  slot=$(( 10#$(date +%H) * 2 + 10#$(date +%M) / 30 ))
  if [ "$1" = restricted ]; then mark=1; other=0; else mark=0; other=1; fi
  for i in $(seq 0 47); do
    if [ "$i" -eq "$slot" ] || [ "$i" -eq $(( (slot + 1) % 48 )) ]; then rule+=$mark; else rule+=$other; fi
  done
  echo "$rule"
}

# e2e_restrict USER RULE: the same rule on all seven days.
e2e_restrict() {
  local n
  for n in 1 2 3 4 5 6 7; do
    e2e_reg add "$E2E_KEY\\Time_restrictions\\$1" /v "Time$n" /t REG_SZ /d "$2" /f
  done
}

e2e_log_file() { echo "$E2E_DIR/logs/debug_free.log"; }
e2e_log_has() { [ -f "$(e2e_log_file)" ] && grep -qF -- "$1" "$(e2e_log_file)"; }

# The service's state word from sc (RUNNING, STOPPED, ...), or nothing.
e2e_state() { wine sc query "$E2E_SERVICE" </dev/null 2>/dev/null | tr -d '\r' | awk '/STATE/ {print $4}'; }
e2e_state_is() { [ "$(e2e_state)" = "$1" ]; }

# Sends a control code (or "query") through the control helper.
e2e_control() { wine "$BUILD_DIR/control_service.exe" "$E2E_SERVICE" "$1" </dev/null 2>/dev/null | tr -d '\r'; }

# Runs nortavelctl from its folder: stdout (CR dropped) to $CTL_OUT, stderr to
# $CTL_ERR, the exit code to $CTL_RC.
e2e_ctl() {
  CTL_RC=0
  (cd "$E2E_DIR" && wine nortavelctl.exe "$@" </dev/null >"$WINEPREFIX.ctl.out" 2>"$WINEPREFIX.ctl.err") || CTL_RC=$?
  CTL_OUT=$(tr -d '\r' <"$WINEPREFIX.ctl.out")
  CTL_ERR=$(tr -d '\r' <"$WINEPREFIX.ctl.err")
}

# Milliseconds since the epoch, for printed timings.
e2e_now_ms() { date +%s%3N; }

# e2e_tray_bench ARGS...: tray_bench.exe's output, CRs dropped, and its exit
# code. Into a file, not a pipe: a program the harness leaves running holds its
# output open, and a pipe's reader would wait for it to end.
e2e_tray_bench() {
  local rc=0
  (cd "$E2E_DIR" && wine tray_bench.exe "$@" </dev/null >"$WINEPREFIX.bench.out" 2>/dev/null) || rc=$?
  tr -d '\r' <"$WINEPREFIX.bench.out"
  return $rc
}

# e2e_summary COLUMN: "first X ms; median Y ms (min-max) of the other N" of
# the lines on stdin that read "... COLUMN X ms", then the values.
e2e_summary() {
  local values first
  values=$(sed -n "s/.* $1 \([0-9.]*\) ms.*/\1/p")
  first=$(head -1 <<<"$values")
  tail -n +2 <<<"$values" | sort -n | awk -v first="$first" '
    { v[++n] = $1 }
    END {
      if (n == 0) { printf "first %.0f ms", first; exit }
      median = n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
      printf "first %.0f ms; median %.0f ms (%.0f-%.0f) of the other %d", first, median, v[1], v[n], n
    }'
  echo "  [$(tr '\n' ' ' <<<"$values" | sed 's/ $//')]"
}

# Whether any process of the prefix other than Wine's own still runs.
# The service processes of this scenario's prefix only: other prefixes may run
# the same executable at the same time.
e2e_service_pids() {
  local pid
  for pid in $(pgrep -f 'nortavel_free_service[.]exe'); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "$pid"
  done
  return 0
}
e2e_service_process_alive() { [ -n "$(e2e_service_pids)" ]; }
e2e_service_process_gone() { ! e2e_service_process_alive; }

# For the scripts that run the service outside the test command: BUILD_DIR as
# given, or the win32 preset built now; E2E_WORK (as given, or BUILD_DIR/NAME).
#   e2e_use_build NAME     (from the repository root)
e2e_use_build() {
  if [ -z "${BUILD_DIR:-}" ]; then
    scripts/ensure-packages.sh
    cmake --preset win32 >/dev/null && cmake --build --preset win32 -j"$(nproc)" >/dev/null
    BUILD_DIR=$PWD/build/win32
  fi
  BUILD_DIR=$(cd "$BUILD_DIR" && pwd)
  E2E_WORK=${E2E_WORK:-$BUILD_DIR/$1}
  export BUILD_DIR E2E_WORK
  mkdir -p "$E2E_WORK"
}

# Windows Installer packages of BUILD_DIR's executables, with the netapi32 double.
# The architecture follows the build: x64 for the 64-bit executables, x86 else.
e2e_msi_arch() { objdump -f "$BUILD_DIR/nortavel_free_service.exe" 2>/dev/null | grep -q 'x86-64' && echo x64 || echo x86; }
# e2e_msi_build VERSION: prints the path of the package made (under $E2E_WORK/msi).
e2e_msi_build() {
  local root; root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  "$root/scripts/package.sh" --test-double --version "$1" --bin "$BUILD_DIR" --out "$E2E_WORK/msi" \
    "$(e2e_msi_arch)" >"$E2E_WORK/msi-$1-$(e2e_msi_arch).log" 2>&1 || { cat "$E2E_WORK/msi-$1-$(e2e_msi_arch).log"; return 1; }
  echo "$E2E_WORK/msi/NortavelFree-$1-$(e2e_msi_arch).msi"
}
# The install folder a package of this architecture uses in the current prefix
# (Windows path), and the same on the Linux side.
e2e_msi_dir() {
  if [ "$(e2e_msi_arch)" = x86 ] && [ -d "$WINEPREFIX/drive_c/Program Files (x86)" ]; then
    echo 'C:\Program Files (x86)\NortavelFree'
  else
    echo 'C:\Program Files\NortavelFree'
  fi
}
e2e_msi_unix_dir() { local d; d=$(e2e_msi_dir); echo "$WINEPREFIX/drive_c/${d#C:\\}" | tr '\\' '/'; }
# e2e_msiexec LOGNAME ARGS...: msiexec with a verbose log in C:\LOGNAME.log; its exit code.
e2e_msiexec() {
  local log=$1; shift
  timeout 300 wine msiexec "$@" /l*v "C:\\$log.log" </dev/null >>"$WINEPREFIX.msiexec.log" 2>&1
}

# e2e_check_registration: the service is registered as designed (own process,
# automatic start, normal error control, "Nortavel free", LocalSystem; an empty
# ObjectName is LocalSystem too). Prints the registration and leaves the
# registered path in E2E_IMAGE_PATH for the caller to check.
e2e_check_registration() {
  local config object
  config=$(wine reg query 'HKLM\System\CurrentControlSet\Services\NortavelFree' </dev/null 2>/dev/null | tr -d '\r')
  echo "$config"
  e2e_value() { awk -v name="$1" '$1 == name { $1 = ""; $2 = ""; sub(/^  /, ""); print }' <<<"$config"; }
  [ "$(e2e_value Type)" = 0x10 ] || e2e_fail "Type $(e2e_value Type)"
  [ "$(e2e_value Start)" = 0x2 ] || e2e_fail "Start $(e2e_value Start)"
  [ "$(e2e_value ErrorControl)" = 0x1 ] || e2e_fail "ErrorControl $(e2e_value ErrorControl)"
  [ "$(e2e_value DisplayName)" = "Nortavel free" ] || e2e_fail "DisplayName $(e2e_value DisplayName)"
  object=$(e2e_value ObjectName)
  [ -z "$object" ] || [ "$object" = LocalSystem ] || e2e_fail "ObjectName $object"
  E2E_IMAGE_PATH=$(e2e_value ImagePath)
}

# The event sources the service writes under: its name and the executable's file name.
E2E_SOURCES_KEY='HKLM\System\CurrentControlSet\Services\EventLog\Application'
E2E_SOURCES="NortavelFree nortavel_free_service.exe"
# e2e_check_event_sources PATH: each source's key names PATH (any case) as its
# message file, REG_EXPAND_SZ, and admits the three event types.
e2e_check_event_sources() {
  local source values file
  for source in $E2E_SOURCES; do
    values=$(wine reg query "$E2E_SOURCES_KEY\\$source" </dev/null 2>/dev/null | tr -d '\r')
    file=$(sed -n 's/^ *EventMessageFile    REG_EXPAND_SZ    //p' <<<"$values")
    [ "${file,,}" = "${1,,}" ] || e2e_fail "event source $source: message file '$file' (want '$1'): $values"
    grep -q '^ *TypesSupported    REG_DWORD    0x7$' <<<"$values" || e2e_fail "event source $source: types: $values"
  done
}
# e2e_check_safe_mode present|gone: the keys that make Windows start the service
# in Safe Mode (minimal and with networking), each with default value "Service".
e2e_check_safe_mode() {
  local mode values found
  for mode in Minimal Network; do
    found=yes
    values=$(wine reg query "HKLM\\System\\CurrentControlSet\\Control\\SafeBoot\\$mode\\NortavelFree" </dev/null 2>/dev/null) || found=no
    if [ "$1" = present ]; then
      tr -d '\r' <<<"$values" | grep -q '^ *(Default)    REG_SZ    Service$' || e2e_fail "Safe Mode key $mode: '$values'"
    elif [ $found = yes ]; then
      e2e_fail "Safe Mode key $mode left behind: $values"
    fi
  done
}
# e2e_check_event_sources_gone: neither source's key is left.
e2e_check_event_sources_gone() {
  local source
  for source in $E2E_SOURCES; do
    if wine reg query "$E2E_SOURCES_KEY\\$source" </dev/null >/dev/null 2>&1; then
      e2e_fail "event source $source left behind"
    fi
  done
}
