#!/usr/bin/env bash
# Builds everything and runs every test headless, first in the normal build,
# then under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh test
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

status=0
for preset in default asan; do
    echo "== $preset build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    echo "== $preset tests"
    ctest --preset "$preset" -j "$jobs" || status=1
done
exit $status
