#!/usr/bin/env bash
# vel.exe printing through the Windows spooler under Wine: Wine hands a
# printer's device context to CUPS, here a cupsd of this script's own (private
# socket, started here and stopped by its process id) with a cups-pdf queue
# that is the default printer. In a new work folder, with its own Wine prefix
# (Wine learns the CUPS printers when a prefix's server starts):
#  - a dropped report job reaches the queue, and the PDF cups-pdf writes holds
#    the report's Polish words in order; the built-in PDF printer gets nothing;
#  - a job that turns to landscape midway drops what it printed so far: the
#    queue gets one landscape document, without the dropped text;
#  - while the queue refuses jobs vel-job.exe says so, and a job dropped for
#    vel.exe stays in the folder and prints once when the queue takes jobs
#    again;
#  - a label job goes to the queue named like a label printer, and the
#    sticker's barcode, drawn with GDI brushes, reads back (zbarimg).
# The X server, work folder and vel.exe come from scripts/vel-windows-lib.sh.
# Skipped with a reason when Wine, Xvfb, cupsd or cups-pdf is missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
ppd=lsb/usr/cups-pdf/CUPS-PDF_opt.ppd
check="end to end (spooler)"
needed="/usr/sbin/cupsd lpadmin lpstat cupsreject cupsaccept pdftotext pdfinfo pdftoppm zbarimg"
if [ ! -x /usr/lib/cups/backend/cups-pdf ] || [ ! -f /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd ]; then
    echo "$check: SKIPPED: cups-pdf is not installed (package printer-driver-cups-pdf)"
    exit 0
fi
# A prefix of its own: Wine learns the CUPS printers when the prefix's server
# starts, and the other checks' prefix must keep only the built-in printer.
export WINEPREFIX="$root/build-windows/wineprefix-spooler"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset TZ WAYLAND_DISPLAY

