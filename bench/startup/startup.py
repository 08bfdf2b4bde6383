#!/usr/bin/python3
"""Time from start to the tray icon: the program against the Qt Quick floor, side by side.

    /usr/bin/python3 bench/startup/startup.py [--build DIR] [--rounds N]

Each round starts the program (our Linux library as config.dat, a pty as the device) and then
bench_tray_floor (a hidden window, a tray icon and a QML Timer, nothing else) in one X session
with trayer as the tray, each from a fresh sandbox. The clock starts just before the process is
created and stops when the tray has embedded and mapped the icon window, polled in-process every
5 ms. For the program, the first library log line and the first frame are timed as well. Prints
Markdown.
"""
import argparse
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "common"))
import benchlib  # noqa: E402

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
POLL = 0.005


def one_start(session, build, which):
    device = benchlib.PtyDevice() if which == "ZOLVEN" else None
    box = benchlib.Sandbox(build, os.path.join(build, "bin", "config.dat"),
                           port=device.path if device else None)
    try:
        exe = None if which == "ZOLVEN" else os.path.join(build, "bin", "bench_tray_floor")
        t0 = benchlib.now()
        box.start(session.display, exe)
        benchlib.wait_for(session.view.tray_icon, 60, which + "'s tray icon", step=POLL)
        icon = benchlib.now() - t0
        out = {"icon": icon}
        if device:
            benchlib.wait_for(lambda: device.count() > 0, 60, "the first frame", step=0.02)
            out["frame"] = device.frames[0][0] - t0
            init = box.first_line("[RunHwinfo] INIT OK")
            out["init"] = init - t0 if init else float("nan")
        return out
    finally:
        box.stop()
        box.remove()
        if device:
            device.close()
        # The next round must not see this round's icon.
        benchlib.wait_for(lambda: session.view.tray_icon() is None, 20, "the icon to go")


def stats(values):
    return (statistics.median(values), min(values), max(values))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(ROOT, "build"))
    ap.add_argument("--rounds", type=int, default=10)
    args = ap.parse_args()
    build = benchlib.build_dir_arg(args.build)

    work = benchlib.tempfile.mkdtemp(prefix="zolven-startup-")
    session = benchlib.XSession(work).start()
    runs = {"ZOLVEN": [], "Qt Quick floor": []}
    try:
        # One of each first, not counted: the first start of anything pays for cold caches.
        one_start(session, build, "ZOLVEN")
        one_start(session, build, "Qt Quick floor")
        for _ in range(args.rounds):
            runs["ZOLVEN"].append(one_start(session, build, "ZOLVEN"))
            runs["Qt Quick floor"].append(one_start(session, build, "Qt Quick floor"))
    finally:
        session.stop()
        benchlib.shutil.rmtree(work, ignore_errors=True)

    z = stats([r["icon"] * 1000 for r in runs["ZOLVEN"]])
    f = stats([r["icon"] * 1000 for r in runs["Qt Quick floor"]])
    init = stats([r["init"] * 1000 for r in runs["ZOLVEN"]])
    frame = stats([r["frame"] * 1000 for r in runs["ZOLVEN"]])
    lines = ["%d rounds, alternating, each start from a fresh sandbox (ms: median, min, max)" %
             args.rounds, "",
             "| from process start to | ZOLVEN | Qt Quick floor |", "|---|---:|---:|",
             "| tray icon mapped | %.0f (%.0f-%.0f) | %.0f (%.0f-%.0f) |" % (z + f),
             "| \"[RunHwinfo] INIT OK\" | %.0f (%.0f-%.0f) | |" % init,
             "| first frame on the device | %.0f (%.0f-%.0f) | |" % frame, "",
             "Start to tray icon: ZOLVEN / Qt Quick floor = **%.2f x** (medians)." % (z[0] / f[0]),
             ""]
    print("\n".join(lines))


if __name__ == "__main__":
    main()
