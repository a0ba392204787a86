#!/usr/bin/env bash
# scripts/languages.sh writes each system's files and refuses a source it cannot write whole.
#
#   languages_script_test.sh WORKDIR
set -euo pipefail
work=$1
script=$(cd "$(dirname "$0")/.." && pwd)/scripts/languages.sh
rm -rf "$work"
mkdir -p "$work/src"
failures=0
fail() {
  echo "FAIL $*" >&2
  failures=$((failures + 1))
}

printf '; Test\n[Daynames]\nToday=Hoy\nTomorrow=Ma\xc3\xb1ana\n' >"$work/src/Good.ini"
NIMBREL_LANGUAGE_SOURCES=$work/src "$script" "$work/win" windows || fail "windows: good source refused"
[ "$(od -An -tx1 "$work/win/Good.ini" | tr -d ' \n')" = \
  "$(printf '; Test\r\n[Daynames]\r\nToday=Hoy\r\nTomorrow=Ma\xf1ana\r\n' | od -An -tx1 | tr -d ' \n')" ] ||
  fail "windows: not Windows-1252 with CRLF"
NIMBREL_LANGUAGE_SOURCES=$work/src "$script" "$work/lin" linux || fail "linux: good source refused"
cmp -s "$work/src/Good.ini" "$work/lin/Good.ini" || fail "linux: not the UTF-8 source as it is"

# refused SOURCE-BYTES SYSTEM: the script fails and leaves no file for the language.
refused() {
  rm -rf "$work/bad" "$work/out"
  mkdir -p "$work/bad"
  printf "$1" >"$work/bad/Bad.ini"
  if NIMBREL_LANGUAGE_SOURCES=$work/bad "$script" "$work/out" "$2" 2>/dev/null; then
    fail "$2: accepted $1"
  fi
  if [ -e "$work/out/Bad.ini" ] || [ -e "$work/out/Bad.ini.part" ]; then
    fail "$2: left a file behind for $1"
  fi
}
refused '[Moon]\nMoon1=N\xc3\xb3w \xc5\x81\xc3\xb3d\xc5\xba\n' windows # not in Windows-1252
refused '[Moon]\nMoon1=Vollmond \xf6\n' linux                           # not UTF-8
refused '\xef\xbb\xbf[Moon]\nMoon1=Vollmond\n' linux                      # byte-order mark
refused '[Moon]\r\nMoon1=Vollmond\r\n' windows                            # CR of its own

[ "$failures" -eq 0 ] || exit 1
echo ok
