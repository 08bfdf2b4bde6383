#!/usr/bin/python3
"""zolvend as its systemd unit runs it, as near as a machine without systemd as PID 1 allows.

    service_sandbox.py --unit <zolvend.service> --service <zolvend> --library <config.dat>

In a private mount namespace: the program and the library laid out as installed
(/usr/lib/zolven, through an overlay), /etc/zolven/config.ini naming a pseudo-terminal, the
root file system, /run and the home folders read-only, /tmp private and empty (PrivateTmp,
ProtectSystem=strict, ProtectHome). The program starts with the unit's ExecStart and
Environment= and nothing else, as systemd marks a system service (INVOCATION_ID), as nobody
with only the unit's supplementary group, no capabilities and no new privileges, in a user
namespace of its own that maps nobody alone (PrivateUsers: the port's group is unmapped there,
yet still opens the port) where the kernel lets an ordinary user make one. It must read
/etc/zolven/config.ini, take QSerialPort's lock in the private /tmp, feed the pty, map no page
both writable and executable (MemoryDenyWriteExecute) and end with 0 on SIGTERM. The system
call filter, the device policy and the address families need systemd and are left to
systemd-analyze in CI. As root; exit code 77 without root, unshare or overlayfs.
"""

import argparse
import grp
import os
import pwd
import shutil
import signal
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../tools/harness"))
from zolven_harness.basics import TIMEOUT_SCALE, Failure, check  # noqa: E402
from zolven_harness.device import PtyDevice  # noqa: E402
from zolven_harness.frame import decode  # noqa: E402

SKIP = 77


def unit_settings(path):
    """ExecStart, Environment and SupplementaryGroups of the unit's [Service] section."""
    settings = {"Environment": [], "SupplementaryGroups": []}
    section = None
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if not line or line.startswith(("#", ";")):
                continue
            if line.startswith("["):
                section = line
                continue
            if section != "[Service]" or "=" not in line:
                continue
            key, value = line.split("=", 1)
            if key in ("Environment", "SupplementaryGroups"):
                settings[key] += value.split()
            else:
                settings[key] = value
    return settings


LAYOUT = r'''
set -e
mount -t overlay overlay -o "lowerdir=$1/usr:/usr" /usr
mount -t overlay overlay -o "lowerdir=$1/etc:/etc" /etc
mount -t tmpfs -o mode=1777 tmpfs /tmp
mount -o remount,bind,ro /
mount -o remount,bind,ro /run 2>/dev/null || mount -t tmpfs -o ro tmpfs /run
mount -t tmpfs -o ro tmpfs /home
mount -t tmpfs -o ro tmpfs /root
shift
exec "$@"
'''


