#!/usr/bin/python3
"""The service and the tray program on one display's port, as two users.

    side_by_side.py --service <zolvend> --tray <ZOLVEN> --monitor <config.dat> --readings <file>

One pseudo-terminal stands for the display, its slave owned by root and opened to a group
only, as udev gives a USB serial port to dialout. The service sends Celsius frames, the tray
program Fahrenheit ones, so every frame tells who sent it. Whichever opens the port first
keeps it: the other never gets a frame through, never tears or interleaves one, says "open
error" once rather than at each check and stays disconnected; once the first one stops, the
service takes the port over. As root each program runs as an ordinary user (TIOCEXCL, which
holds the port, does not stop root): the service as nobody, the tray program as a user made for
the test. Exit code 77 when that user cannot be made.
"""

import argparse
import grp
import os
import pwd
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../tools/harness"))
from zolven_harness.basics import TIMEOUT_SCALE, Failure, check, stop_process, wait_for  # noqa: E402
from zolven_harness.device import PtyDevice  # noqa: E402
from zolven_harness.frame import decode  # noqa: E402

TRAY_USER = "zolven-side"
PORT_GROUP = "dialout"
# Checks the second program is given to try the port, each second.
TRIES = 8


class Run:
    """One program as one user, its output kept line by line."""

    def __init__(self, name, argv, cwd, env, user, log_dir):
        self.name = name
        self._lines = []
        self._lock = threading.Lock()
        self._log = open(os.path.join(log_dir, name + ".log"), "w", encoding="utf-8")
        kwargs = {}
        if user is not None:
            kwargs = {"user": user.pw_uid, "group": user.pw_gid,
                      "extra_groups": [grp.getgrnam(PORT_GROUP).gr_gid]}
        self.proc = subprocess.Popen(argv, cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                                     stdout=subprocess.PIPE, stderr=subprocess.STDOUT, **kwargs)
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()

    def _read(self):
        for raw in self.proc.stdout:
            text = raw.decode("utf-8", errors="replace").rstrip("\n")
            with self._lock:
                self._lines.append(text)
            self._log.write(text + "\n")
            self._log.flush()

    def count(self, text):
        with self._lock:
            return sum(text in line for line in self._lines)

    def wait_line(self, text, count=1, timeout=60):
        def seen():
            if self.count(text) >= count:
                return True
            if self.proc.poll() is not None:
                raise Failure(f"{self.name} ended (code {self.proc.returncode}) before "
                              f"logging {text!r} {count} time(s)")
            return False
        wait_for(f"{count} line(s) {text!r} from {self.name}", seen, timeout)

    def stop(self):
        code = stop_process(self.proc, 20 * TIMEOUT_SCALE)
        self._reader.join(10)
        self._log.close()
        return code

    def tail(self, count=40):
        with self._lock:
            lines = [line for line in self._lines if not line.startswith(
                ("[Item Refresh]", "[Item Found]", "[Refresh data]", "tSensorLocation.",
                 "tReadingLocation.", "tReadingType.", "value: ", "szUnits: "))]
        return "\n".join(lines[-count:])


def user_dir(path, user, mode=0o755):
    os.makedirs(path, exist_ok=True)
    os.chmod(path, mode)
    if user is not None:
        os.chown(path, user.pw_uid, user.pw_gid)
    return path


