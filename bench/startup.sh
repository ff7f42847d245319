#!/usr/bin/env bash
# Median wall time and peak resident memory of starting an empty Qt window
# and of starting the main window up to its first refreshed sheet, run in
# alternation so both see the same machine. Usage: bench/startup.sh [runs]
set -euo pipefail
bin=${BENCH_BIN:-$(dirname "$0")/../build/default/bin/bench_startup}
runs=${1:-30}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

tmp=$(mktemp)
trap 'rm -f "$tmp"' EXIT
declare -A times rss
for mode in empty sheet; do times[$mode]=""; rss[$mode]=""; done
for ((i = 0; i < runs; i++)); do
    for mode in empty sheet; do
        start=$(date +%s%N)
        /usr/bin/time -o "$tmp" -f '%M' "$bin" "$mode" >/dev/null 2>&1
        kib=$(tail -1 "$tmp")
        end=$(date +%s%N)
        times[$mode]+="$(( (end - start) / 1000 ))"$'\n'
        rss[$mode]+="$kib"$'\n'
    done
done
for mode in empty sheet; do
    t=$(printf '%s' "${times[$mode]}" | median)
    m=$(printf '%s' "${rss[$mode]}" | median)
    printf '%-6s median start-up %8.1f ms   median peak RSS %8.1f MiB\n' "$mode" "$(echo "$t / 1000" | bc -l)" "$(echo "$m / 1024" | bc -l)"
done
