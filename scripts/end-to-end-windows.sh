#!/usr/bin/env bash
# vel-job.exe end to end under Wine, with the host's tools on its files:
#  - print: the sample report to a PDF; pdftotext finds its Polish words in order;
#  - request: a monthly JPK file from registers, of a (2) period and of a (3)
#    period with KSeF markers; xmllint validates each against its published
#    schema (jpk-xsd in $VEL_TESTDATA, by default ../shared beside the
#    checkout; skipped with a note when absent).
# The receipt through the Windows stand-in fiscal driver runs in test_receipts.
# Runs after scripts/test-windows.sh, on its prefix.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/wine-env.sh"
job="$root/build-windows/src/vel-job.exe"
# Not below /tmp: Wine shows a sticky folder as one Everyone may write, and
# the requesting program would not be started from below it.
work=$(mktemp -d "$root/build-windows/end-to-end.XXXXXX")
trap 'rm -rf "$work"; wine_stop' EXIT
wine_start
failed=0
. "$root/scripts/pdf-words.sh"
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

# print
bash "$root/scripts/sample-job.sh" > "$work/##-ABC.PCL"
if ! (cd "$work" && "$wine" "$job" print "$(winpath "$work/##-ABC.PCL")" --pdf "$(winpath "$work/out.pdf")" \
        </dev/null >"$work/print.log" 2>&1); then
    echo "end to end: vel-job.exe print failed:"; cat "$work/print.log"; failed=1
elif ! command -v pdftotext >/dev/null; then
    echo "end to end: print SKIPPED: no pdftotext (poppler-utils)"
else
    pdf_words_in_order "$work/out.pdf" "$work/out.txt" || { echo "end to end: print: the PDF lacks the report's words (above)"; failed=1; }
    [ $failed = 0 ] && echo "end to end: print OK ($(pdfinfo "$work/out.pdf" 2>/dev/null | awk '/^Pages:/ {print $2}') pages, Polish words in order)"
fi

# request
testdata=${VEL_TESTDATA:-$root/../shared}
xsd="$testdata/jpk-xsd/JPK_V7M_2/Schemat_JPK_V7M(2)_v1-0E.xsd"
data="$root/tests/jpk/data"
mkdir -p "$work/jpk/JPK" "$work/jpk/prog"
cp "$data/d_2022-01_A.xml" "$work/jpk/JPK/JPK_VAT_2022-01_WQA-001_A.xml"
cp "$data/d_2022-01_B.xml" "$work/jpk/JPK/JPK_VAT_2022-01_WQA-001_B.xml"
cp "$data/d_2022-01_request.txt" "$work/jpk/Wykon.to!"
cp "$root/build-windows/tests/jpk_stand_in.exe" "$work/jpk/prog/WQA.exe"
# The requesting program in folder $1 is started again and not waited for:
# give it time.
started_again() {
    for _ in $(seq 100); do [ -f "$1/prog/args.txt" ] && return 0; sleep 0.1; done
    return 1
}
if ! (cd "$work/jpk" && "$wine" "$job" request "$(winpath "$work/jpk")" --now 2022-02-10T09:15:00 \
        </dev/null >"$work/request.log" 2>&1); then
    echo "end to end: vel-job.exe request failed:"; cat "$work/request.log"; failed=1
elif ! cmp -s "$work/jpk/JPK/JPK_VAT_2022-01_WQA-001.XML" "$data/d_2022-01_expected.xml"; then
    echo "end to end: request: the JPK file differs from the expected one"; failed=1
elif ! started_again "$work/jpk" || [ "$(cat "$work/jpk/prog/args.txt")" != "/x" ]; then
    # The requesting program is started again (CreateProcessW) with its argument.
    echo "end to end: request: WQA.exe was not started again with /x"; failed=1
elif [ ! -f "$xsd" ]; then
    echo "end to end: request OK (byte for byte); schema check SKIPPED: no jpk-xsd in VEL_TESTDATA=$testdata"
elif xmllint --nonet --noout --schema "$xsd" "$work/jpk/JPK/JPK_VAT_2022-01_WQA-001.XML" 2>"$work/xmllint.log"; then
    echo "end to end: request OK (byte for byte, valid against its schema)"
else
    echo "end to end: request: not valid against its schema:"; cat "$work/xmllint.log"; failed=1
fi

# request of today's period: JPK_V7M(3), every row with its KSeF marker
xsd3="$testdata/jpk-xsd/JPK_V7M_3/Schemat_JPK_V7M(3)_v1-0E.xsd"
mkdir -p "$work/jpk3/JPK" "$work/jpk3/prog"
cp "$data/e_2026-11_A.xml" "$work/jpk3/JPK/JPK_VAT_2026-11_WQA-001_A.xml"
cp "$data/e_2026-11_B.xml" "$work/jpk3/JPK/JPK_VAT_2026-11_WQA-001_B.xml"
cp "$data/e_2026-11_request.txt" "$work/jpk3/Wykon.to!"
cp "$root/build-windows/tests/jpk_stand_in.exe" "$work/jpk3/prog/WQA.exe"
printf 'old\r\n' >"$work/jpk3/VAT7.tmp"
out3="$work/jpk3/JPK/JPK_VAT_2026-11_WQA-001.XML"
if ! (cd "$work/jpk3" && "$wine" "$job" request "$(winpath "$work/jpk3")" --now 2026-12-09T10:00:00 \
        </dev/null >"$work/request3.log" 2>&1); then
    echo "end to end: vel-job.exe request (3) failed:"; cat "$work/request3.log"; failed=1
elif ! cmp -s "$out3" "$data/e_2026-11_expected.xml"; then
    echo "end to end: request (3): the JPK file differs from the expected one"; failed=1
elif ! cmp -s "$work/jpk3/VAT7.tmp" <(printf 'old\r\n'; cat "$data/e_2026-11_summary.txt"); then
    echo "end to end: request (3): the summary lines differ from the expected ones"; failed=1
elif ! started_again "$work/jpk3"; then
    echo "end to end: request (3): WQA.exe was not started again"; failed=1
elif [ -e "$work/jpk3/Vel.err" ]; then
    echo "end to end: request (3): rows reported without their KSeF marker:"; cat "$work/jpk3/Vel.err"; failed=1
elif [ ! -f "$xsd3" ]; then
    echo "end to end: request (3) OK (byte for byte); schema check SKIPPED: no jpk-xsd in VEL_TESTDATA=$testdata"
elif xmllint --nonet --noout --schema "$xsd3" "$out3" 2>"$work/xmllint3.log"; then
    echo "end to end: request (3) OK (byte for byte, valid against JPK_V7M(3))"
else
    echo "end to end: request (3): not valid against its schema:"; cat "$work/xmllint3.log"; failed=1
fi
exit $failed
