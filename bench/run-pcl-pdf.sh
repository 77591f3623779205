#!/usr/bin/env bash
# The whole PCL job through the real canvas (fonts from Qt, the program's PDF
# writer) into a PDF file (vel-job print --pdf): pages per second and peak
# memory for 1000, 2000 and 4000 pages of the same report the renderer
# benchmark uses.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$top" -B "$top/build" -G Ninja >/dev/null
cmake --build "$top/build" -j2 --target vel-job pcl_bench >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
printf '%6s %9s %8s %10s %9s\n' pages seconds pages/s "peak MB" "PDF MB"
for pages in ${PAGES:-1000 2000 4000}; do
    "$top/build/bench/pcl_bench" --write-job job.pcl "$pages"
    /usr/bin/time -f '%e %M' -o usage "$top/build/src/vel-job" print job.pcl --pdf out.pdf >/dev/null 2>&1
    read -r secs kb < usage
    awk -v p="$pages" -v s="$secs" -v k="$kb" -v f="$(stat -c %s out.pdf)" \
        'BEGIN { printf "%6d %9.2f %8.0f %10.1f %9.1f\n", p, s, p / s, k / 1024, f / 1048576 }'
    rm -f out.pdf
done
