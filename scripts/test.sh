#!/usr/bin/env bash
# Installs what is missing, builds, fuzzes the parsers of outside input for a
# while (the PCL jobs for 45 s, the request and margins files for 10 s each,
# the others for 20 s each; VEL_SKIP_FUZZ=1 skips this), then runs every test.
# The test summary is the last thing printed.
# Published outside data (VEL_TESTDATA, see README) is used when it is there.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
fuzz=0
if [ "${VEL_SKIP_FUZZ:-0}" != 1 ]; then
    bash scripts/fuzz.sh 45 20 || fuzz=1
fi
# The tests of published data skip cleanly without it, and the Windows build
# passes its tests under Wine (both before the full run, whose summary stays
# the last thing printed).
nodata=0
bash scripts/test-without-data.sh || nodata=1
windows=0
bash scripts/test-windows.sh || windows=1
cd build
ctest --output-on-failure -j2 --timeout 600

# The same build and tests once more under the users' locale, whose decimal
# separator is ",": every file must come out as under C.UTF-8.
LANG=pl_PL.UTF-8 LC_ALL=pl_PL.UTF-8 ctest --output-on-failure -j2 --timeout 600
if [ "$nodata" != 0 ]; then
    echo "A test of published data did not skip without it: see the output above" >&2
    exit 1
fi
if [ "$windows" != 0 ]; then
    echo "The Windows build failed a test under Wine: see the output above" >&2
    exit 1
fi
if [ "$fuzz" != 0 ]; then
    echo "A fuzz target found a fault: see the output above" >&2
    exit 1
fi
