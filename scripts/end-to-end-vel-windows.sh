#!/usr/bin/env bash
# vel.exe end to end under Wine on a private X server (Xvfb, started here and
# stopped by its process id), in a new work folder:
#  - the window shows and its clock panel's pixels change between two ticks;
#  - a report job dropped into the folder comes out of the built-in PDF
#    printer with its Polish words in order;
#  - a label job comes out of the built-in printer as a sticker whose barcode
#    reads back (zbarimg);
#  - a second vel.exe on the same folder closes itself, the first goes on;
#  - the window follows a drag; keys in the page printer list reach the logic;
#  - "Koniec" in the tray icon's menu ends the program and removes the lock file;
#  - started with "X" it shows no window until "Pokaz"; a click on the clock
#    ends it, the lock file removed.
# Skipped with a reason when Wine, Xvfb or the X tools are missing.
set -euo pipefail
check="end to end (vel.exe)"
needed="xwininfo xwd xdotool convert pdftotext pdftoppm zbarimg"
source "$(dirname "$0")/vel-windows-lib.sh"
. "$root/scripts/pdf-words.sh"

start_vel
wait_for 30 has_window || fail "no window"
wait_for 10 at_top_right ||
    fail "the window is not at the top right: $(window_line)"

# The clock panel: 90 x 19 at (195, 20) in the window.
clock() { xwd -root -silent | convert xwd:- -crop 90x19+$((1024 - 290 + 195))+20 +repage "$1"; }
clock "$work/clock1.ppm"
sleep 1.3
clock "$work/clock2.ppm"
colours=$(convert "$work/clock2.ppm" -format %k info:)
[ "$colours" -ge 2 ] || fail "the clock panel is one colour"
cmp -s "$work/clock1.ppm" "$work/clock2.ppm" && fail "the clock panel did not change between two ticks"
echo "end to end (vel.exe): window OK (clock panel changes between ticks)"

# A report job, complete before it gets its job name.
bash "$root/scripts/sample-job.sh" >"$work/folder/job.tmp"
mv "$work/folder/job.tmp" "$work/folder/##-ABC.PCL"
printed() { ls "$work/folder/pdf/"*.PDF >/dev/null 2>&1 && [ ! -e "$work/folder/##-ABC.PCL" ]; }
wait_for 60 printed || fail "the report job gave no PDF"
pdf=$(ls "$work/folder/pdf/"*.PDF | head -1)
pdf_words_in_order "$pdf" "$work/out.txt" || fail "the printed PDF lacks the report's words (above)"
echo "end to end (vel.exe): print OK ($(pdfinfo "$pdf" | awk '/^Pages:/ {print $2}') pages, Polish words in order)"

# A label job: no printer is named like a label printer, so the user opens the
# lower row with the arrow button and picks the built-in printer in the label
# printer list (104, 65 in the window) first. Then
# a 70 x 40 mm sticker 5 mm from the top left of the page. The
# page is rasterised as a label printer's head prints it (300 dpi, no
# anti-aliasing) inside the label's outline, and the barcode must read back.
xdotool mousemove $((1024 - 290 + 9)) 9 click 1
sleep 0.5
xdotool mousemove $((1024 - 290 + 104 + 90)) $((65 + 11)) click 1
sleep 0.5
xdotool key Down Return
sleep 0.5
printf '0 5 0 135 0 5 0 0 2 2 0 1 0 12 10 10 45;Etykiety\r\nvel-42\t12.99 PLN\tTowar testowy\t\t1\r\n' \
    >"$work/folder/label.tmp"
mv "$work/folder/label.tmp" "$work/folder/!!-LAB.TXT"
labelled() { [ -f "$work/folder/pdf/Etykiety.pdf" ] && [ ! -e "$work/folder/!!-LAB.TXT" ]; }
wait_for 60 labelled || fail "the label job gave no PDF: $(ls "$work/folder/pdf")"
pdftoppm -r 300 -gray -aa no -aaVector no -x 65 -y 65 -W 815 -H 460 -singlefile \
    "$work/folder/pdf/Etykiety.pdf" "$work/label"
