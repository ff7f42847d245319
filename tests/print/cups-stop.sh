#!/usr/bin/env bash
# Stops the private schedulers and the silent listener of cups-start.sh and
# removes their folder.
# Usage: cups-stop.sh STATE
set -uo pipefail

state=$1
for pidfile in "$state"/*/*.pid; do
    [ -f "$pidfile" ] || continue
    pid=$(cat "$pidfile")
    if kill -0 "$pid" 2>/dev/null; then
        kill -TERM "$pid"
        for _ in $(seq 1 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -0 "$pid" 2>/dev/null && kill -KILL "$pid"
    fi
    rm -f "$pidfile"
done
rm -rf "$state"
exit 0
