#!/usr/bin/python3
"""End-to-end scenarios: the real program, a tray, a pointer and a pseudo-terminal device.

    run_e2e.py <scenario>...     run scenarios (all when none is named)
    run_e2e.py --list

Environment: ZOLVEN_E2E_EXE (the built program), ZOLVEN_E2E_MONITOR (the test library),
ZOLVEN_E2E_ARTIFACTS (where logs and screenshots go; default ./e2e-artifacts).
Exit code 77 when a needed tool is missing (CTest reports the test as skipped).
"""

import os
import shutil
import sys
import time
import traceback

# The source tree stays clean: no __pycache__ beside the scripts.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from harness import (WINDOW_H, WINDOW_W, AppDir, Failure, Program, PtyDevice, XSession,  # noqa: E402
                     check, decode_frame, make_workdir, wait_for)

HERE = os.path.dirname(os.path.abspath(__file__))
FIXTURE = os.path.join(HERE, "fixtures", "desktop.readings")
TOOLS = ("Xvfb", "trayer", "xdotool", "xwininfo", "xdpyinfo", "import")

# What fixtures/desktop.readings makes of every frame field.
EXPECTED = {
    "unit": 0, "cpu_temp": 61, "cpu_fan": 2345, "cpu_usage": 27, "cpu_clock": 3500,
    "gpu_usage": 88, "gpu_clock": 1550, "gpu_mem_used": 70000, "gpu_mem_total": 131072,
    "gpu_fan": 1650, "gpu_temp": 72, "ram_usage": 58,
}
# The Fahrenheit switch hands over the CPU temperature once in its new unit.
EXPECTED_F = dict(EXPECTED, unit=1, cpu_temp=141)

# Reading and value of each refresh match, as the log shows them.
EXPECTED_MATCHES = (
    ("[CPU TEMP]", "CPU Package", "61.7"), ("[CPU USAGE]", "Total CPU Utility", "27.6"),
    ("[CPU CLOCK]", "Core 0 Clock", "4000"), ("[CPU CLOCK]", "Core 1 Clock", "3000"),
    ("[CPU FAN]", "CPU", "2345"), ("[GPU TEMP]", "GPU Temperature", "72.4"),
    ("[GPU USAGE]", "GPU Core Load", "88"), ("[GPU CLOCK]", "GPU Clock", "1850"),
    ("[GPU CLOCK]", "GPU Memory Clock", "1250"), ("[GPU FAN]", "GPU Fan1", "1650"),
    ("[GPU MEM ALLOC]", "GPU Memory Allocated", "70000"),
    ("[GPU MEM AVAILABLE]", "GPU Memory Available", "61072"),
    ("[RAM USAGE]", "Physical Memory Load", "58.9"),
)

# Places in the 490 x 800 window, relative to its top-left corner.
EXPAND_BUTTON = (450, 40)
CLOSE_BUTTON = (445, 105)
FAHRENHEIT_SWITCH = (411, 699)
LANGUAGE_BAR = (245, 739)
LANGUAGE_SLOT = {0: (245, 704), 1: (245, 674), 2: (245, 644)}  # the list opens upward
HEADER_READOUT = (80, 0, 330, 80)
CPU_TEMP_VALUE = (300, 172, 140, 38)
GPU_TEMP_VALUE = (300, 421, 140, 36)
CPU_CLOCK_VALUE = (300, 215, 140, 38)
SETTINGS_AREA = (45, 645, 400, 115)

CHECKS_BEFORE_FIRST_FRAME = 6


class Scene:
    """One scenario's world: its X session, user directories, device and program runs."""

    def __init__(self, name, artifacts):
        self.name = name
        self.artifacts = os.path.join(artifacts, name)
        shutil.rmtree(self.artifacts, ignore_errors=True)
        os.makedirs(self.artifacts)
        self.root = make_workdir(f"zolven-e2e-{name}-")
        self.programs = []
        self.x = None
        self.device = PtyDevice(os.path.join(self.root, "dev", "ttyZOLVEN"))
        try:
            self.app = AppDir(self.root, os.environ["ZOLVEN_E2E_EXE"],
                              os.environ["ZOLVEN_E2E_MONITOR"], FIXTURE, self.device.link)
            self.x = XSession(self.artifacts)
        except BaseException:
            shutil.rmtree(self.root, ignore_errors=True)
            raise

    def start(self, label="zolven"):
        program = Program(self.app, self.x, os.path.join(self.artifacts, f"{label}.log"))
        program.label = label
        self.programs.append(program)
        return program

    def close(self):
        for program in self.programs:
            program.stop()
        self.device.unplug()
        # A killed program leaves the serial port's lock file behind; its name is the port's
        # path, which lies in our temporary directory, so it is ours.
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
        return wait_for("the tray icon", self.x.tray_icon)

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


