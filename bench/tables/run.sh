#!/usr/bin/env bash
# Runs the linked-table benchmarks with repetitions in random order (the machine is shared, so
# medians of interleaved runs are steadier than single runs) and prints their summary.
# Usage: bench/tables/run.sh [build-dir] [16|17] [extra benchmark options...]
set -euo pipefail
cd "$(dirname "$0")/../.."
dir="${1:-build}"
release="${2:-17}"
shift $(($# > 2 ? 2 : $#))
exec "$dir/bin/tables_bench$release" \
    --benchmark_repetitions=5 \
    --benchmark_enable_random_interleaving=true \
    --benchmark_report_aggregates_only=true \
    "$@"
