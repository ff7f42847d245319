#!/usr/bin/env bash
# Fails when a room (top-level source folder) includes a header of a room
# above it. The order, ground first:
#   platform < render < sheet < view < settings < testfile, registry, print
#   < paper < grading < notas < app
# Rooms on one floor do not include each other. sheet/model.h, the one
# shared state, may be read from every room. Usage: scripts/check-rooms.sh
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A floor=(
    [platform]=0 [render]=1 [sheet]=2 [view]=3 [settings]=4
    [testfile]=5 [registry]=5 [print]=5 [paper]=6 [grading]=7 [notas]=8 [app]=9
)

bad=0
for room in "${!floor[@]}"; do
    [ -d "$room" ] || continue
    while IFS= read -r line; do
        file=${line%%:*}
        rest=${line#*:}
        lineno=${rest%%:*}
        target=$(sed -E 's/.*#include "([^"]+)".*/\1/' <<<"${rest#*:}")
        [ "$target" = sheet/model.h ] && continue
        other=${target%%/*}
        [ "$other" = "$room" ] && continue
        [ -n "${floor[$other]+set}" ] || continue
        if ((floor[$other] >= floor[$room])); then
            echo "$file:$lineno: $room includes $target, which is not below it" >&2
            bad=1
        fi
    done < <(grep -HnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' -r "$room" --include='*.h' --include='*.cpp' || true)
done

if [ $bad -eq 0 ]; then
    echo "every room includes only rooms below it"
fi
exit $bad
