#!/usr/bin/env bash
# The layer check fails on what it is there to catch: an include of a higher folder, and a
# circle of units within one folder. Each fault is put into a copy of the tree.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$here/.."
python="${PYTHON3:-python3}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

expect_fault() { # NAME PATTERN: the check must fail on the copy and name the fault
  if out="$("$python" "$here/check_layers.py" "$work/tree")"; then
    echo "FAIL: $1 passed the check"; exit 1
  fi
  grep -q "$2" <<<"$out" || { echo "FAIL: $1 not named:"; echo "$out"; exit 1; }
  echo "ok: $1"
}

fresh_copy() {
  rm -rf "$work/tree" && mkdir -p "$work/tree"
  cp -r "$root/src" "$root/README.md" "$work/tree/"
}

fresh_copy
"$python" "$here/check_layers.py" "$work/tree" >/dev/null || { echo "FAIL: the copy itself"; exit 1; }

echo '#include "plugin/frame.h"' >>"$work/tree/src/base/text.cpp"
expect_fault "an upward include" "base/text.cpp: includes plugin/frame.h (a higher folder)"

fresh_copy
echo '#include "feed/query.h"' >>"$work/tree/src/feed/cache.h"
echo '#include "feed/cache.h"' >>"$work/tree/src/feed/query.h"
expect_fault "a circle of units" "unit circle of 2: feed/cache feed/query"