def expect_frames(frames, expected, what):
    check(frames, f"no frames for {what}")
    for _, raw in frames:
        fields = decode_frame(raw)
        if fields != expected:
            wrong = {k: (fields[k], expected[k]) for k in expected if fields[k] != expected[k]}
            raise Failure(f"{what}: frame {raw.hex(' ')} decodes with (got, expected) {wrong}")


def check_schedule(ok_time, frames):
    """The check that connects and the five after it send nothing; the seventh sends the first
    frame. Those checks are silent, so they are counted on the program's own check clock: the
    interval between its frames, one per check. Judged only while that clock runs steadily, so
    a stalled machine cannot fail the count."""
    check(len(frames) >= 3, "too few frames to count checks by")
    intervals = [b - a for (a, _), (b, _) in zip(frames, frames[1:])]
    period = sorted(intervals)[len(intervals) // 2]
    if not all(0.8 * period < i < 1.2 * period for i in intervals):
        print(f"note: check clock unsteady ({', '.join(f'{i:.2f}' for i in intervals)} s); "
              f"the checks before the first frame are not counted")
        return
    checks = 1 + round((frames[0][0] - ok_time) / period)
    check(checks == CHECKS_BEFORE_FIRST_FRAME + 1,
          f"first frame at check {checks} counting the connecting one, expected check "
          f"{CHECKS_BEFORE_FIRST_FRAME + 1} (check period {period:.2f} s)")
    print(f"first frame at check {checks} counting the connecting one "
          f"(check period {period:.2f} s)")


# --- Scenarios ---------------------------------------------------------------------------------

def scenario_startup_frames(s):
    """Starts with only its tray icon; replayed readings reach the device exactly, from the
    seventh check after connecting; a click on the icon shows the 490 x 800 window."""
    program = s.start()
    s.tray_icon()
    # No device yet: every check tries the port once and fails.
    program.wait_line("open error", 2)
    program.wait_line("[Refresh data] Refresh done", 2)

    win = s.main_window()
    check(not s.x.is_viewable(win), "the window is showing at start; only the tray icon should")
    shown = [w for w in s.x.windows() if not w.ancestors and w.name.startswith("ZOLVEN")
             and w.w > 1 and s.x.is_viewable(w)]
    check(not shown, f"windows showing at start besides the tray icon: {shown}")
    s.shot("start")

    refreshes = [text for _, text in program.lines("[Item Refresh]")]
    for tag, reading, value in EXPECTED_MATCHES:
        check(any(f"{tag} reader: [{reading}], value: [{value}]" in t for t in refreshes),
              f"no refresh of {reading} = {value} under {tag} in the log")

    s.device.plug()
    ok_time = program.wait_line("open ok")[0][0]
    frames = s.device.wait_frames(5)
    expect_frames(frames, EXPECTED, "frames of the replayed readings")
    check(not s.device.stray, f"bytes between frames: {bytes(s.device.stray).hex(' ')}")
    check_schedule(ok_time, frames)
    check(not s.x.is_viewable(win), "the window showed up by itself")

    s.show_window()
    s.window_shot("window")
    since = s.device.frame_count()
    expect_frames(s.device.wait_frames(2, since), EXPECTED, "frames with the window showing")

    # The header's button folds the window to its 80-pixel header and back.
    s.click_window(EXPAND_BUTTON)
    wait_for("the window to fold to its header", lambda: s.x.geometry(win)[3] == 80)
    s.window_shot("folded", 80)
    s.click_window(EXPAND_BUTTON)
    wait_for("the window to unfold", lambda: s.x.geometry(win)[3] == 800)
    # The close button only hides the window; the device is fed on.
    s.click_window(CLOSE_BUTTON)
    wait_for("the close button to hide the window", lambda: not s.x.is_viewable(win))
    since = s.device.frame_count()
    expect_frames(s.device.wait_frames(2, since), EXPECTED, "frames with the window closed")
    check(s.quit_from_tray(program) == 0, "quitting did not exit with 0")


def scenario_fahrenheit_and_quit(s):
    """The Fahrenheit switch sets the unit byte and the CPU temperature once in Fahrenheit;
    "Quit ZOLVEN" in the tray menu exits 0 and writes every setting at exit."""
    s.device.plug()
    program = s.start()
    program.wait_line("open ok")
    expect_frames(s.device.wait_frames(1), EXPECTED, "frames before the switch")
    s.show_window()
    celsius = {box: s.grab_settled(box) for box in (CPU_TEMP_VALUE, GPU_TEMP_VALUE,
                                                    CPU_CLOCK_VALUE)}

    def switch(on):
        logged = program.count(f"[setIsShowFah] {'true' if on else 'false'}")
        s.click_window(FAHRENHEIT_SWITCH)
        s.x.park_pointer()
        program.wait_line(f"[setIsShowFah] {'true' if on else 'false'}", logged + 1)
        since = s.device.frame_count()
        want = EXPECTED_F if on else EXPECTED
        # A frame built before the click may still be on its way: judge the later ones.
        frames = s.device.wait_frames(3, since)[1:]
        expect_frames(frames, want, f"frames after switching Fahrenheit {'on' if on else 'off'}")
        stored = s.app.settings().get("GENERAL", {}).get("Show Fah")
        check(stored == ("true" if on else "false"),
              f"config.ini holds Show Fah={stored} after switching")

    switch(True)
    s.window_shot("fahrenheit")
    for box, before in celsius.items():
        changed = s.grab_settled(box).difference(before) > 0.01
        if box == CPU_CLOCK_VALUE:
            check(not changed, "the CPU clock row changed with the temperature unit")
        else:
            check(changed, f"a temperature row at {box} still looks the same in Fahrenheit")
    switch(False)
    switch(True)

    # A hand edit while running leaves only the device line; the exit write restores the rest.
    s.app.write_config(f"[DEVICE]\nPort={s.app.port}\n")
    code = s.quit_from_tray(program)
    check(code == 0, f"exit code {code} after Quit ZOLVEN")
    check(program.lines("Application exited with code: 0"), "no exit line with code 0")
    settings = s.app.settings()
    check(settings.get("GENERAL") == {"Auto Run": "true", "Show Fah": "true", "Language": "2"},
          f"config.ini after quitting: {settings}")
    check(settings.get("DEVICE", {}).get("Port") == s.app.port, "the Port key was lost")
    check(not os.path.exists(s.app.lock_path), "the lock file is still there after quitting")
    with open(s.app.autostart_entry, encoding="utf-8") as f:
        check(f'Exec="{s.app.exe}"' in f.read(), "the autostart entry names another program")


def scenario_language_restart(s):
    """A language picked in the window is in config.ini and on screen after a restart."""
    program = s.start()
    s.show_window()
    english = s.grab_settled(SETTINGS_AREA)

    before = s.grab(SETTINGS_AREA)
    s.click_window(LANGUAGE_BAR)
    wait_for("the language list to open", lambda: s.grab(SETTINGS_AREA).difference(before) > 0.02)
    s.grab_settled(SETTINGS_AREA)
    s.window_shot("language-list")
    s.click_window(LANGUAGE_SLOT[1])
    s.x.park_pointer()
    program.wait_line("[setIndexLanguage] 1")
    picked = s.grab_settled(SETTINGS_AREA)
    print(f"settings area: {picked.difference(english):.1%} of it changed with the language")
    check(picked.difference(english) > 0.02, "the settings texts did not change language")
    s.window_shot("picked")
    check(s.app.settings()["GENERAL"].get("Language") == "1", "config.ini does not hold Language=1")

    check(s.quit_from_tray(program) == 0, "quitting did not exit with 0")
    saved = s.app.read_config_text()
    check(s.app.settings()["GENERAL"] == {"Auto Run": "true", "Show Fah": "false",
                                          "Language": "1"}, f"config.ini at exit: {saved}")

    again = s.start("restarted")
    again.wait_line("[setIndexLanguage] 1")
    check(again.count("[setIndexLanguage]") == 1, "the language was switched more than once")
    # A complete file is read as it is, not rewritten with defaults.
    check(s.app.read_config_text() == saved, "the restart rewrote config.ini")
    s.show_window()
    restarted = s.grab_settled(SETTINGS_AREA)
    print(f"settings area after the restart: {restarted.difference(picked):.2%} different")
    s.window_shot("restarted")
    check(restarted.difference(picked) < 0.01,
          f"after the restart the settings look {restarted.difference(picked):.1%} different")
    check(s.quit_from_tray(again) == 0, "quitting the restarted program did not exit with 0")


def scenario_second_instance(s):
    """A second start shows its box and exits 1; the first keeps feeding the device."""
    s.device.plug()
    first = s.start("first")
    first.wait_line("open ok")
    expect_frames(s.device.wait_frames(2), EXPECTED, "frames of the first")
    saved = s.app.read_config_text()

    second = s.start("second")
    second.wait_line("[LOCK FILE EXIST, EXIT APP]")
    box = wait_for("the Oops box", lambda: s.x.top_level("Oops"))
    wait_for("the Oops box to show", lambda: s.x.is_viewable(box))
    bx, by, bw, bh = s.x.geometry(box)
    s.shot("oops", (bx, by, bw, bh))
    check(second.running(), "the second start did not wait for its box")
    since = s.device.frame_count()
    expect_frames(s.device.wait_frames(2, since), EXPECTED, "frames while the box shows")

    # The box's only button sits at its bottom right.
    s.x.click(bx + bw - 50, by + bh - 23)
    try:
        wait_for("the box to close", lambda: not second.running(), timeout=5)
    except Failure:
        print("note: the click missed the Ok button; closing the box from the keyboard")
        s.x.run(["xdotool", "windowfocus", box.id, "key", "Escape"])
    code = second.wait_exit()
    check(code == 1, f"the second start exited with {code}, not 1")

    for text in ("open ok", "open error", "[RunHwinfo]", "[setIsAutoRun]"):
        check(not second.lines(text), f"the refused start went on to {text!r}")
    check(s.app.read_config_text() == saved, "the refused start touched config.ini")
    check(first.running(), "the first copy ended")
    check(os.path.exists(s.app.lock_path), "the first copy's lock file is gone")
    since = s.device.frame_count()
    expect_frames(s.device.wait_frames(3, since), EXPECTED, "frames after the refused start")
    check(first.count("open ok") == 1 and not first.lines("open error"),
          "the first copy's device link was disturbed")
    check(s.quit_from_tray(first) == 0, "quitting the first copy did not exit with 0")


def scenario_reconnect(s):
    """The device end closed and opened again: the program notices, retries every check and
    reconnects, sending from the seventh check again."""
    s.device.plug()
    program = s.start()
    program.wait_line("open ok")
    expect_frames(s.device.wait_frames(2), EXPECTED, "frames before unplugging")

    s.device.unplug()
    failed = program.count("open error")
    program.wait_line("open error", failed + 2)
    since = s.device.frame_count()
    s.device.plug()
    ok_time = program.wait_line("open ok", 2)[1][0]
    frames = s.device.wait_frames(5, since)
    expect_frames(frames, EXPECTED, "frames after reconnecting")
    check(not s.device.stray, f"bytes between frames: {bytes(s.device.stray).hex(' ')}")
    check_schedule(ok_time, frames)
    check(s.quit_from_tray(program) == 0, "quitting did not exit with 0")


SCENARIOS = {
    "startup_frames": scenario_startup_frames,
    "fahrenheit_and_quit": scenario_fahrenheit_and_quit,
    "language_restart": scenario_language_restart,
    "second_instance": scenario_second_instance,
    "reconnect": scenario_reconnect,
}


def run(name, artifacts):
    print(f"=== {name}: {' '.join(SCENARIOS[name].__doc__.split())}")
    started = time.monotonic()
    scene = None
    try:
        scene = Scene(name, artifacts)
        SCENARIOS[name](scene)
        print(f"=== {name}: passed in {time.monotonic() - started:.1f} s")
        return True
    except Exception as e:  # noqa: BLE001 - every failure gets the same diagnosis
        print(f"=== {name}: FAILED: {e}")
        if not isinstance(e, Failure):
            traceback.print_exc()
        if scene and scene.x:
            print("screen saved to", scene.shot("failure"))
            try:
                print("windows:", [w for w in scene.x.windows() if w.name])
            except Failure:
                pass
        for program in (scene.programs if scene else []):
            print(f"--- last lines of {program.label} ({program.log_path}):")
            print(program.tail())
        if scene:
            print(f"decoded frames: {len(scene.device.frames)}, stray bytes: "
                  f"{len(scene.device.stray)}; logs and screenshots in {scene.artifacts}")
        return False
    finally:
        if scene:
            scene.close()


def main(argv):
    if "--list" in argv:
        print("\n".join(SCENARIOS))
        return 0
    names = argv or list(SCENARIOS)
    unknown = [n for n in names if n not in SCENARIOS]
    if unknown:
        print("unknown scenario(s):", ", ".join(unknown), file=sys.stderr)
        return 2
    missing = [t for t in TOOLS if not shutil.which(t)]
    if missing:
        print("skipped: missing", ", ".join(missing))
        return 77
    for var in ("ZOLVEN_E2E_EXE", "ZOLVEN_E2E_MONITOR"):
        if not os.path.isfile(os.environ.get(var, "")):
            print(f"{var} does not name a file", file=sys.stderr)
            return 2
    artifacts = os.path.abspath(os.environ.get("ZOLVEN_E2E_ARTIFACTS", "e2e-artifacts"))
    results = [run(name, artifacts) for name in names]
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