read_back=$(zbarimg -q --raw "$work/label.pgm" || true)
[ "$read_back" = "VEL-42" ] || fail "the sticker's barcode reads \"$read_back\", not \"VEL-42\""
echo "end to end (vel.exe): label OK (the barcode reads VEL-42)"

# A second instance on the same folder finds it locked and ends after its first tick.
if ! (cd "$work/folder" && timeout 60 "$wine" "$exe" </dev/null >"$work/second.log" 2>&1); then
    fail "the second vel.exe did not end by itself"
fi
kill -0 "$vel_pid" 2>/dev/null || fail "the first vel.exe ended with the second"
[ -f "$work/folder/Wrk.{-}" ] || fail "the second vel.exe removed the first one's lock file"
echo "end to end (vel.exe): second instance OK (ended by itself, the first goes on)"

# Dragging the top panel moves the window with the mouse; in the page printer
# list Escape leaves it there, a typed character sends it back to the top right.
at() { window_line | grep -q "+$1+$2 "; }
xdotool mousemove $((1024 - 290 + 150)) 10 mousedown 1 mousemove 700 100 mousemove 400 300 mouseup 1
wait_for 10 at 250 290 || fail "dragging did not move the window to (250, 290): $(window_line)"
xdotool mousemove 350 340 click 1
sleep 0.5
xdotool key Escape
sleep 0.5
at 250 290 || fail "Escape in the printer list moved the window: $(window_line)"
xdotool key v
wait_for 10 at_top_right || fail "a key in the printer list did not send the window to the top right: $(window_line)"
echo "end to end (vel.exe): dragging and keys in the printer list OK"

# The tray icon's menu: it opens where the mouse is, with four items of equal
# height inside a 2-pixel frame: "Parkuj", "Koniec", "Pokaz", "Ukryj".
menu_line() {
    local line
    while read -r line; do
        viewable "${line%% *}" && { echo "$line"; return 0; }
    done < <(xwininfo -root -tree | grep '("vel\.exe"' | grep -E "x[0-9]+\+$tx\+$ty ")
    return 1
}
tray_pick() {
    local tray size mw mh
    tray=$(xwininfo -root -tree | grep '"Wine System Tray"' | head -1 | grep -oE '\+[0-9]+\+[0-9]+' | head -1) ||
        fail "no notification area with the tray icon"
    tx=$(($(cut -d+ -f2 <<<"$tray") + 9)) ty=$(($(cut -d+ -f3 <<<"$tray") + 10))
    xdotool mousemove "$tx" "$ty" click 3
    wait_for 10 menu_line >/dev/null || fail "the tray icon's menu did not open"
    size=$(menu_line | grep -oE '[0-9]+x[0-9]+\+' | head -1)
    mw=${size%x*} mh=${size#*x} mh=${mh%+}
    xdotool mousemove $((tx + mw / 2)) $((ty + 2 + (mh - 4) * (2 * $1 - 1) / 8)) click 1
}

tray_pick 2
wait_for 20 vel_ended || fail "\"Koniec\" did not end the program"
vel_pid=""
[ ! -e "$work/folder/Wrk.{-}" ] || fail "the lock file is left after \"Koniec\""
echo "end to end (vel.exe): tray menu \"Koniec\" OK (program ended, lock file removed)"

# Start mode "X": no window, the tray icon only; "Pokaz" shows the window at
# the top right, and a click on the clock ends the program.
start_vel X
shown() {
    local id
    id=$(window_line | awk '{print $1}')
    [ -n "$id" ] && viewable "$id"
}
sleep 2.5  # past the first tick, which shows the window in the other modes
shown && fail "start mode X shows the window"
tray_pick 3
wait_for 10 shown || fail "\"Pokaz\" did not show the window"
wait_for 10 at_top_right || fail "the window is not at the top right: $(window_line)"
xdotool mousemove $((1024 - 290 + 195 + 45)) $((20 + 9)) click 1
wait_for 20 vel_ended || fail "a click on the clock did not end the program"
vel_pid=""
[ ! -e "$work/folder/Wrk.{-}" ] || fail "the lock file is left after the click on the clock"
echo "end to end (vel.exe): start mode X, \"Pokaz\", click on the clock OK"
