#!/usr/bin/env bash
# vel.exe's resources, and vel.exe on a display of 144 DPI (Windows' "150 %")
# under Wine on a private X server:
#  - both programs carry the clock icon (16 to 256 pixels), the version
#    information and a manifest with common controls 6, asInvoker and
#    per-monitor DPI awareness; the window is laid out at 96 DPI and drawn at
#    the display's DPI:
#  - at 96 DPI the window is 290 x 67 at the top right, as ever;
#  - at 144 DPI it is 1.5 times as large (435 x 101) at the top right;
#  - the clock's digits are drawn 1.5 times as tall (a font of that size, not
#    a stretched picture: the strokes stay as sharp) and still fit its panel;
#  - "Pos.{-}" keeps the position in 96 DPI pixels.
# The prefix's DPI is put back to 96 at the end, pass or fail.
# Skipped with a reason when Wine, Xvfb or the X tools are missing.
set -euo pipefail
check="end to end (vel.exe at 144 DPI)"
needed="xwininfo xwd xdotool convert wrestool icotool strings"
source "$(dirname "$0")/vel-windows-lib.sh"

# Programs read the DPI when Wine starts for them, so it is set with no
# server running (one still going down would save its own registry over the
# new value) and read back. 96 is set, not deleted: Wine keeps the last DPI
# under Software\Wine\Fonts too and would take that one again.
set_dpi() {
    "$wineserver" -k >/dev/null 2>&1 || true
    "$wineserver" -w
    "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f </dev/null >/dev/null 2>&1 ||
        return 1
    "$wineserver" -w
    "$wine" reg query 'HKCU\Control Panel\Desktop' /v LogPixels </dev/null 2>/dev/null |
        grep -qi "LogPixels.*0x$(printf %x "$1")" || return 1
    "$wineserver" -w
}
cleanup_more() {
    [ -n "$vel_pid" ] && kill "$vel_pid" 2>/dev/null
    vel_pid=""
    set_dpi 96 || echo "$check: the prefix's DPI could not be put back to 96" >&2
}
stop_vel() {
    kill "$vel_pid" 2>/dev/null || true
    vel_pid=""
    "$wineserver" -k >/dev/null 2>&1 || true
    "$wineserver" -w
}

# "WxH+left+top" of the main window.
geometry() { window_line | grep -oE '[0-9]+x[0-9]+\+[0-9]+\+[0-9]+' | head -1; }
placed() { [ "$(geometry)" = "$1" ]; }
# The clock panel's ink (its dark pixels) as "WxH+x+y" inside the panel.
clock_ink() {
    xwd -root -silent | convert xwd:- -crop "$1" +repage -colorspace gray -threshold 35% -format '%@' info:
}
# The share of grey (neither dark nor light) pixels in the clock's ink box:
# a stretched picture of small text smears each stroke's edge over more pixels.
grey_share() {
    xwd -root -silent | convert xwd:- -crop "$1" +repage -crop "$2" +repage -colorspace gray \
        -fx '(u > 0.2 && u < 0.65) ? 1 : 0' -format '%[fx:mean]' info:
}

for program in vel vel-job; do
    file="$root/build-windows/src/$program.exe"
    wrestool -x -t 14 "$file" >"$work/icon.ico" 2>/dev/null || fail "$program.exe has no icon group"
    sizes=$(icotool -l "$work/icon.ico" | grep -oE 'width=[0-9]+' | cut -d= -f2 | sort -n | tr '\n' ' ')
    [ "$sizes" = "16 20 24 32 48 256 " ] || fail "$program.exe's icon has the sizes $sizes"
    version=$(wrestool -x --raw -t 16 "$file" | strings -el | tr '\n' '|')
    for field in "CompanyName|Mirva-Soft|" "FileVersion|8.61|" "ProductVersion|8.61|" "Copyright (c) 2026 the Vel authors"; do
        [[ "$version" == *"$field"* ]] || fail "$program.exe's version information lacks $field: $version"
    done
    manifest=$(wrestool -x --raw -t 24 "$file")
    for part in 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' 'level="asInvoker"' \
        '>PerMonitorV2, system</dpiAwareness>' '>true</dpiAware>'; do
        [[ "$manifest" == *"$part"* ]] || fail "$program.exe's manifest lacks $part"
    done
done
echo "$check: resources OK (icon 16 to 256, version 8.61 of Mirva-Soft, manifest in vel.exe and vel-job.exe)"

rm -f "$work/folder/Pos.{-}"
set_dpi 96 || fail "the DPI could not be set to 96"
start_vel
wait_for 30 has_window || fail "no window at 96 DPI"
wait_for 10 placed "290x67+734+0" || fail "at 96 DPI the window is not 290 x 67 at the top right: $(geometry)"
ink96=$(clock_ink 90x19+$((734 + 195))+20)
grey96=$(grey_share 90x19+$((734 + 195))+20 "$ink96")
stop_vel
echo "$check: 96 DPI OK (290 x 67 at the top right, clock ink $ink96)"

set_dpi 144 || fail "the DPI could not be set to 144"
start_vel
wait_for 30 has_window || fail "no window at 144 DPI"
wait_for 10 placed "435x101+589+0" || fail "at 144 DPI the window is not 435 x 101 at the top right: $(geometry)"
# The clock panel: (195, 20) 90 x 19 at 96 DPI is (293, 30) 135 x 29 here.
panel=135x29+$((589 + 293))+30
ink144=$(clock_ink "$panel")
grey144=$(grey_share "$panel" "$ink144")
read -r w96 h96 <<<"$(tr 'x+' '  ' <<<"$ink96" | cut -d' ' -f1,2)"
read -r w144 h144 x144 y144 <<<"$(tr 'x+' '  ' <<<"$ink144")"
[ $((h144 * 10)) -ge $((h96 * 13)) ] && [ $((h144 * 10)) -le $((h96 * 16)) ] ||
    fail "the clock's digits are $h144 pixels tall at 144 DPI, $h96 at 96: not 1.5 times"
[ "$x144" -ge 2 ] && [ "$y144" -ge 2 ] && [ $((x144 + w144)) -le 133 ] && [ $((y144 + h144)) -le 27 ] ||
    fail "the clock's text ($ink144) does not fit its 135 x 29 panel"
awk -v a="$grey144" -v b="$grey96" 'BEGIN { exit !(a <= b * 1.5 + 0.05) }' ||
    fail "the clock's strokes are blurred at 144 DPI (grey share $grey144 against $grey96 at 96)"
echo "$check: 144 DPI OK (435 x 101 at the top right, clock ink $ink144 in its panel, grey share $grey144 against $grey96)"

# A right click on the clock saves the position in 96 DPI pixels, as the
# logic counts them: the right edge of a screen 1024 / 1.5 pixels wide.
xdotool mousemove $((589 + 293 + 67)) $((30 + 14)) click 3
wait_for 20 vel_ended || fail "a right click on the clock did not end the program"
vel_pid=""
[ "$(cat "$work/folder/Pos.{-}" 2>/dev/null)" = "393  0" ] ||
    fail "Pos.{-} holds \"$(cat "$work/folder/Pos.{-}" 2>/dev/null)\", not \"393  0\""
echo "$check: position OK (saved as 393  0 in 96 DPI pixels)"
