#!/usr/bin/python3
"""The real program on the desktops people run.

    run_desktops.py <scenario>...     run scenarios (all when none is named)
    run_desktops.py --list

Environment as for tests/e2e: ZOLVEN_E2E_EXE, ZOLVEN_E2E_MONITOR, ZOLVEN_E2E_ARTIFACTS,
ZOLVEN_E2E_TIMEOUT_SCALE. Exit code 77 when a needed tool is missing.
"""

import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", "..", ".."))
sys.dont_write_bytecode = True
sys.path[:0] = [os.path.join(ROOT, "tools", "harness")]

from zolven_harness import runner  # noqa: E402
from zolven_harness.basics import Failure, check, wait_for  # noqa: E402
from zolven_harness.program import AppDir, make_workdir, start_labelled  # noqa: E402

FIXTURE = os.path.join(ROOT, "tests", "e2e", "fixtures", "desktop.readings")
APP_ID = "org.zolven.ZOLVEN"
QUIT = "Quit ZOLVEN"


# Contrast as the tray icon's unit test measures it: the share of the icon's covered pixels that
# stand out from the panel by 3:1, here on the pixels the program really sends.
def _channel(v):
    c = v / 255
    return c / 12.92 if c <= 0.03928 else ((c + 0.055) / 1.055) ** 2.4


def _luminance(r, g, b):
    return 0.2126 * _channel(r) + 0.7152 * _channel(g) + 0.0722 * _channel(b)


def contrast(a, b):
    la, lb = _luminance(*a), _luminance(*b)
    return (max(la, lb) + 0.05) / (min(la, lb) + 0.05)


def visible_share(width, height, argb, panel):
    pl = _luminance(*panel)
    covered = standing = 0
    for i in range(width * height):
        a, r, g, b = argb[4 * i:4 * i + 4]
        if a < 128:
            continue
        covered += 1
        shown = [round((c * a + p * (255 - a)) / 255) for c, p in zip((r, g, b), panel)]
        lum = _luminance(*shown)
        if (max(lum, pl) + 0.05) / (min(lum, pl) + 0.05) >= 3:
            standing += 1
    return standing / covered if covered else 0


class Run:
    """One scenario's folders and programs."""

    def __init__(self, name, artifacts):
        self.name = name
        self.artifacts = os.path.join(artifacts, name)
        shutil.rmtree(self.artifacts, ignore_errors=True)
        os.makedirs(self.artifacts)
        self.root = make_workdir(f"zolven-desk-{name}-")
        self.app = AppDir(os.path.join(self.root, "user"), os.environ["ZOLVEN_E2E_EXE"],
                          os.environ["ZOLVEN_E2E_MONITOR"], FIXTURE)
        self.programs = []
        self.session = None

    def start(self, label, env=None, settled=True):
        return start_labelled(self.app, self.session, self.artifacts, label, self.programs,
                              env=env, settled=settled)

    def close(self):
        for program in self.programs:
            program.kill()
        if self.session:
            self.session.close()
        shutil.rmtree(self.root, ignore_errors=True)


# sway ----------------------------------------------------------------------------------------

WAYLAND = {"QT_QPA_PLATFORM": "wayland"}


def sway_session(run):
    from zolven_harness.wsession import WaylandSession
    run.session = WaylandSession(run.root)
    return run.session


def card(ws):
    """The window as sway has it, once it is shown."""
    return ws.view("ZOLVEN")


def check_card(view, ws=None):
    """The window floats at its own size under its desktop entry's name; with ws, it is drawn:
    the header's read-out shows in the accent yellow."""
    rect = view["rect"]
    check(view["app_id"] == APP_ID, f"app_id {view['app_id']!r}, not the desktop entry's name")
    check(view["floating"], "sway tiles the window instead of floating it")
    check((rect["width"], rect["height"]) == (490, 800),
          f"the window is {rect['width']} x {rect['height']}, not 490 x 800")
    if ws:
        from zolven_harness.scene import is_accent
        wait_for("the window to be drawn", lambda: ws.grab(
            (rect["x"] + 80, rect["y"], 330, 80)).count(is_accent) > 50)


