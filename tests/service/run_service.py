#!/usr/bin/python3
"""The service zolvend as systemd runs it: a pseudo-terminal as the display, the test library
replaying tests/e2e/fixtures/desktop.readings, a bare environment (no HOME, XDG_RUNTIME_DIR or
D-Bus), and a notification socket standing in for the service manager.

    run_service.py <scenario>...     run scenarios (all when none is named)
    run_service.py --list

Environment: ZOLVEN_SERVICE_EXE (the built zolvend), ZOLVEN_SERVICE_MONITOR (the test
library), ZOLVEN_SERVICE_ARTIFACTS (logs; default ./service-artifacts). Exit code 77 when
a scenario cannot run here (not root, for the one that needs another user).
"""

import grp
import os
import pwd
import shutil
import signal
import sys
import tempfile
import time
import types

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True
sys.path[:0] = [os.path.normpath(os.path.join(HERE, "..", "..", "tools", "harness"))]

from zolven_harness import runner  # noqa: E402
from zolven_harness.basics import check  # noqa: E402
from zolven_harness.runner import Skip  # noqa: E402
from zolven_harness.device import PtyDevice  # noqa: E402
from zolven_harness.expect import EXPECTED, check_schedule, expect_frames  # noqa: E402
from zolven_harness.notify import NotifySocket  # noqa: E402
from zolven_harness.program import AppDir, Program  # noqa: E402

FIXTURE = os.path.normpath(os.path.join(HERE, "..", "e2e", "fixtures", "desktop.readings"))
NO_X = types.SimpleNamespace(env={})
CONNECTED = "Connected to the display on"
LOST = "Lost the display on"


class World:
    """zolvend, config.dat and the readings in a temporary folder, a device whose config.ini
    names its link, and a notification socket."""

    def __init__(self, artifacts, name, readings=FIXTURE, fahrenheit=False, plugged=True,
                 watchdog_usec=None):
        self.artifacts = artifacts
        self.root = tempfile.mkdtemp(prefix=f"zolven-service-{name}-")
        os.chmod(self.root, 0o755)
        self.programs = []
        self.device = PtyDevice(os.path.join(self.root, "dev", "ttyZOLVEN"))
        config = (f"[General]\nShow Fah={'true' if fahrenheit else 'false'}\n\n"
                  f"[DEVICE]\nPort={self.device.link}\n")
        self.app = AppDir(self.root, os.environ["ZOLVEN_SERVICE_EXE"],
                          os.environ["ZOLVEN_SERVICE_MONITOR"], readings, config,
                          exe_name="zolvend")
        for sub in ("", "app", "dev"):
            os.chmod(os.path.join(self.root, sub), 0o755)
        os.chmod(self.app.config_path, 0o644)
        self.notify = NotifySocket(os.path.join(self.root, "notify"))
        self.watchdog_usec = watchdog_usec
        if plugged:
            self.device.plug()

    def env(self):
        env = {"PATH": "/usr/bin:/bin", "LANG": "C.UTF-8",
               "ZOLVEN_READINGS": os.path.join(self.app.dir, "config.readings"),
               # Qt may send its log to the journal when stderr is no terminal.
               "QT_FORCE_STDERR_LOGGING": "1"}
        env.update(self.notify.env(self.watchdog_usec))
        # A sanitizer build keeps its options (suppressions) in the bare environment.
        env.update({k: v for k, v in os.environ.items()
                    if k.split("_", 1)[0] in ("ASAN", "LSAN", "UBSAN", "TSAN")})
        return env

    def start(self, label="zolvend", args=None, preexec_fn=None, extra_env=None):
        env = self.env()
        env.update(extra_env or {})
        program = Program(self.app, NO_X, os.path.join(self.artifacts, f"{label}.log"),
                          args=["--config", self.app.config_path] if args is None else args,
                          env=env, inherit=False, command=NotifySocket.command,
                          preexec_fn=preexec_fn)
        self.programs.append(program)
        return program

    def close(self):
        for program in self.programs:
            program.kill()
        self.device.unplug()
        self.notify.close()
        stale = "LCK.." + self.device.link.replace("/", "_")
        for folder in ("/var/lock", "/run/lock", "/tmp", "/var/tmp"):
            try:
                os.unlink(os.path.join(folder, stale))
            except OSError:
                pass
        shutil.rmtree(self.root, ignore_errors=True)


