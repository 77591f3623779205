# Sourced by the scripts that run the Windows build's programs: Wine with a
# private prefix in build-windows/, no display, no debug output, and one
# persistent wine server. `wine_start` before the first program, `wine_stop`
# at the end.
export WINEPREFIX="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build-windows/wineprefix"
# The stand-in programs the tests start (the fiscal driver, the requesting
# program) lie in build-windows/. Wine shows a sticky host folder such as /tmp
# as one Everyone may write, so a checkout below it would have every program
# refused: the tests name the build folder as an administrator names a share.
export VEL_TRUSTED_DIRS="Z:$(dirname "$WINEPREFIX" | tr / '\\')"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="   # never offer Mono or Gecko installs
# msvcrt misreads TZ (Europe/Warsaw); Wine takes the zone from the host.
unset TZ DISPLAY WAYLAND_DISPLAY
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

# The server stays up for the whole run (it would otherwise start and stop
# with every program); Wine's helper processes start here, on /dev/null, so
# that they never hold the pipes of ctest or of the calling script.
wine_start() {
    mkdir -p "$WINEPREFIX"
    "$wineserver" -p </dev/null >/dev/null 2>&1 || true
    "$wine" wineboot --init </dev/null >/dev/null 2>&1
}

wine_stop() { "$wineserver" -k >/dev/null 2>&1 || true; }
