#!/usr/bin/python3
"""Takes the screenshots in docs/screenshots: the real program under Xvfb with trayer as the
system tray and the test hardware-monitor library replaying screenshot.readings, one made-up
machine (an AMD EPYC workstation with an NVIDIA RTX A4000).

    /usr/bin/python3 tools/artwork/screenshots.py [build-dir] [out-dir]

screenshots.sh runs it. The build directory needs bin/ZOLVEN and testmonitor/testmonitor.so (a
build with tests). Needs root (for a private mount namespace), util-linux's unshare, xvfb,
trayer, xdotool, x11-utils and imagemagick. Nothing outside a temporary directory is touched:
settings, autostart entry and lock file all live there.

The program names the GPU from the PCI display devices in /sys/bus/pci/devices; the run sees a
fake tree there holding only the readings' card, bound over the real one in a mount namespace
of its own. The CPU's name comes from CPUID and cannot be faked: it is the name of the machine
that takes the screenshots.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(ROOT, "tools", "harness"))
from zolven_harness.basics import Failure, wait_for  # noqa: E402
from zolven_harness.scene import (EXPAND_BUTTON, GPU_CLOCK_ROW, LANGUAGE_BAR,  # noqa: E402
                                  LANGUAGE_SLOT, SETTINGS_AREA, WINDOW_W, Scene)

READINGS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "screenshot.readings")
PCI_DEVICES = "/sys/bus/pci/devices"
# The readings' card, an RTX A4000 (GA104GL) with NVIDIA's driver bound, in the files the
# program's adapter naming reads (hardware/PciDisplay.cpp).
CARD_ADDRESS = "0000:01:00.0"
CARD_FILES = {
    "class": "0x030000\n",
    "vendor": "0x10de\n",
    "device": "0x24b0\n",
    "uevent": "DRIVER=nvidia\nPCI_CLASS=30000\nPCI_ID=10DE:24B0\nPCI_SUBSYS_ID=10DE:14AD\n"
              f"PCI_SLOT_NAME={CARD_ADDRESS}\n",
}
# main_background's radius in ZOLVEN/main.qml; Xvfb has no compositor, so the window's
# transparent corners come out black and are cut away here.
CORNER_RADIUS = 40


def readings_gpu_name():
    """The name of the readings' discrete GPU sensor (location 13), without its "GPU: "."""
    with open(READINGS, encoding="utf-8") as f:
        for line in f:
            m = re.match(r"S \d+ 13 GPU: (.+)$", line.rstrip("\n"))
            if m:
                return m.group(1)
    raise Failure(f"{READINGS} declares no discrete GPU")


def write_pci_tree(folder):
    card = os.path.join(folder, CARD_ADDRESS)
    os.makedirs(card)
    for name, text in CARD_FILES.items():
        with open(os.path.join(card, name), "w", encoding="ascii") as f:
            f.write(text)


def round_corners(raw, path, width, height):
    """Makes the PNG's corners outside the card transparent."""
    r = CORNER_RADIUS
    subprocess.run(["convert", raw,
                    "(", "-size", f"{width}x{height}", "xc:black", "-fill", "white", "-draw",
                    f"roundrectangle 0,0 {width - 1},{height - 1} {r},{r}", ")",
                    "-alpha", "off", "-compose", "CopyOpacity", "-composite",
                    "-define", "png:compression-level=9", path], check=True)


