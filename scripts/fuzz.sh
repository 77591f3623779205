#!/usr/bin/env bash
# Builds and runs every fuzz target (fuzz/*_run.sh) for a while each.
# Usage: scripts/fuzz.sh [SECONDS_FOR_PCL [SECONDS_FOR_THE_OTHERS]]
set -euo pipefail
cd "$(dirname "$0")/.."
long=${1:-60}
short=${2:-20}
status=0
logs=build/fuzz-logs
mkdir -p "$logs"
shopt -s nullglob
# Each run's full output goes to build/fuzz-logs/NAME.log; the summary (or,
# after a finding, the end of the log with the crash report) is shown here.
for run in fuzz/*_run.sh; do
    name=$(basename "$run" _run.sh)
    secs=$short
    [ "$name" = pcl ] && secs=$long
    # The small parsers need less to be covered.
    case $name in request | settings) secs=$(((short + 1) / 2)) ;; esac
    echo "== fuzz $name for ${secs}s"
    if bash "$run" "$secs" > "$logs/$name.log" 2>&1; then
        grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$logs/$name.log" || tail -n 3 "$logs/$name.log"
    else
        tail -n 60 "$logs/$name.log"
        echo "fuzz $name: FAILED (whole output in $logs/$name.log)" >&2
        status=1
    fi
done
exit $status
