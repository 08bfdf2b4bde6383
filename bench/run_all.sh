#!/usr/bin/env bash
# Builds what the benchmarks need, runs them all and writes their figures into
# docs/benchmarks.md, between the "<!-- figures: NAME -->" and "<!-- end: NAME -->" lines (the
# text around them is left as it is).
#
#   bench/run_all.sh [build-dir]          (default: ./build-bench, RelWithDebInfo)
#
# STEADY_SECONDS (120), STARTUP_ROUNDS (10), LATENCY_ROUNDS (6), REFRESH_PASSES (300) may be
# set; ONLY="steady latency" runs those benchmarks alone and leaves the others' figures as they
# are. Needs what build.sh installs plus python3-psutil. Takes about 15 minutes; run it on a
# machine that is otherwise quiet, the figures are only as steady as the machine.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(mkdir -p "${1:-$root/build-bench}" && cd "${1:-$root/build-bench}" && pwd)
doc=$root/docs/benchmarks.md
python=/usr/bin/python3

"$python" -c 'import psutil' 2>/dev/null ||
    { echo "run_all.sh: the Python poller needs python3-psutil (apt-get install python3-psutil)" >&2; exit 1; }

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZOLVEN_BUILD_TESTS=ON -DZOLVEN_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target ZOLVEN zolven_config_dat testmonitor bench_floor \
    bench_tray_floor bench_refresh bench_monitor zolvend

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

run() { # name, command...
    local name=$1
    shift
    if [ -n "${ONLY:-}" ] && [[ " $ONLY " != *" $name "* ]]; then
        return
    fi
    echo "run_all.sh: $name: $*" >&2
    {
        if [ -n "${ONLY:-}" ]; then
            echo "Run alone (ONLY=$ONLY). $(machine)"
            echo
        fi
        echo '```'
        echo "\$ ${*/#$root\//}"
        echo '```'
        echo
        "$@"
    } >"$out/$name.md"
}

machine() {
    echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') at commit $(git -C "$root" rev-parse --short HEAD)" \
        "on $(nproc) CPUs ($(lscpu | sed -n 's/^Model name: *//p' | head -1))," \
        "Linux $(uname -r), Qt $(pkg-config --modversion Qt6Core 2>/dev/null || echo 6)," \
        "load average before the run: $(cut -d' ' -f1-3 /proc/loadavg)."
}
# A partial run says where and when with its own figures; the page's line stays the full run's.
if [ -z "${ONLY:-}" ]; then
    machine >"$out/machine.md"
fi

run steady "$python" "$root/bench/steady/steady.py" --build "$build" \
    --seconds "${STEADY_SECONDS:-120}"
run startup "$python" "$root/bench/startup/startup.py" --build "$build" \
    --rounds "${STARTUP_ROUNDS:-10}"
run latency "$python" "$root/bench/latency/latency.py" --build "$build" \
    --rounds "${LATENCY_ROUNDS:-6}"
run refresh "$build/bench/refresh/bench_refresh" "${REFRESH_PASSES:-300}"
run monitor "$build/bin/bench_monitor" "${REFRESH_PASSES:-300}"

"$python" - "$doc" "$out" <<'EOF'
import os, re, sys
doc, out = sys.argv[1], sys.argv[2]
text = open(doc).read()
for name in sorted(os.listdir(out)):
    key = name[:-3]
    body = open(os.path.join(out, name)).read().strip("\n")
    pattern = re.compile(r"(<!-- figures: %s -->\n).*?(<!-- end: %s -->)" % (key, key), re.S)
    if not pattern.search(text):
        sys.exit("docs/benchmarks.md has no place for the %s figures" % key)
    text = pattern.sub(lambda m: m.group(1) + body + "\n" + m.group(2), text)
open(doc, "w").write(text)
EOF
echo "run_all.sh: figures written to $doc" >&2
