#!/usr/bin/env bash
# Builds `vel` and the idle benchmark, then measures a minute of idle ticks.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j2 --target vel idle_bench
exec build/bench/idle_bench "$@"
