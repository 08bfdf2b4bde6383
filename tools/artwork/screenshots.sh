#!/usr/bin/env bash
# Takes the screenshots in docs/screenshots: the real program under Xvfb with trayer as the
# system tray and the test hardware-monitor library replaying screenshot.readings, with a fake
# PCI tree holding the readings' graphics card bound over /sys/bus/pci/devices in a mount
# namespace of its own.
#
#   tools/artwork/screenshots.sh [build-dir] [out-dir]
#
# The build directory needs bin/ZOLVEN and testmonitor/testmonitor.so (a build with tests).
# Needs root (for the mount namespace), util-linux's unshare, xvfb, trayer, xdotool, x11-utils
# and imagemagick. Nothing outside a temporary directory is touched: settings, autostart entry
# and lock file all live there. The work is done by screenshots.py with the harness that the
# end-to-end suite uses (tools/harness).
set -euo pipefail

exec /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/screenshots.py" "$@"
