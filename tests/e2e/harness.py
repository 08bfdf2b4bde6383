"""Drives the real ZOLVEN executable as a user meets it.

An X server of its own (Xvfb), Debian's trayer as the XEmbed tray, xdotool for the pointer,
ImageMagick's import for screenshots, a pseudo-terminal as the device and the test
hardware-monitor library as config.dat. Everything lives in one temporary directory: the
program's copy, its settings, the lock, the autostart entry. Standard library only.
"""

import configparser
import fcntl
import os
import re
import select
import shutil
import signal
import subprocess
import tempfile
import threading
import time
import tty

# Deadlines are generous: a loaded two-core machine may take many seconds to start the program.
TIMEOUT_SCALE = float(os.environ.get("ZOLVEN_E2E_TIMEOUT_SCALE", "1"))

SCREEN_W, SCREEN_H = 1280, 1024
WINDOW_W, WINDOW_H = 490, 800

FRAME_SIZE = 23
FRAME_MARK = 0x74
FRAME_MASK = 0xA5
# (field, offset, width): the frame's layout, read independently of the program's own decoder.
FRAME_FIELDS = (
    ("cpu_temp", 2, 1),
    ("cpu_fan", 3, 2),
    ("cpu_usage", 5, 1),
    ("cpu_clock", 6, 2),
    ("gpu_usage", 8, 1),
    ("gpu_clock", 9, 2),
    ("gpu_mem_used", 11, 4),
    ("gpu_mem_total", 15, 4),
    ("gpu_fan", 19, 2),
    ("gpu_temp", 21, 1),
    ("ram_usage", 22, 1),
)


class Failure(Exception):
    pass


def wait_for(what, predicate, timeout=20.0, interval=0.1):
    """Polls predicate until it returns something truthy, which is returned."""
    deadline = time.monotonic() + timeout * TIMEOUT_SCALE
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f"gave up waiting for {what} after {timeout * TIMEOUT_SCALE:.0f} s")
        time.sleep(interval)


def check(condition, message):
    if not condition:
        raise Failure(message)


def decode_frame(raw):
    """The fields of one 23-byte frame, each as the unsigned number of its width."""
    check(len(raw) == FRAME_SIZE, f"frame of {len(raw)} bytes")
    check(raw[0] == FRAME_MARK, f"frame mark {raw[0]:#04x}")
    clear = bytes(raw[:2]) + bytes(b ^ FRAME_MASK for b in raw[2:])
    fields = {"unit": raw[1]}
    for name, offset, width in FRAME_FIELDS:
        fields[name] = int.from_bytes(clear[offset:offset + width], "big")
    return fields


# --- X session --------------------------------------------------------------------------------

