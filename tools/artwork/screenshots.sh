#!/usr/bin/env bash
# Takes the screenshots in docs/screenshots: the real program under Xvfb with trayer as the
# system tray and the test hardware-monitor library replaying a fixture machine.
#
#   tools/artwork/screenshots.sh [build-dir] [out-dir]
#
# The build directory needs bin/ZOLVEN and testmonitor/testmonitor.so (a build with tests).
# Needs xvfb, trayer, xdotool, x11-utils and imagemagick. Nothing outside a temporary
# directory is touched: settings, autostart entry and lock file all live there.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out=$(mkdir -p "${2:-$root/docs/screenshots}" && cd "${2:-$root/docs/screenshots}" && pwd)
fixture=$root/tests/sensors/fixtures/intel_nvidia.readings

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/app" "$work/xdg" "$work/tmp" "$work/run"
chmod 700 "$work/run"
cp "$build/bin/ZOLVEN" "$work/app/"
cp "$build/testmonitor/testmonitor.so" "$work/app/config.dat"
cp "$fixture" "$work/app/config.readings"

display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
    display=$((display + 1))
done
Xvfb ":$display" -screen 0 1000x900x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=":$display"
for _ in $(seq 50); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
done

trayer --edge bottom --align right --widthtype pixel --width 120 --heighttype pixel \
    --height 32 --tint 0x333333 --transparent false >"$work/trayer.log" 2>&1 &
pids+=($!)
sleep 1

(cd "$work/app" && XDG_CONFIG_HOME="$work/xdg" XDG_RUNTIME_DIR="$work/run" TMPDIR="$work/tmp" \
    exec ./ZOLVEN >"$work/zolven.log" 2>&1) &
pids+=($!)

# The tray icon is the ZOLVEN window that trayer embeds: the one with a non-zero
# position relative to the screen but a parent other than the root.
icon=""
for _ in $(seq 50); do
    icon=$(xwininfo -root -tree | awk '/"panel": \("panel" "trayer"\)/ {p=1; next}
        p && /"ZOLVEN"/ {print $NF; exit}')
    [ -n "$icon" ] && break
    sleep 0.2
done
[ -n "$icon" ] || { echo "no tray icon appeared" >&2; cat "$work/zolven.log" >&2; exit 1; }
# "+977+869" -> click the middle of the 22 x 30 icon.
ix=$(echo "$icon" | cut -d+ -f2)
iy=$(echo "$icon" | cut -d+ -f3)

# The main window is the 490 pixels wide top-level one; it is made when first shown.
main_window() {
    xwininfo -root -tree | awk '/"ZOLVEN": \("ZOLVEN" "ZOLVEN"\)  490x/ {print $1; exit}'
}
win=$(main_window)
if [ -n "$win" ] && xwininfo -id "$win" | grep -q IsViewable; then
    echo "the window was visible before the tray icon was clicked" >&2
    exit 1
fi
sleep 2 # a couple of refresh passes
xdotool mousemove $((ix + 11)) $((iy + 15)) click 1
sleep 1.5
win=$(main_window)
[ -n "$win" ] || { echo "no main window" >&2; exit 1; }

shot() {
    # The window sits at the screen's top-left corner; crop it with a small margin.
    local geometry
    geometry=$(xwininfo -id "$win" | awk '/-geometry/ {print $2}')
    local size=${geometry%%+*}
    import -window root -crop "$size+0+0" +repage "$out/$1.png"
    echo "wrote $out/$1.png ($size)"
}

click() {
    xdotool mousemove "$1" "$2" click 1
    sleep "${3:-0.6}"
}

xdotool mousemove 700 400 # park the pointer outside the window
sleep 0.3
shot expanded-en

# The GPU clock row: GPU panel at y 380, rows from +40, 38 high.
click 245 477
xdotool mousemove 700 400
sleep 0.3
shot row-selected-en

# The language bar is the third settings row (y 640 + 2 x 39.6); its list opens upward and
# "简体中文" is the slot nearest the bar.
click 245 739
click 245 704 1.2
xdotool mousemove 700 400
sleep 0.3
shot zh-CN

# Collapse to the header.
click 450 40 1.5
win_height=$(xwininfo -id "$win" | awk '/Height:/ {print $2}')
import -window root -crop "490x${win_height}+0+0" +repage "$out/collapsed.png"
echo "wrote $out/collapsed.png (490x$win_height)"
