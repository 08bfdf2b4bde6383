#!/usr/bin/env bash
# The Debian package, as root (CI): lintian finds nothing to say; installed with apt, which
# pulls in what it depends on; its systemd unit verified and rated (check_unit.sh); its
# dependencies proven; the installed program run as two ordinary users; then removed.
# Last, the same package on a clean Debian 12 (clean_debian.sh).
#   tests/install/package/ci.sh [build dir]     after ./build.sh package
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
here=$root/tests/install/package
export DEBIAN_FRONTEND=noninteractive

debs=("$build"/zolven_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    echo "package: expected one zolven_*.deb in $build (./build.sh package makes it)" >&2
    exit 1
fi
deb=${debs[0]}

remove() {
    if dpkg-query -W -f='${Status}' zolven 2>/dev/null | grep -q "install ok"; then
        apt-get purge -y -qq zolven >/dev/null
    fi
}
# Never left installed, whatever happens below.
trap remove EXIT
remove

start=$SECONDS
# Every error and warning fails; the package carries no overrides.
echo "package: lintian $(basename "$deb")"
lintian --fail-on error,warning --display-level ">=warning" "$deb"

echo "package: installing $(basename "$deb")"
apt-get install -y -qq --no-install-recommends "$deb" 2>&1 | sed '/^(Reading database/d'
dpkg-query -W -f='package: installed ${Package} ${Version}\n  Depends: ${Depends}\n' zolven

"$here/check_unit.sh" "$deb"
/usr/bin/python3 "$here/check_deps.py" --build "$build"
/usr/bin/python3 "$here/run_installed.py"

apt-get purge -y -qq zolven >/dev/null
for path in /usr/bin/zolven /usr/lib/zolven /usr/share/applications/org.zolven.ZOLVEN.desktop \
            /usr/lib/udev/rules.d/70-zolven.rules /usr/lib/systemd/system/zolvend.service; do
    if [ -e "$path" ] || [ -L "$path" ]; then
        echo "package: $path is still there after removing the package" >&2
        exit 1
    fi
done
echo "package: installed, checked, run and removed in $((SECONDS - start)) s"

"$here/clean_debian.sh" "$deb"
