#!/usr/bin/env bash
# ZOLVEN: one command to set up, build and run, or to build and test.
#   ./build.sh run    install what is missing, build, start the program
#   ./build.sh test   install what is missing, build, run the whole suite through CTest
#   ./build.sh build  install what is missing, build
# BUILD_DIR (default ./build) and BUILD_TYPE (default RelWithDebInfo) may be set.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${BUILD_DIR:-$root/build}
type=${BUILD_TYPE:-RelWithDebInfo}

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-declarative-dev qt6-serialport-dev qt6-5compat-dev
    qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
    qml6-module-qtquick qml6-module-qtquick-controls qml6-module-qtquick-templates
    qml6-module-qtquick-window qml6-module-qtqml-workerscript
    qml6-module-qt5compat-graphicaleffects qml6-module-qt-labs-platform qml6-module-qttest
    qml6-module-qtquick-layouts qml6-module-qtqml qml6-module-qtqml-models libgl-dev
    libudev-dev
    pci.ids
    xvfb xauth xdotool trayer x11-utils imagemagick
    python3
    g++-mingw-w64-x86-64 wine64
    clang libclang-rt-14-dev
)

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo=sudo; fi

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "build.sh: installing ${missing[*]}"
        $sudo apt-get update
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
    fi
}

configure_and_build() {
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="$type" "$@"
    cmake --build "$build" --parallel "$(nproc)"
}

case "${1:-}" in
run)
    install_missing
    configure_and_build
    shift
    args=("$@")
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        echo "build.sh: no display here; starting ZOLVEN on Qt's offscreen platform (-platform offscreen)"
        args=(-platform offscreen "${args[@]}")
    fi
    exec "$build/bin/ZOLVEN" "${args[@]}"
    ;;
test)
    install_missing
    configure_and_build
    cd "$build"
    ctest --output-on-failure --timeout 600
    ;;
build)
    install_missing
    configure_and_build
    ;;
*)
    echo "usage: $0 run|test|build" >&2
    exit 2
    ;;
esac
