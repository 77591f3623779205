#!/usr/bin/env bash
# Builds the PCL fuzz target with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer), writes the seed corpus and fuzzes for N seconds
# (default 60). Only the plain C++ sources take part: no Qt.
#   fuzz/pcl_run.sh [SECONDS]          environment: FUZZ_OUT (default build/pcl-fuzz/)
set -euo pipefail
seconds=${1:-60}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
out=${FUZZ_OUT:-$root/build/pcl-fuzz}
cxx=${CXX_FUZZ:-clang++}
mkdir -p "$out"

sources=("$root"/src/common/*.cpp "$root"/src/pcl/*.cpp "$root"/tests/support/fake_platform.cpp "$root"/src/platform/posix/*.cpp
         "$here/pcl_fuzz.cpp")
"$cxx" -std=c++20 -O1 -g -fno-omit-frame-pointer \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$root/src" -I"$root/tests" "${sources[@]}" -o "$out/pcl_fuzz"
"$cxx" -std=c++20 -O2 "$here/make_corpus.cpp" -o "$out/make_corpus"

rm -rf "$out/seeds"
mkdir -p "$out/seeds" "$out/corpus" "$out/artifacts"
"$out/make_corpus" "$out/seeds"

# Fuzzing caps its inputs at $cap bytes, so that it runs well over a thousand
# inputs a second; the seeds above the cap (the 1 MB line, the 10,000 form
# feeds) are run once each, whole, as a regression check. A job that takes
# more than 30 s or 2.5 GB is a finding too.
cap=${PCL_FUZZ_MAX_LEN:-1024}
rm -rf "$out/big"
mkdir -p "$out/big"
find "$out/seeds" -type f -size +"$cap"c -exec mv {} "$out/big/" \;
"$out/pcl_fuzz" -timeout=30 -rss_limit_mb=2560 -artifact_prefix="$out/artifacts/" "$out"/big/*
"$out/pcl_fuzz" -max_total_time="$seconds" -max_len="$cap" -timeout=30 -rss_limit_mb=2560 \
    -artifact_prefix="$out/artifacts/" -print_final_stats=1 "$out/corpus" "$out/seeds"
