#!/usr/bin/env bash
# Writes every language file of package/languages into OUTDIR, as each system's package holds
# them: for windows in Windows-1252 with CRLF line endings (the host reads the ANSI code page),
# for linux in UTF-8 with LF, as the sources are kept.
#
#   scripts/languages.sh OUTDIR windows|linux
#
# Exits nonzero, and leaves no file behind for the language at fault, when a source is not
# UTF-8, holds a character Windows-1252 lacks, starts with a byte-order mark (the profile
# reader would take it for part of the first section's name) or has CR line endings of its own.
set -euo pipefail

usage() {
  echo "usage: $0 OUTDIR windows|linux" >&2
  exit 2
}
[ $# -eq 2 ] || usage
out=$1
system=$2
case $system in
  windows | linux) ;;
  *) usage ;;
esac

# NIMBREL_LANGUAGE_SOURCES names another folder of sources (the tests use it).
sources=${NIMBREL_LANGUAGE_SOURCES:-$(cd "$(dirname "$0")/.." && pwd)/package/languages}
shopt -s nullglob
files=("$sources"/*.ini)
if [ ${#files[@]} -eq 0 ]; then
  echo "$0: no language file in $sources" >&2
  exit 1
fi
mkdir -p "$out"

status=0
for source in "${files[@]}"; do
  name=$(basename "$source")
  target=$out/$name
  if [ "$(head -c 3 "$source" | od -An -tx1 | tr -d ' \n')" = efbbbf ]; then
    echo "$0: $name starts with a byte-order mark" >&2
    status=1
    rm -f "$target"
    continue
  fi
  if grep -q $'\r' "$source"; then
    echo "$0: $name has CR line endings; keep the source with LF" >&2
    status=1
    rm -f "$target"
    continue
  fi
  # Written beside the target and moved in whole, so a failed conversion leaves no part file.
  if [ "$system" = windows ]; then
    converted=$(iconv -f UTF-8 -t WINDOWS-1252 "$source" | sed 's/$/\r/' > "$target.part" && echo ok) || true
  else
    converted=$(iconv -f UTF-8 -t UTF-8 "$source" > "$target.part" && echo ok) || true
  fi
  if [ "$converted" != ok ]; then
    echo "$0: $name cannot be written for $system (see iconv's message above)" >&2
    status=1
    rm -f "$target.part" "$target"
    continue
  fi
  mv "$target.part" "$target"
done
exit $status