class Setup:
    def __init__(self, args, work):
        self.args = args
        self.work = work
        self.logs = os.path.join(work, "logs")
        os.makedirs(self.logs)
        self.root = os.geteuid() == 0
        self.service_user = pwd.getpwnam("nobody") if self.root else None
        self.tray_user = pwd.getpwnam(TRAY_USER) if self.root else None

        # The service as installed: its program and config.dat side by side in a folder it may
        # not write, its configuration elsewhere and read only.
        self.service_dir = user_dir(os.path.join(work, "service"), None)
        shutil.copy2(args.service, os.path.join(self.service_dir, "zolvend"))
        shutil.copy2(args.monitor, os.path.join(self.service_dir, "config.dat"))
        shutil.copy2(args.readings, os.path.join(self.service_dir, "config.readings"))
        self.service_config = os.path.join(self.service_dir, "config.ini")

        # The tray program in a folder of its user's, config.ini beside it.
        home = user_dir(os.path.join(work, "tray"), self.tray_user)
        self.tray_dir = user_dir(os.path.join(home, "app"), self.tray_user)
        self.tray_env_dirs = {name: user_dir(os.path.join(home, name), self.tray_user, 0o700)
                              for name in ("home", "xdg", "run", "tmp")}
        shutil.copy2(args.tray, os.path.join(self.tray_dir, "ZOLVEN"))
        shutil.copy2(args.monitor, os.path.join(self.tray_dir, "config.dat"))
        shutil.copy2(args.readings, os.path.join(self.tray_dir, "config.readings"))
        for name in ("ZOLVEN", "config.dat", "config.readings"):
            if self.tray_user is not None:
                os.chown(os.path.join(self.tray_dir, name), self.tray_user.pw_uid,
                         self.tray_user.pw_gid)
        self.tray_config = os.path.join(self.tray_dir, "config.ini")

    def plug(self):
        device = PtyDevice()
        if self.root:
            os.chown(device.path, 0, grp.getgrnam(PORT_GROUP).gr_gid)
            os.chmod(device.path, 0o660)
        with open(self.service_config, "w", encoding="utf-8") as f:
            f.write(f"[General]\nShow Fah=false\n\n[DEVICE]\nPort={device.path}\n")
        with open(self.tray_config, "w", encoding="utf-8") as f:
            f.write(f"[%General]\nAuto%20Run=false\nLanguage=2\nShow%20Fah=true\n\n"
                    f"[DEVICE]\nPort={device.path}\n")
        if self.tray_user is not None:
            os.chown(self.tray_config, self.tray_user.pw_uid, self.tray_user.pw_gid)
        return device

    def base_env(self):
        return {"PATH": "/usr/sbin:/usr/bin:/sbin:/bin", "LANG": "C.UTF-8",
                "QT_FORCE_STDERR_LOGGING": "1"}

    def start_service(self, label):
        # The unit's environment: no home, no runtime folder, no bus; the library's settings
        # file named and absent.
        env = self.base_env()
        env["ZOLVEN_MONITOR_CONFIG"] = os.path.join(self.service_dir, "monitor.conf")
        return Run(label, [os.path.join(self.service_dir, "zolvend"), "--config",
                           self.service_config], self.service_dir, env, self.service_user,
                   self.logs)

    def start_tray(self, label):
        env = self.base_env()
        dirs = self.tray_env_dirs
        env.update({"HOME": dirs["home"], "XDG_CONFIG_HOME": dirs["xdg"],
                    "XDG_RUNTIME_DIR": dirs["run"], "TMPDIR": dirs["tmp"],
                    "QT_QPA_PLATFORM": "offscreen"})
        return Run(label, [os.path.join(self.tray_dir, "ZOLVEN")], self.tray_dir, env,
                   self.tray_user, self.logs)


def frames_of(device, since, fahrenheit, what):
    frames = device.frames_since(since)
    flags = {decode(raw)["fahrenheit"] for _, raw in frames}
    check(flags <= {fahrenheit}, f"{what}: frames of the other program reached the display")
    check(not device.stray, f"{what}: torn or interleaved frames, stray bytes "
                            f"{bytes(device.stray[:46]).hex(' ')}")
    return frames


def wait_checks(tray, count):
    """The tray program's clock: it refreshes once a second, as it checks the port."""
    done = tray.count("[Refresh data] Refresh done")
    tray.wait_line("[Refresh data] Refresh done", done + count, timeout=30 + 3 * count)


