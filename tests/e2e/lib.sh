# Shared steps of the end-to-end scenarios. Each scenario runs in a prefix of its
# own under $E2E_WORK, with a persistent wineserver, the null graphics driver and
# our netapi32 double beside the service executable.
#   BUILD_DIR   the Windows build holding nortavel_free_service.exe and netapi32.dll

e2e_fail() { echo "FAIL: $*" >&2; exit 1; }

# e2e_prefix NAME: makes a fresh prefix and a running session; exports WINEPREFIX.
e2e_prefix() {
  export WINEPREFIX="$E2E_WORK/$1"
  export WINEDEBUG=${WINEDEBUG:--all}
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
  WINEARCH=${E2E_WINEARCH:-win64} wineboot -i </dev/null >"$WINEPREFIX.boot.log" 2>&1
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >>"$WINEPREFIX.boot.log" 2>&1
  wine reg add 'HKCU\Software\Wine\AppDefaults\nortavel_free_service.exe\DllOverrides' /v netapi32 \
    /d native,builtin /f </dev/null >>"$WINEPREFIX.boot.log" 2>&1
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  wineserver -p >/dev/null 2>&1
  wine wineboot </dev/null >"$WINEPREFIX.session.log" 2>&1
  E2E_DIR="$WINEPREFIX/drive_c/nortavel"
  mkdir -p "$E2E_DIR"
  cp "$BUILD_DIR/nortavel_free_service.exe" "$BUILD_DIR/netapi32.dll" "$E2E_DIR/"
}

# Ends the scenario's session and removes its prefix.
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
