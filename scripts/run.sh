#!/usr/bin/env bash
# Builds and starts the program. Usage: scripts/run.sh [zelvora|brastin] [test-file]
#                                      scripts/run.sh zelvora-notas [arguments]
set -euo pipefail
cd "$(dirname "$0")/.."

program=zelvora
case "${1:-}" in
    zelvora|brastin|zelvora-notas) program=$1; shift ;;
esac

bash scripts/deps.sh run
cmake --preset default >/dev/null
cmake --build --preset default --target "$program"

# The grading tool answers for itself: with arguments it needs no display.
if [ "$program" != zelvora-notas ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] \
    && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "$program: no display found (DISPLAY and WAYLAND_DISPLAY are unset); start it from a graphical session" >&2
    exit 1
fi
exec "build/default/bin/$program" "$@"
