#!/usr/bin/env bash
# ZOLVEN: one command to set up, build and run, to build and test, or to make the package.
#   ./build.sh run      install what is missing, build, start the program (with no display:
#                       the service zolvend in the foreground)
#   ./build.sh test     the same plus the test tools, build with tests and benchmarks, run CTest
#   ./build.sh build    install what is missing, build
#   ./build.sh package  the same plus the packaging tools, build, make the .deb (cpack)
#   ./build.sh lint     install the checkers, check formatting and the QML documents (.ci/lint)
# BUILD_DIR (default ./build) and BUILD_TYPE (default RelWithDebInfo) may be set. A new build
# folder made by run, build or package leaves the tests out; one made by test keeps them.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${BUILD_DIR:-$root/build}
type=${BUILD_TYPE:-RelWithDebInfo}

# Building.
build_packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-declarative-dev qt6-serialport-dev qt6-5compat-dev
    qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools libgl-dev libudev-dev libsystemd-dev
)
# Running: what the window's documents import, and the PCI names (dist/CMakeLists.txt names
# the same for the package).
run_packages=(
    qml6-module-qtqml qml6-module-qtqml-models qml6-module-qtqml-workerscript
    qml6-module-qtquick qml6-module-qtquick-window qml6-module-qt-labs-platform
    qml6-module-qt5compat-graphicaleffects pci.ids
)
# Testing: Qt Quick Test, the X tools of the end-to-end suite, the desktops of tests/desktops
# (sway with waybar's tray, xfwm4, a private session bus, the accessibility bus and its Python
# client for the screen-reader test), umockdev for the real device-discovery path, util-linux's
# unshare and mount for the full-disk tests, strace to make a save's system calls fail, the
# Windows cross build, the sanitizers and fuzzing, the validators of the install test.
test_packages=(
    qml6-module-qttest qml6-module-qtquick-controls qml6-module-qtquick-templates
    qml6-module-qtquick-layouts
    xvfb xauth xdotool trayer x11-utils imagemagick weston qt6-wayland
    python3
    g++-mingw-w64-x86-64 wine64
    clang libclang-rt-14-dev
    desktop-file-utils appstream
    at-spi2-core python3-pyatspi dbus python3-dbus sway waybar grim xfwm4
    umockdev gir1.2-umockdev-1.0 python3-gi util-linux mount strace
)
# Packaging: cpack's DEB generator runs dpkg-shlibdeps and file; CI installs the package on a
# clean Debian made by debootstrap, checks it with lintian and its systemd unit with
# systemd-analyze (whose verify looks the unit's manual page up with man).
package_packages=(dpkg-dev file desktop-file-utils appstream debootstrap lintian systemd man-db)
# Linting: the committed .clang-format and qmllint.
lint_packages=(git clang-format qt6-declarative-dev-tools)

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo=sudo; fi

install_missing() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "build.sh: installing ${missing[*]}"
        $sudo apt-get update
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
    fi
}

configure_and_build() {
    local options=("$@")
    if [ ! -f "$build/CMakeCache.txt" ] && [ ${#options[@]} -eq 0 ]; then
        options=(-DZOLVEN_BUILD_TESTS=OFF)
    fi
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="$type" "${options[@]}"
    cmake --build "$build" --parallel "$(nproc)"
}

case "${1:-}" in
run)
    install_missing "${build_packages[@]}" "${run_packages[@]}"
    configure_and_build
    shift
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        # No desktop: the service does the display's job without a window, with the settings
        # file the tray program keeps in the build folder (read only; absent means defaults).
        config="$build/bin/config.ini"
        echo "build.sh: no display here; starting the service zolvend in the foreground with $config (Ctrl+C ends it)"
        exec "$build/bin/zolvend" --config "$config" "$@"
    fi
    exec "$build/bin/ZOLVEN" "$@"
    ;;
test)
    install_missing "${build_packages[@]}" "${run_packages[@]}" "${test_packages[@]}"
    # The benchmarks are built, not run, so that they keep compiling.
    configure_and_build -DZOLVEN_BUILD_TESTS=ON -DZOLVEN_BUILD_BENCH=ON
    cd "$build"
    ctest --output-on-failure --timeout 600
    ;;
build)
    install_missing "${build_packages[@]}" "${run_packages[@]}"
    configure_and_build
    ;;
package)
    install_missing "${build_packages[@]}" "${run_packages[@]}" "${package_packages[@]}"
    configure_and_build
    rm -f "$build"/zolven_*.deb
    (cd "$build" && cpack -G DEB)
    echo "build.sh: $(ls "$build"/zolven_*.deb)"
    ;;
lint)
    install_missing "${lint_packages[@]}"
    exec "$root/.ci/lint"
    ;;
*)
    echo "usage: $0 run|test|build|package|lint" >&2
    exit 2
    ;;
esac
