#!/usr/bin/env bash
# Peak resident memory and wall time of zelvora-notas reading a class PDF of
# N scanned pages at 300 dpi (200 unless given) into a folder of sheets.
# Usage: bench/paper-memory.sh [N]   (after building the default preset)
set -euo pipefail
cd "$(dirname "$0")/.."
pages=${1:-200}
bin=build/default/bin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$bin/make_scans" "$work/clase.pdf" "$pages" 300
status=0
/usr/bin/time -f '%M %e' -o "$work/time" \
    "$bin/zelvora-notas" --leer-papel "$work/leidos" "$work/clase.pdf" >/dev/null || status=$?
# time says first when the program ended with a status other than 0.
read -r kib seconds < <(tail -n 1 "$work/time")
sheets=$(find "$work/leidos" -name '*.ztest' | wc -l)
echo "pages: $pages  sheets written: $sheets  exit: $status  peak memory: $((kib / 1024)) MiB  wall time: ${seconds} s"
