#!/usr/bin/env bash
# Builds the request-file fuzz target ("Wykon.to!") with clang (libFuzzer,
# AddressSanitizer, UndefinedBehaviorSanitizer) from the plain C++ sources and
# fuzzes for N seconds (default 20).
#   fuzz/request_run.sh [SECONDS]      environment: FUZZ_OUT (default build/fuzz-request/)
set -euo pipefail
seconds=${1:-20}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
out=${FUZZ_OUT:-$root/build/fuzz-request}
mkdir -p "$out/seeds" "$out/corpus"
clang++ -std=c++20 -O1 -g -fno-omit-frame-pointer -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$root/src" -I"$root/tests" "$root"/src/common/*.cpp "$root"/src/jpk/*.cpp "$root"/src/ksef/*.cpp "$root"/tests/support/fake_platform.cpp \
    "$root"/src/platform/posix/*.cpp "$here/request_fuzz.cpp" -o "$out/request_fuzz"
seed() { printf "$2" > "$out/seeds/$1"; }
seed int-run 'Int\r\nJPK\\JPK_VAT_2022-01_WQA-001\r\nRej A\r\nDir C:\\WQA\r\nKwa T\r\nRun\r\nC:\\WQA\r\nWQA.exe\r\n/x\r\n'
seed ren 'Ren\r\ntarget.xml\r\nnowy plik \xb9\xea.xml\r\nRun\r\n..\\prog\r\nWQB.EXE\r\n1\r\n'
seed hostile 'Xyz\r\n\r\nRun\r\n/bin\r\nsh\r\n-c "touch /tmp/x"\r\n'
seed lf-only 'Run\n.\n..\\..\\!QA!\\WQA.exe\n\n'
"$out/request_fuzz" -max_total_time="$seconds" -max_len=2048 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 "$out/corpus" "$out/seeds"
