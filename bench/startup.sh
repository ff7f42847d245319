#!/usr/bin/env bash
# Median wall time and peak resident memory of the program's start up to its
# first refreshed sheet and its end, and of its baseline: a plain Qt program
# that loads Qt's Spanish texts, shows the same menu bar and draws the sheet
# naively into one image. Both run in alternation so they see the same
# machine; the last line gives the ratio of the times and the difference of
# the memory. Usage: bench/startup.sh [runs]
set -euo pipefail
bin=${BENCH_BIN:-$(dirname "$0")/../build/default/bin/bench_startup}
runs=${1:-30}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

tmp=$(mktemp)
home=$(mktemp -d)
trap 'rm -rf "$tmp" "$home"' EXIT
# A user of their own whose desktop already opens .ztest files in the
# program, so the start-up question stays away as on every start but the
# first; nothing of the machine's user is read or changed.
mkdir -p "$home/data/mime" "$home/data/applications" "$home/config" "$home/run"
chmod 0700 "$home/run"
printf '50:application/x-ztest-files:*.ztest\n' >"$home/data/mime/globs2"
printf '[Desktop Entry]\nType=Application\nName=Zelvora\nExec=true %%f\nMimeType=application/x-ztest-files;\n' \
    >"$home/data/applications/bench-zelvora.desktop"
printf '[Default Applications]\napplication/x-ztest-files=bench-zelvora.desktop\n' >"$home/config/mimeapps.list"
export HOME=$home XDG_DATA_HOME=$home/data XDG_CONFIG_HOME=$home/config XDG_RUNTIME_DIR=$home/run
declare -A times rss
for mode in naive sheet; do times[$mode]=""; rss[$mode]=""; done
for ((i = 0; i < runs; i++)); do
    for mode in naive sheet; do
        start=$(date +%s%N)
        /usr/bin/time -o "$tmp" -f '%M' "$bin" "$mode" >/dev/null 2>&1
        kib=$(tail -1 "$tmp")
        end=$(date +%s%N)
        times[$mode]+="$(( (end - start) / 1000 ))"$'\n'
        rss[$mode]+="$kib"$'\n'
    done
done
declare -A t m
for mode in naive sheet; do
    t[$mode]=$(printf '%s' "${times[$mode]}" | median)
    m[$mode]=$(printf '%s' "${rss[$mode]}" | median)
    printf '%-6s median start-up %8.1f ms   median peak RSS %8.1f MiB\n' "$mode" \
        "$(echo "${t[$mode]} / 1000" | bc -l)" "$(echo "${m[$mode]} / 1024" | bc -l)"
done
printf 'sheet / naive start-up %.3f (budget 1.1)   sheet - naive peak RSS %+.1f MiB (budget +6)\n' \
    "$(echo "${t[sheet]} / ${t[naive]}" | bc -l)" "$(echo "(${m[sheet]} - ${m[naive]}) / 1024" | bc -l)"
