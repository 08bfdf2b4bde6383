#!/usr/bin/env bash
# The systemd unit as the package ships it: `systemd-analyze verify` says nothing, and
# `systemd-analyze security --offline` rates its exposure at most 2.0. Needs the package
# installed (verify wants the program the unit starts); its manual page is looked up in the
# package itself, so a system that leaves manual pages out still checks it.
#   tests/install/package/check_unit.sh <zolven_*.deb>
set -euo pipefail
deb=$(realpath "$1")
limit=2.0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work/root"
unit=$work/root/usr/lib/systemd/system/zolvend.service
if [ ! -f "$unit" ]; then
    echo "unit: the package has no usr/lib/systemd/system/zolvend.service" >&2
    exit 1
fi
if ! cmp -s "$unit" /usr/lib/systemd/system/zolvend.service; then
    echo "unit: the installed unit is not the package's (is the package installed?)" >&2
    exit 1
fi

status=0
if ! MANPATH=$work/root/usr/share/man systemd-analyze verify "$unit" >"$work/verify.log" 2>&1 ||
    [ -s "$work/verify.log" ]; then
    echo "unit: systemd-analyze verify is not clean:" >&2
    sed 's/^/  /' "$work/verify.log" >&2
    status=1
else
    echo "unit: systemd-analyze verify: clean"
fi

systemd-analyze security --offline=yes --no-pager "$unit" >"$work/security.log" 2>&1 || true
score=$(sed -n 's/.*Overall exposure level for zolvend.service: \([0-9.]*\).*/\1/p' "$work/security.log")
if [ -z "$score" ]; then
    echo "unit: systemd-analyze security gave no score:" >&2
    sed 's/^/  /' "$work/security.log" >&2
    status=1
elif awk -v s="$score" -v l="$limit" 'BEGIN { exit !(s > l) }'; then
    echo "unit: exposure $score is above $limit; what it allows:" >&2
    grep '✗' "$work/security.log" | sed 's/^/  /' >&2
    status=1
else
    echo "unit: systemd-analyze security: exposure $score (at most $limit)"
fi
exit $status
