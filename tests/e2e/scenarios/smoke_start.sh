# The executable starts under Wine without arguments, finds no service control
# manager connection, and exits 0.
set -eu
. "$(dirname "$0")/../lib.sh"
trap e2e_cleanup EXIT
e2e_prefix smoke_start
cd "$E2E_DIR"
timeout 60 wine nortavel_free_service.exe </dev/null >"$WINEPREFIX.run.log" 2>&1
echo "exit code 0"
