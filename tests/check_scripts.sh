#!/usr/bin/env bash
# Every shell and Python script of the tree (below ROOT, build output left out) is one the test
# command can run: it parses, a "#!" line names an interpreter that exists, and a script with
# such a line is executable. A C++ formatter run over a shell script, or a merge that drops a
# mode, otherwise shows only when the stage that calls the script fails deep into CI.
# Prints one line per fault and a summary; exit status 1 on any fault.
set -euo pipefail
root="${1:?usage: check_scripts.sh ROOT}"
python="${PYTHON3:-python3}"
faults=0 count=0

fault() { # FILE TEXT
  echo "${1#"$root"/}: $2"
  faults=$((faults + 1))
}

while IFS= read -r -d '' file; do
  count=$((count + 1))
  first=$(head -n 1 "$file")
  if [[ $first == '#!'* ]]; then
    read -r interpreter _ <<<"${first#'#!'}"
    [ -f "$interpreter" ] && [ -x "$interpreter" ] ||
      fault "$file" "the first line names no interpreter: $first"
    [ -x "$file" ] || fault "$file" "has a #! line but is not executable"
  fi
  case $file in
    *.sh) bash -n "$file" 2>/dev/null || fault "$file" "does not parse as a shell script" ;;
    *.py)
      "$python" -c 'import ast, sys; ast.parse(open(sys.argv[1], "rb").read(), sys.argv[1])' \
        "$file" 2>/dev/null || fault "$file" "does not parse as Python" ;;
  esac
done < <(find "$root" \( -name .git -o -name build -o -name dist -o -name __pycache__ \) -prune \
  -o -type f \( -name '*.sh' -o -name '*.py' \) -print0 | sort -z)

echo "$count scripts: $faults faults"
[ "$faults" -eq 0 ]
