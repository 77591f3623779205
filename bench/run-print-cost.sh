#!/usr/bin/env bash
# What a printed report costs the printing chain, the program's PDF beside the
# PDF of the writer at the revision $VEL_BENCH_BASE (default 80504bc, whose
# PDFs drew each character as a Type 3 glyph on its own white box and each
# frame segment as its own stroke), for the report job of 20 and 2000 pages
# ($PAGES). For each: PDF writing time, file size, rasterising time of the
# first $RASTER_PAGES pages (default 20) with Ghostscript (pbmraw) and poppler
# (pdftoppm -mono) at 300 and 600 dpi, and the whole CUPS chain to the sample
# LaserJet driver (cupsd, PDF-to-raster filter, driver, network printer on a
# loopback port) per page, for the first $CHAIN_PAGES pages (default 20).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
base=${VEL_BENCH_BASE:-80504bc}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen

cmake -S "$top" -B "$top/build" -G Ninja >/dev/null
cmake --build "$top/build" -j2 --target vel-job pcl_bench print_chain_bench >/dev/null
# The base is built as build/ is, so that writing times compare.
type=$(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$top/build/CMakeCache.txt")
git -C "$top" archive "$base" | tar -x -C "$work" --one-top-level=base
cmake -S "$work/base" -B "$work/base-build" -G Ninja -DCMAKE_BUILD_TYPE="$type" \
    -DVEL_BUILD_TESTS=OFF -DVEL_BUILD_BENCH=OFF >/dev/null
cmake --build "$work/base-build" -j2 --target vel-job >/dev/null

cd "$work"
raster=${RASTER_PAGES:-20}
chain=${CHAIN_PAGES:-20}
secs() { /usr/bin/time -f %e -o "$work/t" "$@" >/dev/null 2>&1; cat "$work/t"; }
printf '%6s %-6s %9s %9s %8s %8s %8s %8s %9s\n' pages PDF "write s" "size kB" "gs300" "gs600" "pop300" "pop600" "CUPS s/p"
for pages in ${PAGES:-20 2000}; do
    "$top/build/bench/pcl_bench" --write-job job.pcl "$pages"
    for who in base new; do
        prog="$top/build/src/vel-job"
        [ "$who" = base ] && prog="$work/base-build/src/vel-job"
        write=$(secs "$prog" print job.pcl --pdf "$who.pdf")
        last=$((pages < raster ? pages : raster))
        gs300=$(secs gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pbmraw -r300 -dFirstPage=1 -dLastPage=$last -o /dev/null "$who.pdf")
        gs600=$(secs gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pbmraw -r600 -dFirstPage=1 -dLastPage=$last -o /dev/null "$who.pdf")
        pop300=$(secs pdftoppm -mono -r 300 -f 1 -l $last "$who.pdf" "$work/p")
        rm -f "$work"/p*.pbm
        pop600=$(secs pdftoppm -mono -r 600 -f 1 -l $last "$who.pdf" "$work/p")
        rm -f "$work"/p*.pbm
        cut=$((pages < chain ? pages : chain))
        qpdf --empty --pages "$who.pdf" 1-$cut -- "$who-cut.pdf"
        per=$("$top/build/bench/print_chain_bench" "$who-cut.pdf" "$cut" | awk '{print $2}')
        printf '%6d %-6s %9.2f %9.0f %8.2f %8.2f %8.2f %8.2f %9.3f\n' "$pages" "$who" "$write" \
            "$(($(stat -c %s "$who.pdf") / 1000))" "$gs300" "$gs600" "$pop300" "$pop600" "$per"
    done
done
echo "(rasterising times are for the first $raster pages, the CUPS chain for the first $chain)"
