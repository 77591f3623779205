#!/usr/bin/env bash
# Builds the margins-file fuzz target ("Set.{-}") with clang (libFuzzer,
# AddressSanitizer, UndefinedBehaviorSanitizer) from the plain C++ sources and
# fuzzes for N seconds (default 20).
#   fuzz/settings_run.sh [SECONDS]      environment: FUZZ_OUT (default build/fuzz-settings/)
set -euo pipefail
seconds=${1:-20}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
out=${FUZZ_OUT:-$root/build/fuzz-settings}
mkdir -p "$out/seeds" "$out/corpus"
clang++ -std=c++20 -O1 -g -fno-omit-frame-pointer -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$root/src" -I"$root/tests" "$root"/src/common/*.cpp "$root"/src/pcl/*.cpp "$root"/tests/support/fake_platform.cpp \
    "$root"/src/platform/posix/*.cpp "$here/settings_fuzz.cpp" -o "$out/settings_fuzz"
seed() { printf "$2" > "$out/seeds/$1"; }
seed usual 'LEWY=12\r\nMARG=10\r\nGORA=15\r\nFONT=Courier New\r\n'
seed lower-spaced 'lewy = 30\nmarg = 7\ngora = 99\n'
seed extremes 'LEWY=-999\r\nMARG=9999\r\nGORA=+5\r\nLEWY=\r\n'
seed empty ''
"$out/settings_fuzz" -max_total_time="$seconds" -max_len=256 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 "$out/corpus" "$out/seeds"
