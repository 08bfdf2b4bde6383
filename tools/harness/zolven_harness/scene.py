"""One run's world, and the places in the window that a user clicks or looks at."""

import os
import shutil

from .basics import Failure, check, wait_for
from .device import PtyDevice
from .program import AppDir, make_workdir, start_labelled
from .xsession import XSession

WINDOW_W, WINDOW_H = 490, 800

# Places in the 490 x 800 window, relative to its top-left corner.
EXPAND_BUTTON = (450, 40)
CLOSE_BUTTON = (445, 105)  # 30 px square, 10 px below the header, 30 px from the right edge
GPU_CLOCK_ROW = (245, 477)  # the GPU panel at y 380, its rows from +40, 38 high
FAHRENHEIT_SWITCH = (411, 699)
LANGUAGE_BAR = (245, 739)
LANGUAGE_SLOT = {0: (245, 704), 1: (245, 674), 2: (245, 644)}  # the list opens upward
HEADER_READOUT = (80, 0, 330, 80)
CPU_TEMP_VALUE = (300, 172, 140, 38)
GPU_TEMP_VALUE = (300, 421, 140, 36)
CPU_CLOCK_VALUE = (300, 215, 140, 38)
SETTINGS_AREA = (45, 645, 400, 115)


class Scene:
    """One run's world: its X session, user directories, device and program runs, in a
    temporary directory named from prefix; logs and screenshots go to artifacts. With
    device=False there is neither a device nor a config.ini."""

    def __init__(self, artifacts, exe, monitor, readings, prefix="zolven-", screen=(1280, 1024),
                 device=True):
        self.artifacts = artifacts
        self.root = make_workdir(prefix)
        self.programs = []
        self.x = None
        self.device = PtyDevice(os.path.join(self.root, "dev", "ttyZOLVEN")) if device else None
        try:
            config = f"[DEVICE]\nPort={self.device.link}\n" if device else None
            self.app = AppDir(self.root, exe, monitor, readings, config)
            self.x = XSession(self.artifacts, screen)
        except BaseException:
            shutil.rmtree(self.root, ignore_errors=True)
            raise

    def start(self, label="zolven", settled=True):
        """Starts the program; settled waits until the window has loaded its settings, the
        last thing it does before it hides."""
        return start_labelled(self.app, self.x, self.artifacts, label, self.programs,
                              settled=settled)

    def close(self):
        for program in self.programs:
            program.kill()
        if self.device:
            self.device.unplug()
            # A killed program leaves the serial port's lock file behind; its name is the
            # port's path, which lies in our temporary directory, so it is ours.
            stale = "LCK.." + self.device.link.replace("/", "_")
            for folder in ("/var/lock", "/run/lock", "/etc/locks", "/var/spool/locks",
                           "/var/spool/uucp", "/tmp", "/var/tmp", "/var/lock/lockdev"):
                try:
                    os.unlink(os.path.join(folder, stale))
                except OSError:
                    pass
        if self.x:
            self.x.close()
        shutil.rmtree(self.root, ignore_errors=True)

    def shot(self, name, box=None):
        path = os.path.join(self.artifacts, name + ".png")
        try:
            self.x.screenshot(path, box)
        except Failure as e:
            print(f"screenshot {name} failed: {e}")
        return path

    def window_shot(self, name, height=WINDOW_H):
        return self.shot(name, (*self.origin, WINDOW_W, height))

    # The tray and the window -----------------------------------------------------------------

    def tray_icon(self):
        """The icon once trayer has embedded and mapped it: a click before that is trayer's."""
        def mapped():
            icon = self.x.tray_icon()
            return icon if icon and self.x.is_viewable(icon) else None
        return wait_for("the tray icon", mapped)

    def main_window(self):
        return wait_for("the 490 pixels wide window",
                        lambda: self.x.top_level("ZOLVEN", width=WINDOW_W))

    def click_tray(self, button=1):
        icon = self.tray_icon()
        self.x.click(icon.x + icon.w // 2, icon.y + icon.h // 2, button)

    def show_window(self):
        """A left click on the tray icon; waits until the window is mapped and drawn."""
        self.click_tray(1)
        win = self.main_window()
        try:
            wait_for("the window to be mapped", lambda: self.x.is_viewable(win), timeout=5)
        except Failure:
            # What a user would do; the log says it happened.
            print("note: the window did not show after one click on the tray icon; clicking again")
            self.click_tray(1)
            wait_for("the window to be mapped", lambda: self.x.is_viewable(win))
        x, y, w, h = self.x.geometry(win)
        check((w, h) == (WINDOW_W, WINDOW_H), f"the window is {w} x {h}, not 490 x 800")
        self.origin = (x, y)
        # Drawn once the header's read-out shows in the accent yellow.
        wait_for("the window to be drawn", lambda: self.grab(HEADER_READOUT).count(is_accent) > 50)
        self.x.park_pointer()
        return win

    def at(self, point):
        return (self.origin[0] + point[0], self.origin[1] + point[1])

    def click_window(self, point):
        self.x.click(*self.at(point))

    def grab(self, box):
        x, y = self.at(box[:2])
        return self.x.grab((x, y, box[2], box[3]))

    def grab_settled(self, box):
        """The box once two grabs in a row agree: animations have finished."""
        last = [self.grab(box)]

        def settled():
            now = self.grab(box)
            same = now.difference(last[0]) == 0
            last[0] = now
            return now if same else None
        return wait_for("the window to settle", settled, interval=0.25)

    def quit_from_tray(self, program):
        """Right click on the tray icon, then "Quit ZOLVEN", the menu's only entry. The right
        click shows the window as well."""
        self.click_tray(3)

        def menu():
            for w in self.x.windows():
                if not w.ancestors and w.name == "ZOLVEN" and 1 < w.h < 100 and \
                        w.w != WINDOW_W and self.x.is_viewable(w):
                    return w
            return None
        entry = wait_for("the tray menu", menu)
        window = self.main_window()
        wait_for("the window to show with the menu", lambda: self.x.is_viewable(window))
        self.shot("tray-menu")
        self.x.click(entry.x + entry.w // 2, entry.y + entry.h // 2)
        return program.wait_exit()


def is_accent(r, g, b):
    """The window's accent yellow, #FFD243, allowing for anti-aliasing."""
    return r > 180 and 140 < g < 230 and b < 120
