#!/bin/sh
# Builds the JPK register fuzz target with clang (libFuzzer, ASan, UBSan) from
# the plain C++ sources only, and runs it for a while.
#   fuzz/jpk_run.sh [SECONDS]      (default 60)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=${JPK_FUZZ_OUT:-$root/build-fuzz}
mkdir -p "$out/corpus"
cp -n "$root"/tests/jpk/data/*.xml "$out/corpus/" 2>/dev/null || true
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$root/src" -I"$root/tests" \
    "$here/jpk_fuzz.cpp" \
    "$root"/src/jpk/jpk_input.cpp "$root"/src/jpk/jpk_registers.cpp "$root"/src/ksef/ksef.cpp \
    "$root"/src/common/*.cpp "$root"/tests/support/fake_platform.cpp "$root"/src/platform/posix/*.cpp \
    -o "$out/jpk_fuzz"
exec "$out/jpk_fuzz" -max_total_time="${1:-60}" -max_len=4096 "$out/corpus"
