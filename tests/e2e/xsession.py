"""An X server of its own (Xvfb) with Debian's trayer as the XEmbed tray; the pointer through
xdotool, windows through xwininfo, screenshots through ImageMagick's import."""

import os
import re
import select
import subprocess
import time

from basics import TIMEOUT_SCALE, Failure, check, wait_for

SCREEN_W, SCREEN_H = 1280, 1024
WINDOW_W, WINDOW_H = 490, 800


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
