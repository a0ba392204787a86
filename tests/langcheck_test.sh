#!/usr/bin/env bash
# The language checker finds what a user would meet: a missing or misspelt key or section, a
# value the module counts as absent, an empty or over-long value, and text in the wrong
# encoding for the module's system. Each case breaks one thing in a good packaged file.
#
#   langcheck_test.sh WORKDIR GOOD_FILE utf8|ansi CHECKER [ARG...]
#
# GOOD_FILE is a packaged language file in the system's encoding; utf8 or ansi names what the
# module hands to the host; CHECKER and its leading arguments run the checker (a Windows one
# through its emulator).
set -euo pipefail
# The files are edited byte by byte: a Windows-1252 letter is no character in a UTF-8 locale.
export LC_ALL=C
work=$1
good=$2
encoding=$3
shift 3
checker=("$@")
rm -rf "$work"
mkdir -p "$work"
failures=0

# expect NAME STATUS PATTERN FILE: the checker's status and one line of its report.
expect() {
  local name=$1 status=$2 pattern=$3 file=$4 output actual
  set +e
  output=$("${checker[@]}" "$file" 2>&1 | tr -d '\r')
  actual=${PIPESTATUS[0]}
  if [ -z "$output" ]; then
    # The checker always reports something; under Wine a busy machine has been seen to lose a
    # program's whole output once. A checker that really says nothing fails the second run too.
    output=$("${checker[@]}" "$file" 2>&1 | tr -d '\r')
    actual=${PIPESTATUS[0]}
  fi
  set -e
  if [ "$actual" != "$status" ] || ! grep -Eq -- "$pattern" <<<"$output"; then
    echo "FAIL $name: status $actual (want $status), output:" >&2
    echo "$output" >&2
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
}

# variant NAME SED-SCRIPT: a copy of the good file with one change, CRLF endings kept.
variant() {
  sed -e "$2" "$good" >"$work/$1.ini"
  echo "$work/$1.ini"
}

expect "the good file" 0 'all [0-9]+ keys present' "$good"
expect "a missing file" 2 'cannot read' "$work/none.ini"
expect "a key left out" 1 '\[Conditions\] Cond38 \(for "Lightening"\): missing' \
  "$(variant dropped '/^Cond38=/d')"
expect "one key reported, not more" 1 ': 1 of [0-9]+ keys unusable' "$work/dropped.ini"
expect "a misspelt key" 1 '\[Moon\] Moon5 .*: missing' "$(variant misspelt 's/^Moon5=/Mon5=/')"
expect "a key with a blank inside" 1 '\[Wind\] Strong Gale .*: missing' \
  "$(variant blank 's/^Strong Gale=/StrongGale=/')"
expect "a misspelt section" 1 '\[Daynames\] Tomorrow .*: missing' \
  "$(variant section 's/^\[Daynames\]/[Daynams]/')"
expect "undefined counts as absent" 1 'Cond12 .*undefined' \
  "$(variant undefined 's/^Cond12=[^\r]*/Cond12=undefined/')"
expect "an empty value" 1 '\[Daynames\] Tonight .*: empty' \
  "$(variant empty 's/^Tonight=[^\r]*/Tonight=/')"
long63=$(printf 'x%.0s' $(seq 63))
expect "a day word that fits its 64 bytes" 0 'all [0-9]+ keys present' \
  "$(variant fits "s/^Today=[^\r]*/Today=$long63/")"
expect "a day word one byte too long" 1 '\[Daynames\] Today .*too long' \
  "$(variant long "s/^Today=[^\r]*/Today=${long63}x/")"
expect "a condition one byte too long" 1 'Cond0 .*too long' \
  "$(variant condlong "s/^Cond0=[^\r]*/Cond0=$(printf 'y%.0s' $(seq 128))/")"
if [ "$encoding" = utf8 ]; then
  expect "a Windows-1252 value in a UTF-8 module" 1 'Cond26 .*not UTF-8' \
    "$(variant ansi $'s/^Cond26=[^\r]*/Cond26=Bew\xf6lkt/')"
else
  expect "a UTF-8 value for the ANSI host" 1 'Cond26 .*UTF-8, but' \
    "$(variant utf8 $'s/^Cond26=[^\r]*/Cond26=Bew\xc3\xb6lkt/')"
fi

[ "$failures" -eq 0 ] || exit 1
