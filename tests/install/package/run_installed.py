#!/usr/bin/python3
"""The installed package as two ordinary users on one machine meet it (run as root, after
apt-get install ./zolven_*.deb).

One X server (Xvfb) with trayer as the tray, a pseudo-terminal as each user's display, and each
user's monitor.conf replaying the end-to-end fixture. User A starts `zolven` from their PATH:
the tray icon appears, the settings live in A's config folder, frames arrive from the seventh
check. User B starts it as a menu entry would (no terminal): B runs beside A with a lock of
their own, feeds their own display and writes no debug lines. A's second start is refused with
the box and exit code 1. B is stopped by SIGTERM, A quits from the tray menu.

Uses the end-to-end harness (tools/harness, or tests/e2e where it used to live).
"""

import os
import pwd
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.normpath(os.path.join(HERE, "..", "..", ".."))
E2E = os.path.join(SOURCE, "tests", "e2e")
sys.path[:0] = [E2E, os.path.join(SOURCE, "tools", "harness")]

try:
    from zolven_harness.basics import Failure, check, wait_for
    from zolven_harness.device import PtyDevice
    from zolven_harness.xsession import XSession
except ImportError:
    from basics import Failure, check, wait_for
    from device import PtyDevice
    from xsession import XSession
from scenarios import EXPECTED, check_schedule, expect_frames  # noqa: E402

FIXTURE = os.path.join(E2E, "fixtures", "desktop.readings")
WINDOW_W = 490
REFUSED = "[LOCK FILE EXIST, EXIT APP]"


class User:
    """An ordinary user made for this run, with a runtime folder of their own (as logind
    would make it) and a pseudo-terminal for a display."""

    def __init__(self, name, work, readings):
        self.name = name
        if subprocess.run(["id", "-u", name], capture_output=True).returncode != 0:
            subprocess.run(["useradd", "--create-home", "--shell", "/bin/sh", name], check=True)
        entry = pwd.getpwnam(name)
        self.uid, self.gid, self.home = entry.pw_uid, entry.pw_gid, entry.pw_dir
        self.runtime = os.path.join(work, f"run-{name}")
        os.mkdir(self.runtime, 0o700)
        os.chown(self.runtime, self.uid, self.gid)
        self.config_dir = os.path.join(self.home, ".config", "ZOLVEN")
        self.device = PtyDevice(os.path.join(work, f"tty-{name}"))
        os.chown(self.device.plug(), self.uid, self.gid)
        os.makedirs(self.config_dir, exist_ok=True)
        with open(os.path.join(self.config_dir, "config.ini"), "w") as f:
            f.write(f"[DEVICE]\nPort={self.device.link}\n")
        with open(os.path.join(self.config_dir, "monitor.conf"), "w") as f:
            f.write(f"replay = {readings}\n")
        for folder, _, files in os.walk(os.path.join(self.home, ".config")):
            for path in [folder] + [os.path.join(folder, n) for n in files]:
                os.chown(path, self.uid, self.gid)

    def env(self, display, all_lines):
        env = {"HOME": self.home, "USER": self.name, "LOGNAME": self.name,
               "PATH": "/usr/bin:/bin", "LANG": "C.UTF-8", "DISPLAY": display,
               "XDG_RUNTIME_DIR": self.runtime, "QT_QPA_PLATFORM": "xcb"}
        if all_lines:
            # Read by the test as a terminal would show them.
            env["QT_FORCE_STDERR_LOGGING"] = "1"
        return env

    def remove(self):
        self.device.unplug()
        subprocess.run(["userdel", "--remove", "--force", self.name], capture_output=True)


class Run:
    """`zolven` started as the user through runuser, in a session of its own (no terminal)."""

    def __init__(self, user, display, log_path, all_lines=True):
        env = [f"{k}={v}" for k, v in user.env(display, all_lines).items()]
        self.log = open(log_path, "w", encoding="utf-8")
        self.lines = []  # (arrival time, text)
        self.proc = subprocess.Popen(["runuser", "-u", user.name, "--", "env", "-i", *env,
                                      "zolven"], cwd="/", stdin=subprocess.DEVNULL,
                                     stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                     start_new_session=True)
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for raw in self.proc.stdout:
            text = raw.decode("utf-8", errors="replace").rstrip("\n")
            self.lines.append((time.monotonic(), text))
            self.log.write(text + "\n")
            self.log.flush()

    def with_text(self, text):
        return [entry for entry in list(self.lines) if text in entry[1]]

    def wait_line(self, text, timeout=60):
        def seen():
            found = self.with_text(text)
            if not found and self.proc.poll() is not None:
                raise Failure(f"zolven ended (code {self.proc.returncode}) before {text!r}")
            return found
        return wait_for(repr(text), seen, timeout)[0]

    def wait_exit(self, timeout=60):
        code = self.proc.wait(timeout)
        self.reader.join(10)
        return code

    def stop(self):
        """SIGTERM through runuser, which hands it on; anything left is killed by its pid."""
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(30)
            except subprocess.TimeoutExpired:
                pass
        for pid in descendants(self.proc.pid) + [self.proc.pid]:
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        self.proc.wait()
        self.reader.join(10)
        self.log.close()


def descendants(pid):
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open(f"/proc/{entry}/stat") as f:
                    ppid = int(f.read().rsplit(")", 1)[1].split()[1])
            except (OSError, IndexError, ValueError):
                continue
            children.setdefault(ppid, []).append(int(entry))
    found, todo = [], [pid]
    while todo:
        for child in children.get(todo.pop(), []):
            found.append(child)
            todo.append(child)
    return found


def tray_icon(x):
    def mapped():
        icon = x.tray_icon()
        return icon if icon and x.is_viewable(icon) else None
    return wait_for("the tray icon", mapped, timeout=60)


