#!/usr/bin/env bash
# How responsive the desktop toolkit's dialogs are: the time to open a report list of 100,000
# rows and to scroll it, and to open and edit the one-row grid of 20 columns, with real
# windows under a virtual X server and, for comparison, headless. Times are wall-clock
# milliseconds of whole cadhost runs (best of several), so the start of the host counts in
# every row: compare a row with the "start only" row.
#
#   bash bench/gui/dialog_bench.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${1:-build}"
module="$build/tests/host/ui/wx/wx_test_module.so"
[ -x "$build/bin/cadhost" ] && [ -f "$module" ] ||
    { echo "build cadhost and wx_test_module first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

scroll=""
for i in $(seq 1 25); do scroll+="@click 2010\n@click 2011\n"; done
edit=""
for c in $(seq 0 19); do edit+="@dblclick 142 0,$c\n@set 3456 heading $c\n@key 3456 Enter\n"; done

cases=(
    "start only|"
    "open 100,000 rows|WXT_BIGLIST\n@cancel"
    "open 100,000 rows, scroll 50 times|WXT_BIGLIST\n${scroll}@cancel"
    "open 20 columns|WXT_COLUMNS\n@cancel"
    "open 20 columns, edit every cell|WXT_COLUMNS\n${edit}@ok"
)

run() {  # ui script -> best milliseconds of 3 runs
    local best=""
    for _ in 1 2 3; do
        local start end
        start=$(date +%s%N)
        xvfb-run -a -s "-screen 0 1280x1024x24" "$build/bin/cadhost" --ui "$1" \
            --load "$module" --script "$2" >/dev/null 2>&1 || true
        end=$(date +%s%N)
        local ms=$(((end - start) / 1000000))
        if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
    done
    echo "$best"
}

printf '%-40s %10s %10s\n' "case" "gui ms" "headless ms"
n=0
for entry in "${cases[@]}"; do
    name="${entry%%|*}"
    lines="${entry#*|}"
    script="$work/case$((n += 1)).scr"
    printf '%b\n' "$lines" >"$script"
    printf '%-40s %10s %10s\n' "$name" "$(run gui "$script")" "$(run headless "$script")"
done