def main():
    parser = argparse.ArgumentParser()
    for name in ("unit", "service", "library"):
        parser.add_argument("--" + name, required=True)
    args = parser.parse_args()
    if os.geteuid() != 0:
        print("skipped: needs root (mount namespaces, another user)")
        return SKIP
    for tool in ("unshare", "setpriv"):
        if not shutil.which(tool):
            print(f"skipped: no {tool}")
            return SKIP

    unit = unit_settings(args.unit)
    exec_start = unit["ExecStart"].split()
    check(len(exec_start) == 1, f"the unit passes options: {unit['ExecStart']}")
    program = exec_start[0]
    groups = unit["SupplementaryGroups"]
    for group in groups:
        try:
            grp.getgrnam(group)
        except KeyError:
            print(f"skipped: no group {group}")
            return SKIP

    work = tempfile.mkdtemp(prefix="zolven-sandbox-")
    os.chmod(work, 0o755)
    device = PtyDevice()
    proc = None
    try:
        # The port as udev gives it: root's, open to the unit's group only.
        os.chown(device.path, 0, grp.getgrnam(groups[0]).gr_gid if groups else 0)
        os.chmod(device.path, 0o660)
        appdir = os.path.join(work, program.lstrip("/").rsplit("/", 1)[0])
        os.makedirs(appdir)
        shutil.copy2(args.service, os.path.join(work, program.lstrip("/")))
        shutil.copy2(args.library, os.path.join(appdir, "config.dat"))
        os.makedirs(os.path.join(work, "etc", "zolven"))
        with open(os.path.join(work, "etc", "zolven", "config.ini"), "w") as f:
            f.write(f"[General]\nShow Fah=true\n\n[DEVICE]\nPort={device.path}\n")

        nobody = pwd.getpwnam("nobody")
        own_users = ["unshare", "--user", f"--map-user={nobody.pw_uid}",
                     f"--map-group={nobody.pw_gid}"]
        drop = ["setpriv", "--reuid=nobody", "--regid=" + str(nobody.pw_gid),
                "--groups=" + ",".join(groups) if groups else "--clear-groups",
                "--no-new-privs", "--inh-caps=-all", "--bounding-set=-all"]
        if subprocess.run([*drop, *own_users, "true"], capture_output=True).returncode != 0:
            print("note: no user namespace for an ordinary user here; PrivateUsers not tried")
            own_users = []
        env = ["PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin", "LANG=C.UTF-8",
               "INVOCATION_ID=5c0ffee5c0ffee5c0ffee5c0ffee5c0f"] + unit["Environment"]
        argv = ["unshare", "--mount", "--propagation", "private", "sh", "-c", LAYOUT, "sh", work,
                *drop, *own_users, "env", "-i", *env, program]
        probe = subprocess.run(["unshare", "--mount", "--propagation", "private", "sh", "-c",
                                LAYOUT, "sh", work, "true"], capture_output=True, text=True)
        if probe.returncode != 0:
            print(f"skipped: the sandbox's mounts failed here: {probe.stderr.strip()}")
            return SKIP
        proc = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, text=True)
        try:
            device.wait_frames(3, timeout=120)
        except Failure:
            proc.send_signal(signal.SIGKILL)
            print(proc.communicate()[0], file=sys.stderr)
            raise
        flags = {decode(raw)["fahrenheit"] for _, raw in device.frames_since(0)}
        check(flags == {1}, f"frames with unit flags {flags}: /etc/zolven/config.ini was not read")
        check(not device.stray, "bytes between frames")

        # The program itself: unshare, sh, setpriv and env exec it in turn.
        pid = proc.pid
        with open(f"/proc/{pid}/status") as f:
            status = dict(line.split(":", 1) for line in f.read().splitlines() if ":" in line)
        check(status["Uid"].split()[0] == str(pwd.getpwnam("nobody").pw_uid),
              "not running as nobody")
        check(status["NoNewPrivs"].strip() == "1", "the program may gain privileges")
        if not own_users:
            check(int(status["CapBnd"], 16) == 0, "the program kept capabilities")
        with open(f"/proc/{pid}/maps") as f:
            wx = [line for line in f if line.split()[1].startswith("rwx")]
        check(not wx, "pages both writable and executable, which MemoryDenyWriteExecute "
                      "refuses: " + "".join(wx[:3]))
        locks = [os.readlink(f"/proc/{pid}/fd/{fd}") for fd in os.listdir(f"/proc/{pid}/fd")]
        port_name = os.path.basename(device.path)
        check(any(target.startswith("/tmp/LCK..") and port_name in target for target in locks),
              f"no lock file of the port in the private /tmp: {locks}")

        proc.send_signal(signal.SIGTERM)
        out = proc.communicate(timeout=30 * TIMEOUT_SCALE)[0]
        check(proc.returncode == 0, f"SIGTERM ended it with {proc.returncode}")
        check("configuration /etc/zolven/config.ini" in out,
              f"the start line names another configuration:\n{out}")
        print(out.strip())
        print(f"sandboxed: {device.frame_count()} frames as nobody in {','.join(groups)}"
              f"{' in a user namespace' if own_users else ''}, lock in the private /tmp, no "
              "writable and executable pages, 0 on SIGTERM")
        return 0
    except Failure as failure:
        print(f"FAIL: {failure}", file=sys.stderr)
        return 1
    finally:
        if proc is not None and proc.poll() is None:
            proc.kill()
            proc.wait()
        device.close()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
