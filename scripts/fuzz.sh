#!/usr/bin/env bash
# Fuzzes with libFuzzer (clang). The targets and their committed seeds:
#   dxf_reader_fuzz          the DXF reader           tests/files/dxf, tests/files/dxf/fuzz
#   connection_string_fuzz   the connection strings   fuzz/seeds/connection_string
#   link_reader_fuzz         a table's link data      fuzz/seeds/link_reader
# Two modes:
#   scripts/fuzz.sh [SECONDS [TARGET...]]  explore every target (or the ones named) for SECONDS
#                                          each (default 60); each corpus starts from the seeds
#                                          and grows in build-fuzz/corpus/TARGET across runs
#   scripts/fuzz.sh --check RUNS           a repeatable run of every target: RUNS inputs each
#                                          (ten times as many for the fast connection-string
#                                          parser) from a fixed seed, starting from the
#                                          committed seeds only (what CI runs)
# Crashes are written to build-fuzz/crashes/TARGET; keep each as a regression input among the
# target's seeds once fixed (DXF files in tests/files/dxf/fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."

all_targets=(dxf_reader_fuzz connection_string_fuzz link_reader_fuzz)

seeds_of() {
    case "$1" in
        dxf_reader_fuzz) echo tests/files/dxf/*.dxf tests/files/dxf/fuzz/*.dxf ;;
        connection_string_fuzz) echo fuzz/seeds/connection_string/* ;;
        link_reader_fuzz) echo fuzz/seeds/link_reader/* ;;
        *) echo "fuzz.sh: unknown target $1" >&2; exit 2 ;;
    esac
}

max_len_of() {
    case "$1" in
        dxf_reader_fuzz) echo 65536 ;;
        *) echo 8192 ;;
    esac
}

runs_factor_of() {
    case "$1" in
        connection_string_fuzz) echo 10 ;;
        *) echo 1 ;;
    esac
}

mode=explore
if [ "${1:-}" = "--check" ]; then
    mode=check
    runs="${2:-20000}"
    targets=("${all_targets[@]}")
else
    seconds="${1:-60}"
    shift || true
    if [ $# -gt 0 ]; then targets=("$@"); else targets=("${all_targets[@]}"); fi
fi
for target in "${targets[@]}"; do seeds_of "$target" >/dev/null; done

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DQUARVEL_FUZZ=ON -DQUARVEL_TESTS=OFF \
    -DQUARVEL_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}"
export ASAN_OPTIONS=detect_leaks=1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

for target in "${targets[@]}"; do
    echo "fuzz.sh: $target"
    mkdir -p "build-fuzz/crashes/$target"
    common=(-max_len="$(max_len_of "$target")" -timeout=10 -rss_limit_mb=2048
            -artifact_prefix="build-fuzz/crashes/$target/" -print_final_stats=1)
    # shellcheck disable=SC2046
    if [ "$mode" = check ]; then
        corpus="$scratch/$target"
        mkdir -p "$corpus"
        cp $(seeds_of "$target") "$corpus"/
        build-fuzz/bin/"$target" "$corpus" -seed=1 \
            -runs=$((runs * $(runs_factor_of "$target"))) "${common[@]}"
    else
        mkdir -p "build-fuzz/corpus/$target"
        cp -n $(seeds_of "$target") "build-fuzz/corpus/$target"/ 2>/dev/null || true
        build-fuzz/bin/"$target" "build-fuzz/corpus/$target" -max_total_time="$seconds" \
            "${common[@]}"
    fi
done
