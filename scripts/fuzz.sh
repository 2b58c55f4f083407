#!/usr/bin/env bash
# Fuzzes the DXF reader with libFuzzer for a bounded time: scripts/fuzz.sh [SECONDS]
# (default 60). Builds into build-fuzz/ with clang; the corpus starts from tests/data/dxf and
# grows in build-fuzz/corpus; crashes are written to build-fuzz/crashes.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DQUARVEL_FUZZ=ON -DQUARVEL_TESTS=OFF \
    -DQUARVEL_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target dxf_reader_fuzz
mkdir -p build-fuzz/corpus build-fuzz/crashes
cp -n tests/data/dxf/*.dxf tests/data/dxf/fuzz/*.dxf build-fuzz/corpus/ 2>/dev/null || true
export ASAN_OPTIONS=detect_leaks=1
build-fuzz/bin/dxf_reader_fuzz build-fuzz/corpus -max_total_time="$seconds" -max_len=65536 \
    -timeout=10 -rss_limit_mb=2048 -artifact_prefix=build-fuzz/crashes/ -print_final_stats=1
