"""Saves that fail on errors a tmpfs cannot give: strace makes a system call of the save fail
(EDQUOT, ENOSPC or EIO on every write, EIO at the rename or link that puts the new file in
place, ENOSPC from the n-th write on for every n, so that one run fails at the last flush), and
config.ini and the autostart entry must each be either as they were or wholly new, the save
reporting which.

inject_errors.py <save_driver>      exit 77 (skip) without strace or the right to trace.
"""

import os
import shutil
import subprocess
import sys
import tempfile

DRIVER = sys.argv[1]
USERS = b"[%General]\nAuto%20Run=true\nLanguage=2\nShow%20Fah=false\n\n[DEVICE]\nPort=/dev/ttyUSB7\n"
WRITES = "write,writev,pwrite64"
FAULTS = [
    (WRITES, "EDQUOT", ""),
    (WRITES, "ENOSPC", ""),
    (WRITES, "EIO", ""),
    ("rename,renameat,renameat2,linkat", "EIO", ""),
] + [(WRITES, "ENOSPC", f":when={n}+") for n in range(2, 12)]


def main():
    strace = shutil.which("strace")
    if not strace:
        print("SKIP: no strace")
        return 77
    if subprocess.run([strace, "-f", "-qq", "-o", "/dev/null", "true"]).returncode != 0:
        print("SKIP: no right to trace")
        return 77
    failures = []
    with tempfile.TemporaryDirectory() as root:
        app = os.path.join(root, "app")
        xdg = os.path.join(root, "xdg")
        os.makedirs(app)
        env = dict(os.environ, XDG_CONFIG_HOME=xdg, QT_QPA_PLATFORM="offscreen")
        # The entry for one place of the program, written without faults.
        subprocess.run([DRIVER, app, os.path.join(root, "first", "ZOLVEN")], env=env, check=False)
        entry = os.path.join(xdg, "autostart", "ZOLVEN.desktop")
        with open(entry, "rb") as f:
            entry_before = f.read()
        # What a save without faults makes of it.
        moved = os.path.join(root, "moved", "ZOLVEN")
        with open(os.path.join(app, "config.ini"), "wb") as f:
            f.write(USERS)
        subprocess.run([DRIVER, app, moved], env=env, check=False)
        with open(os.path.join(app, "config.ini"), "rb") as f:
            ini_new = f.read()
        with open(entry, "rb") as f:
            entry_new = f.read()
        with open(entry, "wb") as f:
            f.write(entry_before)
        for calls, error, when in FAULTS:
            with open(os.path.join(app, "config.ini"), "wb") as f:
                f.write(USERS)
            with open(entry, "wb") as f:
                f.write(entry_before)
            r = subprocess.run([strace, "-f", "-qq", "-o", "/dev/null", "-e", f"trace={calls}",
                                "-e", f"inject={calls}:error={error}{when}", DRIVER, app, moved],
                               env=env)
            with open(os.path.join(app, "config.ini"), "rb") as f:
                ini = f.read()
            with open(entry, "rb") as f:
                entry_now = f.read()
            what = f"{error} on {calls}{when}"
            if ini not in (USERS, ini_new):
                failures.append(f"{what}: config.ini is now {ini!r}")
            if entry_now not in (entry_before, entry_new):
                failures.append(f"{what}: the autostart entry is now {entry_now!r}")
            if (r.returncode == 1) != (ini == ini_new):
                failures.append(f"{what}: the save said {r.returncode}, the file is "
                                f"{'new' if ini == ini_new else 'old'}")
            leftovers = [n for n in os.listdir(app) if n != "config.ini"]
            if leftovers:
                failures.append(f"{what}: left behind {leftovers}")
            def state(now, old, new):
                return "new" if now == new else "as it was" if now == old else "BROKEN"
            print(f"{what}: save exit {r.returncode}, config.ini {state(ini, USERS, ini_new)}, "
                  f"the entry {state(entry_now, entry_before, entry_new)}")
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