class XSession:
    """Xvfb on a display number it picks itself, with trayer docked at the bottom right."""

    def __init__(self, workdir):
        self.workdir = workdir
        self.procs = []
        try:
            self._start()
        except BaseException:
            self.close()
            raise

    def _start(self):
        workdir = self.workdir
        read_end, write_end = os.pipe()
        self._xvfb_log = open(os.path.join(workdir, "xvfb.log"), "wb")
        # -displayfd: the server takes the first free display and tells us which.
        self.procs.append(subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
             f"{SCREEN_W}x{SCREEN_H}x24", "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=self._xvfb_log, stderr=subprocess.STDOUT))
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 20 * TIMEOUT_SCALE
        while not number.endswith(b"\n"):
            ready, _, _ = select.select([read_end], [], [], 0.5)
            if ready:
                chunk = os.read(read_end, 16)
                if not chunk:
                    break
                number += chunk
            if time.monotonic() > deadline or self.procs[0].poll() is not None:
                break
        os.close(read_end)
        check(number.strip().isdigit(), "Xvfb did not start (see xvfb.log)")
        self.display = ":" + number.strip().decode()
        self.env = {"DISPLAY": self.display}
        wait_for("the X server", lambda: self.run(["xdpyinfo"], check_rc=False).returncode == 0)

        self._trayer_log = open(os.path.join(workdir, "trayer.log"), "wb")
        self.procs.append(subprocess.Popen(
            ["trayer", "--edge", "bottom", "--align", "right", "--widthtype", "pixel",
             "--width", "120", "--heighttype", "pixel", "--height", "32", "--tint",
             "0x333333", "--transparent", "false"],
            env=self.child_env(), stdout=self._trayer_log, stderr=subprocess.STDOUT))
        # The panel, and the small off-screen window that holds the tray selection.
        wait_for("the tray host", lambda: self.panel() and any(
            w.name == "trayer" and w.x <= -100 for w in self.windows()))

    def child_env(self, extra=None):
        env = dict(os.environ)
        env.update(self.env)
        env.update(extra or {})
        return env

    def run(self, args, check_rc=True, **kw):
        result = subprocess.run(args, env=self.child_env(), capture_output=True, timeout=30, **kw)
        if check_rc and result.returncode != 0:
            raise Failure(f"{' '.join(args)}: {result.stderr.decode(errors='replace')}")
        return result

    def close(self):
        for proc in reversed(self.procs):
            if proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(5)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()
        for log in ("_xvfb_log", "_trayer_log"):
            if hasattr(self, log):
                getattr(self, log).close()

    # Windows ------------------------------------------------------------------------------

    _TREE_LINE = re.compile(
        r'^(\s*)(0x[0-9a-f]+) (?:"(.*)"|\(has no name\)): \((.*)\)\s+'
        r'(\d+)x(\d+)\+(-?\d+)\+(-?\d+)\s+\+(-?\d+)\+(-?\d+)\s*$')

    def windows(self):
        """Every window below the root, with absolute positions and its chain of ancestors."""
        out = self.run(["xwininfo", "-root", "-tree"]).stdout.decode(errors="replace")
        found, stack = [], []
        for line in out.splitlines():
            m = self._TREE_LINE.match(line)
            if not m:
                continue
            indent = len(m.group(1))
            while stack and stack[-1][0] >= indent:
                stack.pop()
            win = Window(id=m.group(2), name=m.group(3) or "", wm_class=m.group(4),
                         w=int(m.group(5)), h=int(m.group(6)), x=int(m.group(9)),
                         y=int(m.group(10)), ancestors=[s[1] for s in stack])
            found.append(win)
            stack.append((indent, win))
        return found

    def panel(self):
        return next((w for w in self.windows() if w.name == "panel" and "trayer" in w.wm_class),
                    None)

    def tray_icon(self, name="ZOLVEN"):
        """The program's icon as trayer embedded it."""
        for w in self.windows():
            if w.name == name and any(a.name == "panel" for a in w.ancestors):
                return w
        return None

    def top_level(self, name_prefix, width=None):
        for w in self.windows():
            if not w.ancestors and w.name.startswith(name_prefix) and \
                    (width is None or w.w == width):
                return w
        return None

    def is_viewable(self, win):
        out = self.run(["xwininfo", "-id", win.id], check_rc=False).stdout.decode()
        return "IsViewable" in out

    def geometry(self, win):
        out = self.run(["xwininfo", "-id", win.id]).stdout.decode()
        values = {}
        for key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"):
            m = re.search(re.escape(key) + r":\s+(-?\d+)", out)
            values[key] = int(m.group(1))
        return (values["Absolute upper-left X"], values["Absolute upper-left Y"],
                values["Width"], values["Height"])

    # Pointer and screen -------------------------------------------------------------------

    def click(self, x, y, button=1):
        # One command: the server takes the move before the press. (--sync would wait for a
        # move that never comes when the pointer is already there.)
        self.run(["xdotool", "mousemove", str(x), str(y), "click", str(button)])

    def park_pointer(self):
        """Off every window, so no hover look is in a screenshot."""
        self.run(["xdotool", "mousemove", str(SCREEN_W - 300), "300"])

    def screenshot(self, path, box=None):
        args = ["import", "-window", "root"]
        if box:
            x, y, w, h = box
            args += ["-crop", f"{w}x{h}+{x}+{y}", "+repage"]
        self.run(args + [path])

    def grab(self, box):
        """Pixels of a screen box as an Image."""
        x, y, w, h = box
        ppm = self.run(["import", "-window", "root", "-crop", f"{w}x{h}+{x}+{y}", "+repage",
                        "-depth", "8", "ppm:-"]).stdout
        return Image.from_ppm(ppm)


class Window:
    def __init__(self, id, name, wm_class, w, h, x, y, ancestors):
        self.id, self.name, self.wm_class = id, name, wm_class
        self.w, self.h, self.x, self.y = w, h, x, y
        self.ancestors = ancestors

    def __repr__(self):
        return f"<{self.id} {self.name!r} {self.w}x{self.h}+{self.x}+{self.y}>"


class Image:
    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    @staticmethod
    def from_ppm(data):
        m = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", data)
        if not m:
            raise Failure("import gave no PPM image")
        width, height = int(m.group(1)), int(m.group(2))
        return Image(width, height, data[m.end():m.end() + width * height * 3])

    def pixels(self):
        rgb = self.rgb
        return (rgb[i:i + 3] for i in range(0, len(rgb), 3))

    def count(self, predicate):
        return sum(1 for p in self.pixels() if predicate(p[0], p[1], p[2]))

    def difference(self, other):
        """Share of pixels that differ noticeably (any channel by more than 24)."""
        check(len(self.rgb) == len(other.rgb), "compared images differ in size")
        a, b = self.rgb, other.rgb
        differing = 0
        for i in range(0, len(a), 3):
            if abs(a[i] - b[i]) > 24 or abs(a[i + 1] - b[i + 1]) > 24 or \
                    abs(a[i + 2] - b[i + 2]) > 24:
                differing += 1
        return differing / (len(a) // 3)


# --- The device ---------------------------------------------------------------------------------

class PtyDevice:
    """The device end of a pseudo-terminal, reached by the program through a fixed path.

    config.ini's Port names a symbolic link that points at the current pty's slave, the way a
    udev by-id link follows a USB device. Unplugging closes our end (the program's writes start
    failing) and removes the link; plugging in again opens a new pty and points the link at it.
    """

    def __init__(self, link):
        self.link = link
        self.master = -1
        self.frames = []  # (arrival time, 23 raw bytes), across every plug
        self.stray = bytearray()  # bytes that were not a frame
        self.plugs = 0
        self._lock = threading.Lock()
        self._stop = threading.Event()
        self._thread = None

    def plug(self):
        check(self.master < 0, "device already plugged in")
        master, slave = os.openpty()
        # Raw from the start, so no line discipline rewrites a byte even before the program
        # sets the port up.
        tty.setraw(slave)
        name = os.ttyname(slave)
        os.close(slave)
        fcntl.fcntl(master, fcntl.F_SETFL, fcntl.fcntl(master, fcntl.F_GETFL) | os.O_NONBLOCK)
        self.master = master
        self.plugs += 1
        staged = self.link + ".new"
        if os.path.lexists(staged):
            os.unlink(staged)
        os.symlink(name, staged)
        os.replace(staged, self.link)
        self._stop.clear()
        self._thread = threading.Thread(target=self._read, args=(master,), daemon=True)
        self._thread.start()
        return name

    def unplug(self):
        if self.master < 0:
            return
        self._stop.set()
        self._thread.join()
        if os.path.lexists(self.link):
            os.unlink(self.link)
        os.close(self.master)
        self.master = -1

    def _read(self, master):
        pending = bytearray()
        while not self._stop.is_set():
            ready, _, _ = select.select([master], [], [], 0.1)
            if not ready:
                continue
            try:
                chunk = os.read(master, 4096)
            except BlockingIOError:
                continue
            except OSError:
                # EIO while no one holds the slave open.
                time.sleep(0.05)
                continue
            now = time.monotonic()
            pending += chunk
            with self._lock:
                while len(pending) >= FRAME_SIZE:
                    if pending[0] != FRAME_MARK or pending[1] not in (0, 1):
                        self.stray.append(pending.pop(0))
                        continue
                    self.frames.append((now, bytes(pending[:FRAME_SIZE])))
                    del pending[:FRAME_SIZE]

    def frame_count(self):
        with self._lock:
            return len(self.frames)

    def frames_since(self, index):
        with self._lock:
            return list(self.frames[index:])

    def wait_frames(self, count, since=0, timeout=30):
        wait_for(f"{count} frame(s) on the device",
                 lambda: self.frame_count() - since >= count, timeout)
        return self.frames_since(since)


# --- The program ----------------------------------------------------------------------------

class AppDir:
    """A directory holding the program's copy, config.dat, its readings and config.ini, and
    the temporary home, lock and runtime directories of one user."""

    def __init__(self, root, exe, monitor, readings, port):
        self.root = root
        self.dir = os.path.join(root, "app")
        for sub in ("app", "home", "xdg", "tmp", "run", "dev"):
            os.makedirs(os.path.join(root, sub), exist_ok=True)
        os.chmod(os.path.join(root, "run"), 0o700)
        # A copy, not a link: the application directory is where the executable really is.
        self.exe = os.path.join(self.dir, "ZOLVEN")
        shutil.copy2(exe, self.exe)
        shutil.copy2(monitor, os.path.join(self.dir, "config.dat"))
        shutil.copy2(readings, os.path.join(self.dir, "config.readings"))
        self.config_path = os.path.join(self.dir, "config.ini")
        self.port = port
        self.write_config(f"[DEVICE]\nPort={port}\n")

    @property
    def lock_path(self):
        return os.path.join(self.root, "tmp", "ZOLVEN.lock")

    @property
    def autostart_entry(self):
        return os.path.join(self.root, "xdg", "autostart", "ZOLVEN.desktop")

    def env(self):
        return {
            "HOME": os.path.join(self.root, "home"),
            "XDG_CONFIG_HOME": os.path.join(self.root, "xdg"),
            "XDG_CACHE_HOME": os.path.join(self.root, "home", ".cache"),
            "XDG_DATA_HOME": os.path.join(self.root, "home", ".local", "share"),
            "XDG_RUNTIME_DIR": os.path.join(self.root, "run"),
            "TMPDIR": os.path.join(self.root, "tmp"),
            "LANG": "C.UTF-8",
            "QT_QPA_PLATFORM": "xcb",
            # Qt may send its log to the journal when stderr is no terminal.
            "QT_FORCE_STDERR_LOGGING": "1",
        }

    def write_config(self, text):
        with open(self.config_path, "w", encoding="utf-8") as f:
            f.write(text)

    def read_config_text(self):
        with open(self.config_path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def settings(self):
        """config.ini as {group: {key: value}}, with the INI format's escapes undone and the
        group of the three settings under "GENERAL" whatever case the file gives it."""
        parser = configparser.RawConfigParser(strict=False)
        parser.optionxform = str
        parser.read_string(self.read_config_text())
        result = {}
        for section in parser.sections():
            name = section.lstrip("%")
            if name.upper() == "GENERAL":
                name = "GENERAL"
            group = result.setdefault(name, {})
            for key, value in parser.items(section):
                group[key.replace("%20", " ")] = value
        return result


# Variables of the caller's environment that would point the program elsewhere.
_SCRUBBED = ("DBUS_SESSION_BUS_ADDRESS", "WAYLAND_DISPLAY", "QT_LOGGING_RULES",
             "QT_MESSAGE_PATTERN", "ZOLVEN_READINGS", "ZOLVEN_MONITOR_CONFIG", "QT_QUICK_BACKEND",
             "QT_QPA_PLATFORMTHEME", "QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS")


class Program:
    """One run of the program with its log captured line by line."""

    def __init__(self, app, xsession, log_path):
        self.log_path = log_path
        env = xsession.child_env(app.env())
        for name in _SCRUBBED:
            env.pop(name, None)
        self._log = open(log_path, "w", encoding="utf-8")
        self._lines = []  # (arrival time, text)
        self._lock = threading.Lock()
        self.proc = subprocess.Popen([app.exe], cwd=app.dir, env=env, stdin=subprocess.DEVNULL,
                                     stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()

    def _read(self):
        for raw in self.proc.stdout:
            text = raw.decode("utf-8", errors="replace").rstrip("\n")
            with self._lock:
                self._lines.append((time.monotonic(), text))
            self._log.write(text + "\n")
            self._log.flush()

    def lines(self, containing=None):
        with self._lock:
            return [entry for entry in self._lines if containing is None or containing in entry[1]]

    def count(self, text):
        return len(self.lines(text))

    def wait_line(self, text, count=1, timeout=30):
        """Waits until count log lines contain text; returns those lines with their times."""
        def seen():
            found = self.lines(text)
            if len(found) >= count:
                return found
            if self.proc.poll() is not None:
                raise Failure(f"the program ended (code {self.proc.returncode}) before "
                              f"logging {text!r}")
            return None
        return wait_for(f"{count} log line(s) with {text!r}", seen, timeout)

    def running(self):
        return self.proc.poll() is None

    def wait_exit(self, timeout=30):
        try:
            code = self.proc.wait(timeout * TIMEOUT_SCALE)
        except subprocess.TimeoutExpired:
            raise Failure(f"the program did not exit within {timeout * TIMEOUT_SCALE:.0f} s")
        self._reader.join(10)
        return code

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGKILL)
            self.proc.wait()
        self._reader.join(10)
        if not self._log.closed:
            self._log.close()

    # The per-pass and start-up dumps would bury everything else in a failure report.
    _ROUTINE = ("[Item Refresh]", "[Item Found]", "[Refresh data]", "tSensorLocation.",
                "tReadingLocation.", "tReadingType.", "value: ", "szUnits: ")

    def tail(self, count=60):
        lines = [text for _, text in self.lines() if not text.startswith(self._ROUTINE)]
        return "\n".join(lines[-count:])


def make_workdir(prefix):
    return tempfile.mkdtemp(prefix=prefix)
