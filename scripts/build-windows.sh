#!/usr/bin/env bash
# Builds the Windows programs (vel.exe, vel-job.exe and the test programs of the core)
# into build-windows/ with Debian's mingw-w64, linked statically so that they
# need only Windows' own DLLs. Installs the cross compiler, the Windows zlib,
# Wine and the GoogleTest sources when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
wanted=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64 googletest cmake ninja-build)
missing=()
for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -ne 0 ]; then
    echo "Installing: ${missing[*]}" >&2
    if [ "$(id -u)" -ne 0 ]; then
        echo "build-windows: run as root to install the packages above" >&2
        exit 1
    fi
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi
if [ ! -f build-windows/build.ninja ]; then
    cmake -S . -B build-windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" -DVEL_BUILD_BENCH=OFF
fi
cmake --build build-windows -j2
