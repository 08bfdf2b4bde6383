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
import shutil
import statistics
import sys
import tempfile

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
sys.dont_write_bytecode = True
sys.path[:0] = [os.path.join(ROOT, "tools", "harness"), os.path.join(ROOT, "bench", "common")]
import benchlib  # noqa: E402
from zolven_harness.basics import wait_for  # noqa: E402
from zolven_harness.device import PtyDevice  # noqa: E402
from zolven_harness.program import Program  # noqa: E402
from zolven_harness.xsession import XSession  # noqa: E402

POLL = 0.005


def one_start(session, build, which):
    device = PtyDevice() if which == "ZOLVEN" else None
    box = benchlib.sandbox(build, os.path.join(build, "bin", "config.dat"),
                           port=device.path if device else None)
    program = None
    try:
        exe = None if which == "ZOLVEN" else os.path.join(build, "bin", "bench_tray_floor")
        t0 = benchlib.now()
        program = Program(box, session, executable=exe)
        wait_for(which + "'s tray icon", session.view.tray_icon, 60, interval=POLL)
        icon = benchlib.now() - t0
        out = {"icon": icon}
        if device:
            wait_for("the first frame", lambda: device.frame_count() > 0, 60, interval=0.02)
            out["frame"] = device.frames[0][0] - t0
            init = program.lines("[RunHwinfo] INIT OK")
            out["init"] = init[0][0] - t0 if init else float("nan")
        return out
    finally:
        if program:
            program.terminate()
        box.remove()
        if device:
            device.close()
        # The next round must not see this round's icon.
        wait_for("the icon to go", lambda: session.view.tray_icon() is None, 20)


def stats(values):
    return (statistics.median(values), min(values), max(values))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(ROOT, "build"))
    ap.add_argument("--rounds", type=int, default=10)
    args = ap.parse_args()
    build = benchlib.build_dir_arg(args.build)

    work = tempfile.mkdtemp(prefix="zolven-startup-")
    session = XSession(work, benchlib.SCREEN)
    runs = {"ZOLVEN": [], "Qt Quick floor": []}
    try:
        # One of each first, not counted: the first start of anything pays for cold caches.
        one_start(session, build, "ZOLVEN")
        one_start(session, build, "Qt Quick floor")
        for _ in range(args.rounds):
            runs["ZOLVEN"].append(one_start(session, build, "ZOLVEN"))
            runs["Qt Quick floor"].append(one_start(session, build, "Qt Quick floor"))
    finally:
        session.close()
        shutil.rmtree(work, ignore_errors=True)

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
