#!/usr/bin/python3
"""cmake --install into a scratch root, and the installed copy started the way a user starts it.

    install_layout.py --build <build dir> --version <project version> --readings <file>

Checks the files laid out (and nothing else), the menu entry, metainfo and udev rule, and then
runs <root>/usr/bin/zolven twice on Qt's offscreen platform, its library replaying the readings
through a monitor.conf in the user's config folder: once from a terminal (every line), once
with no terminal anywhere, as from a menu entry or the autostart (no debug lines, while frames
still reach the device). Exit code 77 when a validator is missing.
"""

import argparse
import os
import pty
import re
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import tty

APP_ID = "org.zolven.ZOLVEN"
ICON_SIZES = (32, 48, 64, 128, 256, 512)
FILES = {
    "usr/bin/zolven",
    "usr/lib/zolven/ZOLVEN",
    "usr/lib/zolven/config.dat",
    "usr/lib/zolven/installed",
    "usr/lib/zolven/zolvend",
    f"usr/share/applications/{APP_ID}.desktop",
    f"usr/share/metainfo/{APP_ID}.metainfo.xml",
    "usr/lib/udev/rules.d/70-zolven.rules",
    "usr/lib/systemd/system/zolvend.service",
    "usr/share/man/man1/zolven.1.gz",
    "usr/share/man/man8/zolvend.8.gz",
    "usr/share/doc/zolven/copyright",
    "usr/share/doc/zolven/changelog.gz",
    "usr/share/doc/zolven/LICENSE-NotoSansCJK.txt",
    "usr/share/doc/zolven/LICENSE-TrainOne.txt",
} | {f"usr/share/icons/hicolor/{n}x{n}/apps/{APP_ID}.png" for n in ICON_SIZES}
USB_IDS = (("1f3a", "0008"), ("1a86", "5d3b"))
FRAME_SIZE, FRAME_MARK = 23, 0x74

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message)
    return condition


def installed_files(root):
    found = set()
    for folder, _, files in os.walk(root):
        for name in files:
            found.add(os.path.relpath(os.path.join(folder, name), root))
    return found


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    check(head[:8] == b"\x89PNG\r\n\x1a\n", f"{path} is no PNG")
    return struct.unpack(">II", head[16:24])