def scenario_sway_tray(run):
    """sway with waybar's tray: the icon registers and reads on dark and light panels, Activate
    floats the window at 490 x 800, the compositor's close keeps the program in the tray, a
    second start brings the window up and exits 1, the menu's Quit ends it with 0."""
    ws = sway_session(run)
    ws.start_panel("dark")
    program = run.start("zolven", WAYLAND)
    item = ws.item()
    check(not [v for v in ws.views() if v["name"] == "ZOLVEN"], "the window shows at start")

    pixmaps = ws.icon_pixmaps(item)
    check(pixmaps, "the tray item sends no pixels")
    w, h, data = max(pixmaps)
    for panel in ((0, 0, 0), (255, 255, 255)):
        share = visible_share(w, h, data, panel)
        print(f"tray icon {w}x{h} on {panel}: {share:.0%} at 3:1 or more")
        check(share >= 1 / 3, f"the tray icon fades into a {panel} panel ({share:.0%})")
    ws.screenshot(os.path.join(run.artifacts, "panel-dark.png"), (1280 - 200, 0, 200, 32))

    ws.activate(item)
    check_card(card(ws), ws)
    ws.screenshot(os.path.join(run.artifacts, "shown.png"))

    # The compositor's close (what Alt+F4 is bound to): hidden, still running, still in the tray.
    ws.swaymsg(f'[app_id="{APP_ID}"] kill')
    ws.gone("ZOLVEN")
    time.sleep(1)
    check(program.running(), "the compositor's close ended the program")
    check(ws.items() == [item], "the tray icon went with the window")

    # A second start: the box, the running copy's window up, code 1.
    second = run.start("second", WAYLAND, settled=False)
    # Qt adds the application's name to a dialog's title: "Oops — ZOLVEN".
    ws.view("Oops", prefix=True)
    check_card(card(ws))
    second.wait_line("[Instance] Asked the running copy")
    ws.swaymsg('[title="^Oops"] kill')
    code = second.wait_exit()
    check(code == 1, f"the second start ended with {code}, not 1")
    check(program.running(), "the second start disturbed the running copy")

    ws.click_menu(item, QUIT)
    code = program.wait_exit()
    check(code == 0, f"Quit ended the program with {code}, not 0")


def scenario_sway_late_tray(run):
    """sway whose tray comes after the program: the window shows (no tray to go back to), then
    the icon registers once waybar is up, the window goes to the tray, and Activate brings it
    back floating at its size."""
    ws = sway_session(run)
    program = run.start("zolven", WAYLAND)
    check_card(card(ws))
    ws.start_panel("light")
    item = ws.item(timeout=60)
    ws.gone("ZOLVEN")
    ws.screenshot(os.path.join(run.artifacts, "panel-light.png"), (1280 - 200, 0, 200, 32))
    ws.activate(item)
    check_card(card(ws))
    ws.click_menu(item, QUIT)
    check(program.wait_exit() == 0, "Quit did not end the program with 0")


# X11 ------------------------------------------------------------------------------------------

def x11_session(run):
    from zolven_harness.xsession import XSession
    run.session = XSession(run.artifacts)
    return run.session


