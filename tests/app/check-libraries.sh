#!/usr/bin/env bash
# Fails when PROGRAM needs a shared library matching PATTERN (an extended
# regular expression over the library names), such as the editions needing
# the paper reader's libraries. Usage: check-libraries.sh PROGRAM PATTERN
set -euo pipefail
needed=$(readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
[ -n "$needed" ] || { echo "$1: no libraries listed" >&2; exit 1; }
if unwanted=$(grep -E "$2" <<<"$needed"); then
    echo "$(basename "$1") needs what it does not use: $unwanted" >&2
    exit 1
fi
echo "$(basename "$1") needs none of: $2"
