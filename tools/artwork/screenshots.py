#!/usr/bin/python3
"""Takes the screenshots in docs/screenshots: the real program under Xvfb with trayer as the
system tray and the test hardware-monitor library replaying a fixture machine.

    /usr/bin/python3 tools/artwork/screenshots.py [build-dir] [out-dir]

screenshots.sh runs it. The build directory needs bin/ZOLVEN and testmonitor/testmonitor.so (a
build with tests). Needs xvfb, trayer, xdotool, x11-utils and imagemagick. Nothing outside a
temporary directory is touched: settings, autostart entry and lock file all live there.
"""
import os
import shutil
import sys
import tempfile
import time

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(ROOT, "tools", "harness"))
from zolven_harness.basics import Failure, wait_for  # noqa: E402
from zolven_harness.scene import (EXPAND_BUTTON, GPU_CLOCK_ROW, LANGUAGE_BAR,  # noqa: E402
                                  LANGUAGE_SLOT, SETTINGS_AREA, WINDOW_W, Scene)

FIXTURE = os.path.join(ROOT, "tests", "sensors", "fixtures", "intel_nvidia.readings")


def take(scene, out):
    """The shots, each after the pause its animations need (the background lines move for a
    second after a fold); the waits on top keep a loaded machine from shooting too early."""
    program = scene.start(settled=False)
    try:
        scene.tray_icon()
    except Failure:
        raise Failure("no tray icon appeared\n" + "\n".join(t for _, t in program.lines()))
    x = scene.x
    # The main window is the 490 pixels wide top-level one; it is made when first shown.
    win = x.top_level("ZOLVEN", width=WINDOW_W)
    if win and x.is_viewable(win):
        raise Failure("the window was visible before the tray icon was clicked")
    time.sleep(2)  # a couple of refresh passes
    win = scene.show_window()  # also parks the pointer outside the window
    time.sleep(1.8)

    def shot(name):
        _, _, w, h = x.geometry(win)
        path = os.path.join(out, name + ".png")
        x.screenshot(path, (*scene.origin, w, h))
        print(f"wrote {path} ({w}x{h})")

    def click(point, pause=0.6):
        scene.click_window(point)
        time.sleep(pause)

    shot("expanded-en")

    click(GPU_CLOCK_ROW)
    x.park_pointer()
    time.sleep(0.3)
    shot("row-selected-en")

    # The language list opens upward; "简体中文" is the slot nearest the bar.
    before = scene.grab(SETTINGS_AREA)
    click(LANGUAGE_BAR)
    wait_for("the language list to open",
             lambda: scene.grab(SETTINGS_AREA).difference(before) > 0.02)
    click(LANGUAGE_SLOT[0], 1.2)
    program.wait_line("[setIndexLanguage] 0")
    x.park_pointer()
    time.sleep(0.3)
    shot("zh-CN")

    click(EXPAND_BUTTON, 1.5)
    wait_for("the window to fold to its header", lambda: x.geometry(win)[3] == 80)
    shot("collapsed")


def main(argv):
    build = os.path.abspath(argv[0] if argv else os.path.join(ROOT, "build"))
    if not os.path.isdir(build):
        sys.exit(f"screenshots: no build folder {build}")
    out = os.path.abspath(argv[1] if len(argv) > 1 else os.path.join(ROOT, "docs", "screenshots"))
    os.makedirs(out, exist_ok=True)
    work = tempfile.mkdtemp(prefix="zolven-screenshots-")
    scene = None
    try:
        scene = Scene(work, os.path.join(build, "bin", "ZOLVEN"),
                      os.path.join(build, "testmonitor", "testmonitor.so"), FIXTURE,
                      prefix="zolven-screenshots-", screen=(1000, 900), device=False)
        take(scene, out)
        return 0
    except Failure as e:
        print(e, file=sys.stderr)
        return 1
    finally:
        if scene:
            scene.close()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
