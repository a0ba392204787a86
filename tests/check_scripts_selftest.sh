#!/usr/bin/env bash
# The script check fails on what it is there to catch, each put into a copy of the scripts: a
# shell script rewritten by a C++ formatter, a script whose mode lost its executable bit, and
# Python that does not parse. A sourced script without a "#!" line is no fault.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

fresh_copy() {
  rm -rf "$work/tree" && mkdir -p "$work/tree"
  cp -p "$here"/*.sh "$here"/*.py "$work/tree/"
}

expect_fault() { # NAME PATTERN: the check must fail on the copy and name the fault
  if out="$("$here/check_scripts.sh" "$work/tree")"; then
    echo "FAIL: $1 passed the check"; exit 1
  fi
  grep -qF "$2" <<<"$out" || { echo "FAIL: $1 not named:"; echo "$out"; exit 1; }
  echo "ok: $1"
}

fresh_copy
"$here/check_scripts.sh" "$work/tree" >/dev/null || { echo "FAIL: the copy itself"; exit 1; }

# What clang-format makes of a shell script's first lines.
printf '#!/ usr / bin / env bash\nset - euo pipefail cd "$(dirname " $0 ")/.."\nfail(){echo "x" > &2 exit 1}\n' \
  >"$work/tree/services.sh"
expect_fault "a formatted shell script" "services.sh: the first line names no interpreter"
expect_fault "a formatted shell script" "services.sh: does not parse as a shell script"

fresh_copy
chmod -x "$work/tree/services.sh"
expect_fault "a lost mode" "services.sh: has a #! line but is not executable"

fresh_copy
echo 'def broken(:' >>"$work/tree/tls_front.py"
expect_fault "Python that does not parse" "tls_front.py: does not parse as Python"
