#!/bin/bash
# Starts or ends the private Wine session of a test run.
#   session.sh start PREFIX   fresh prefix, null graphics driver, our netapi32 and wtsapi32 for
#                             the test and service executables, persistent wineserver
#   session.sh end PREFIX     ends the session and removes the prefix
set -eu
action=$1
export WINEPREFIX=$2
export WINEDEBUG=-all
case "$action" in
  start)
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
    WINEARCH=win64 wineboot -i </dev/null >"$WINEPREFIX.boot.log" 2>&1
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >>"$WINEPREFIX.boot.log" 2>&1
    for exe in nortavel_wine_tests.exe nortavel_free_service.exe nortavelctl.exe; do
      for dll in netapi32 wtsapi32; do
        wine reg add "HKCU\\Software\\Wine\\AppDefaults\\$exe\\DllOverrides" /v $dll /d native,builtin /f \
          </dev/null >>"$WINEPREFIX.boot.log" 2>&1
      done
    done
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    # The first process of a session starts Wine's own services, which inherit its
    # output: start it here with the output in a file.
    wineserver -p >/dev/null 2>&1
    wine wineboot </dev/null >"$WINEPREFIX.session.log" 2>&1
    echo "Wine session ready in $WINEPREFIX"
    ;;
  end)
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX" "$WINEPREFIX.boot.log"
    echo "Wine session ended"
    ;;
  *) echo "usage: $0 start|end PREFIX" >&2; exit 2 ;;
esac
