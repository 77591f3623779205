# Sourced by the end-to-end checks of vel.exe under Wine: a private X server
# (Xvfb, started here and stopped by its process id), a new work folder
# $work/folder, vel.exe started in it, and waiting for it and its windows.
# Set before sourcing: `check` (the name in messages) and `needed` (the
# programs the check uses besides Wine and Xvfb); when one is missing the
# check is SKIPPED (exit 0). A script may define `cleanup_more`, run first on
# exit. Uses the prefix of scripts/wine-env.sh, started here when the caller
# (scripts/test-windows.sh) has not.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
exe="$root/build-windows/src/vel.exe"
for tool in "$wine" Xvfb $needed; do
    if ! command -v "$tool" >/dev/null; then
        echo "$check: SKIPPED: $tool is not installed"
        exit 0
    fi
done
if [ -z "${WINEPREFIX:-}" ]; then
    source "$root/scripts/wine-env.sh"
    wine_start
fi
work=$(mktemp -d)
xvfb_pid="" vel_pid=""
cleanup() {
    if declare -F cleanup_more >/dev/null; then cleanup_more || true; fi
    [ -n "$vel_pid" ] && kill "$vel_pid" 2>/dev/null || true
    # Wine's desktop process of this display goes with the display.
    "$wineserver" -k >/dev/null 2>&1 || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "$check: $*"
    for f in "$work/vel.log" "$work/folder/Vel.err"; do [ -f "$f" ] && { echo "--- $f"; cat "$f"; }; done
    ls -l "$work/folder" "$work/folder/pdf" 2>/dev/null || true
    exit 1
}
# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
    local seconds=$1
    shift
    for ((i = 0; i < seconds * 5; i++)); do
        "$@" && return 0
        sleep 0.2
    done
    return 1
}

# The X server picks a free display and writes its number.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
wait_for 10 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(head -1 "$work/display")"
# Wine's desktop process takes the display it is started with: a server of
# the prefix started without one (the core's tests) goes first.
"$wineserver" -k >/dev/null 2>&1 || true
mkdir "$work/folder"

vel_ended() { ! kill -0 "$vel_pid" 2>/dev/null; }
# The lock is taken before the start clears an earlier run's job files, so
# jobs are dropped only once the start's printer-list trace is complete.
started_or_ended() { { [ -f "$work/folder/Wrk.{-}" ] && grep -q 'koniec\.' "$work/folder/Vel.err" 2>/dev/null; } || vel_ended; }
# Starts vel.exe in the work folder with the given arguments; it holds the
# folder's lock file once it runs.
start_vel() {
    (cd "$work/folder" && exec "$wine" "$exe" "$@" </dev/null >"$work/vel.log" 2>&1) &
    vel_pid=$!
    wait_for 60 started_or_ended && ! vel_ended || fail "vel.exe${*:+ $*} did not start, or took no lock file"
}
# The main window of vel.exe, as "+left+top" of its caption line in the tree.
window_line() { xwininfo -root -tree | grep '"Vel\.8\.61 .*("vel\.exe"' | head -1; }
has_window() { window_line | grep -q .; }
# The first tick moves the window to the screen's right edge, at the top.
at_top_right() { window_line | grep -q "+$((1024 - 290))+0 "; }
viewable() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }
