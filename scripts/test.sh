#!/usr/bin/env bash
# Builds everything and runs every test headless: the normal build, then the
# same tests under AddressSanitizer and UndefinedBehaviorSanitizer, then the
# fuzzers of the file and settings readers, of the page code and of the page
# reader for a bounded time each.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh test
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

status=0
for preset in default asan fuzz; do
    echo "== $preset build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    echo "== $preset tests"
    ctest --preset "$preset" -j "$jobs" || status=1
done
exit $status
