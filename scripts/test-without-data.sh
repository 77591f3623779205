#!/usr/bin/env bash
# Runs the tests of published outside data (the suites named Published*) once
# with VEL_TESTDATA naming an empty folder, as on a clone with nothing beside
# it: every one of them must be skipped with its reason. Fails when one passes
# or fails instead, or when there are none. Needs a built build/.
set -euo pipefail
cd "$(dirname "$0")/../build"
empty=$(mktemp -d)
log=$(mktemp)
trap 'rm -rf "$empty" "$log"' EXIT
VEL_TESTDATA=$empty ctest -R '^Published' -j2 --timeout 300 --output-on-failure >"$log" 2>&1 || true
total=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#' "$log" || true)
skipped=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#.*\*\*\*Skipped' "$log" || true)
echo "Without published test data: $total tests of it, $skipped skipped"
if [ "$total" -eq 0 ] || [ "$skipped" -ne "$total" ]; then
    cat "$log" >&2
    echo "test-without-data: every test of published data must skip without it" >&2
    exit 1
fi
