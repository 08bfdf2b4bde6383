#!/usr/bin/python3
"""Steady-state cost: the program against two floors and a Python psutil poller, side by side.

    /usr/bin/python3 bench/steady/steady.py [--build DIR] [--seconds N] [--warmup N]

All four run at once under the same X session (Xvfb + trayer), each writing its frames to a
pseudo-terminal of its own; the program uses our Linux library (bin/config.dat) and reaches its
pty through [DEVICE] Port. The C floor (bench_floor) reads the same sources and writes the same
frame; the Qt Quick floor (bench_tray_floor) reads nothing and only has what every Qt Quick tray
program has: a hidden window, a tray icon, a QML Timer writing the frame.

The service, zolvend, runs beside them with the same library and a pty of its own named in
its --config file, and is measured against the C floor (it has no window to show).

A further process is the program again with no display plugged in (no Port, nothing with the
display's USB ids): it goes on checking for one every second, and is measured against the
connected copy. Once every one sends frames and the program has settled, three windows of N seconds each measure
all four: the program's window hidden as it starts, shown by a click on its tray icon, and
hidden again with its close button. CPU time is the sum over the threads' schedstat run time
(nanoseconds; threads that end keep what they had used), memory is sampled once a second from
/proc. Prints Markdown.
"""
import argparse
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.dont_write_bytecode = True
sys.path[:0] = [os.path.join(ROOT, "tools", "harness"), os.path.join(ROOT, "bench", "common")]
import benchlib  # noqa: E402
from zolven_harness.basics import stop_process, wait_for  # noqa: E402
from zolven_harness.device import PtyDevice  # noqa: E402
from zolven_harness.frame import decode  # noqa: E402
from zolven_harness.program import Program  # noqa: E402
from zolven_harness.scene import CLOSE_BUTTON, WINDOW_W  # noqa: E402
from zolven_harness.xsession import XSession  # noqa: E402

# Goals for the hidden window.
GOAL_CORE_PERCENT = 0.2
GOAL_RSS_MB = 60
GOAL_FLOOR_RATIO = 5
# No display against connected, CPU; hidden again after a show against never shown, RSS.
GOAL_NO_DISPLAY_RATIO = 1.2
GOAL_HIDDEN_AGAIN_RSS_RATIO = 1.3
NO_DISPLAY = "ZOLVEN, no display"
# The service against the C floor, CPU; its resident memory.
SERVICE = "zolvend"
GOAL_SERVICE_FLOOR_RATIO = 2
GOAL_SERVICE_RSS_MB = 16


