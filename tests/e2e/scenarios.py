"""The scenarios: each drives a fresh copy of the program through what a user does."""

import os

from zolven_harness.basics import Failure, check, wait_for
from zolven_harness.expect import EXPECTED, EXPECTED_F, check_schedule, expect_frames
from zolven_harness.scene import (CLOSE_BUTTON, CPU_CLOCK_VALUE, CPU_TEMP_VALUE, EXPAND_BUTTON,
                                  FAHRENHEIT_SWITCH, GPU_TEMP_VALUE, LANGUAGE_BAR, LANGUAGE_SLOT,
                                  SETTINGS_AREA, WINDOW_W)

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

# --- Scenarios ---------------------------------------------------------------------------------

def scenario_startup_frames(s):
    """Starts with only its tray icon; replayed readings reach the device exactly, from the
    seventh check after connecting; a click on the icon shows the 490 x 800 window."""
    program = s.start()
    s.tray_icon()
    # No device yet: every check tries the port and fails, saying so once.
    program.wait_line("open error")
    program.wait_line("[Refresh data] Refresh done", 2)

    # The window may not exist yet: it is made when first shown.
    def window_showing():
        win = s.x.top_level("ZOLVEN", width=WINDOW_W)
        return win is not None and s.x.is_viewable(win)
    check(not window_showing(), "the window is showing at start; only the tray icon should")
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
    check(not window_showing(), "the window showed up by itself")

    win = s.show_window()
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
    s.app.write_config(f"[DEVICE]\nPort={s.device.link}\n")
    code = s.quit_from_tray(program)
    check(code == 0, f"exit code {code} after Quit ZOLVEN")
    check(program.lines("Application exited with code: 0"), "no exit line with code 0")
    settings = s.app.settings()
    check(settings.get("GENERAL") == {"Auto Run": "true", "Show Fah": "true", "Language": "2"},
          f"config.ini after quitting: {settings}")
    check(settings.get("DEVICE", {}).get("Port") == s.device.link, "the Port key was lost")
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

    second = s.start("second", settled=False)
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
    program.wait_line("open error", failed + 1)
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
