#!/usr/bin/env bash
# Runs a Windows program under 32-bit Wine in a prefix of the build's own, creating the prefix
# on first use without the Mono and Gecko dialogs.
set -euo pipefail
# usage: wine-run.sh PREFIX PROGRAM [ARG...]
export WINEPREFIX=$1
shift
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win32
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      wineboot -i >/dev/null 2>&1 || true
      wineserver -w || true
    fi
  ) 9>"$WINEPREFIX.lock"
fi
exec wine "$@"
