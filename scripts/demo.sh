#!/usr/bin/env bash
# Installs what is missing, builds, and shows the main job: a demo work folder
# with a two-page report job, and Vel started there. The job prints at the
# first ticks (to the built-in PDF printer when the machine has no printer).
# Only the programs are built, not the tests, fuzzers and benchmarks
# (scripts/build.sh builds those), in the same build folder and configuration.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
# The compilers, CMake and Qt; the printers and fonts the program uses.
bash "$top/scripts/install-deps.sh" build qt
cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$top/build" -j2 --target vel vel-job

demo=${VEL_DEMO_DIR:-$top/demo}
mkdir -p "$demo/pdf"
export VEL_PDF_DIR="$demo/pdf"
cd "$demo"
rm -f Wrk.{-}
"$top/build/src/vel" &
vel=$!
trap 'kill -TERM $vel 2>/dev/null || true' INT TERM
sleep 2  # start-up deletes job files left from an earlier run
bash "$top/scripts/sample-job.sh" > "##-DEM.PCL"
echo "Demo job dropped into $demo"

for _ in $(seq 1 30); do
    [ -e "##-DEM.PCL" ] || break
    sleep 1
done
if [ -e "##-DEM.PCL" ]; then
    echo "The job was not printed within 30 seconds; see $demo/Vel.err" >&2
else
    pdf=$(ls -t "$VEL_PDF_DIR"/*.[pP][dD][fF] 2>/dev/null | head -n 1 || true)
    if [ -n "$pdf" ]; then
        echo "Printed to the built-in PDF printer: $pdf"
    else
        echo "Printed on the chosen printer (see Vel.err and Vel.Log in $demo)"
    fi
fi
echo "Vel keeps running (process $vel); end it with Ctrl-C or a click on the clock."
wait $vel || true
