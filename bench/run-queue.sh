#!/usr/bin/env bash
# A full queue: N report jobs (default 1000, "##-000.PCL".."##-999.PCL") are
# dropped at once into a running `vel` (headless, built-in PDF printer) and
# printed one per tick. Checks that every job is printed exactly once and in
# name order, none lost, and reports the time per job and the resident memory
# at the end.
#   bench/run-queue.sh [--jobs N]          (N at most 1000)
set -euo pipefail
jobs=1000
while [ $# -gt 0 ]; do
    case $1 in
        --jobs) jobs=$2; shift 2 ;;
        *) echo "usage: bench/run-queue.sh [--jobs N]" >&2; exit 2 ;;
    esac
done
[ "$jobs" -ge 1 ] && [ "$jobs" -le 1000 ] || { echo "N must be 1..1000" >&2; exit 2; }
top=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$top" -B "$top/build" -G Ninja >/dev/null
cmake --build "$top/build" -j2 --target vel >/dev/null
work=$(mktemp -d /tmp/vel-queue-XXXXXX)
pid=
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/pdf" "$work/stage"

(cd "$work" && unset DISPLAY WAYLAND_DISPLAY && VEL_PDF_DIR="$work/pdf" exec "$top/build/src/vel") 2>"$work/stderr" &
pid=$!
# Started once the lock is held and the start's printer-list trace is done:
# the start clears job files left before it.
started() { [ -e "$work/Wrk.{-}" ] && grep -q 'koniec\.' "$work/Vel.err" 2>/dev/null; }
for _ in $(seq 100); do started && break; sleep 0.1; done
started || { echo "vel did not start:" >&2; cat "$work/stderr" >&2; exit 1; }

# Each job names itself in the hidden title section of its first line, which
# becomes its PDF's file name.
for ((i = 0; i < jobs; i++)); do
    n=$(printf '%03d' "$i")
    {
        printf '\377Raport %s\377Zestawienie\r\n  za grudzien\r\n' "$n"
        for line in $(seq 40); do printf '  Pozycja %s/%02d  towar  12,50  kwota 1234.56\r\n' "$n" "$line"; done
    } > "$work/stage/##-$n.PCL"
done
start=$(date +%s.%N)
mv "$work"/stage/* "$work/"   # all at once, each complete
while compgen -G "$work/##-*" >/dev/null; do
    kill -0 "$pid" 2>/dev/null || { echo "vel ended early:" >&2; cat "$work/stderr" >&2; exit 1; }
    sleep 0.2
done
end=$(date +%s.%N)
rss=$(awk '/^VmRSS/ { print $2 }' "/proc/$pid/status")

# The job number of every PDF, oldest first.
ls -1 --sort=time --reverse --time-style=full-iso "$work/pdf" | grep -o 'Raport [0-9][0-9][0-9]' | cut -d' ' -f2 \
    > "$work/printed"
pdfs=$(ls -1 "$work/pdf" | grep -ci '\.pdf$' || true)
distinct=$(sort -u "$work/printed" | wc -l)
ordered=$(sort -c "$work/printed" 2>/dev/null && echo yes || echo no)
awk -v n="$jobs" -v s="$start" -v e="$end" -v p="$pdfs" -v d="$distinct" -v r="$rss" -v o="$ordered" 'BEGIN {
    printf "jobs %d  PDFs %d  distinct jobs printed %d  lost %d  in name order %s\n", n, p, d, n - d, o
    printf "%.1f s for all, %.3f s per job, resident memory at the end %.1f MB\n", e - s, (e - s) / n, r / 1024
}'
[ "$pdfs" -eq "$jobs" ] && [ "$distinct" -eq "$jobs" ] && [ "$ordered" = yes ]
