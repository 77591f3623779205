#!/usr/bin/env bash
# Builds the Windows programs (scripts/build-windows.sh) and runs every test
# program of the core, then vel-job.exe and vel.exe end to end, under Wine: a
# private prefix in build-windows/, no display (vel.exe gets its own Xvfb), no
# stdin. Ends non-zero on any failure; prints the counts last.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build-windows.sh
source scripts/wine-env.sh
trap wine_stop EXIT
wine_start
log=build-windows/ctest.log
status=0
ctest --test-dir build-windows --output-on-failure --no-tests=error --timeout 600 </dev/null 2>&1 | tee "$log" ||
    status=1
bash scripts/end-to-end-windows.sh || status=1
bash scripts/end-to-end-vel-windows.sh || status=1
bash scripts/end-to-end-vel-windows-views.sh || status=1
bash scripts/end-to-end-vel-windows-dpi.sh || status=1
bash scripts/end-to-end-spooler-windows.sh || status=1
echo "Windows (Wine): $(grep -E 'tests passed|tests failed' "$log" | tail -1)"
grep -c "\*\*\*Skipped" "$log" | sed 's/^/Windows (Wine): skipped tests: /' || true
exit $status
