#!/usr/bin/python3
"""Time from a changed reading to the frame that carries it.

    /usr/bin/python3 bench/latency/latency.py [--build DIR] [--rounds N] [--seconds N]

The test library replays a CPU fan whose value changes at every pass (1000 + pass number), so
each value names the pass that read it. The program logs "[Item Refresh]  [CPU FAN]" with the
value as the worker reads it; the harness timestamps that line as it arrives on stderr and the
first frame on the pty that carries the value. The two are the ends of the road: worker pass,
cross-thread notification, binding and handler, metric store, the next connection check,
frame, port.

Two one-second clocks meet here and nothing ties them together: the worker sleeps 1000 ms after
each pass, the window's timer checks the link every 1000 ms. A value waits in the controller
for whatever is left of the current check period, so the wait lies anywhere in [0, 1 s); within
one run the phase between the clocks creeps only by the pass time each second, so the rounds
restart the program to sample other phases. Prints Markdown.
"""
import argparse
import os
import re
import shutil
import statistics
import sys
import tempfile
import time

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
sys.dont_write_bytecode = True
sys.path[:0] = [os.path.join(ROOT, "tools", "harness"), os.path.join(ROOT, "bench", "common")]
import benchlib  # noqa: E402
from zolven_harness.basics import wait_for  # noqa: E402
from zolven_harness.device import PtyDevice  # noqa: E402
from zolven_harness.frame import decode  # noqa: E402
from zolven_harness.program import Program  # noqa: E402
from zolven_harness.xsession import XSession  # noqa: E402

FAN_LINE = re.compile(r"\[CPU FAN\].*value: \[(\d+)\]")


def fixture(passes):
    lines = ["# A CPU fan that changes at every pass; the rest stays put.",
             "S 0 11 CPU [#0]: Bench Processor", "S 1 10 System Memory",
             "S 2 12 Bench Fan Controller"]
    for k in range(passes):
        if k:
            lines.append("P")
        lines += ["R 0 0 1 10 45 C CPU Package", "R 0 0 7 10 20 % Total CPU Utility",
                  "R 1 0 8 0 30 % Physical Memory Load",
                  "R 2 0 3 0 %d RPM CPU Fan" % (1000 + k)]
    return "\n".join(lines) + "\n"


def one_round(session, build, readings, seconds):
    device = PtyDevice()
    box = benchlib.sandbox(build, os.path.join(build, "testmonitor", "testmonitor.so"),
                           port=device.path, readings=readings)
    program = None
    try:
        program = Program(box, session)
        wait_for("the first frame", lambda: device.frame_count() > 0, 60)
        time.sleep(seconds)
    finally:
        if program:
            program.terminate()
        device.close()
        box.remove()
    read_at = {}
    for t, line in program.lines():
        m = FAN_LINE.search(line)
        if m:
            read_at.setdefault(int(m.group(1)), t)
    sent_at = {}
    for t, frame in device.frames:
        sent_at.setdefault(decode(frame)["cpu_fan"], t)
    # Values read once frames flow; the last one read may not have had its check yet.
    first_frame = device.frames[0][0]
    values = sorted(v for v, t in read_at.items() if t >= first_frame)[:-1]
    sent = [v for v in values if v in sent_at]
    waits = [(sent_at[v] - read_at[v]) * 1000 for v in sent]
    # How fast the phase between the two clocks creeps, in ms per minute.
    span = read_at[sent[-1]] - read_at[sent[0]]
    drift = (waits[-1] - waits[0]) / span * 60 if span > 0 else 0.0
    return waits, len(values) - len(sent), len(values), drift


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(ROOT, "build"))
    ap.add_argument("--rounds", type=int, default=6)
    ap.add_argument("--seconds", type=float, default=20)
    args = ap.parse_args()
    build = benchlib.build_dir_arg(args.build)

    work = tempfile.mkdtemp(prefix="zolven-latency-")
    # Enough passes for a round; the last block would repeat and stop the changes.
    readings = os.path.join(work, "fan.readings")
    with open(readings, "w") as f:
        f.write(fixture(int(args.seconds) + 30))
    session = XSession(work, benchlib.SCREEN)
    rounds = []
    try:
        for _ in range(args.rounds):
            rounds.append(one_round(session, build, readings, args.seconds))
    finally:
        session.close()
        shutil.rmtree(work, ignore_errors=True)

    rows = ["%d rounds of %.0f s, each a fresh start of the program with the test library "
            "(ms from the log line of the pass that read a value to the first frame with it)" %
            (args.rounds, args.seconds), "",
            "| round | values | sent | never sent | median | min | max | drift ms/min |",
            "|---:|---:|---:|---:|---:|---:|---:|---:|"]
    every = []
    for i, (waits, skipped, count, drift) in enumerate(rounds, 1):
        every += waits
        rows.append("| %d | %d | %d | %d | %.0f | %.0f | %.0f | %+.1f |" % (
            i, count, len(waits), skipped, statistics.median(waits), min(waits), max(waits),
            drift))
    mean = statistics.fmean(every)
    rows += ["", "All rounds: %d values, median %.0f ms, mean %.0f ms, min %.0f ms, max %.0f ms. "
             "Mean / half the check period (the wait expected between two unsynchronised "
             "one-second clocks) = **%.2f x**." % (
                 len(every), statistics.median(every), mean, min(every), max(every),
                 mean / 500.0), ""]
    print("\n".join(rows))


if __name__ == "__main__":
    main()
