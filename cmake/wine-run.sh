#!/usr/bin/env bash
# Runs a Windows program under 32-bit Wine in a prefix of the build's own, creating the prefix
# on first use without the Mono and Gecko dialogs; with --64, a 64-bit program under 64-bit Wine.
set -euo pipefail
# usage: wine-run.sh [--64] PREFIX PROGRAM [ARG...]
wine=wine
export WINEARCH=win32
if [ "$1" = --64 ]; then
  shift
  export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
  wine=$WINELOADER
fi
export WINEPREFIX=$1
shift
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      "$wine" wineboot -i >/dev/null 2>&1 || true
      wineserver -w || true
    fi
  ) 9>"$WINEPREFIX.lock"
fi
exec "$wine" "$@"
