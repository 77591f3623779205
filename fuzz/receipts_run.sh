#!/usr/bin/env bash
# Builds the receipt scanner's fuzz target with clang (libFuzzer, ASan, UBSan)
# from the core sources it needs and runs it for a while.
#   fuzz/receipts_run.sh [SECONDS]   (default 60)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
out="$root/build-fuzz"
seconds="${1:-60}"
mkdir -p "$out/receipts_corpus"
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -I "$root/src" \
    "$here/receipts_fuzz.cpp" \
    "$root/src/receipts/receipt_check.cpp" \
    "$root/src/common/format.cpp" \
    "$root/src/common/io.cpp" \
    "$root/src/platform/posix/posix_file_system.cpp" \
    -o "$out/receipts_fuzz"
cp -n "$here"/receipts_corpus/* "$out/receipts_corpus/" 2>/dev/null || true
cd "$out"
exec ./receipts_fuzz -dict="$here/receipts.dict" -max_total_time="$seconds" -max_len=4096 \
    -print_final_stats=1 receipts_corpus
