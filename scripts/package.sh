#!/usr/bin/env bash
# Builds the Debian packages zelvora (the full edition and its tools) and
# brastin (the exam edition alone) into build/packages, or into the folder
# given. Usage: scripts/package.sh [output-folder]
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh package
out=$(realpath -m "${1:-build/packages}")
mkdir -p "$out"

# Debian's own compiler and linker flags, hardening included; they are read
# when the build folder is first configured.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS

cmake --preset package >/dev/null
cmake --build --preset package -j "$(nproc)"

# One run per package, so that each carries its own program's version.
for component in zelvora brastin; do
    rm -f "$out/${component}"_*.deb
    (cd build/package && cpack -G DEB -D CPACK_COMPONENTS_ALL="$component" -B "$out/cpack" >/dev/null)
    mv "$out/cpack/${component}"_*.deb "$out/"
done
rm -rf "$out/cpack"
ls -1 "$out"/*.deb