def check_layout(root, version):
    found = installed_files(root)
    check(found == FILES, f"installed files differ: missing {sorted(FILES - found)}, "
                          f"unexpected {sorted(found - FILES)}")
    link = os.path.join(root, "usr/bin/zolven")
    check(os.path.islink(link) and not os.path.isabs(os.readlink(link)),
          "usr/bin/zolven is no relative link")
    check(os.path.realpath(link) == os.path.join(root, "usr/lib/zolven/ZOLVEN"),
          f"usr/bin/zolven leads to {os.path.realpath(link)}")
    check(os.access(os.path.join(root, "usr/lib/zolven/ZOLVEN"), os.X_OK),
          "the program is not executable")
    for n in ICON_SIZES:
        size = png_size(os.path.join(root, f"usr/share/icons/hicolor/{n}x{n}/apps/{APP_ID}.png"))
        check(size == (n, n), f"the {n}x{n} icon is {size}")

    desktop = os.path.join(root, f"usr/share/applications/{APP_ID}.desktop")
    result = subprocess.run(["desktop-file-validate", desktop], capture_output=True, text=True)
    check(result.returncode == 0 and not result.stdout.strip(),
          f"desktop-file-validate: {result.stdout}{result.stderr}")
    with open(desktop, encoding="utf-8") as f:
        entry = f.read()
    # The command on PATH: the program decides itself how much it logs.
    check(re.search(r"^Exec=zolven$", entry, re.M), "the menu entry does not run zolven")
    check(re.search(rf"^Icon={re.escape(APP_ID)}$", entry, re.M), "the menu entry names another icon")

    metainfo = os.path.join(root, f"usr/share/metainfo/{APP_ID}.metainfo.xml")
    result = subprocess.run(["appstreamcli", "validate", "--no-net", metainfo],
                            capture_output=True, text=True)
    check(result.returncode == 0, f"appstreamcli validate: {result.stdout}{result.stderr}")
    with open(metainfo, encoding="utf-8") as f:
        text = f.read()
    check(f'<release version="{version}"' in text,
          f"the metainfo's newest release is not {version}: bump it with the project version")
    check(f"<launchable type=\"desktop-id\">{APP_ID}.desktop</launchable>" in text,
          "the metainfo launches another desktop entry")

    # The unit starts the service where the install put it, with no options.
    with open(os.path.join(root, "usr/lib/systemd/system/zolvend.service"), encoding="utf-8") as f:
        starts = re.findall(r"^ExecStart=(.*)$", f.read(), re.M)
    check(len(starts) == 1 and " " not in starts[0].strip() and
          os.access(os.path.join(root, starts[0].strip().lstrip("/")), os.X_OK),
          f"the unit's ExecStart {starts} is not the installed zolvend")

    with open(os.path.join(root, "usr/lib/udev/rules.d/70-zolven.rules"), encoding="utf-8") as f:
        rules = [line for line in f.read().splitlines() if line and not line.startswith("#")]
    for vendor, product in USB_IDS:
        tty_rule = [r for r in rules if 'SUBSYSTEM=="tty"' in r and
                    f'ATTRS{{idVendor}}=="{vendor}"' in r and f'ATTRS{{idProduct}}=="{product}"' in r]
        check(len(tty_rule) == 1 and 'TAG+="uaccess"' in tty_rule[0] and
              'ENV{ID_MM_DEVICE_IGNORE}="1"' in tty_rule[0],
              f"no uaccess rule that keeps ModemManager away for {vendor}:{product}")


class Device:
    """The display's end of a pseudo-terminal: counts the frames the program sends."""

    def __init__(self):
        self.master, self.slave = os.openpty()
        tty.setraw(self.slave)
        self.name = os.ttyname(self.slave)
        self.data = bytearray()

    def frames(self):
        # Only frames are ever sent: whole frames from the first byte on.
        return len(self.data) // FRAME_SIZE if self.data[:1] == bytes([FRAME_MARK]) else 0

    def read(self, seconds):
        ready, _, _ = select.select([self.master], [], [], seconds)
        if ready:
            try:
                self.data += os.read(self.master, 4096)
            except OSError:
                pass

    def close(self):
        os.close(self.master)
        os.close(self.slave)


def user_env(home):
    env = {k: v for k, v in os.environ.items()
           if not k.startswith(("QT_", "ZOLVEN_", "XDG_")) and k not in ("DISPLAY",
                                                                        "WAYLAND_DISPLAY",
                                                                        "DBUS_SESSION_BUS_ADDRESS")}
    run = os.path.join(home, "run")
    os.makedirs(run, mode=0o700, exist_ok=True)
    env.update(HOME=home, XDG_CONFIG_HOME=os.path.join(home, "config"), XDG_RUNTIME_DIR=run,
               LANG="C.UTF-8", QT_QPA_PLATFORM="offscreen")
    return env


def stop(proc):
    if proc.poll() is None:
        proc.send_signal(signal.SIGTERM)
        try:
            return proc.wait(30)
        except subprocess.TimeoutExpired:
            proc.kill()
    return proc.wait()


