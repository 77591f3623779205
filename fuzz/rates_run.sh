#!/usr/bin/env bash
# Builds the rate archive fuzz target with clang (libFuzzer, address and
# undefined-behaviour sanitizers) and runs it for SECONDS (default 60),
# starting from the bank's real archive (from VEL_TESTDATA, when it is there)
# and a few small ones.
#   bash fuzz/rates_run.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
if ! command -v clang++ >/dev/null; then
    echo "rates_run: clang++ is missing (apt-get install clang libclang-rt-dev)" >&2
    exit 1
fi
out=build-fuzz/rates
mkdir -p "$out/corpus" "$out/crashes"
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -Isrc src/rates/rate_archive.cpp fuzz/rates_archive_fuzz.cpp -o "$out/rates_archive_fuzz"
shared=${VEL_TESTDATA:-../shared}/testdata/nbp
if [ -d "$shared" ]; then
    cp -n "$shared"/*.csv "$out/corpus/" 2>/dev/null || true
fi
printf 'data;1USD;100JPY;nr;numer;\r\n;dolar;jen;\r\n20260102;4,1012;2,6543;1;001/A/NBP/2026;\r\nl;1;100;\r\n' \
    >"$out/corpus/small.csv"
printf 'data;1USD;nr;numer;\n;dolar;\n20260102;4,1;1;x;\nl;1;\n\0USD  38716  31-12-2025  3.6000  252/A/NBP/2025  dolar 1USD\r\n' \
    >"$out/corpus/carry.bin"
"$out/rates_archive_fuzz" "$out/corpus" -max_total_time="$seconds" -max_len=70000 \
    -artifact_prefix="$out/crashes/" -print_final_stats=1
