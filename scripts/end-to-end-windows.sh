#!/usr/bin/env bash
# vel-job.exe end to end under Wine, with the host's tools on its files:
#  - print: the sample report to a PDF; pdftotext finds its Polish words in order;
#  - request: a monthly JPK file from registers; xmllint validates it against
#    the published schema (jpk-xsd in $VEL_TESTDATA, by default ../shared beside
#    the checkout; skipped with a note when absent).
# The receipt through the Windows stand-in fiscal driver runs in test_receipts.
# Runs after scripts/test-windows.sh, on its prefix.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/wine-env.sh"
job="$root/build-windows/src/vel-job.exe"
work=$(mktemp -d)
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
# The requesting program is started again and not waited for: give it time.
started_again() {
    for _ in $(seq 100); do [ -f "$work/jpk/prog/args.txt" ] && return 0; sleep 0.1; done
    return 1
}
if ! (cd "$work/jpk" && "$wine" "$job" request "$(winpath "$work/jpk")" --now 2022-02-10T09:15:00 \
        </dev/null >"$work/request.log" 2>&1); then
    echo "end to end: vel-job.exe request failed:"; cat "$work/request.log"; failed=1
elif ! cmp -s "$work/jpk/JPK/JPK_VAT_2022-01_WQA-001.XML" "$data/d_2022-01_expected.xml"; then
    echo "end to end: request: the JPK file differs from the expected one"; failed=1
elif ! started_again || [ "$(cat "$work/jpk/prog/args.txt")" != "/x" ]; then
    # The requesting program is started again (CreateProcessW) with its argument.
    echo "end to end: request: WQA.exe was not started again with /x"; failed=1
elif [ ! -f "$xsd" ]; then
    echo "end to end: request OK (byte for byte); schema check SKIPPED: no jpk-xsd in VEL_TESTDATA=$testdata"
elif xmllint --nonet --noout --schema "$xsd" "$work/jpk/JPK/JPK_VAT_2022-01_WQA-001.XML" 2>"$work/xmllint.log"; then
    echo "end to end: request OK (byte for byte, valid against its schema)"
else
    echo "end to end: request: not valid against its schema:"; cat "$work/xmllint.log"; failed=1
fi
exit $failed
