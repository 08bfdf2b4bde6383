#!/usr/bin/env bash
# A clean Debian 12 (debootstrap, minbase) gets the package through apt and nothing else: what
# the package depends on must bring in all the program needs. The installed program is then
# started there against an X server outside it (reached through its abstract socket, so
# nothing is mounted into the new system but its own /proc, in a private mount namespace), and
# must load its window and library and refresh. Skipped, not failed, when the Debian mirror
# cannot be reached. As root.
#   tests/install/package/clean_debian.sh <zolven_*.deb> [work dir]
set -euo pipefail
deb=$(realpath "$1")
work=$(realpath -m "${2:-$(dirname "$deb")/clean-debian}")
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
target=$work/root
xvfb=""

cleanup() {
    if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
    # Nothing is mounted below the new system outside the private namespace; a tree that has
    # a mount all the same is never deleted.
    if grep -q " $target[/ ]" /proc/mounts; then
        echo "clean Debian 12: $target still has mounts; left in place" >&2
        return
    fi
    rm -rf "$work"
}
trap cleanup EXIT

skip() {
    echo "clean Debian 12: skipped: $1"
    tail -n 5 "$2" | sed 's/^/  /'
    exit 0
}

# Runs a command inside the new system with a bare environment.
in_root() {
    unshare --mount --propagation private --fork sh -c \
        'mount -t proc proc "$0/proc" && exec chroot "$0" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin "$@"' \
        "$target" "$@"
}

start=$SECONDS
rm -rf "$work"
mkdir -p "$work"
for tool in debootstrap unshare Xvfb; do
    if ! command -v "$tool" >/dev/null; then
        echo "clean Debian 12: $tool is missing (./build.sh package and test install it)" >&2
        exit 1
    fi
done
if ! debootstrap --variant=minbase bookworm "$target" "$mirror" >"$work/debootstrap.log" 2>&1; then
    skip "debootstrap could not make the system from $mirror" "$work/debootstrap.log"
fi
echo "clean Debian 12: minimal system made in $((SECONDS - start)) s"

cp "$deb" "$target/tmp/"
if ! in_root DEBIAN_FRONTEND=noninteractive apt-get install -y -q -o Acquire::Retries=3 \
    --no-install-recommends "/tmp/$(basename "$deb")" >"$work/apt.log" 2>&1; then
    if grep -qE "Failed to fetch|Temporary failure resolving|Could not connect" "$work/apt.log"; then
        skip "the packages could not be fetched from $mirror" "$work/apt.log"
    fi
    echo "clean Debian 12: apt-get could not install the package:" >&2
    tail -n 30 "$work/apt.log" >&2
    exit 1
fi
echo "clean Debian 12: $(grep -c '^Setting up' "$work/apt.log") packages installed with the package"

Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1280x1024x24 3>"$work/display" \
    >"$work/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 100); do
    if [ -s "$work/display" ]; then break; fi
    sleep 0.1
done
display=:$(tr -d '\n' <"$work/display")

# Ten seconds of running, then SIGTERM: the program quits as at logout. In the foreground, so
# that timeout signals the program alone and once: a second signal would end it at once.
in_root HOME=/root DISPLAY="$display" LANG=C.UTF-8 QT_FORCE_STDERR_LOGGING=1 \
    sh -c 'export XDG_RUNTIME_DIR=/run/zolven; mkdir -m 700 -p $XDG_RUNTIME_DIR; timeout --foreground -s TERM 10 zolven' \
    >"$work/zolven.log" 2>&1 || true
log=$work/zolven.log
failed=0
expect() {
    if ! grep -qF -- "$1" "$log"; then
        echo "clean Debian 12: no \"$1\" in the program's log" >&2
        failed=1
    fi
}
expect "[RunHwinfo] DLL path: \"/usr/lib/zolven/config.dat\""
expect "[RunHwinfo] INIT OK"
expect "Application exited with code: 0"
if [ "$(grep -c '^\[Refresh data\]' "$log")" -lt 3 ]; then
    echo "clean Debian 12: fewer than three refreshes" >&2
    failed=1
fi
if grep -E "is not installed|failed to load component|Could not load the Qt platform plugin|cannot open shared object" "$log" >&2; then
    failed=1
fi
if [ $failed -ne 0 ]; then
    grep -vE '^\[(Item|Refresh)|^ *(tSensor|tReading|value: |szUnits: )' "$log" | head -n 40 >&2
    exit 1
fi
echo "clean Debian 12: the package installed and ran in $((SECONDS - start)) s"
