#!/usr/bin/env bash
# Saving and opening a drawing with one table of ROWS x COLUMNS cells (default 100000 x 10,
# one million cells) with the host, against two references in the same run:
#   - the I/O limit: writing the file's bytes and flushing them to disk (saving flushes too),
#     and reading the file's bytes into a buffer, nothing else;
#   - ezdxf writing and reading a drawing with the same number of text entities.
# The host's steps and the limits run RUNS times (default 3), interleaved, and the best time
# of each counts (other work on the machine only ever adds time); ezdxf runs once (set
# EZDXF=0 to leave it out). cpu is the processor time of the best run.
# Usage: bench/dxf/run_bench.sh [BUILD_DIR] [ROWS] [COLUMNS]
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${1:-build}"
rows="${2:-100000}"
columns="${3:-10}"
runs="${RUNS:-3}"
cells=$((rows * columns))
cmake --build "$build" --target dxf_bench >/dev/null
bench="$build/bin/dxf_bench"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python=/usr/bin/python3

value() { grep "^$2 " <<<"$1" | cut -d' ' -f2; }
# The smaller of two numbers (the first when the second is empty).
min() { awk -v a="$1" -v b="${2:-}" 'BEGIN { print (b == "" || a + 0 < b + 0) ? a : b }'; }

hs="" hsc="" ho="" hoc="" ws="" rs=""
for ((i = 0; i < runs; i++)); do
    out=$("$bench" save "$rows" "$columns" "$work/host.dxf")
    hf=$(value "$out" file_bytes)
    hsp=$(value "$out" peak_kib)
    if [[ -z "$hs" ]] || awk -v a="$(value "$out" save_s)" -v b="$hs" 'BEGIN { exit !(a < b) }'; then
        hsc=$(value "$out" cpu_s)
    fi
    hs=$(min "$(value "$out" save_s)" "$hs")
    out=$("$bench" write "$hf" "$work/limit.dxf")
    ws=$(min "$(value "$out" write_s)" "$ws")
    rm -f "$work/limit.dxf"
    out=$("$bench" open "$work/host.dxf")
    hop=$(value "$out" peak_kib)
    if [[ -z "$ho" ]] || awk -v a="$(value "$out" open_s)" -v b="$ho" 'BEGIN { exit !(a < b) }'; then
        hoc=$(value "$out" cpu_s)
    fi
    ho=$(min "$(value "$out" open_s)" "$ho")
    out=$("$bench" read "$work/host.dxf")
    rs=$(min "$(value "$out" read_s)" "$rs")
done

es=0 eo=0 ef=1 esp=0 eop=0
if [[ "${EZDXF:-1}" != 0 ]]; then
    ez_save=$("$python" bench/dxf/ezdxf_bench.py write "$cells" "$work/ezdxf.dxf")
    ez_open=$("$python" bench/dxf/ezdxf_bench.py read "$work/ezdxf.dxf")
    es=$(value "$ez_save" save_s); eo=$(value "$ez_open" open_s)
    ef=$(value "$ez_save" file_bytes)
    esp=$(value "$ez_save" peak_kib); eop=$(value "$ez_open" peak_kib)
fi

awk -v cells="$cells" -v runs="$runs" -v hs="$hs" -v hsc="$hsc" -v ho="$ho" -v hoc="$hoc" \
    -v ws="$ws" -v rs="$rs" -v es="$es" -v eo="$eo" -v hf="$hf" -v ef="$ef" \
    -v hsp="$hsp" -v hop="$hop" -v esp="$esp" -v eop="$eop" 'BEGIN {
    mb = 1024 * 1024
    ez = es > 0
    printf "cells: %d, host file %.1f MB, best of %d runs\n", cells, hf / mb, runs
    printf "%-26s %9s %9s %9s %11s %9s %11s\n", "", "host", "host cpu", "I/O limit",
           "host/limit", "ezdxf", "ezdxf/host"
    printf "%-26s %9.2f %9.2f %9.2f %10.2fx", "save (s)", hs, hsc, ws, hs / ws
    if (ez) printf " %9.2f %10.1fx", es, es / hs
    printf "\n"
    printf "%-26s %9.0f %9.0f %9.0f %11s", "save (MB/s)", hf / mb / hs, hf / mb / hsc,
           hf / mb / ws, ""
    if (ez) printf " %9.0f", ef / mb / es
    printf "\n"
    printf "%-26s %9.2f %9.2f %9.2f %10.2fx", "open (s)", ho, hoc, rs, ho / rs
    if (ez) printf " %9.2f %10.1fx", eo, eo / ho
    printf "\n"
    printf "%-26s %9.0f %9.0f %9.0f %11s", "open (MB/s)", hf / mb / ho, hf / mb / hoc,
           hf / mb / rs, ""
    if (ez) printf " %9.0f", ef / mb / eo
    printf "\n"
    printf "%-26s %9.1f", "peak memory saving (MB)", hsp * 1024 / mb
    if (ez) printf " %41.1f", esp * 1024 / mb
    printf "\n"
    printf "%-26s %9.1f", "peak memory opening (MB)", hop * 1024 / mb
    if (ez) printf " %41.1f", eop * 1024 / mb
    printf "\n"
    printf "%-26s %9.2f", "peak saving / file size", hsp * 1024 / hf
    if (ez) printf " %41.2f", esp * 1024 / ef
    printf "\n"
    printf "%-26s %9.2f", "peak opening / file size", hop * 1024 / hf
    if (ez) printf " %41.2f", eop * 1024 / ef
    printf "\n"
}'
