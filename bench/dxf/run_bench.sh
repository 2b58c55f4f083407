#!/usr/bin/env bash
# Saving and opening a drawing with one table of ROWS x COLUMNS cells (default 100000 x 10,
# one million cells) with the host, against ezdxf writing and reading a drawing with the same
# number of text entities. Usage: bench/dxf/run_bench.sh [BUILD_DIR] [ROWS] [COLUMNS]
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${1:-build}"
rows="${2:-100000}"
columns="${3:-10}"
cells=$((rows * columns))
cmake --build "$build" --target dxf_bench >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python=/usr/bin/python3

value() { grep "^$2 " <<<"$1" | cut -d' ' -f2; }

host_save=$("$build/bin/dxf_bench" save "$rows" "$columns" "$work/host.dxf")
host_open=$("$build/bin/dxf_bench" open "$work/host.dxf")
ez_save=$("$python" bench/dxf/ezdxf_bench.py write "$cells" "$work/ezdxf.dxf")
ez_open=$("$python" bench/dxf/ezdxf_bench.py read "$work/ezdxf.dxf")

hs=$(value "$host_save" save_s); ho=$(value "$host_open" open_s)
es=$(value "$ez_save" save_s); eo=$(value "$ez_open" open_s)
hf=$(value "$host_save" file_bytes); ef=$(value "$ez_save" file_bytes)
hsp=$(value "$host_save" peak_kib); hop=$(value "$host_open" peak_kib)
esp=$(value "$ez_save" peak_kib); eop=$(value "$ez_open" peak_kib)

awk -v cells="$cells" -v hs="$hs" -v ho="$ho" -v es="$es" -v eo="$eo" -v hf="$hf" -v ef="$ef" \
    -v hsp="$hsp" -v hop="$hop" -v esp="$esp" -v eop="$eop" 'BEGIN {
    mb = 1024 * 1024
    printf "cells: %d\n", cells
    printf "%-28s %10s %10s %10s\n", "", "host", "ezdxf", "ezdxf/host"
    printf "%-28s %10.2f %10.2f %10.1fx\n", "save (s)", hs, es, es / hs
    printf "%-28s %10.2f %10.2f %10.1fx\n", "open (s)", ho, eo, eo / ho
    printf "%-28s %10.1f %10.1f\n", "file (MB)", hf / mb, ef / mb
    printf "%-28s %10.1f %10.1f\n", "peak memory saving (MB)", hsp * 1024 / mb, esp * 1024 / mb
    printf "%-28s %10.1f %10.1f\n", "peak memory opening (MB)", hop * 1024 / mb, eop * 1024 / mb
    printf "%-28s %10.2f %10.2f\n", "peak saving / file size", hsp * 1024 / hf, esp * 1024 / ef
    printf "%-28s %10.2f %10.2f\n", "peak opening / file size", hop * 1024 / hf, eop * 1024 / ef
}'
