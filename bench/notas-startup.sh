#!/usr/bin/env bash
# Median wall time of starting the Notas window until it is on screen, and of
# its baseline: a plain Qt program with the same widgets, empty. Both run in
# alternation so they see the same machine; the last line gives the ratio.
# Usage: bench/notas-startup.sh [runs]
set -euo pipefail
bin=${BENCH_BIN:-$(dirname "$0")/../build/default/bin/bench_notasstartup}
runs=${1:-30}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

declare -A times
for mode in naive window; do times[$mode]=""; done
for ((i = 0; i < runs; i++)); do
    for mode in naive window; do
        start=$(date +%s%N)
        "$bin" "$mode" >/dev/null 2>&1
        end=$(date +%s%N)
        times[$mode]+="$(( (end - start) / 1000 ))"$'\n'
    done
done
declare -A t
for mode in naive window; do
    t[$mode]=$(printf '%s' "${times[$mode]}" | median)
    printf '%-6s median start-up %8.1f ms\n' "$mode" "$(echo "${t[$mode]} / 1000" | bc -l)"
done
printf 'window / naive start-up %.3f (budget 1.1)\n' "$(echo "${t[window]} / ${t[naive]}" | bc -l)"
