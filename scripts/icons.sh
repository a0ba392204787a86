#!/usr/bin/env bash
# Draws the icon set into OUTDIR: svg/NAME.svg, the pictures 64/NAME.png and 128/NAME.png with
# a transparent background, and contact-sheet.png with every icon above its name. Those three
# folders and the sheet are replaced; nothing else in OUTDIR is touched.
#   icons.sh OUTDIR
# Needs python3 and rsvg-convert (librsvg2-bin); the sheet's labels use DejaVu Sans
# (fonts-dejavu-core). Exits nonzero when any picture fails to render.
set -euo pipefail

if [ $# -ne 1 ] || [ -z "$1" ]; then
  echo "usage: icons.sh OUTDIR" >&2
  exit 2
fi
out=$1
here=$(cd "$(dirname "$0")/.." && pwd)
generator="$here/tools/icons/icons.py"

if ! command -v rsvg-convert >/dev/null 2>&1; then
  echo "icons.sh: rsvg-convert not found (install librsvg2-bin)" >&2
  exit 1
fi

# A previous run's pictures would hide a name the generator no longer draws.
rm -rf "$out/svg" "$out/64" "$out/128" "$out/contact-sheet.png"
mkdir -p "$out/svg" "$out/64" "$out/128"
python3 "$generator" --svg "$out/svg"
names=$(python3 "$generator" --names)

# One rsvg-convert per picture and size, two at a time. Each job gets a batch of names, so the
# shell that runs them starts once per batch, not once per picture; a failure ends the batch
# with a nonzero status, which xargs passes on (as 123).
render_batch() {
  local dir=$1
  shift
  local name size
  for name in "$@"; do
    for size in 64 128; do
      rsvg-convert --width "$size" --height "$size" --format png \
        --output "$dir/$size/$name.png" "$dir/svg/$name.svg" || {
        echo "icons.sh: cannot render $name at $size pixels" >&2
        return 1
      }
    done
  done
}
export -f render_batch
printf '%s\n' "$names" | xargs -P 2 -n 16 bash -c 'render_batch "$@"' _ "$out"

# Every name must have come out in both sizes.
missing=0
while read -r name; do
  for size in 64 128; do
    if [ ! -s "$out/$size/$name.png" ]; then
      echo "icons.sh: $size/$name.png is missing" >&2
      missing=1
    fi
  done
done <<<"$names"
[ "$missing" -eq 0 ]

sheet=$(mktemp "$out/contact-sheet.XXXXXX.svg")
trap 'rm -f "$sheet"' EXIT
python3 "$generator" --sheet "$sheet"
rsvg-convert --format png --output "$out/contact-sheet.png" "$sheet"