def stop(program, sig=signal.SIGTERM):
    """SIGTERM, as systemctl stop sends it (or SIGINT, Ctrl+C in a terminal); the exit code."""
    program.proc.send_signal(sig)
    code = program.wait_exit(30)
    program.kill()
    return code


def quiet_log(program, since_line):
    """The lines after the start line besides the connect and disconnect lines: a service's
    journal gets nothing per second."""
    lines = [t for _, t in program.lines()]
    extra = [t for t in lines[since_line:] if not t.startswith((CONNECTED, LOST, "Stopping",
                                                               "Stopped", "testmonitor:"))]
    check(not extra, f"lines besides connect and disconnect: {extra[:5]}")


# --- Scenarios ---------------------------------------------------------------------------------

def scenario_frames(w):
    """Replayed readings reach the display exactly, in Fahrenheit as config.ini asks, from the
    seventh check after connecting; READY=1 and a status for the manager; one start line, one
    connect line and nothing per second; SIGTERM ends it with 0, its library shut down."""
    program = w.start()
    start = program.wait_line("zolvend ")[0][1]
    for part in (w.app.config_path, "config.dat", f"port {w.device.link}", "Fahrenheit"):
        check(part in start, f"start line without {part!r}: {start}")
    ok_time = program.wait_line(CONNECTED)[0][0]
    frames = w.device.wait_frames(5)
    expect_frames(frames, dict(EXPECTED, fahrenheit=1), "frames of the replayed readings")
    check(not w.device.stray, f"bytes between frames: {bytes(w.device.stray).hex(' ')}")
    check_schedule(ok_time, frames)
    w.notify.wait("READY")
    check(any("Feeding the display" in m[1].get("STATUS", "") for m in w.notify.messages()),
          "no status line telling of the display")
    check(not w.notify.messages("WATCHDOG"), "watchdog pings without WATCHDOG_USEC")
    quiet_log(program, 1)
    check(stop(program) == 0, "SIGTERM did not end it with 0")
    w.notify.wait("STOPPING")
    program.wait_line("Stopped")


def scenario_later(w):
    """No display at start: the service waits (ready all the same) and feeds a display plugged
    in later, without a restart; unplugged, it says so once and finds it again; SIGINT ends it
    with 0."""
    program = w.start()
    w.notify.wait("READY")
    time.sleep(3)
    check(program.running(), "the service ended without a display")
    check(not program.count(CONNECTED), "connected to no display")
    w.device.plug()
    program.wait_line(CONNECTED)
    expect_frames(w.device.wait_frames(3), EXPECTED, "frames once plugged in")

    w.device.unplug()
    program.wait_line(LOST)
    since = w.device.frame_count()
    w.device.plug()
    ok_time = program.wait_line(CONNECTED, 2)[1][0]
    frames = w.device.wait_frames(4, since)
    expect_frames(frames, EXPECTED, "frames after reconnecting")
    check_schedule(ok_time, frames)
    check(program.count(LOST) == 1, "more than one line for one disconnection")
    quiet_log(program, 1)
    check(stop(program, signal.SIGINT) == 0, "SIGINT did not end it with 0")