def run_from_terminal(command, env, app_dir):
    """stdout and stderr on a pseudo-terminal, as in a terminal window."""
    master, slave = pty.openpty()
    proc = subprocess.Popen([command], env=env, cwd="/", stdin=subprocess.DEVNULL, stdout=slave,
                            stderr=slave, start_new_session=True)
    os.close(slave)
    out = bytearray()
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline and out.count(b"[Refresh data]") < 3:
        ready, _, _ = select.select([master], [], [], 0.5)
        if ready:
            try:
                out += os.read(master, 65536)
            except OSError:
                break
    code = stop(proc)
    os.close(master)
    text = out.decode(errors="replace").replace("\r\n", "\n")
    check(code == 0, f"from a terminal: exit code {code}")
    check(text.count("[Refresh data]") >= 3, "from a terminal: the refresh lines are missing")
    check(f'[RunHwinfo] DLL path: "{app_dir}/config.dat"' in text,
          "from a terminal: the library was not loaded from the program's own folder:\n" +
          "\n".join(text.splitlines()[:20]))
    check("sensor: CPU [#0]: Test Processor" in text,
          "from a terminal: the readings do not come from the user's monitor.conf")
    conf = os.path.join(env["XDG_CONFIG_HOME"], "ZOLVEN", "config.ini")
    check(f"[Config] Settings file : {conf}" in text,
          "from a terminal: an installed copy keeps its settings outside the user's folder, "
          "although this user (root in CI) may write its own")


def run_without_terminal(command, env, device):
    """No terminal anywhere (a new session, output into a pipe): the desktop's launcher and the
    autostart start the program this way, and its output goes to the journal."""
    proc = subprocess.Popen([command], env=env, cwd="/", stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            start_new_session=True)
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline and device.frames() < 3 and proc.poll() is None:
        device.read(0.5)
    frames = device.frames()
    code = stop(proc)
    lines = proc.stdout.read().decode(errors="replace").splitlines()
    print(f"without a terminal: {frames} frames, {len(lines)} lines:", *lines, sep="\n  ")
    check(code == 0, f"without a terminal: exit code {code}")
    check(frames >= 3, "without a terminal: the device got no frames")
    # A few start-up warnings from Qt at most; never the per-reading lines.
    check(len(lines) <= 10 and not any(line.startswith("[") for line in lines),
          "without a terminal: the program's debug lines still flow")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--version", required=True)
    ap.add_argument("--readings", required=True)
    args = ap.parse_args()
    missing = [t for t in ("desktop-file-validate", "appstreamcli") if not shutil.which(t)]
    if missing:
        print("skipped: missing", ", ".join(missing))
        return 77

    work = tempfile.mkdtemp(prefix="zolven-install-")
    try:
        root = os.path.join(work, "root")
        result = subprocess.run(["cmake", "--install", args.build, "--prefix", "/usr"],
                                env=dict(os.environ, DESTDIR=root), capture_output=True,
                                text=True)
        if not check(result.returncode == 0, f"cmake --install: {result.stdout}{result.stderr}"):
            return 1
        check_layout(root, args.version)

        home = os.path.join(work, "home")
        env = user_env(home)
        conf_dir = os.path.join(env["XDG_CONFIG_HOME"], "ZOLVEN")
        os.makedirs(conf_dir)
        with open(os.path.join(conf_dir, "monitor.conf"), "w") as f:
            f.write(f"replay = {os.path.abspath(args.readings)}\n")
        app_dir = os.path.join(root, "usr/lib/zolven")
        before = sorted(os.listdir(app_dir))
        device = Device()
        # An installed copy reads its settings from the user's folder, whoever runs it.
        with open(os.path.join(conf_dir, "config.ini"), "w") as f:
            f.write(f"[DEVICE]\nPort={device.name}\n")
        command = os.path.join(root, "usr/bin/zolven")
        run_from_terminal(command, env, app_dir)
        run_without_terminal(command, env, device)
        device.close()
        check(sorted(os.listdir(app_dir)) == before,
              f"the installed program wrote into its folder: {sorted(os.listdir(app_dir))}")
        with open(os.path.join(conf_dir, "config.ini")) as f:
            check("Auto%20Run=" in f.read(), "the settings were not written to the user's folder")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print(f"{len(failures)} failed" if failures else "install layout: all checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
