"""What the whole-program benchmarks share: an X session with a tray, pseudo-terminals that
stand for the device and decode its frames, a sandbox to run the real program in, and meters
for a process's CPU time and memory. Python's standard library only (ctypes for Xlib)."""

import ctypes
import os
import select
import shutil
import signal
import statistics
import subprocess
import tempfile
import threading
import time
import tty

now = time.monotonic

# --- frames -------------------------------------------------------------------------------

FRAME_SIZE = 23
FIELDS = (  # name, offset, width (big-endian, XOR 0xA5); see device/Frame.h
    ("cpu_temp", 2, 1), ("cpu_fan", 3, 2), ("cpu_load", 5, 1), ("cpu_clock", 6, 2),
    ("gpu_load", 8, 1), ("gpu_clock", 9, 2), ("gpu_mem_used", 11, 4), ("gpu_mem_total", 15, 4),
    ("gpu_fan", 19, 2), ("gpu_temp", 21, 1), ("ram_load", 22, 1))


def decode(frame):
    out = {"fahrenheit": frame[1]}
    for name, off, width in FIELDS:
        v = 0
        for b in frame[off:off + width]:
            v = (v << 8) | (b ^ 0xA5)
        out[name] = v
    return out


class PtyDevice:
    """A pseudo-terminal standing for the device: the program writes to its slave path, a
    thread reads the master end and keeps each whole frame with the time it arrived. The
    slave stays open here too, so the master never sees a hang-up between connections."""

    def __init__(self):
        self.master, self.slave = os.openpty()
        tty.setraw(self.slave)
        self.path = os.ttyname(self.slave)
        self.frames = []  # (arrival time, decoded frame)
        self.skipped = 0
        self._stop = False
        self._thread = threading.Thread(target=self._read, daemon=True)
        self._thread.start()

    def _read(self):
        pending = b""
        while not self._stop:
            ready, _, _ = select.select([self.master], [], [], 0.2)
            if not ready:
                continue
            try:
                data = os.read(self.master, 4096)
            except OSError:
                time.sleep(0.05)
                continue
            t = now()
            pending += data
            while True:
                start = 0
                while start < len(pending) and not (
                        pending[start] == 0x74 and (start + 1 >= len(pending)
                                                    or pending[start + 1] <= 1)):
                    start += 1
                self.skipped += start
                pending = pending[start:]
                if len(pending) < FRAME_SIZE:
                    break
                self.frames.append((t, decode(pending[:FRAME_SIZE])))
                pending = pending[FRAME_SIZE:]

    def count(self):
        return len(self.frames)

    def close(self):
        self._stop = True
        self._thread.join(1)
        os.close(self.master)
        os.close(self.slave)


# --- meters -------------------------------------------------------------------------------

class ProcessMeter:
    """CPU time of every thread of a process in nanoseconds (schedstat), keeping what a thread
    that has ended had used when last seen; memory from status and smaps_rollup."""

    def __init__(self, pid):
        self.pid = pid
        self.seen = {}
        self.names = {}

    def cpu_ns(self):
        base = "/proc/%d/task" % self.pid
        try:
            tids = os.listdir(base)
        except OSError:
            return sum(self.seen.values())
        for tid in tids:
            try:
                with open("%s/%s/schedstat" % (base, tid)) as f:
                    self.seen[tid] = int(f.read().split()[0])
                if tid not in self.names:
                    with open("%s/%s/comm" % (base, tid)) as f:
                        self.names[tid] = f.read().strip()
            except (OSError, ValueError, IndexError):
                pass
        return sum(self.seen.values())

    def by_thread(self):
        """CPU nanoseconds per thread name, the main thread as "main"."""
        out = {}
        for tid, ns in self.seen.items():
            name = "main" if tid == str(self.pid) else self.names.get(tid, "?")
            out[name] = out.get(name, 0) + ns
        return out

    def memory_kb(self):
        """VmRSS, RssAnon and Pss in kB."""
        out = {}
        try:
            with open("/proc/%d/status" % self.pid) as f:
                for line in f:
                    key, _, rest = line.partition(":")
                    if key in ("VmRSS", "RssAnon", "RssFile"):
                        out[key] = int(rest.split()[0])
            with open("/proc/%d/smaps_rollup" % self.pid) as f:
                for line in f:
                    if line.startswith("Pss:"):
                        out["Pss"] = int(line.split()[1])
        except OSError:
            pass
        return out


