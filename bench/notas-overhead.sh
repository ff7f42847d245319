#!/usr/bin/env bash
# Median wall time of zelvora-notas grading a class of 1,000 answer files
# into the CSV and the workbook, and of its baseline: notas_baseline.py, a
# plain Python script that reads the same files with struct and writes the
# CSV with csv. Whole processes, start-up included, run in alternation so
# they see the same machine; the last line gives the ratio of the medians.
# Usage: bench/notas-overhead.sh [runs]   (after building make_class and
# zelvora-notas in the default preset)
set -euo pipefail
here=$(dirname "$0")
bin=${BENCH_BIN:-$here/../build/default/bin}
runs=${1:-30}
python=/usr/bin/python3

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bin/make_class" "$work" 1000

# What each side runs, by name; both print their table to /dev/null.
run() {
    case $1 in
    python) "$python" "$here/notas_baseline.py" "$work/clave.ztest" "$work/clase" "$work/python.csv" ;;
    notas) "$bin/zelvora-notas" --clave "$work/clave.ztest" --penalizacion auto \
        --csv "$work/notas.csv" --xlsx "$work/notas.xlsx" "$work/clase" ;;
    esac
}

declare -A times
for side in python notas; do
    run "$side" >/dev/null # warm the page cache and check it works
    times[$side]=""
done
for ((i = 0; i < runs; i++)); do
    for side in python notas; do
        start=$(date +%s%N)
        run "$side" >/dev/null
        end=$(date +%s%N)
        times[$side]+="$(((end - start) / 1000))"$'\n'
    done
done
declare -A t
for side in python notas; do
    t[$side]=$(printf '%s' "${times[$side]}" | median)
    printf '%-6s median %8.1f ms\n' "$side" "$(echo "${t[$side]} / 1000" | bc -l)"
done
printf 'notas / python %.3f (budget 0.5)\n' "$(echo "${t[notas]} / ${t[python]}" | bc -l)"
