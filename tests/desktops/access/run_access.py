#!/usr/bin/python3
"""The window as a screen reader and a keyboard user meet it: the real program under its own
Xvfb with trayer, on a private session bus with the accessibility bus of at-spi2-core.

    run_access.py atspi|keyboard

Environment: ZOLVEN_E2E_EXE, ZOLVEN_E2E_MONITOR, ZOLVEN_E2E_ARTIFACTS and
ZOLVEN_E2E_TIMEOUT_SCALE as for the end-to-end suite. Exit code 77 when a needed tool is
missing (CTest reports the test as skipped).
"""

import os
import re
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", "..", ".."))
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(ROOT, "tools", "harness"))

from zolven_harness import runner  # noqa: E402
from zolven_harness.basics import check, stop_process, wait_for  # noqa: E402
from zolven_harness.program import Program  # noqa: E402
from zolven_harness.scene import Scene  # noqa: E402

FIXTURE = os.path.join(ROOT, "tests", "e2e", "fixtures", "desktop.readings")
BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
TOOLS = ("Xvfb", "trayer", "xdotool", "xwininfo", "xdpyinfo", "import", "dbus-daemon")

# The rows' names in English with the fixture's readings; the GPU memory row reads as shared
# memory where the machine has no discrete card the program can name.
ROW_NAMES = [
    r"CPU Temperature 61 ℃", r"CPU Frequency 3500 MHz", r"CPU Usage 27 %",
    r"CPU Fan Speed 2345 RPM", r"GPU Temperature 72 ℃", r"GPU Frequency 1550 MHz",
    r"GPU Usage 88 %", r"GPU Fan Speed 1650 %\(PWM\)",
    r"GPU Display RAM Usage 70000 (/131072 MB|MB\(Shared\))",
]


class SessionBus:
    """A private D-Bus session bus, and on it the accessibility bus that at-spi2-core's
    launcher starts (the registry daemon is activated there when first asked for)."""

    def __init__(self, workdir, display):
        self.procs = []
        self._log = open(os.path.join(workdir, "dbus.log"), "wb")
        read_end, write_end = os.pipe()
        self.procs.append(subprocess.Popen(
            ["dbus-daemon", "--session", "--nofork", "--nopidfile",
             f"--print-address={write_end}"],
            pass_fds=(write_end,), stdout=self._log, stderr=subprocess.STDOUT))
        os.close(write_end)
        with os.fdopen(read_end, "rb") as f:
            address = f.readline().decode().strip()
        check(address, "dbus-daemon gave no address (see dbus.log)")
        self.env = {"DBUS_SESSION_BUS_ADDRESS": address, "DISPLAY": display}
        env = dict(os.environ, **self.env)
        self.procs.append(subprocess.Popen([BUS_LAUNCHER, "--launch-immediately"], env=env,
                                           stdout=self._log, stderr=subprocess.STDOUT))

        def bus_up():
            out = subprocess.run(["dbus-send", "--session", "--print-reply",
                                  "--dest=org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus.GetAddress"],
                                 env=env, capture_output=True, timeout=30)
            return out.returncode == 0 and b"unix:" in out.stdout
        wait_for("the accessibility bus", bus_up)

    def close(self):
        for proc in reversed(self.procs):
            stop_process(proc, 5)
        self._log.close()