class Phase:
    """Measures a set of processes side by side over the same wall-clock window."""

    def __init__(self, entries):
        self.entries = entries  # name -> (ProcessMeter, PtyDevice or None)

    def run(self, seconds, tick=1.0):
        start = {n: (m.cpu_ns(), d.count() if d else 0) for n, (m, d) in self.entries.items()}
        threads = {n: m.by_thread() for n, (m, _) in self.entries.items()}
        t0 = now()
        mem = {n: [] for n in self.entries}
        while now() - t0 < seconds:
            time.sleep(min(tick, max(0.0, seconds - (now() - t0))))
            for n, (m, _) in self.entries.items():
                m.cpu_ns()  # keeps threads that may end before the window does
                mem[n].append(m.memory_kb())
        wall = now() - t0
        result = {}
        for n, (m, d) in self.entries.items():
            cpu = (m.cpu_ns() - start[n][0]) / 1e9
            samples = [s for s in mem[n] if "VmRSS" in s]

            def med(key, samples=samples):
                values = [s[key] for s in samples if key in s]
                return statistics.median(values) / 1024 if values else float("nan")

            result[n] = {
                "wall": wall,
                "cpu_s": cpu,
                "cpu_ms_per_min": cpu * 1000 * 60 / wall,
                "core_percent": 100 * cpu / wall,
                "rss_mb": med("VmRSS"),
                "rss_max_mb": max((s["VmRSS"] for s in samples), default=0) / 1024,
                "anon_mb": med("RssAnon"),
                "pss_mb": med("Pss"),
                "frames": (d.count() - start[n][1]) if d else None,
                "threads_ms_per_min": {
                    t: (ns - threads[n].get(t, 0)) / 1e6 * 60 / wall
                    for t, ns in m.by_thread().items()},
            }
        return result


# --- X session ------------------------------------------------------------------------------

class _XWindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int),
                ("height", ctypes.c_int), ("border_width", ctypes.c_int),
                ("depth", ctypes.c_int), ("visual", ctypes.c_void_p),
                ("root", ctypes.c_ulong), ("class_", ctypes.c_int),
                ("bit_gravity", ctypes.c_int), ("win_gravity", ctypes.c_int),
                ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
                ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int),
                ("colormap", ctypes.c_ulong), ("map_installed", ctypes.c_int),
                ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]


_ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
IS_VIEWABLE = 2
CLIENT_ID_MASK = 0x1FFFFF  # the X server's resource-id mask per client (Xvfb's)


class XView:
    """Reads the window tree in-process, cheap enough to poll every few milliseconds.
    Windows may vanish between calls: X errors are ignored, not fatal."""

    def __init__(self, display):
        self.x = ctypes.cdll.LoadLibrary("libX11.so.6")
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                      ctypes.POINTER(ctypes.c_ulong),
                                      ctypes.POINTER(ctypes.c_ulong),
                                      ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                                      ctypes.POINTER(ctypes.c_uint)]
        self.x.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                      ctypes.POINTER(ctypes.c_char_p)]
        self.x.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                                ctypes.POINTER(_XWindowAttributes)]
        self.x.XFree.argtypes = [ctypes.c_void_p]
        self._handler = _ERROR_HANDLER(lambda d, e: 0)
        self.x.XSetErrorHandler(self._handler)
        self.dpy = self.x.XOpenDisplay(display.encode())
        if not self.dpy:
            raise RuntimeError("cannot open display " + display)
        self.root = self.x.XDefaultRootWindow(self.dpy)

    def children(self, w):
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        kids, n = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
        if not self.x.XQueryTree(self.dpy, w, ctypes.byref(root), ctypes.byref(parent),
                                 ctypes.byref(kids), ctypes.byref(n)):
            return []
        out = [kids[i] for i in range(n.value)]
        if kids:
            self.x.XFree(kids)
        return out

    def name(self, w):
        p = ctypes.c_char_p()
        if not self.x.XFetchName(self.dpy, w, ctypes.byref(p)) or not p.value:
            return ""
        value = p.value.decode(errors="replace")
        self.x.XFree(p)
        return value

    def attributes(self, w):
        a = _XWindowAttributes()
        return a if self.x.XGetWindowAttributes(self.dpy, w, ctypes.byref(a)) else None

    def descendants(self, w):
        stack = list(self.children(w))
        while stack:
            c = stack.pop()
            yield c
            stack.extend(self.children(c))

    def tray_icon(self):
        """The viewable window that the tray (trayer's "panel") has embedded from another
        client: the first resource-id bits name the client that created a window."""
        for top in self.children(self.root):
            if self.name(top) != "panel":
                continue
            for w in self.descendants(top):
                if w & ~CLIENT_ID_MASK != top & ~CLIENT_ID_MASK:
                    a = self.attributes(w)
                    if a and a.map_state == IS_VIEWABLE:
                        return w
        return None

    def top_level(self, name, width):
        """(window, viewable) for the top-level window called name of that width."""
        for w in self.children(self.root):
            if self.name(w) == name:
                a = self.attributes(w)
                if a and a.width == width:
                    return w, a.map_state == IS_VIEWABLE
        return None, False


