#!/usr/bin/env bash
# Builds the Windows programs (vel.exe, vel-job.exe and the test programs of the core)
# into build-windows/ with Debian's mingw-w64, linked statically so that they
# need only Windows' own DLLs. Installs the cross compiler, the Windows zlib,
# Wine and the GoogleTest sources when they are missing (packages/windows.txt).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh windows
if [ ! -f build-windows/build.ninja ]; then
    cmake -S . -B build-windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" -DVEL_BUILD_BENCH=OFF
fi
cmake --build build-windows -j2
