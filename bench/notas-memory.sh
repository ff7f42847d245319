#!/usr/bin/env bash
# Peak resident memory of zelvora-notas grading a class of N students (10,000
# unless given) into the table, the CSV, the workbook and the class report.
# Usage: bench/notas-memory.sh [N]   (after building the default preset)
set -euo pipefail
cd "$(dirname "$0")/.."
students=${1:-10000}
bin=build/default/bin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$bin/make_class" "$work" "$students"
/usr/bin/time -f '%M %e' -o "$work/time" \
    "$bin/zelvora-notas" --clave "$work/clave.ztest" --penalizacion auto \
    --csv "$work/clase.csv" --xlsx "$work/clase.xlsx" --informe "$work/informe.pdf" \
    "$work/clase" >/dev/null
read -r kib seconds <"$work/time"
echo "students: $students  peak memory: $((kib / 1024)) MiB  wall time: ${seconds} s"
