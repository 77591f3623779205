#!/usr/bin/env bash
# vel.exe's own windows and the clipboard end to end under Wine, on a private
# X server whose CLIPBOARD selection Wine shares with the Windows clipboard:
#  - a KSeF number put on the clipboard (xclip) lands in "KSeF.txt" and shows
#    spaced in the borderless window at the top left, 470 x 35; the window
#    goes when the file is taken, and on a click (the file stays);
#  - a right click on "Update" rewrites an address on the clipboard: the
#    Polish letters go from X to the program and back (code page 1250 inside);
#  - a click on "NBP", then the bank's archive appearing where a browser
#    saves downloads, gives the rate file and opens the charts window under
#    the main window, its right edge kept, grown leftwards, with the year's
#    bars of the saved currencies drawn; a click in a list redraws that slot,
#    Escape closes the window and writes the choice;
#  - with the warehouse workbook beside it and neither Excel nor LibreOffice
#    in this Windows, the next download still gives the rate file, the
#    workbook is left alone and the charts window's caption says why.
# Skipped with a reason when Wine, Xvfb or the X tools are missing.
set -euo pipefail
check="end to end (vel.exe views)"
needed="xwininfo xwd xdotool convert xclip"
source "$(dirname "$0")/vel-windows-lib.sh"
archive_tool="$root/build-windows/tests/vel_nbp_archive.exe"
downloads="$WINEPREFIX/drive_c/Pobrane"  # searched first: C:\ comes before the other drives
clip_pid=""
cleanup_more() {
    [ -n "$clip_pid" ] && kill "$clip_pid" 2>/dev/null
    rm -rf "$downloads"
}
# Puts UTF-8 text on the X clipboard; xclip serves it until another client
# (Wine, for the program) takes the selection.
clip() {
    [ -n "$clip_pid" ] && kill "$clip_pid" 2>/dev/null
    printf %s "$1" | xclip -quiet -selection clipboard -t UTF8_STRING >/dev/null 2>&1 &
    clip_pid=$!
}
# A top level window of vel.exe by the start of its caption: "id WxH+left+top"
# (captions in UTF-8 whatever the caller's locale).
top_window() {
    LC_ALL=C.UTF-8 xwininfo -root -tree | grep -a "^ *0x[0-9a-f]* \"$1" | grep -a '("vel\.exe"' |
        sed -E 's/^ *(0x[0-9a-f]+) .* ([0-9]+x[0-9]+\+-?[0-9]+\+-?[0-9]+) .*/\1 \2/' | head -1
}
mapped() { local w; w=$(top_window "$1") && [ -n "$w" ] && viewable "${w%% *}"; }
unmapped() { ! mapped "$1"; }

# The test plays the browser: the download lands where the program looks for
# it, and no browser of the host is started for the bank's address.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winebrowser.exe=d"
year=$(date +%Y)
"$wine" "$archive_tool" "$year" "Z:$work/archive.csv" </dev/null || fail "the archive could not be made"
# The saved choice of the first four slots; the other four default to the euro.
printf 'EUR euro\r\nGBP funt szterling\r\nCHF frank szwajcarski\r\nAUD dolar australijski\r\n\r\n\r\n\r\n\r\n' \
    >"$work/folder/Wal.{-}"
start_vel
wait_for 30 has_window || fail "no window"
wait_for 10 at_top_right || fail "the window is not at the top right: $(window_line)"

# --- KSeF numbers from the clipboard.
ksef="   NrKSeF   ( NIP"
number_is() { [ "$(cat "$work/folder/KSeF.txt" 2>/dev/null)" = "$1" ]; }
first=1234567890-20260105-ABCDEF012345-FF
clip "$first"
wait_for 10 number_is "$first" || fail "the KSeF number did not reach KSeF.txt"
wait_for 5 mapped "$ksef" || fail "the KSeF window did not show"
[ "$(top_window "$ksef" | cut -d' ' -f2)" = "470x35+0+0" ] ||
    fail "the KSeF window is not 470 x 35 at the top left: $(top_window "$ksef")"
[ "$(stat -c %s "$work/folder/KSeF.txt")" = 35 ] || fail "KSeF.txt is not the 35 characters alone"
xwd -root -silent | convert xwd:- -crop 470x35+0+0 +repage -fill white +opaque black -format %c histogram:info: \
    >"$work/ksef.txt"
grep -q '#000000' "$work/ksef.txt" || fail "the KSeF window shows no text"
rm "$work/folder/KSeF.txt"
wait_for 5 unmapped "$ksef" || fail "the KSeF window stayed after KSeF.txt was taken"
second=9876543210-20261209-ZYXWVU987654-74
clip "$second"
wait_for 10 number_is "$second" || fail "the second KSeF number did not reach KSeF.txt"
wait_for 5 mapped "$ksef" || fail "the KSeF window did not show the second number"
xdotool mousemove 235 17 click 1
wait_for 5 unmapped "$ksef" || fail "a click did not close the KSeF window"
number_is "$second" || fail "the click changed KSeF.txt"
echo "$check: KSeF number OK (from the X clipboard to KSeF.txt and the window, closed by the file and by a click)"

