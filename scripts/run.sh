#!/bin/bash
# The main job: builds the 64-bit service, installs it in a private Wine prefix,
# configures the account Wine runs as with nortavelctl and the protections the
# package turns on (a warning before the end, Windows' logon hours as a backstop,
# the rules pinned to the computer's time zone), starts the service and shows its
# log.
#
#   scripts/run.sh              the account is restricted all week: the service
#                               locks it, warns it that the computer goes off a
#                               minute later (to the minute), and then powers
#                               "the computer" (the Wine prefix) off
#   scripts/run.sh --allowed    the account may use the computer all week: the service keeps
#                               running and unlocks the account every 20 seconds
#                               until you press Ctrl-C (or --seconds N passes)
set -eu
cd "$(dirname "$0")/.."
mode=restricted; seconds=0
while [ $# -gt 0 ]; do
  case "$1" in
    --allowed) mode=allowed; [ "$seconds" -eq 0 ] && seconds=100000 ;;
    --seconds) seconds=$2; shift ;;
    -h|--help) sed -n '2,16p' "$0"; exit 0 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
[ "$mode" = restricted ] && [ "$seconds" -eq 0 ] && seconds=240

scripts/ensure-packages.sh
echo "Building the 64-bit service ..."
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j"$(nproc)" >/dev/null

export BUILD_DIR=$PWD/build/win64 E2E_WORK=$PWD/build/run
mkdir -p "$E2E_WORK"
. tests/e2e/lib.sh
powered_off=0
stop_and_clean() {
  # After the power-off any new Wine process would "boot" the prefix again and
  # start the service automatically: just end the session then.
  if [ -n "${WINEPREFIX:-}" ] && [ $powered_off -eq 0 ] && e2e_state_is RUNNING; then
    echo; echo "Stopping the service ..."; wine net stop "$E2E_SERVICE" </dev/null >/dev/null 2>&1 || true
    sleep 1; show_new_lines
  fi
  e2e_cleanup
}
trap stop_and_clean EXIT
trap 'exit 130' INT TERM

echo "Making a private Wine prefix in $E2E_WORK/demo (takes a few seconds) ..."
e2e_prefix demo
user=$(wine cmd /c 'echo %USERNAME%' </dev/null 2>/dev/null | tr -d '\r')
echo "Installing: nortavel_free_service.exe /INSTALL /SILENT"
e2e_exe /INSTALL /SILENT
# The configuration, written with the administration tool as a parent would.
ctl() {
  echo "nortavelctl $*"
  (cd "$E2E_DIR" && wine nortavelctl.exe "$@" </dev/null 2>&1) | tr -d '\r' | sed 's/^/  | /'
}
schedule=never; [ "$mode" = allowed ] && schedule=always
echo "Configuring the account Wine runs as, \"$user\": every half hour $mode"
ctl level 3
ctl logdir 'C:\nortavel\logs'
# The package warns 10 minutes ahead; a minute keeps the demonstration short.
ctl warn "$([ "$mode" = allowed ] && echo 10 || echo 1)"
ctl backstop on
ctl set "$user" "$schedule"

netapi_log=$WINEPREFIX/drive_c/netapi32_calls.log
shown=0; shown_netapi=0
show_new_lines() {
  local log; log=$(e2e_log_file)
  if [ -f "$log" ]; then
    local total; total=$(wc -l <"$log")
    if [ "$total" -gt "$shown" ]; then tail -n +"$((shown + 1))" "$log" | tr -d '\r' | sed 's/^/  log | /'; shown=$total; fi
  fi
  if [ -f "$netapi_log" ]; then
    local total; total=$(wc -l <"$netapi_log")
    if [ "$total" -gt "$shown_netapi" ]; then
      tail -n +"$((shown_netapi + 1))" "$netapi_log" | sed 's/^/  NetUserSetInfo | /'; shown_netapi=$total
    fi
  fi
}

echo "Starting: net start NortavelFree"
wine net start "$E2E_SERVICE" </dev/null >/dev/null 2>&1 || true
echo "Service state: $(e2e_state)"
echo "Log file C:\\nortavel\\logs\\debug_free.log as it grows (lock-outs recorded by the netapi32 double):"
end=$(( $(date +%s) + seconds ))
while [ "$(date +%s)" -lt "$end" ]; do
  sleep 1
  show_new_lines
  if [ "$mode" = restricted ] && e2e_log_has "Shutting down computer" && ! e2e_service_process_alive; then
    powered_off=1
    echo
    echo "The service powered the computer off: every process of the Wine prefix has ended."
    exit 0
  fi
done
[ "$mode" = restricted ] && { echo "No power-off within $seconds seconds."; exit 1; }
exit 0