def scenario_x11_wm_close(run):
    """Xvfb with trayer and xfwm4: WM_CLASS names the desktop entry's StartupWMClass, the size
    hints fix the window at 490 x 800, Alt+F4 hides it into the tray, the menu's Quit ends
    it with 0."""
    from zolven_harness.wsession import session_bus
    x = x11_session(run)
    # xfwm4 reads its settings through xfconfd, which the bus starts.
    bus, address = session_bus(open(os.path.join(run.artifacts, "dbus.log"), "wb"))
    x.procs.insert(0, bus)
    wm = subprocess.Popen(["xfwm4", "--compositor=off", "--sm-client-disable"],
                          env=x.child_env({"DBUS_SESSION_BUS_ADDRESS": address}),
                          stdout=open(os.path.join(run.artifacts, "xfwm4.log"), "wb"),
                          stderr=subprocess.STDOUT)
    x.procs.append(wm)
    wait_for("xfwm4 to manage the screen",
             lambda: "_NET_SUPPORTING_WM_CHECK(WINDOW)" in
             x.run(["xprop", "-root"], check_rc=False).stdout.decode())
    program = run.start("zolven")

    def tray_icon():
        return wait_for("the tray icon", lambda: (lambda i: i if i and x.is_viewable(i) else None)(
            x.tray_icon()))

    def click_tray(button):
        icon = tray_icon()
        x.click(icon.x + icon.w // 2, icon.y + icon.h // 2, button)

    def card_window():
        # Under a window manager the card sits inside its frame: any depth will do.
        for w in x.windows():
            if w.name == "ZOLVEN" and w.w == 490 and not any(a.name == "panel" for a in w.ancestors):
                return w
        return None

    # The XEmbed path: the icon as trayer shows it, against trayer's own ground (its corner).
    icon = tray_icon()
    x.screenshot(os.path.join(run.artifacts, "trayer.png"), (icon.x - 8, icon.y - 4, icon.w + 16, icon.h + 8))
    shot = x.grab((icon.x, icon.y, icon.w, icon.h))
    ground = tuple(next(shot.pixels()))
    standing = sum(1 for p in shot.pixels() if contrast(tuple(p), ground) >= 3)
    share = standing / (icon.w * icon.h)
    print(f"tray icon on trayer's {ground}: {share:.0%} of its box at 3:1 or more")
    check(share >= 0.1, f"the tray icon fades into trayer's panel ({share:.0%} of its box)")

    click_tray(1)
    win = wait_for("the window", card_window)
    wait_for("the window to be mapped", lambda: x.is_viewable(win))
    _, _, w, h = x.geometry(win)
    check((w, h) == (490, 800), f"the window is {w} x {h}, not 490 x 800")

    props = x.run(["xprop", "-id", win.id, "WM_CLASS", "WM_NORMAL_HINTS"]).stdout.decode()
    wm_class = props.split("WM_CLASS")[1].splitlines()[0]
    check(wm_class.rstrip().endswith('"ZOLVEN"'), f"WM_CLASS does not end in ZOLVEN: {wm_class}")
    check("minimum size: 490 by 800" in props and "maximum size: 490 by 800" in props,
          f"the size hints do not fix 490 x 800: {props}")
    desktop = open(os.path.join(ROOT, "dist", "linux", APP_ID + ".desktop")).read()
    check("StartupWMClass=ZOLVEN\n" in desktop, "the desktop entry names another WM class")

    x.run(["xdotool", "windowactivate", "--sync", win.id], check_rc=False)
    x.run(["xdotool", "key", "--clearmodifiers", "alt+F4"])
    wait_for("Alt+F4 to hide the window", lambda: not x.is_viewable(win))
    time.sleep(1)
    check(program.running(), "Alt+F4 ended the program")

    # The menu's Quit: a right click opens the menu (and shows the window).
    click_tray(3)

    def menu():
        for w in x.windows():
            if not w.ancestors and w.name == "ZOLVEN" and 1 < w.h < 100 and w.w != 490 \
                    and x.is_viewable(w):
                return w
        return None
    entry = wait_for("the tray menu", menu)
    x.click(entry.x + entry.w // 2, entry.y + entry.h // 2)
    code = program.wait_exit()
    check(code == 0, f"Quit ended the program with {code}, not 0")


SCENARIOS = {name[len("scenario_"):]: fn for name, fn in globals().items()
             if name.startswith("scenario_")}
NEEDS = {"sway_tray": "wayland", "sway_late_tray": "wayland", "x11_wm_close": "x11"}


def missing(kind):
    if kind == "wayland":
        from zolven_harness.wsession import missing_tools
        return missing_tools()
    return [t for t in ("Xvfb", "trayer", "xfwm4", "xdotool", "xprop", "xwininfo", "import")
            if not shutil.which(t)]


def diagnose(run):
    if hasattr(run.session, "views"):
        try:
            print("windows:", run.session.views())
        except Failure:
            pass


def main(argv):
    names = runner.pick(argv, SCENARIOS)
    if isinstance(names, int):
        return names
    lacking = runner.skipped(sorted({t for n in names for t in missing(NEEDS[n])}))
    if lacking is not None:
        return lacking
    artifacts = runner.artifacts_folder("desktops-artifacts")
    return runner.outcome([
        runner.run_scenario(name, SCENARIOS[name].__doc__, lambda n=name: Run(n, artifacts),
                            SCENARIOS[name], programs=lambda run: run.programs,
                            diagnose=diagnose)
        for name in names])


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
