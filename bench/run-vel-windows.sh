#!/usr/bin/env bash
# vel.exe under Wine beside the Linux `vel`, both on one private X server
# (Xvfb, started and stopped by scripts/vel-windows-lib.sh), each in its own
# empty work folder:
#  1. idle: CPU (user + system) and resident memory of each program over
#     IDLE_SECONDS seconds (default 60) of ticks; for Wine also its own processes
#     (the wine server and the desktop process that holds the tray icon);
#  2. a report of PAGES pages (default 2000) dropped into each folder and
#     printed to the built-in PDF printer: seconds from the drop to the PDF,
#     and pages per second. Every job first stands still over one tick, so
#     about 1-2 s of each time is that wait.
#   bench/run-vel-windows.sh     (IDLE_SECONDS=10 PAGES=500 for a quick look)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${IDLE_SECONDS:-60}
pages=${PAGES:-2000}
cmake -S "$top" -B "$top/build" -G Ninja >/dev/null
cmake --build "$top/build" -j2 --target vel pcl_bench >/dev/null
bash "$top/scripts/build-windows.sh" >/dev/null
check="vel.exe benchmark" needed="bc"
linux_pid=""
cleanup_more() { [ -n "$linux_pid" ] && kill "$linux_pid" 2>/dev/null; }
source "$top/scripts/vel-windows-lib.sh"
mkdir "$work/linux"
(cd "$work/linux" && exec "$top/build/src/vel") </dev/null >"$work/linux.log" 2>&1 &
linux_pid=$!
start_vel
windows_pid=$vel_pid
wait_for 30 test -e "$work/linux/Wrk.{-}" || { echo "vel did not start:"; cat "$work/linux.log"; exit 1; }
sleep 3  # past start-up and the first ticks

# utime + stime of the given processes, in clock ticks.
cpu_ticks() { for p in "$@"; do awk '{ sub(/.*\) /, ""); print $12 + $13 }' "/proc/$p/stat"; done | paste -sd+ | bc; }
rss_mb() { awk '/^VmRSS/ { printf "%.1f", $2 / 1024 }' "/proc/$1/status"; }
# Wine's own processes of this prefix (other prefixes may run beside it).
wine_pids=""
for p in $(pgrep -f 'wineserver|explorer\.exe' || true); do
    { tr '\0' '\n' <"/proc/$p/environ"; } 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && wine_pids+=" $p"
done
hz=$(getconf CLK_TCK)
l0=$(cpu_ticks "$linux_pid") w0=$(cpu_ticks "$windows_pid") s0=$(cpu_ticks $wine_pids)
sleep "$seconds"
l1=$(cpu_ticks "$linux_pid") w1=$(cpu_ticks "$windows_pid") s1=$(cpu_ticks $wine_pids)
echo "idle over $seconds s (CPU as % of one core):"
awk -v c=$((l1 - l0)) -v hz="$hz" -v s="$seconds" -v m="$(rss_mb "$linux_pid")" \
    'BEGIN { printf "  linux vel        %6.2f %%  %6s MB resident\n", 100 * c / hz / s, m }'
awk -v c=$((w1 - w0)) -v hz="$hz" -v s="$seconds" -v m="$(rss_mb "$windows_pid")" \
    'BEGIN { printf "  windows vel.exe  %6.2f %%  %6s MB resident\n", 100 * c / hz / s, m }'
awk -v c=$((s1 - s0)) -v hz="$hz" -v s="$seconds" \
    'BEGIN { printf "  Wine server and desktop %6.2f %%\n", 100 * c / hz / s }'

# The report, complete before it gets its job name; timed from the rename.
"$top/build/bench/pcl_bench" --write-job "$work/job.pcl" "$pages"
echo "a report of $pages pages to the built-in PDF printer:"
for b in linux windows; do
    dir=$work/$b
    [ $b = windows ] && dir=$work/folder
    cp "$work/job.pcl" "$dir/job.tmp"
    start=$(date +%s.%N)
    mv "$dir/job.tmp" "$dir/##-ABC.PCL"
    while [ -e "$dir/##-ABC.PCL" ] || ! compgen -G "$dir/pdf/*.[Pp][Dd][Ff]" >/dev/null; do
        sleep 0.05
    done
    end=$(date +%s.%N)
    awk -v b="$b" -v p="$pages" -v s="$start" -v e="$end" \
        'BEGIN { printf "  %-8s %7.2f s  %6.0f pages/s\n", b, e - s, p / (e - s) }'
done
