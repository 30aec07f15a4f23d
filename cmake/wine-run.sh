#!/usr/bin/env bash
# Runs a Windows test executable under Wine: quiet, in the project's own prefix, which is created
# on first use (once, even when several tests start at the same moment).
set -eu
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=${WINEPREFIX:-${DEVU_CACHE:-$HOME/.cache/devu_dodazavavi}/wine}
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      "$wine" wineboot --init >/dev/null 2>&1 || true
      "$(dirname "$wine")/wineserver" -w 2>/dev/null || wineserver -w 2>/dev/null || true
    fi
  ) 9>"$WINEPREFIX.lock"
fi
# Start the server and Wine's own background programs first, detached from our output: started by
# the test itself they would inherit its stdout and hold it open until every Wine process ends,
# so ctest would wait on a finished suite for as long as the slowest one runs. When they already
# run, this is one short Wine call.
"$wine" cmd /c exit 0 </dev/null >/dev/null 2>&1 || true
exec "$wine" "$@"
