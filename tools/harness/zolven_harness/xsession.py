"""An X server of its own (Xvfb) with Debian's trayer as the XEmbed tray; the pointer through
xdotool, windows through xwininfo (or in-process through Xlib, for polling), screenshots through
ImageMagick's import."""

import ctypes
import os
import re
import select
import subprocess
import time

from .basics import TIMEOUT_SCALE, Failure, check, stop_process, wait_for


class XSession:
    """Xvfb on a display number it picks itself, with trayer docked at the bottom right; its
    logs go to workdir."""

    def __init__(self, workdir, size=(1280, 1024)):
        self.workdir = workdir
        self.size = size
        self.procs = []
        self._view = None
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
             "%dx%dx24" % self.size, "-nolisten", "tcp", "-noreset"],
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
            stop_process(proc, 5)
        for log in ("_xvfb_log", "_trayer_log"):
            if hasattr(self, log):
                getattr(self, log).close()

    @property
    def view(self):
        """The window tree read in-process (XView), opened at first use."""
        if self._view is None:
            self._view = XView(self.display)
        return self._view

    # Windows ------------------------------------------------------------------------------

    _TREE_LINE = re.compile(
        r'^(\s*)(0x[0-9a-f]+) (?:"(.*)"|\(has no name\)): \((.*)\)\s+'
        r'(\d+)x(\d+)\+(-?\d+)\+(-?\d+)\s+\+(-?\d+)\+(-?\d+)\s*$')

    def windows(self):
        """Every window below the root, with absolute positions and its chain of ancestors."""
        # The tree is walked one request at a time, so a window that goes away meanwhile
        # fails the whole walk (BadWindow); a fresh walk sees a settled tree.
        for attempt in range(5):
            result = self.run(["xwininfo", "-root", "-tree"], check_rc=attempt == 4)
            if result.returncode == 0:
                break
            time.sleep(0.05)
        out = result.stdout.decode(errors="replace")
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

    def click(self, x, y, button=1, window=None):
        """A click at (x, y) on the screen, or inside window (an X window id) when given."""
        # One command: the server takes the move before the press. (--sync would wait for a
        # move that never comes when the pointer is already there.)
        where = ["--window", str(window)] if window is not None else []
        self.run(["xdotool", "mousemove", *where, str(x), str(y), "click", str(button)])

    def park_pointer(self):
        """Off every window, so no hover look is in a screenshot."""
        self.run(["xdotool", "mousemove", str(self.size[0] - 300), "300"])

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
