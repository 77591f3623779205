#!/usr/bin/env bash
# The whole PCL job into a PDF file (vel-job print --pdf) by the Windows build
# under Wine beside the Linux build, on the same report the renderer benchmark
# writes (2000 pages unless PAGES says otherwise): wall seconds, CPU seconds of
# the program (user + system; Wine's server is not counted), pages per second
# of wall time, and the Windows/Linux ratios. Other work on the machine shows
# in the wall times: compare the CPU times then.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$top" -B "$top/build" -G Ninja >/dev/null
cmake --build "$top/build" -j2 --target vel-job pcl_bench >/dev/null
bash "$top/scripts/build-windows.sh" >/dev/null
source "$top/scripts/wine-env.sh"
work=$(mktemp -d)
trap 'wine_stop; rm -rf "$work"' EXIT
wine_start
cd "$work"
printf '%6s %-8s %9s %9s %8s %9s\n' pages build wall-s cpu-s pages/s "PDF MB"
for pages in ${PAGES:-2000}; do
    "$top/build/bench/pcl_bench" --write-job job.pcl "$pages"
    /usr/bin/time -f '%e %U %S' -o linux.time \
        "$top/build/src/vel-job" print job.pcl --pdf linux.pdf </dev/null >/dev/null 2>&1
    /usr/bin/time -f '%e %U %S' -o windows.time \
        "$wine" "$top/build-windows/src/vel-job.exe" print job.pcl --pdf windows.pdf </dev/null >/dev/null 2>&1
    for b in linux windows; do
        read -r wall user sys < "$b.time"
        awk -v p="$pages" -v w="$wall" -v c="$(echo "$user + $sys" | bc)" -v b="$b" -v f="$(stat -c %s $b.pdf)" \
            'BEGIN { printf "%6d %-8s %9.2f %9.2f %8.0f %9.1f\n", p, b, w, c, p / w, f / 1048576 }'
    done
    read -r lw lu ls < linux.time
    read -r ww wu ws < windows.time
    awk -v lw="$lw" -v ww="$ww" -v lc="$(echo "$lu + $ls" | bc)" -v wc="$(echo "$wu + $ws" | bc)" \
        'BEGIN { printf "Windows/Linux: wall %.2fx, cpu %.2fx\n", ww / lw, wc / lc }'
    rm -f linux.pdf windows.pdf
done
