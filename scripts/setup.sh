#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing from Debian's packages, builds, and then starts the program ("run"),
# runs the whole test suite and checks the Debian package ("test"), builds that package and
# prints its path ("package"), or compares strong encryption with other tools on a 1 GiB file in
# /dev/shm ("bench"). Meant for a Debian 12 machine, as root.
set -euo pipefail

cd "$(dirname "$0")/.."

packages=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    libsodium-dev libssl-dev libutf8proc-dev
    # The faces the window's layout is measured with; the Debian package depends on them too.
    fonts-dejavu-core fonts-liberation2
    shared-mime-info desktop-file-utils libglib2.0-bin librsvg2-bin
)
test_packages=(xvfb xauth xkb-data x11-xkb-utils xdotool appstream groff-base libargon2-dev python3)
package_packages=(dpkg-dev file lintian)
# Only what the benchmarks compare with or measure by.
bench_packages=(age openssl time)

install_missing() {
    local missing=()
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    if ((${#missing[@]})); then
        echo "Installing: ${missing[*]}"
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

build() {
    cmake --preset "$1"
    cmake --build --preset "$1"
}

# Builds the .deb afresh and sets `deb` to its path.
build_package() {
    rm -f build/package/ferrocase_*.deb
    build package
    deb=$(realpath build/package/ferrocase_*.deb)
}

case "${1:-}" in
run)
    install_missing "${packages[@]}"
    build release
    exec ./build/release/app/ferrocase "${@:2}"
    ;;
test)
    install_missing "${packages[@]}" "${test_packages[@]}"
    build dev
    ctest --preset dev
    # Once more under AddressSanitizer and UndefinedBehaviorSanitizer.
    build sanitize
    ctest --preset sanitize
    # The tests of the work shared by two threads, under ThreadSanitizer.
    build threads
    ctest --preset threads
    # The Debian package: what it holds, and no error from lintian.
    install_missing "${package_packages[@]}"
    build_package
    dpkg-deb --info "$deb"
    dpkg-deb --contents "$deb"
    lintian --fail-on error --display-level ">=warning" "$deb"
    ;;
package)
    install_missing "${packages[@]}" "${package_packages[@]}"
    build_package
    echo "$deb"
    ;;
bench)
    install_missing "${packages[@]}" "${bench_packages[@]}"
    build release
    exec ./build/release/bench/ferrocase_strong_bench "${@:2}"
    ;;
*)
    echo "usage: $0 run|test|package|bench" >&2
    exit 2
    ;;
esac
