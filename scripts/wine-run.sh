#!/bin/sh
# Runs one Windows program under Wine for CTest: the Wine prefix of this build
# tree (created once per run by scripts/test.sh), quiet, with a time limit so
# that a hung program fails instead of hanging CI.
here=$(cd "$(dirname "$0")/.." && pwd)
: "${WINEPREFIX:=$here/build/windows/wineprefix}"
export WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
limit=${TESSARO_WINE_TIMEOUT:-540}
exec timeout --kill-after=10 "$limit" wine "$@"