def take(scene, out):
    """The shots, each after the pause its animations need (the background lines move for a
    second after a fold); the waits on top keep a loaded machine from shooting too early."""
    program = scene.start(settled=False)
    try:
        scene.tray_icon()
    except Failure:
        raise Failure("no tray icon appeared\n" + "\n".join(t for _, t in program.lines()))
    # The GPU title must be the fake card's, as the readings name it.
    program.wait_line("[GET GPU NAME]")
    lines = [t for _, t in program.lines("[GET GPU NAME]")]
    expected = readings_gpu_name()
    if not any(t.endswith("Discrete GPU Detected now: " + expected) for t in lines):
        raise Failure(f"the program did not name the GPU {expected!r}:\n" + "\n".join(lines))
    cpu = [t.split("Found CPU:", 1)[1].strip().strip('"') for _, t in program.lines("Found CPU:")]
    print(f"GPU title: {expected}; CPU title (this machine's): {cpu[0] if cpu else '?'}")
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
        raw = os.path.join(scene.artifacts, name + ".png")
        x.screenshot(raw, (*scene.origin, w, h))
        path = os.path.join(out, name + ".png")
        round_corners(raw, path, w, h)
        print(f"wrote {path} ({w}x{h})")

    def click(point, pause=0.6):
        scene.click_window(point)
        time.sleep(pause)

    shot("expanded-en")

    click(GPU_CLOCK_ROW)
    x.park_pointer()
    time.sleep(0.3)
    shot("row-selected-en")

    # The keyboard's focus ring. The click on the GPU clock row gave it the focus (without a
    # ring), so Tab goes on from there: the GPU usage row, then the autostart switch.
    x.run(["xdotool", "windowfocus", "--sync", win.id])

    def tab(times):
        for _ in range(times):
            x.run(["xdotool", "key", "Tab"])
            time.sleep(0.15)
        time.sleep(0.4)

    tab(1)
    shot("focus-row-en")
    tab(3)
    shot("focus-switch-en")

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


def shoot(tree, build, out):
    """Inside the mount namespace: binds the fake PCI tree, then takes the shots."""
    bound = subprocess.run(["mount", "--bind", tree, PCI_DEVICES], stderr=subprocess.PIPE,
                           text=True)
    if bound.returncode != 0 or os.listdir(PCI_DEVICES) != [CARD_ADDRESS]:
        sys.exit(f"screenshots: cannot bind the fake PCI tree over {PCI_DEVICES}: "
                 f"{bound.stderr.strip() or 'the tree did not show there'}")
    work = tempfile.mkdtemp(prefix="zolven-screenshots-")
    scene = None
    try:
        scene = Scene(work, os.path.join(build, "bin", "ZOLVEN"),
                      os.path.join(build, "testmonitor", "testmonitor.so"), READINGS,
                      prefix="zolven-screenshots-", screen=(1000, 900), device=False)
        take(scene, out)
        return 0
    except (Failure, subprocess.CalledProcessError) as e:
        print(e, file=sys.stderr)
        return 1
    finally:
        if scene:
            scene.close()
        shutil.rmtree(work, ignore_errors=True)


def main(argv):
    # The run inside the namespace is told where the fake tree is.
    tree = None
    if argv[:1] == ["--in-namespace"] and len(argv) > 1:
        tree, argv = argv[1], argv[2:]
    build = os.path.abspath(argv[0] if argv else os.path.join(ROOT, "build"))
    if not os.path.isdir(build):
        sys.exit(f"screenshots: no build folder {build}")
    out = os.path.abspath(argv[1] if len(argv) > 1 else os.path.join(ROOT, "docs", "screenshots"))
    os.makedirs(out, exist_ok=True)
    if tree:
        return shoot(tree, build, out)

    # Private propagation: the bind stays in the namespace and never reaches the host.
    unshare = ["unshare", "--mount", "--propagation", "private", "--"]
    try:
        probe = subprocess.run(unshare + ["true"], stderr=subprocess.PIPE, text=True)
        why = (probe.stderr.strip() or f"code {probe.returncode}") if probe.returncode else ""
    except OSError as e:
        why = str(e)
    if why:
        sys.exit("screenshots: the program must see a fake PCI tree, bound over "
                 f"{PCI_DEVICES} in a mount namespace of its own, and none can be made here "
                 f"({why}); run this as root, with util-linux's unshare")
    tree = tempfile.mkdtemp(prefix="zolven-screenshots-pci-")
    try:
        write_pci_tree(tree)
        return subprocess.run(unshare + [sys.executable, os.path.abspath(__file__),
                                         "--in-namespace", tree, build, out]).returncode
    finally:
        shutil.rmtree(tree, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
