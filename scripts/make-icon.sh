#!/usr/bin/env bash
# Makes packaging/vel.ico, the icon vel.exe carries, from packaging/vel.svg:
# one image for each size Windows asks for (title bars and the tray 16 to 24,
# the desktop 32 and 48, Explorer's large views 256). The .ico is committed;
# run this again after changing the picture.
# Needs rsvg-convert (librsvg2-bin) and icotool (icoutils).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
images=()
for size in 16 20 24 32 48 256; do
    rsvg-convert -w "$size" -h "$size" -o "$work/vel-$size.png" "$top/packaging/vel.svg"
    images+=("$work/vel-$size.png")
done
# The large image stays PNG inside the .ico, as Windows expects it; the
# small ones are bitmaps, which every version of Windows reads.
icotool --create --raw="$work/vel-256.png" -o "$work/vel.ico" "${images[@]:0:5}"
mv "$work/vel.ico" "$top/packaging/vel.ico"
