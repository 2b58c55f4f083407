#!/usr/bin/env bash
# Fuzzes the DXF reader with libFuzzer (clang). Two modes:
#   scripts/fuzz.sh [SECONDS]     explore for SECONDS (default 60); the corpus starts from
#                                 tests/files/dxf and grows in build-fuzz/corpus across runs
#   scripts/fuzz.sh --check RUNS  a repeatable run: RUNS inputs from a fixed seed, starting
#                                 from the committed seed drawings only (what CI runs)
# Crashes are written to build-fuzz/crashes; keep each as a regression input in
# tests/files/dxf/fuzz once fixed.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=explore
if [ "${1:-}" = "--check" ]; then
    mode=check
    runs="${2:-20000}"
else
    seconds="${1:-60}"
fi
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DQUARVEL_FUZZ=ON -DQUARVEL_TESTS=OFF \
    -DQUARVEL_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target dxf_reader_fuzz
mkdir -p build-fuzz/crashes
export ASAN_OPTIONS=detect_leaks=1
common=(-max_len=65536 -timeout=10 -rss_limit_mb=2048 -artifact_prefix=build-fuzz/crashes/
        -print_final_stats=1)
if [ "$mode" = check ]; then
    corpus=$(mktemp -d)
    trap 'rm -rf "$corpus"' EXIT
    cp tests/files/dxf/*.dxf tests/files/dxf/fuzz/*.dxf "$corpus"/ 2>/dev/null || true
    build-fuzz/bin/dxf_reader_fuzz "$corpus" -seed=1 -runs="$runs" "${common[@]}"
else
    mkdir -p build-fuzz/corpus
    cp -n tests/files/dxf/*.dxf tests/files/dxf/fuzz/*.dxf build-fuzz/corpus/ 2>/dev/null || true
    build-fuzz/bin/dxf_reader_fuzz build-fuzz/corpus -max_total_time="$seconds" "${common[@]}"
fi