class XSession:
    """Xvfb on a free display number with trayer as the XEmbed tray."""

    def __init__(self, workdir):
        self.workdir = workdir
        self.procs = []
        n = 90
        while os.path.exists("/tmp/.X11-unix/X%d" % n) or os.path.exists("/tmp/.X%d-lock" % n):
            n += 1
        self.display = ":%d" % n

    def start(self):
        log = open(os.path.join(self.workdir, "xvfb.log"), "w")
        self.procs.append(subprocess.Popen(
            ["Xvfb", self.display, "-screen", "0", "1000x900x24", "-nolisten", "tcp"],
            stdout=log, stderr=log))
        wait_for(lambda: os.path.exists("/tmp/.X11-unix/X" + self.display[1:]), 20, "Xvfb")
        self.view = wait_for(lambda: _try(lambda: XView(self.display)), 20, "the X display")
        log = open(os.path.join(self.workdir, "trayer.log"), "w")
        self.procs.append(subprocess.Popen(
            ["trayer", "--edge", "bottom", "--align", "right", "--widthtype", "pixel", "--width",
             "120", "--heighttype", "pixel", "--height", "32", "--tint", "0x333333",
             "--transparent", "false"], stdout=log, stderr=log,
            env=dict(os.environ, DISPLAY=self.display)))
        wait_for(lambda: any(self.view.name(w) == "panel"
                             for w in self.view.children(self.view.root)), 20, "trayer")
        time.sleep(0.5)  # the tray selection is claimed after the panel shows
        return self

    def click(self, window, x=8, y=8):
        """A left click at (x, y) inside window."""
        subprocess.run(["xdotool", "mousemove", "--window", str(window), str(x), str(y),
                        "click", "1"], env=dict(os.environ, DISPLAY=self.display), check=True)

    def stop(self):
        for p in reversed(self.procs):
            stop_process(p)


def _try(f):
    try:
        return f()
    except Exception:
        return None


def wait_for(condition, seconds, what, step=0.05):
    deadline = now() + seconds
    while now() < deadline:
        v = condition()
        if v:
            return v
        time.sleep(step)
    raise RuntimeError("timed out waiting for " + what)


def stop_process(p, seconds=10):
    if p.poll() is not None:
        return p.returncode
    p.send_signal(signal.SIGTERM)
    try:
        return p.wait(seconds)
    except subprocess.TimeoutExpired:
        p.kill()
        return p.wait()


# --- the program in a sandbox ---------------------------------------------------------------

class Sandbox:
    """A temporary application directory (ZOLVEN, config.dat, config.ini, optional readings)
    with its own home, config, runtime and temporary directories, so nothing of the user's is
    touched and every start has a fresh lock."""

    def __init__(self, build, library, port=None, readings=None, root=None):
        self.dir = tempfile.mkdtemp(prefix="zolven-bench-", dir=root)
        self.app = os.path.join(self.dir, "app")
        for sub in ("app", "home", "xdg", "tmp", "run"):
            os.makedirs(os.path.join(self.dir, sub))
        os.chmod(os.path.join(self.dir, "run"), 0o700)
        shutil.copy2(os.path.join(build, "bin", "ZOLVEN"), self.app)
        shutil.copy2(library, os.path.join(self.app, "config.dat"))
        if readings:
            with open(os.path.join(self.app, "config.readings"), "w") as f:
                f.write(readings)
        # As the program writes it; autostart off, so no entry is written even into the sandbox.
        ini = "[%General]\nAuto%20Run=false\nLanguage=2\nShow%20Fah=false\n"
        if port:
            ini += "\n[DEVICE]\nPort=%s\n" % port
        with open(os.path.join(self.app, "config.ini"), "w") as f:
            f.write(ini)
        self.proc = None
        self.lines = []  # (arrival time, stderr line)
        self.extra_env = {}

    def env(self, display):
        env = {k: v for k, v in os.environ.items() if not k.startswith(("QT_", "ZOLVEN_"))}
        env.update(DISPLAY=display, HOME=os.path.join(self.dir, "home"),
                   XDG_CONFIG_HOME=os.path.join(self.dir, "xdg"),
                   XDG_RUNTIME_DIR=os.path.join(self.dir, "run"),
                   TMPDIR=os.path.join(self.dir, "tmp"),
                   XDG_CACHE_HOME=os.path.join(self.dir, "home", ".cache"))
        env.update(self.extra_env)
        return env

    def start(self, display, executable=None, args=()):
        self.proc = subprocess.Popen([executable or os.path.join(self.app, "ZOLVEN"), *args],
                                     cwd=self.app, env=self.env(display),
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.PIPE)
        threading.Thread(target=self._collect, args=(self.proc.stderr,), daemon=True).start()
        return self.proc

    def _collect(self, stream):
        for raw in iter(stream.readline, b""):
            self.lines.append((now(), raw.decode(errors="replace").rstrip("\n")))

    def first_line(self, text):
        for t, line in self.lines:
            if text in line:
                return t
        return None

    def stop(self):
        if self.proc:
            stop_process(self.proc)

    def remove(self):
        shutil.rmtree(self.dir, ignore_errors=True)


def build_dir_arg(argv_value):
    d = os.path.abspath(argv_value)
    for need in ("bin/ZOLVEN",):
        if not os.path.exists(os.path.join(d, need)):
            raise SystemExit("%s has no %s: build it first (bench/run_all.sh does)" % (d, need))
    return d
