# The executable in its own folder: a run without switches writes one error event
# (Wine prints it on the standard error) and exits 0; "/INSTALL /SILENT" registers
# the service and its two event sources as designed without a dialog;
# "/UNINSTALL /SILENT" removes them.
set -eu
. "$(dirname "$0")/../lib.sh"
trap e2e_cleanup EXIT
e2e_prefix install_registration

run_log="$WINEPREFIX.plain-run.log"
(cd "$E2E_DIR" && WINEDEBUG=err+eventlog timeout 120 wine nortavel_free_service.exe </dev/null >"$run_log" 2>&1) \
  || e2e_fail "plain run ended with $?"
events=$(tr -d '\r' <"$run_log" | grep -c 'err:eventlog:ReportEventW' || true)
[ "$events" -eq 1 ] || { cat "$run_log"; e2e_fail "expected one error event, got $events"; }
# Wine's text for 1063 (ERROR_FAILED_SERVICE_CONTROLLER_CONNECT), its full stop removed.
grep -q 'err:eventlog:ReportEventW L"Service controller connect failed"' "$run_log" \
  || { cat "$run_log"; e2e_fail "event is not the text for 1063"; }
echo "plain run: one error event, exit code 0"

timeout 60 bash -c 'cd "$1" && wine nortavel_free_service.exe /INSTALL /SILENT </dev/null >/dev/null 2>&1' _ "$E2E_DIR" \
  || e2e_fail "silent install did not end (a dialog?)"
key='HKLM\System\CurrentControlSet\Services\NortavelFree'
e2e_check_registration
[ "$E2E_IMAGE_PATH" = 'C:\nortavel\nortavel_free_service.exe' ] || e2e_fail "ImagePath $E2E_IMAGE_PATH"
e2e_check_event_sources 'C:\nortavel\nortavel_free_service.exe'

timeout 60 bash -c 'cd "$1" && wine nortavel_free_service.exe -uninstall -silent </dev/null >/dev/null 2>&1' _ "$E2E_DIR" \
  || e2e_fail "silent uninstall did not end (a dialog?)"
if wine reg query "$key" </dev/null >/dev/null 2>&1; then e2e_fail "still registered after uninstall"; fi
e2e_check_event_sources_gone
echo "installed and removed"