def scenario_shutdown_order(w):
    """SIGTERM while the worker reads: the library is shut down after its last pass call, and
    the service ends with 0."""
    readings = os.path.join(w.app.dir, "config.readings")
    with open(readings, "a", encoding="utf-8") as f:
        f.write("@ trace 1\n@ sensor_delay_ms 100\n")
    program = w.start()
    w.notify.wait("READY")
    program.wait_line("testmonitor: S3", 2)
    check(stop(program) == 0, "SIGTERM did not end it with 0")
    trace = [t.split(": ", 1)[1] for _, t in program.lines("testmonitor: ")]
    check("X" in trace, "the library was not shut down")
    after = trace[trace.index("X") + 1:]
    check(not after, f"library calls after its shutdown: {after}")


def scenario_watchdog(w):
    """With WATCHDOG_USEC the service pings at half the interval while both clocks run; a
    library call that hangs stops the pings, though the one-second check goes on."""
    readings = os.path.join(w.app.dir, "config.readings")
    with open(readings, "a", encoding="utf-8") as f:
        f.write("@ hang_from_pass 8\n")
    program = w.start()
    w.notify.wait("READY")
    w.notify.wait("WATCHDOG", 2)
    hang_time = program.wait_line("testmonitor: hanging")[0][0]
    # Pings go on until one interval has passed since a tick last saw a pass end: at most one
    # interval and a tick after the hang.
    tick = w.watchdog_usec / 2e6
    time.sleep(4 * tick)
    last = w.notify.messages("WATCHDOG")
    time.sleep(4 * tick)
    later = [m for m in w.notify.messages("WATCHDOG") if m[0] > last[-1][0]]
    check(not later, f"{len(later)} watchdog ping(s) while the library hangs "
          f"(last ping {last[-1][0] - hang_time:+.1f} s from the hang)")
    check(program.running(), "the service ended by itself")
    # The device link still runs on its own clock.
    since = w.device.frame_count()
    w.device.wait_frames(2, since)


def scenario_ordinary_user(w):
    """As an ordinary user (nobody) who may open the port only through its group, with no
    home: frames arrive and the notification socket hears READY=1."""
    if os.geteuid() != 0:
        raise Skip("needs root to run the service as nobody")
    user = pwd.getpwnam("nobody")
    group = grp.getgrnam("dialout").gr_gid if _has_group("dialout") else 20
    slave = os.path.realpath(w.device.link)
    os.chown(slave, 0, group)
    os.chmod(slave, 0o660)

    def become_nobody():
        os.setgroups([group])
        os.setgid(user.pw_gid)
        os.setuid(user.pw_uid)

    program = w.start(preexec_fn=become_nobody)
    w.notify.wait("READY")
    program.wait_line(CONNECTED)
    expect_frames(w.device.wait_frames(3), EXPECTED, "frames as nobody")
    check(stop(program) == 0, "SIGTERM did not end it with 0")


def _has_group(name):
    try:
        grp.getgrnam(name)
        return True
    except KeyError:
        return False


SCENARIOS = {
    "frames": (scenario_frames, dict(fahrenheit=True)),
    "later": (scenario_later, dict(plugged=False)),
    "shutdown_order": (scenario_shutdown_order, {}),
    "watchdog": (scenario_watchdog, dict(watchdog_usec=2_000_000)),
    "ordinary_user": (scenario_ordinary_user, {}),
}


def run(name, artifacts):
    fn, options = SCENARIOS[name]
    folder = os.path.join(artifacts, name)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    return runner.run_scenario(
        name, fn.__doc__, lambda: World(folder, name, **options), fn,
        programs=lambda world: world.programs,
        diagnose=lambda world: print("--- notifications:",
                                     [m[1] for m in world.notify.messages()]))


def main(argv):
    names = runner.pick(argv[1:], SCENARIOS)
    if isinstance(names, int):
        return names
    artifacts = os.environ.get("ZOLVEN_SERVICE_ARTIFACTS", os.path.abspath("service-artifacts"))
    return runner.outcome([run(name, artifacts) for name in names])


if __name__ == "__main__":
    sys.exit(main(sys.argv))