def quit_from_tray(x, run):
    icon = tray_icon(x)
    x.click(icon.x + icon.w // 2, icon.y + icon.h // 2, 3)

    def menu():
        for w in x.windows():
            if not w.ancestors and w.name == "ZOLVEN" and 1 < w.h < 100 and w.w != WINDOW_W \
                    and x.is_viewable(w):
                return w
        return None
    entry = wait_for("the tray menu", menu)
    x.click(entry.x + entry.w // 2, entry.y + entry.h // 2)
    return run.wait_exit()


def close_refusal(x, run):
    box = wait_for("the Oops box", lambda: x.top_level("Oops"))
    wait_for("the Oops box to show", lambda: x.is_viewable(box))
    bx, by, bw, bh = x.geometry(box)
    x.click(bx + bw - 50, by + bh - 23)
    try:
        wait_for("the box to close", lambda: run.proc.poll() is not None, timeout=5)
    except Failure:
        x.run(["xdotool", "windowfocus", box.id, "key", "Escape"])
    return run.wait_exit()


def scenario(work, x, a, b):
    logs = os.environ.get("ZOLVEN_PACKAGE_ARTIFACTS", work)
    first = Run(a, x.display, os.path.join(logs, "a-first.log"))
    runs = [first]
    try:
        first.wait_line("[setIndexLanguage]")
        tray_icon(x)
        settings = os.path.join(a.config_dir, "config.ini")
        check(first.with_text(f"[Config] Settings file : {settings}"),
              "A's settings are not in A's config folder")
        check(first.with_text(f"[Lock] Lock file path : {a.runtime}/ZOLVEN.lock"),
              "A's lock is not in A's runtime folder")
        check(first.with_text('[RunHwinfo] DLL path: "/usr/lib/zolven/config.dat"'),
              "the installed library was not loaded")
        ok_time = first.wait_line("open ok")[0]
        frames = a.device.wait_frames(4, timeout=60)
        expect_frames(frames, EXPECTED, "A's frames")
        check_schedule(ok_time, frames)

        # B, as from the menu: its own lock beside A's, its own display, a quiet journal.
        other = Run(b, x.display, os.path.join(logs, "b.log"), all_lines=False)
        runs.append(other)
        expect_frames(b.device.wait_frames(2, timeout=60), EXPECTED, "B's frames")
        check(other.proc.poll() is None, "B's copy ended")
        check(os.path.exists(os.path.join(b.runtime, "ZOLVEN.lock")), "B holds no lock")
        stray = [text for _, text in other.lines if text.startswith("[")]
        check(not stray and len(other.lines) <= 10,
              f"B, started with no terminal, logged {len(other.lines)} lines: {stray[:5]}")

        # A again: refused, while A's first copy and B go on.
        second = Run(a, x.display, os.path.join(logs, "a-second.log"))
        runs.append(second)
        second.wait_line(REFUSED)
        code = close_refusal(x, second)
        check(code == 1, f"A's second start exited with {code}, not 1")
        since = a.device.frame_count()
        expect_frames(a.device.wait_frames(2, since), EXPECTED, "A's frames after the refusal")

        other.stop()
        wait_for("B's tray icon to go", lambda: len([w for w in x.windows() if w.name == "ZOLVEN"
                                                     and any(p.name == "panel"
                                                             for p in w.ancestors)]) == 1)
        code = quit_from_tray(x, first)
        check(code == 0, f"A's copy exited with {code} after Quit ZOLVEN")
        check(first.with_text("Application exited with code: 0"), "A logged no exit line")
        with open(settings, encoding="utf-8") as f:
            text = f.read()
        check("Language=2" in text and f"Port={a.device.link}" in text,
              f"A's settings after quitting: {text!r}")
        entry = os.path.join(a.home, ".config", "autostart", "ZOLVEN.desktop")
        with open(entry, encoding="utf-8") as f:
            check('Exec="/usr/lib/zolven/ZOLVEN"' in f.read(),
                  "A's autostart entry names another program")
        check(not os.path.exists(os.path.join(a.runtime, "ZOLVEN.lock")), "A's lock stayed")
    finally:
        for run in runs:
            run.stop()


def main():
    for tool in ("Xvfb", "trayer", "xdotool", "xwininfo", "xdpyinfo", "runuser", "useradd"):
        if not shutil.which(tool):
            print("missing", tool)
            return 1
    check(os.geteuid() == 0, "run as root: it makes the users it runs the program as")
    check(shutil.which("zolven") == "/usr/bin/zolven", "the package is not installed")
    work = tempfile.mkdtemp(prefix="zolven-package-")
    os.chmod(work, 0o755)
    readings = os.path.join(work, "desktop.readings")
    shutil.copy(FIXTURE, readings)
    os.chmod(readings, 0o644)
    users, x = [], None
    started = time.monotonic()
    try:
        users = [User(name, work, readings) for name in ("zolven-ci-a", "zolven-ci-b")]
        x = XSession(work)
        scenario(work, x, *users)
        print(f"installed package as two users: passed in {time.monotonic() - started:.1f} s")
        return 0
    except Failure as e:
        print("installed package as two users: FAILED:", e)
        for name in sorted(os.listdir(work)):
            if name.endswith(".log"):
                with open(os.path.join(work, name), errors="replace") as f:
                    lines = [line for line in f.read().splitlines()
                             if not line.startswith(("[Item", "[Refresh", "tSensor", "tReading",
                                                     "value: ", "szUnits: "))]
                print(f"--- {name}:", *lines[-40:], sep="\n")
        return 1
    finally:
        if x:
            x.close()
        for user in users:
            user.remove()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