def table(title, res):
    rows = ["**%s** (%.0f s window)" % (title, res["ZOLVEN"]["wall"]), "",
            "| process | CPU ms/min | % of one core | RSS MB | RSS max MB | anon MB | PSS MB "
            "| frames |",
            "|---|---:|---:|---:|---:|---:|---:|---:|"]
    for name, r in res.items():
        rows.append("| %s | %.1f | %.3f | %.1f | %.1f | %.1f | %.1f | %s |" % (
            name, r["cpu_ms_per_min"], r["core_percent"], r["rss_mb"], r["rss_max_mb"],
            r["anon_mb"], r["pss_mb"], r["frames"]))
    z, c, q, p = (res[n] for n in ("ZOLVEN", "C floor", "Qt Quick floor", "Python psutil"))

    def ratio(a, b, key):
        return a[key] / b[key] if b[key] else float("inf")
    threads = sorted(z["threads_ms_per_min"].items(), key=lambda kv: -kv[1])
    rows += ["", "ZOLVEN by thread (CPU ms/min): " + ", ".join(
                 "%s %.1f" % kv for kv in threads if kv[1] >= 0.05) + ".",
             "", "ZOLVEN / C floor: CPU **%.1f x**, RSS %.0f x. ZOLVEN / Qt Quick floor: CPU "
             "**%.1f x**, RSS %.1f x. ZOLVEN / Python poller: CPU **%.2f x**, RSS %.1f x." % (
                 ratio(z, c, "cpu_s"), ratio(z, c, "rss_mb"), ratio(z, q, "cpu_s"),
                 ratio(z, q, "rss_mb"), ratio(z, p, "cpu_s"), ratio(z, p, "rss_mb"))]
    n = res[NO_DISPLAY]
    rows += ["", "ZOLVEN with no display / connected: CPU **%.2f x** (goal <= %.1f x: %s), RSS "
             "%.2f x." % (ratio(n, z, "cpu_s"), GOAL_NO_DISPLAY_RATIO,
                          "met" if ratio(n, z, "cpu_s") <= GOAL_NO_DISPLAY_RATIO else "MISSED",
                          ratio(n, z, "rss_mb"))]
    if SERVICE in res:
        v = res[SERVICE]
        rows += ["", "zolvend / C floor: CPU **%.1f x** (goal <= %d x: %s), RSS %.0f x; zolvend / "
                 "ZOLVEN: CPU %.2f x, RSS %.2f x; RSS max %.1f MB (goal <= %d MB: %s)." % (
                     ratio(v, c, "cpu_s"), GOAL_SERVICE_FLOOR_RATIO,
                     "met" if ratio(v, c, "cpu_s") <= GOAL_SERVICE_FLOOR_RATIO else "MISSED",
                     ratio(v, c, "rss_mb"), ratio(v, z, "cpu_s"), ratio(v, z, "rss_mb"),
                     v["rss_max_mb"], GOAL_SERVICE_RSS_MB,
                     "met" if v["rss_max_mb"] <= GOAL_SERVICE_RSS_MB else "MISSED")]
        vthreads = sorted(v["threads_ms_per_min"].items(), key=lambda kv: -kv[1])
        rows += ["", "zolvend by thread (CPU ms/min): " + ", ".join(
            "%s %.1f" % kv for kv in vthreads if kv[1] >= 0.05) + "."]
    odd = [m for m, r in res.items() if m != NO_DISPLAY and abs(r["frames"] - r["wall"]) > 2]
    if odd:
        rows += ["", "Warning: frame counts off by more than two from one a second (%s): "
                 "another process may be writing to the same pty." % ", ".join(odd)]
    rows.append("")
    return rows


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(ROOT, "build"))
    ap.add_argument("--seconds", type=float, default=120)
    ap.add_argument("--warmup", type=float, default=15)
    ap.add_argument("--library", help="config.dat to use (default: <build>/bin/config.dat)")
    ap.add_argument("--env", action="append", default=[], metavar="NAME=VALUE",
                    help="extra environment for the program (to compare set-ups)")
    args = ap.parse_args()
    build = benchlib.build_dir_arg(args.build)
    library = args.library or os.path.join(build, "bin", "config.dat")

    service = os.path.join(build, "bin", "zolvend")
    names = ("ZOLVEN", "C floor", "Qt Quick floor", "Python psutil") + (
        (SERVICE,) if os.path.exists(service) else ()) + (NO_DISPLAY,)
    devices = {n: PtyDevice() for n in names}  # the no-display copy's never hears from it
    box = benchlib.sandbox(build, library, port=devices["ZOLVEN"].path)
    floor_box = benchlib.sandbox(build, library)
    bare_box = benchlib.sandbox(build, library)
    session = XSession(box.root, benchlib.SCREEN)
    programs, others = [], []
    try:
        programs.append(Program(box, session, env=dict(e.split("=", 1) for e in args.env)))
        pids = {"ZOLVEN": programs[-1].proc.pid}
        # The program's icon first, so that it is the one clicked later.
        icon = wait_for("the tray icon", session.view.tray_icon, 60)
        others.append(subprocess.Popen(
            [os.path.join(build, "bin", "bench_floor"), devices["C floor"].path]))
        pids["C floor"] = others[-1].pid
        programs.append(Program(floor_box, session,
                                executable=os.path.join(build, "bin", "bench_tray_floor"),
                                args=[devices["Qt Quick floor"].path]))
        pids["Qt Quick floor"] = programs[-1].proc.pid
        others.append(subprocess.Popen(
            ["/usr/bin/python3", os.path.join(HERE, "poller.py"), devices["Python psutil"].path]))
        pids["Python psutil"] = others[-1].pid
        if SERVICE in names:
            # As the unit starts it: the library beside it, no home, runtime folder or bus.
            if library != os.path.join(build, "bin", "config.dat"):
                raise SystemExit("zolvend loads the config.dat beside it; drop --library")
            config = os.path.join(floor_box.root, "zolvend.ini")
            with open(config, "w", encoding="utf-8") as f:
                f.write("[DEVICE]\nPort=%s\n" % devices[SERVICE].path)
            others.append(subprocess.Popen(
                [service, "--config", config], stdin=subprocess.DEVNULL,
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                env={"PATH": "/usr/bin:/bin", "LANG": "C.UTF-8"}))
            pids[SERVICE] = others[-1].pid
        programs.append(Program(bare_box, session, env=dict(e.split("=", 1) for e in args.env)))
        pids[NO_DISPLAY] = programs[-1].proc.pid
        for name in names[:-1]:
            wait_for(name + "'s first frame", lambda: devices[name].frame_count() > 0, 60)
        if session.view.top_level("ZOLVEN", WINDOW_W)[1]:
            raise SystemExit("the window was visible before the tray icon was clicked")
        time.sleep(args.warmup)

        phase = benchlib.Phase({n: (benchlib.ProcessMeter(pids[n]), devices[n]) for n in names})
        hidden = phase.run(args.seconds)

        session.click(8, 8, window=icon)
        window = wait_for("the window to show",
                          lambda: session.view.top_level("ZOLVEN", WINDOW_W)[1] and
                          session.view.top_level("ZOLVEN", WINDOW_W)[0], 20)
        time.sleep(5)  # first frames of the scene graph, glyph caches
        shown = phase.run(args.seconds)

        session.click(*CLOSE_BUTTON, window=window)
        wait_for("the close button to hide the window",
                 lambda: not session.view.top_level("ZOLVEN", WINDOW_W)[1], 20)
        time.sleep(5)
        again = phase.run(args.seconds)
        last = decode(devices["ZOLVEN"].frames[-1][1])
    finally:
        for p in others:
            stop_process(p)
        for p in reversed(programs):
            p.terminate()
        session.close()
        for d in devices.values():
            d.close()
        box.remove()
        floor_box.remove()
        bare_box.remove()

    h = hidden["ZOLVEN"]
    lines = (table("Window hidden (as started)", hidden) + table("Window shown", shown) +
             table("Window hidden again with its close button", again))
    lines += ["Hidden again after a show / never shown: RSS **%.2f x** (goal <= %.1f x: %s)." % (
        again["ZOLVEN"]["rss_mb"] / h["rss_mb"], GOAL_HIDDEN_AGAIN_RSS_RATIO,
        "met" if again["ZOLVEN"]["rss_mb"] <= GOAL_HIDDEN_AGAIN_RSS_RATIO * h["rss_mb"]
        else "MISSED"), ""]
    lines += ["Goals with the window hidden: %.3f %% of one core (goal <= %.1f %%: %s), "
              "%.1f MB resident (goal <= %d MB: %s), %.1f x the C floor's CPU time "
              "(goal <= %d x: %s), %s the Python poller (goal: below)." % (
                  h["core_percent"], GOAL_CORE_PERCENT,
                  "met" if h["core_percent"] <= GOAL_CORE_PERCENT else "MISSED",
                  h["rss_max_mb"], GOAL_RSS_MB,
                  "met" if h["rss_max_mb"] <= GOAL_RSS_MB else "MISSED",
                  h["cpu_s"] / hidden["C floor"]["cpu_s"], GOAL_FLOOR_RATIO,
                  "met" if h["cpu_s"] <= GOAL_FLOOR_RATIO * hidden["C floor"]["cpu_s"]
                  else "MISSED",
                  "below" if h["cpu_s"] < hidden["Python psutil"]["cpu_s"] else "NOT below"),
              ""]
    if SERVICE in hidden:
        v = hidden[SERVICE]
        lines += ["Goals of the service (window hidden): %.1f x the C floor's CPU time (goal <= "
                  "%d x: %s), %.1f MB resident at most (goal <= %d MB: %s)." % (
                      v["cpu_s"] / hidden["C floor"]["cpu_s"], GOAL_SERVICE_FLOOR_RATIO,
                      "met" if v["cpu_s"] <= GOAL_SERVICE_FLOOR_RATIO * hidden["C floor"]["cpu_s"]
                      else "MISSED", v["rss_max_mb"], GOAL_SERVICE_RSS_MB,
                      "met" if v["rss_max_mb"] <= GOAL_SERVICE_RSS_MB else "MISSED"), ""]
    lines += ["Last frame the program sent: %s" % ", ".join(
                  "%s %s" % (k, v) for k, v in last.items()), ""]
    print("\n".join(lines))


if __name__ == "__main__":
    main()