# cups-pdf writes into the folder its configuration names, for the user.
out=$(sed -n 's/^Out[[:space:]]\+//p' /etc/cups/cups-pdf.conf 2>/dev/null | tail -1)
out=${out:-/var/spool/cups-pdf/\$\{USER\}}
out=${out//\$\{HOME\}/$HOME} out=${out//\$\{USER\}/$(id -un)}

cupsd_pid=""
cleanup_more() {
    if [ -n "$cupsd_pid" ]; then
        kill "$cupsd_pid" 2>/dev/null || true
        wait "$cupsd_pid" 2>/dev/null || true
    fi
    # The documents cups-pdf wrote for this run.
    [ -f "$work/printed" ] && xargs -r -d '\n' rm -f <"$work/printed"
    return 0
}
. "$root/scripts/pdf-words.sh"
. "$root/scripts/vel-windows-lib.sh"
cups=$work/cups

# The private cupsd: everything of it under $cups, its socket there too.
mkdir -p "$cups"/{spool,cache,state,log,ppd,tmp}
chmod 755 "$work" "$cups"
chmod 1777 "$cups/tmp"   # its filters run as the user lp
cat >"$cups/cupsd.conf" <<CONF
Listen $cups/cups.sock
LogLevel warn
WebInterface No
Browsing Off
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
cat >"$cups/cups-files.conf" <<CONF
ServerRoot $cups
RequestRoot $cups/spool
CacheDir $cups/cache
StateDir $cups/state
TempDir $cups/tmp
ErrorLog $cups/log/error_log
AccessLog $cups/log/access_log
PageLog $cups/log/page_log
SystemGroup root
CONF
/usr/sbin/cupsd -f -c "$cups/cupsd.conf" -s "$cups/cups-files.conf" </dev/null >/dev/null 2>&1 &
cupsd_pid=$!
export CUPS_SERVER="$cups/cups.sock"
cupsd_up() { lpstat -r 2>/dev/null | grep -q 'scheduler is running'; }
wait_for 15 cupsd_up || fail "the private cupsd did not start"
queue=VelSpool
lpadmin -p "$queue" -v cups-pdf:/ -E -m "$ppd" 2>/dev/null || fail "lpadmin cannot add the cups-pdf queue"
lpadmin -d "$queue" || fail "lpadmin cannot make the queue the default"
# A second queue named as a label printer: the label list selects it at start.
labels=Zebra_ZD420
lpadmin -p "$labels" -v cups-pdf:/ -E -m "$ppd" 2>/dev/null || fail "lpadmin cannot add the label queue"

start_vel
completed() { lpstat -W completed -o "$queue" 2>/dev/null | wc -l; }
# drop JOB-FILE: hands a job to vel.exe whole, under its job name.
drop() {
    mv "$1" "$work/folder/##-ABC.PCL"
}
# printed TITLE: the PDF of the job of that title, once cups-pdf has written
# it (it names the file by the title; other tests' queues write there too).
printed() {
    local pdf
    pdf=$(find "$out" -maxdepth 1 -name "$1*.pdf" 2>/dev/null | head -1)
    [ -n "$pdf" ] && pdfinfo "$pdf" >/dev/null 2>&1 && echo "$pdf"
}
# A job's first line can name its title between two 0xFF bytes.
title() { printf '\xff%s\xff' "$1"; }
stamp="Spool$$x$RANDOM"
{ title "${stamp}Report"; bash "$root/scripts/sample-job.sh"; } >"$work/report.tmp"
drop "$work/report.tmp"
wait_for 60 printed "${stamp}Report" >/dev/null ||
    fail "no PDF from the queue for the report job ($(completed) jobs completed)"
pdf=$(printed "${stamp}Report")
echo "$pdf" >>"$work/printed"
pdf_words_in_order "$pdf" "$work/out.txt" || fail "the PDF from the queue lacks the report's words (above)"
[ -z "$(ls -A "$work/folder/pdf" 2>/dev/null)" ] || fail "the built-in PDF printer got the report too"
echo "end to end (spooler): report OK ($(pdfinfo "$pdf" | awk '/^Pages:/ {print $2}') pages through the spooler, Polish words in order)"

# Turning to landscape drops the document begun in portrait.
e=$'\e'
printf '%s  Raport obrotu\r\n  za grudzien\r\n  Porzucona strona\r\n%s&l1O\r\n  Strona pozioma\r\n' "$(title "${stamp}Turn")" "$e" \
    >"$work/turn.tmp"
wait_for 30 test ! -e "$work/folder/##-ABC.PCL" || fail "the report job was not taken"
drop "$work/turn.tmp"
wait_for 60 printed "${stamp}Turn" >/dev/null ||
    fail "no PDF from the queue for the landscape job ($(completed) jobs completed)"
pdf=$(printed "${stamp}Turn")
echo "$pdf" >>"$work/printed"
# cups-pdf writes the file before the job counts as completed. A dropped
# document that reached the queue would be a job between the two.
two_completed() { [ "$(completed)" -ge 2 ]; }
wait_for 10 two_completed || fail "the queue did not complete the jobs"
[ "$(completed)" -eq 2 ] || fail "the queue got $(completed) jobs, not 2: the dropped document was printed"
pdftotext -layout "$pdf" "$work/turn.txt"
grep -q 'Strona pozioma' "$work/turn.txt" || fail "the landscape job's text is missing: $(cat "$work/turn.txt")"
grep -q 'Porzucona' "$work/turn.txt" && fail "the dropped text was printed"
size=$(pdfinfo "$pdf" | awk '/^Page size:/ {print $3, $5}')
rotation=$(pdfinfo "$pdf" | awk '/^Page rot:/ {print $3}')
read -r w h <<<"$size"
landscape=$(awk -v w="$w" -v h="$h" -v r="${rotation:-0}" 'BEGIN { if (r % 180) { t = w; w = h; h = t } print (w > h) ? 1 : 0 }')
[ "$landscape" = 1 ] || fail "the landscape job's page is $size, rotated ${rotation:-0}"
echo "end to end (spooler): landscape OK (page $size, rotated ${rotation:-0}; the dropped portrait document never reached the queue)"

# A queue that refuses jobs: the job stays and is tried again, then prints once.
cupsreject "$queue" || fail "cupsreject failed"
bash "$root/scripts/sample-job.sh" >"$work/refused.pcl"
if (cd "$work" && "$wine" "$root/build-windows/src/vel-job.exe" print refused.pcl --printer "$queue" \
    </dev/null >/dev/null 2>"$work/refused.err"); then
    fail "vel-job.exe printed to a queue that refuses jobs"
fi
grep -q "the spooler refused the document.*$queue" "$work/refused.err" ||
    fail "vel-job.exe does not say that the spooler refused: $(cat "$work/refused.err")"
{ title "${stamp}Later"; bash "$root/scripts/sample-job.sh"; } >"$work/later.tmp"
wait_for 30 test ! -e "$work/folder/##-ABC.PCL" || fail "the landscape job was not taken"
drop "$work/later.tmp"
sleep 4
[ -e "$work/folder/##-ABC.PCL" ] || fail "the job refused by the queue is gone"
[ "$(completed)" -eq 2 ] && [ -z "$(printed "${stamp}Later")" ] || fail "the refused job was printed"
cupsaccept "$queue" || fail "cupsaccept failed"
wait_for 60 printed "${stamp}Later" >/dev/null || fail "the job was not printed once the queue took jobs again"
echo "$(printed "${stamp}Later")" >>"$work/printed"
wait_for 10 test ! -e "$work/folder/##-ABC.PCL" || fail "the printed job stays in the folder"
three_completed() { [ "$(completed)" -ge 3 ]; }
wait_for 10 three_completed || fail "the queue did not complete the job"
sleep 2   # one more tick: the job must not come twice
[ "$(completed)" -eq 3 ] || fail "the queue got $(completed) jobs, not 3: the job was printed twice"
echo "end to end (spooler): refusing queue OK (vel-job.exe says so; the job waited in the folder and printed once)"

# A label job: one 70 x 40 mm sticker, on the label queue only.
printf '0 5 0 135 0 5 0 0 2 2 0 1 0 12 10 10 45;%sLabel\r\nvel-42\t12.99 PLN\tTowar testowy\t\t1\r\n' "$stamp" \
    >"$work/folder/label.tmp"
mv "$work/folder/label.tmp" "$work/folder/!!-LAB.TXT"
wait_for 60 printed "${stamp}Label" >/dev/null ||
    fail "no PDF from the label queue ($(lpstat -W completed -o "$labels" 2>/dev/null | wc -l) label jobs completed)"
pdf=$(printed "${stamp}Label")
echo "$pdf" >>"$work/printed"
[ "$(completed)" -eq 3 ] || fail "the label job went to the page queue"
# As a label printer's head prints it: 300 dpi, no anti-aliasing.
pdftoppm -r 300 -gray -aa no -aaVector no -f 1 -singlefile "$pdf" "$work/label"
read_back=$(zbarimg -q --raw "$work/label.pgm" || true)
[ "$read_back" = "VEL-42" ] || fail "the sticker's barcode from the label queue reads \"$read_back\", not \"VEL-42\""
echo "end to end (spooler): label OK (on $labels, the barcode reads VEL-42)"
