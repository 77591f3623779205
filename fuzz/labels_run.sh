#!/usr/bin/env bash
# Builds the label job fuzz target with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) from the core sources it needs, writes a seed
# corpus of label jobs, and fuzzes for the given number of seconds (default 60).
# Exits non-zero when the fuzzer finds a crash, a leak or a hang.
set -euo pipefail
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
out=${FUZZ_OUT:-$root/build/fuzz-labels}
mkdir -p "$out/seeds" "$out/corpus"

clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I "$root/src" \
    "$root/fuzz/labels_fuzz.cpp" \
    "$root/src/labels/code39.cpp" "$root/src/labels/label_file.cpp" "$root/src/labels/label_layout.cpp" \
    "$root/src/common/format.cpp" \
    -o "$out/labels_fuzz"

seed() { printf "$2" > "$out/seeds/$1"; }
seed general '\x05 2 0 2 0 1 0 0 2 2 0 1 0 10 8 8 30;Etykiety\r\nABC-12\t9.99 PLN\tTowar\t\t2\r\nab#1\t\tOpis\tx\t0\r\n'
seed clp6 '0 0 0 0 0 0 0 0 0 0 0 0 0 8 0 6 0;Kody\r\nX1\tCena\tOpis\t\t1\r\n'
seed five-numbers '10 20 30 40 50 Towary\r\nA\tB\tC\tD\tE\r\n'
seed empty ''
seed header-only '1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17'
seed no-numbers 'Tytul bez liczb\n\t\t\t\t\n\n\n'
seed big-numbers '65535 99999 0 70000 65535 65535 65535 0 65535 65535 65535 65535 65535 65535 65535 65535 65535;T\r\n$/+%%\tx\ty\tz\t99999999999\r\n'
seed inner-wider '0 1 0 1 0 1 0 0 200 0 0 0 0 10 10 10 50;T\r\nABC\tDEF\tGHI\t\t1\r\n'
seed copies '0 2 0 2 0 1 0 0 1 1 0 1 0 8 8 8 20;T\r\nA\t\t\t\t3\r\nB\t\t\t\t-1\r\nC\t\t\t\t+2\r\n'
# One long field of 6000 characters, and a line of bytes above 0x7F.
{ printf '0 2 0 2 0 1 0 0 1 1 0 1 0 8 8 8 20;T\r\n'; head -c 6000 /dev/zero | tr '\0' 'K'; printf '\t1\r\n'; } \
    > "$out/seeds/long-field"
printf '\xff\xfe\xb9\xea\t\xa5\r\n' > "$out/seeds/high-bytes"

cd "$out"
./labels_fuzz -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
    -print_final_stats=1 corpus seeds
