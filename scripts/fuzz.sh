#!/usr/bin/env bash
# Builds and runs every fuzz target (fuzz/*_run.sh) for a while each.
# Usage: scripts/fuzz.sh [SECONDS_FOR_PCL [SECONDS_FOR_THE_OTHERS]]
set -euo pipefail
cd "$(dirname "$0")/.."
long=${1:-60}
short=${2:-20}
status=0
shopt -s nullglob
for run in fuzz/*_run.sh; do
    name=$(basename "$run" _run.sh)
    secs=$short
    [ "$name" = pcl ] && secs=$long
    echo "== fuzz $name for ${secs}s"
    if ! bash "$run" "$secs"; then
        echo "fuzz $name: FAILED" >&2
        status=1
    fi
done
exit $status