def start(scene, bus):
    """The program on the private bus, publishing its accessibility tree; its window shown."""
    env = dict(bus.env, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    program = Program(scene.app, scene.x, os.path.join(scene.artifacts, "zolven.log"), env=env)
    program.label = "zolven"
    scene.programs.append(program)
    program.wait_line("[setIndexLanguage]")
    scene.show_window()
    return program


def general(scene):
    return scene.app.settings().get("GENERAL", {}) if os.path.exists(scene.app.config_path) else {}


def wait_setting(scene, key, value):
    wait_for(f"config.ini to hold {key}={value}", lambda: general(scene).get(key) == value)


# AT-SPI ------------------------------------------------------------------------------------

def atspi_tree(pyatspi, app):
    """Every accessible below the application: (role name, name, state names, accessible)."""
    found = []

    def walk(acc):
        for i in range(acc.childCount):
            child = acc.getChildAtIndex(i)
            if child is None:
                continue
            states = {pyatspi.stateToString(s) for s in child.getState().getStates()}
            found.append((child.getRoleName(), child.name, states, child))
            walk(child)
    walk(app)
    return found


def find_app(pyatspi):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == "ZOLVEN":
            return app
    return None


def one(tree, role, name):
    hits = [entry for entry in tree if entry[0] == role and re.fullmatch(name, entry[1] or "")]
    check(len(hits) == 1, f"{len(hits)} accessibles with role {role!r} and name {name!r}; "
                          f"the tree: {[(r, n) for r, n, _, _ in tree]}")
    return hits[0]


def do_action(acc, wanted):
    action = acc.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    check(wanted in names, f"{acc.name!r} offers {names}, not {wanted!r}")
    check(action.doAction(names.index(wanted)), f"{acc.name!r}: {wanted} failed")


def scenario_atspi(scene):
    """Every control's role, name and state through AT-SPI; a switch toggled, a row selected
    and the language changed through their actions, saved as by a click."""
    bus = SessionBus(scene.artifacts, scene.x.display)
    scene.extra_closers.append(bus.close)
    start(scene, bus)
    os.environ.update(bus.env)
    import pyatspi  # noqa: E402 - reads the bus address at import

    app = wait_for("ZOLVEN on the accessibility bus", lambda: find_app(pyatspi), timeout=60)

    def tree_with_rows():
        tree = atspi_tree(pyatspi, app)
        rows = [e for e in tree if e[0] == "list item" and e[1].startswith(("CPU ", "GPU "))]
        # The rows fill in as the readings arrive.
        return tree if all(re.fullmatch(n, r[1]) for n, r in zip(ROW_NAMES, rows)) \
            and len(rows) == 9 else None
    tree = wait_for("the nine rows with their readings", tree_with_rows, timeout=60)
    with open(os.path.join(scene.artifacts, "tree.txt"), "w", encoding="utf-8") as f:
        for role, name, states, _ in tree:
            f.write(f"{role} | {name} | {' '.join(sorted(states))}\n")

    frame = one(tree, "frame", "ZOLVEN")
    check("active" in frame[2] or "showing" in frame[2], f"the window's states: {frame[2]}")
    for name in ROW_NAMES:
        row = one(tree, "list item", name)
        check({"selectable", "showing"} <= row[2] and "selected" not in row[2],
              f"row {row[1]!r}: {row[2]}")
    one(tree, "list", r"CPU .*")
    one(tree, "list", r"GPU .*")
    autostart = one(tree, "check box", "Autostart")
    fahrenheit = one(tree, "check box", "Display Fahrenheit")
    check("checked" in autostart[2], f"autostart (on by default): {autostart[2]}")
    check("checked" not in fahrenheit[2], f"Fahrenheit (off by default): {fahrenheit[2]}")
    combo = one(tree, "combo box", "Language")
    check(combo[3].description == "English", f"the drop-down's current option: "
                                             f"{combo[3].description!r}")
    options = [one(tree, "list item", n) for n in ("简体中文", "繁体中文", "English")]
    check("selected" in options[2][2] and "selected" not in options[0][2],
          f"options' states: {[o[2] for o in options]}")
    check(all("showing" not in o[2] for o in options), "the closed list's options show")
    one(tree, "push button", "Close")
    collapse = one(tree, "push button", "Collapse Window")
    check("checked" not in collapse[2], f"expanded window, collapse button: {collapse[2]}")
    one(tree, "label", r"Click Item to Display (SENSOR|LOADING\.\.\.)")
    one(tree, "label", r"Display (Not )?Connected")

    # Fahrenheit through the check box's own action, as a screen reader toggles it.
    do_action(fahrenheit[3], "Toggle")
    wait_setting(scene, "Show Fah", "true")
    wait_for("the check box to be checked", lambda: fahrenheit[3].getState().contains(
        pyatspi.STATE_CHECKED))
    wait_for("the temperature row in Fahrenheit",
             lambda: any(e[1] == "CPU Temperature 141 ℉" for e in atspi_tree(pyatspi, app)))

    # A row's press selects it; the header's read-out follows.
    do_action(one(atspi_tree(pyatspi, app), "list item", r"GPU Usage 88 %")[3], "Press")
    wait_for("the row to be selected", lambda: "selected" in one(
        atspi_tree(pyatspi, app), "list item", r"GPU Usage 88 %")[2])
    one(atspi_tree(pyatspi, app), "label", r"GPU Usage 88 %")

    # The drop-down's press opens the list: its options show. Simplified Chinese through its
    # option: every name is said in the new language.
    do_action(combo[3], "Press")
    wait_for("the options to show", lambda: all(o[3].getState().contains(pyatspi.STATE_SHOWING)
                                                 for o in options))
    do_action(options[0][3], "Press")
    wait_setting(scene, "Language", "0")
    wait_for("the names in Simplified Chinese", lambda: any(
        e[1] == "系统自启动" and e[0] == "check box" for e in atspi_tree(pyatspi, app)))
    tree = atspi_tree(pyatspi, app)
    one(tree, "list item", r"CPU 温度 141 ℉")
    one(tree, "combo box", "语言")
    one(tree, "push button", "关闭")
    one(tree, "push button", "收起窗口")
    check(general(scene) == {"Auto Run": "true", "Show Fah": "true", "Language": "0"},
          f"config.ini: {general(scene)}")

    # The collapse button says the window is collapsed as a checked toggle.
    collapse = one(tree, "push button", "收起窗口")
    do_action(collapse[3], "Press")
    window = scene.main_window()
    wait_for("the window to fold to its header", lambda: scene.x.geometry(window)[3] == 80)
    wait_for("the collapse button to be checked",
             lambda: collapse[3].getState().contains(pyatspi.STATE_CHECKED))


# Keyboard ----------------------------------------------------------------------------------

def keys(scene, *names):
    for name in names:
        scene.x.run(["xdotool", "key", name])
        # One key at a time: each finishes in the program before the next (the focus moves).
        time.sleep(0.15)


def scenario_keyboard(scene):
    """Both switches and the language changed with key presses alone and saved; Escape puts
    the window away into the tray."""
    bus = SessionBus(scene.artifacts, scene.x.display)
    scene.extra_closers.append(bus.close)
    program = start(scene, bus)
    window = scene.main_window()
    scene.x.run(["xdotool", "windowfocus", "--sync", window.id])

    # Tab order: collapse, close, the nine rows, autostart, Fahrenheit, language. A screen
    # reader sees the focus where the ring is.
    keys(scene, *["Tab"] * 12)
    scene.window_shot("focus-autostart")
    os.environ.update(bus.env)
    import pyatspi  # noqa: E402 - reads the bus address at import
    app = wait_for("ZOLVEN on the accessibility bus", lambda: find_app(pyatspi), timeout=60)
    wait_for("the autostart switch to have the focus", lambda: "focused" in one(
        atspi_tree(pyatspi, app), "check box", "Autostart")[2])
    keys(scene, "space")
    wait_setting(scene, "Auto Run", "false")
    keys(scene, "Tab", "Return")
    wait_setting(scene, "Show Fah", "true")
    program.wait_line("[setIsShowFah] true")
    keys(scene, "Tab", "space")
    time.sleep(0.5)
    scene.window_shot("language-open")
    keys(scene, "Down", "Return")
    wait_setting(scene, "Language", "1")
    # Back to the rows: Shift+Tab from the language bar, past the switches.
    keys(scene, "shift+Tab", "shift+Tab", "shift+Tab", "Return")
    scene.window_shot("row-selected")
    check(general(scene) == {"Auto Run": "false", "Show Fah": "true", "Language": "1"},
          f"config.ini: {general(scene)}")

    keys(scene, "Escape")
    wait_for("the window to go away", lambda: not scene.x.is_viewable(window))
    check(program.running(), "Escape ended the program")
    check(scene.x.tray_icon() is not None, "the tray icon went with the window")


SCENARIOS = {"atspi": scenario_atspi, "keyboard": scenario_keyboard}


def make(name):
    scene = Scene(runner.artifacts_folder("access-artifacts", name), os.environ["ZOLVEN_E2E_EXE"],
                  os.environ["ZOLVEN_E2E_MONITOR"], FIXTURE, prefix=f"zolven-access-{name}-",
                  device=False)
    scene.extra_closers = []
    return scene


def close(scene):
    for program in scene.programs:
        program.kill()
    for closer in scene.extra_closers:
        closer()
    scene.close()


def diagnose(scene):
    if scene.x:
        print("screen saved to", scene.shot("failure"))


def main(argv):
    if len(argv) != 1 or argv[0] not in SCENARIOS:
        print(__doc__, file=sys.stderr)
        return 2
    missing = [t for t in TOOLS if not shutil.which(t)]
    if not os.path.exists(BUS_LAUNCHER):
        missing.append(BUS_LAUNCHER)
    try:
        import gi  # noqa: F401
        gi.require_version("Atspi", "2.0")
    except (ImportError, ValueError):
        missing.append("python3-pyatspi")
    lacking = runner.skipped(missing)
    if lacking is not None:
        return lacking
    name = argv[0]
    return runner.run_scenario(name, SCENARIOS[name].__doc__, lambda: make(name), SCENARIOS[name],
                               programs=lambda scene: scene.programs, diagnose=diagnose,
                               close=close)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
