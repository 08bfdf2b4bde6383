#!/usr/bin/env bash
# The real program on a Wayland compositor: weston, drawn into its own Xvfb so that xdotool can
# press and drag. With no tray there the window must be shown, and a drag on it must ask the
# compositor for the move (a Wayland client cannot place its own window), which then moves it.
#
#   wayland_drag.sh <ZOLVEN> <test config.dat> <readings file> [artifacts folder]
#
# Exits 77 (skipped) where weston, Xvfb, xdotool, ImageMagick or Qt's Wayland platform is
# missing, or weston does not come up.
set -u

exe=$1
monitor=$2
readings=$3
artifacts=${4:-}

skip() {
    echo "SKIP: $*"
    exit 77
}
fail() {
    echo "FAIL: $*"
    exit 1
}

for tool in Xvfb weston xdotool convert import; do
    command -v "$tool" >/dev/null || skip "no $tool"
done

tmp=$(mktemp -d)
pids=()
cleanup() {
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; --i)); do
        kill "${pids[i]}" 2>/dev/null
    done
    wait 2>/dev/null
    if [ -n "$artifacts" ]; then
        mkdir -p "$artifacts"
        cp "$tmp"/*.log "$tmp"/*.png "$artifacts"/ 2>/dev/null
    fi
    rm -rf "$tmp"
}
trap cleanup EXIT

# Polls a command for up to $1 tenths of a second.
poll() {
    local tenths=$1
    shift
    for _ in $(seq "$tenths"); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

Xvfb -displayfd 3 -screen 0 1280x1100x24 -nolisten tcp 3>"$tmp/display" 2>"$tmp/xvfb.log" &
pids+=($!)
poll 100 test -s "$tmp/display" || skip "Xvfb did not start"
export DISPLAY=:$(head -n 1 "$tmp/display")

# The output is larger than the window, so the shell's random placement leaves room to move;
# a flat magenta background makes the window easy to find in a screenshot.
out_w=1100
out_h=1000
export XDG_RUNTIME_DIR=$tmp/run
mkdir -m 700 "$XDG_RUNTIME_DIR"
cat >"$tmp/weston.ini" <<'EOF'
[core]
idle-time=0

[shell]
background-color=0xffff00ff
panel-position=none
locking=false
animation=none
startup-animation=none
EOF
# Except while dragging, the pointer rests in the output's bottom right corner, and the
# pictures leave that corner out: no cursor in them.
park_pointer() {
    xdotool mousemove $((out_w - 2)) $((out_h - 2))
    sleep 0.1
    xdotool mousemove $((out_w - 1)) $((out_h - 1))
}
shot() { import -window root -crop $((out_w - 32))x$((out_h - 32))+0+0 +repage "$tmp/$1.png" 2>/dev/null; }
pixel() { convert "$tmp/$1.png" -format "%[pixel:p{$2,$3}]" info: 2>/dev/null; }
magenta="srgb(255,0,255)"
# The bounding box of everything that is not background, as "WxH+X+Y".
window_box() {
    convert "$tmp/$1.png" -bordercolor '#ff00ff' -border 1 -fuzz 8% -format '%@' info: 2>/dev/null
}
background_drawn() { shot background && [ "$(pixel background $((out_w - 40)) 3)" = "$magenta" ]; }
# The cursor starts in the top left corner and must leave it.
follows_pointer() {
    park_pointer
    sleep 0.2
    shot pointer && [ "$(pixel pointer 2 2)" = "$magenta" ]
}
start_weston() {
    weston --config="$tmp/weston.ini" --backend=x11-backend.so --use-pixman \
        --width=$out_w --height=$out_h --socket=wayland-zolven >"$tmp/weston.log" 2>&1 &
    weston_pid=$!
    poll 150 test -S "$XDG_RUNTIME_DIR/wayland-zolven" && poll 150 background_drawn &&
        poll 10 follows_pointer
}
# Now and then a weston in an Xvfb never hears the pointer: that one is replaced.
for _ in 1 2 3; do
    start_weston && break
    echo "weston did not come up whole; another one"
    kill "$weston_pid" 2>/dev/null
    wait "$weston_pid" 2>/dev/null
    weston_pid=""
done
[ -n "$weston_pid" ] || skip "weston did not start, or did not follow the pointer"
pids+=($weston_pid)

mkdir "$tmp/app"
cp "$exe" "$tmp/app/ZOLVEN"
cp "$monitor" "$tmp/app/config.dat"
(cd "$tmp/app" && exec env -u DISPLAY -u DBUS_SESSION_BUS_ADDRESS QT_QPA_PLATFORM=wayland \
    WAYLAND_DISPLAY=wayland-zolven WAYLAND_DEBUG=client ZOLVEN_READINGS="$readings" \
    XDG_CONFIG_HOME="$tmp/xdg" TMPDIR="$tmp" ./ZOLVEN >"$tmp/zolven.log" 2>&1) &
pids+=($!)

# Shown, whole and still: the same box twice, the window's size.
box=""
window_shown() {
    grep -q 'platform plugin "wayland"' "$tmp/zolven.log" && skip "no Qt Wayland platform"
    shot before || return 1
    local now
    now=$(window_box before)
    [ "$now" = "$box" ] && [[ $now == 49[0-2]x80[0-2]+* ]] && return 0
    box=$now
    return 1
}
poll 300 window_shown || fail "no window shown without a tray (last box ${box:-none})"
grep -q 'xdg_toplevel@[0-9]*\.set_title("ZOLVEN")' "$tmp/zolven.log" || fail "no ZOLVEN toplevel"

# Box offsets are shifted by the one-pixel border.
x=$(($(echo "$box" | cut -d+ -f2) - 1))
y=$(($(echo "$box" | cut -d+ -f3) - 1))
echo "window at $x,$y"
# The header, under the read-out's text: a spot no control takes.
xdotool mousemove $((x + 150)) $((y + 60))
sleep 0.3
xdotool mousedown 1
sleep 0.2
for _ in 1 2 3 4 5 6; do
    xdotool mousemove_relative -- 20 10
    sleep 0.05
done
sleep 0.3
xdotool mouseup 1
sleep 0.3
park_pointer

poll 50 grep -q 'xdg_toplevel@[0-9]*\.move(wl_seat@' "$tmp/zolven.log" ||
    fail "the drag did not ask the compositor for a move"
moved() {
    shot after || return 1
    local now nx ny
    now=$(window_box after)
    nx=$(($(echo "$now" | cut -d+ -f2) - 1))
    ny=$(($(echo "$now" | cut -d+ -f3) - 1))
    [ $((nx - x - 120)) -ge -3 ] && [ $((nx - x - 120)) -le 3 ] &&
        [ $((ny - y - 60)) -ge -3 ] && [ $((ny - y - 60)) -le 3 ]
}
poll 50 moved || fail "the compositor did not move the window by the drag (now $(window_box after))"
kill -0 "$weston_pid" 2>/dev/null || fail "weston died"
echo "moved to $(window_box after)"
exit 0