def service_first(s):
    """The service holds the port; the tray program started later gets nothing through."""
    device = s.plug()
    service = s.start_service("service-first.zolvend")
    tray = None
    try:
        service.wait_line("Connected to the display")
        device.wait_frames(2, timeout=60)
        since = device.frame_count()
        tray = s.start_tray("service-first.tray")
        tray.wait_line("open error")
        wait_checks(tray, TRIES)
        check(tray.count("open error") == 1,
              f"the tray program said \"open error\" {tray.count('open error')} times in "
              f"{TRIES} checks, not once")
        check(tray.count("open ok") == 0, "the tray program opened the port the service holds")
        frames = frames_of(device, since, 0, "service first")
        check(len(frames) >= TRIES // 2, f"only {len(frames)} frames while the tray program "
                                         "waited: the service lost the port")
        check(service.count("Lost the display") == 0, "the service lost the port")
        check(tray.stop() == 0, "the tray program did not end with 0")
        tray = None
        check(service.stop() == 0, "the service did not end with 0")
        print(f"service first: {len(frames)} service frames while the tray program waited, "
              "one \"open error\"")
    except Failure:
        for run in (service, tray):
            if run is not None:
                print(f"--- {run.name}:\n{run.tail()}", file=sys.stderr)
        raise
    finally:
        for run in (tray, service):
            if run is not None and run.proc.poll() is None:
                run.stop()
        device.close()


def tray_first(s):
    """The tray program holds the port; the service waits, then takes over once it ends."""
    device = s.plug()
    tray = s.start_tray("tray-first.tray")
    service = None
    try:
        tray.wait_line("open ok")
        device.wait_frames(2, timeout=90)
        since = device.frame_count()
        service = s.start_service("tray-first.zolvend")
        wait_checks(tray, TRIES)
        check(service.count("Connected to the display") == 0,
              "the service opened the port the tray program holds")
        check(tray.count("open ok") == 1 and tray.count("open error") == 0,
              "the tray program's link was disturbed")
        frames_of(device, since, 1, "tray first")
        check(tray.stop() == 0, "the tray program did not end with 0")
        tray = None
        since = device.frame_count()
        service.wait_line("Connected to the display", timeout=30)
        device.wait_frames(2, since, timeout=60)
        frames_of(device, since, 0, "the service after the tray program")
        check(service.stop() == 0, "the service did not end with 0")
        print("tray first: the service waited, then fed the display once the tray program ended")
    except Failure:
        for run in (tray, service):
            if run is not None:
                print(f"--- {run.name}:\n{run.tail()}", file=sys.stderr)
        raise
    finally:
        for run in (tray, service):
            if run is not None and run.proc.poll() is None:
                run.stop()
        device.close()


def ensure_user():
    try:
        pwd.getpwnam(TRAY_USER)
        return True
    except KeyError:
        pass
    result = subprocess.run(["useradd", "--system", "--no-create-home", "--shell",
                             "/usr/sbin/nologin", TRAY_USER], capture_output=True, text=True)
    if result.returncode != 0:
        print(f"useradd {TRAY_USER}: {result.stderr.strip()}")
        return False
    return True


def main():
    parser = argparse.ArgumentParser()
    for name in ("service", "tray", "monitor", "readings"):
        parser.add_argument("--" + name, required=True)
    args = parser.parse_args()

    if os.geteuid() == 0:
        try:
            grp.getgrnam(PORT_GROUP)
        except KeyError:
            print(f"skipped: no group {PORT_GROUP}")
            return 77
        if not ensure_user():
            print("skipped: the second user could not be made")
            return 77
    else:
        print("not root: both programs run as this user")

    work = tempfile.mkdtemp(prefix="zolven-side-")
    os.chmod(work, 0o755)
    keep = False
    try:
        s = Setup(args, work)
        service_first(s)
        tray_first(s)
    except Failure as failure:
        keep = True
        print(f"FAIL: {failure} (logs in {work}/logs)", file=sys.stderr)
        return 1
    finally:
        if not keep:
            shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    sys.exit(main())
