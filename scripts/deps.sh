#!/usr/bin/env bash
# Installs the Debian packages that building, running, packaging or testing
# needs, when they are missing. Usage: scripts/deps.sh run|package|test
set -euo pipefail

build_packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-qpa-plugins libgl-dev
    fonts-inconsolata
    libcups2-dev fonts-dejavu-core
    zlib1g-dev libxcb1-dev
    librsvg2-bin
    libopencv-dev libzxing-dev libpoppler-cpp-dev
    qt6-image-formats-plugins
    libsane-dev
)
run_packages=(
    shared-mime-info desktop-file-utils qt6-translations-l10n
)
# dpkg-shlibdeps finds the libraries' packages; it needs file.
package_packages=(
    dpkg-dev file
)
test_packages=(
    libbenchmark-dev time bc
    clang libclang-rt-14-dev
    cups-daemon cups-client cups-ipp-utils cups-core-drivers poppler-utils
    shared-mime-info desktop-file-utils xdg-utils libfile-mimeinfo-perl libglib2.0-bin
    xvfb openbox xdotool x11-apps x11-utils
    python3-openpyxl
    "${package_packages[@]}" lintian appstream qt6-translations-l10n
    dbus-daemon at-spi2-core python3-pyatspi
)

wanted=("${build_packages[@]}")
case "${1:-run}" in
    run) wanted+=("${run_packages[@]}") ;;
    package) wanted+=("${package_packages[@]}") ;;
    test) wanted+=("${test_packages[@]}") ;;
    *) echo "usage: $0 run|package|test" >&2; exit 2 ;;
esac

missing=()
for p in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    sudo=sudo
else
    sudo=
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
