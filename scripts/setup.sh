#!/usr/bin/env bash
# Installs what is missing from Debian's packages, builds, and then either starts the program
# ("run"), runs the whole test suite ("test") or compares strong encryption with other tools on
# a 1 GiB file in /dev/shm ("bench"). Meant for a Debian 12 machine, as root.
set -euo pipefail

cd "$(dirname "$0")/.."

packages=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    libsodium-dev libssl-dev libutf8proc-dev
    fonts-dejavu-core fonts-liberation2
    shared-mime-info desktop-file-utils libglib2.0-bin
)
test_packages=(xvfb xauth xkb-data x11-xkb-utils xdotool appstream libargon2-dev)
# Only what the strong-encryption benchmark compares with.
bench_packages=(age openssl)

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
    ;;
bench)
    install_missing "${packages[@]}" "${bench_packages[@]}"
    build release
    exec ./build/release/bench/ferrocase_strong_bench "${@:2}"
    ;;
*)
    echo "usage: $0 run|test|bench" >&2
    exit 2
    ;;
esac
