#!/usr/bin/env bash
# The Windows build's test launcher: runs a program under Wine (the first
# argument), giving back its output and exit code. Now and then Wine starts
# nothing at all: no output, and a failure a moment after the call. Such a
# start is tried once more and said on stderr; a program that ran and failed
# is never run again.
set -u
wine=$1
shift
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
for attempt in 1 2; do
    "$wine" "$@" >"$out" 2>"$err"
    status=$?
    if [ "$status" = 0 ] || [ -s "$out" ] || [ -s "$err" ]; then
        cat "$out"
        cat "$err" >&2
        [ "$attempt" = 1 ] || echo "(Wine started nothing at the first try, exit $first; started again)" >&2
        exit "$status"
    fi
    first=$status
done
echo "Wine started nothing: $(basename "$wine")${*:+ $*}, exit $status, twice" >&2
exit "$status"