# --- The clipboard both ways: "Update"'s right click rewrites an address
# (the texts in UTF-8 bytes, whatever the caller's locale).
clip $'Przedsi\xc4\x99biorstwo \xc5\x81\xc4\x85ka\nul. \xc5\xb9r\xc3\xb3dlana\n7\nKrak\xc3\xb3w\n31-000\ntel. 12 345 67 89\ne-mail: biuro@laka.pl'
expected=$'\nPrzedsi\xc4\x99biorstwo \xc5\x81\xc4\x85ka\nul. \xc5\xb9r\xc3\xb3dlana 7\n31-000, Krak\xc3\xb3w\n12 345 67 89, biuro@laka.pl'
sleep 0.5
xdotool mousemove $((1024 - 290 + 5 + 24)) $((20 + 9)) click 3
rewritten() { [ "$(xclip -o -selection clipboard -t UTF8_STRING 2>/dev/null | tr -d '\r'; echo .)" = "$expected." ]; }
wait_for 10 rewritten ||
    fail "the clipboard holds $(xclip -o -selection clipboard 2>&1 | od -c | head -5), not the rewritten address"
echo "$check: clipboard OK (Polish letters from X to vel.exe and back)"

# --- The charts after a current-year rate download.
xdotool mousemove $((1024 - 290 + 120 + 16)) $((20 + 9)) click 1
wait_for 10 test -e "$work/folder/Temp.{-}" || fail "a click on NBP started no download"
mkdir -p "$downloads"
cp "$work/archive.csv" "$downloads/archive.part"
mv "$downloads/archive.part" "$downloads/archiwum_tab_a_$year.csv"
charts=$'Wykresy kurs\xc3\xb3w:  '
wait_for 20 mapped "$charts" || fail "no charts window after the download (rate file: $(ls "$work/folder"))"
[ -s "$work/folder/Kurs$year" ] || fail "no rate file Kurs$year"
mapped "${charts}EUR  GBP  CHF  AUD\"" || fail "the caption does not name the saved codes: $(top_window "$charts")"
# The client area (the X window Wine shows) against the main window's.
read -r cw ch cl ct < <(top_window "$charts" | cut -d' ' -f2 | tr 'x+' '  ')
read -r mw mh ml mt < <(window_line | grep -oE '[0-9]+x[0-9]+\+[0-9]+\+[0-9]+' | head -1 | tr 'x+' '  ')
below=$((ct - (mt + mh))) right=$((ml + mw - (cl + cw)))
[ "$below" -gt 0 ] && [ "$below" -le 40 ] || fail "the charts are not right under the main window: $ct vs $((mt + mh))"
[ "$right" -ge 0 ] && [ "$right" -le 8 ] || fail "the charts' right edge is not the main window's: $((cl + cw))"
[ "$cw" -gt "$mw" ] || fail "the charts window did not grow leftwards for the year's chart: $cw wide"
[ $((ch % 8)) = 0 ] || fail "the client height $ch is not eight slots"
pitch=$((ch / 8))
# Rows of the screen with at least 200 maroon pixels: the year's bars stand
# in every slot on the screen (their lower 64 rows reach across the chart).
bar_rows() {
    xwd -root -silent | convert xwd:- -crop "${cw}x$((768 - ct))+$cl+$ct" +repage -fill black +opaque '#800000' \
        -fill white -opaque '#800000' -colorspace gray -scale "1x$((768 - ct))!" -depth 16 txt:- |
        awk -F'[(,)]' 'NR > 1 && $3 * '"$cw"' / 65535 >= 200 {n++} END {print n + 0}'
}
# The window shows before its charts are drawn: they may take a moment.
bars_drawn() { rows=$(bar_rows) && [ "$rows" -ge $(((768 - ct) / pitch * 50)) ]; }
wait_for 15 bars_drawn || fail "only $rows rows of bars for $(((768 - ct) / pitch)) slots on the screen"
# A click on the first entry in view of the second slot's list: the euro,
# just above the saved pound.
h=$(((pitch - 4) / 6))
xdotool mousemove $((cl + 10)) $((ct + pitch + 3 * h + 2 + h / 2)) click 1
wait_for 5 mapped "${charts}EUR  EUR  CHF  AUD\"" || fail "a click in the list did not redraw: $(top_window "$charts")"
xdotool key Escape
wait_for 5 unmapped "$charts" || fail "Escape did not close the charts window"
[ "$(sed -n 2p "$work/folder/Wal.{-}" | tr -d '\r')" = "EUR euro" ] || fail "closing did not write the choice"
echo "$check: charts OK (under the main window, ${cw}x$ch, $rows rows of bars, list click, Escape writes the choice)"

# --- No spreadsheet program: the next download with "Magazyn.xls" beside.
printf 'stays as it is\r\n' >"$work/folder/Magazyn.xls"
rm "$work/folder/Kurs$year"
xdotool mousemove $((1024 - 290 + 120 + 16)) $((20 + 9)) click 1
wait_for 10 test -e "$work/folder/Temp.{-}" || fail "the second click on NBP started no download"
cp "$work/archive.csv" "$downloads/archive.part"
mv "$downloads/archive.part" "$downloads/archiwum_tab_a_$year.csv"
no_excel=$'Nie ma \xc5\xbcadnego Excela w systemie"'
wait_for 30 mapped "$no_excel" || fail "the charts window does not say there is no spreadsheet: $(top_window "$charts")"
[ -s "$work/folder/Kurs$year" ] || fail "no rate file Kurs$year without a spreadsheet program"
[ "$(cat "$work/folder/Magazyn.xls")" = $'stays as it is\r' ] || fail "the workbook was changed"
echo "$check: no spreadsheet program OK (rate file written, workbook untouched, the caption says so)"
