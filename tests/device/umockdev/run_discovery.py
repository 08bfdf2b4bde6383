"""The display's real discovery path inside a umockdev testbed.

run_discovery.py <scenario> <driver> <portcheck>

The display is laid out as the kernel lays it out (a cdc_acm interface with ttyACM0 below the
1f3a:0008 device; a ch34x usb-serial port with ttyUSB0 below the 1a86:5d3b one), with udev's
properties or, for "sysfs_only", with only what the kernel gives. The driver (the controller,
checked every 200 ms) runs in a private mount namespace whose /run holds /run/udev/control
(udev monitor) or not (the /dev watch). Frames are read from the pty's master side; an unplug is
the hang-up, a "remove" uevent and the device gone; a replug adds it again.

Re-executes itself under umockdev-wrapper. Exit 77 (skip) without umockdev, python3-gi or the
rights for a mount namespace.
"""

import os
import re
import select
import shutil
import subprocess
import sys
import time

SKIP = 77


def skip(why):
    print("SKIP:", why)
    sys.exit(SKIP)


if "LD_PRELOAD" not in os.environ or "umockdev" not in os.environ.get("LD_PRELOAD", ""):
    wrapper = shutil.which("umockdev-wrapper")
    if not wrapper:
        skip("no umockdev-wrapper (Debian: umockdev)")
    os.execv(wrapper, [wrapper, sys.executable] + sys.argv)

try:
    import gi
    gi.require_version("UMockdev", "1.0")
    from gi.repository import UMockdev
except (ImportError, ValueError) as e:
    skip(f"no UMockdev introspection (gir1.2-umockdev-1.0, python3-gi): {e}")

sys.path.insert(0, os.environ.get("ZOLVEN_HARNESS", os.path.join(
    os.path.dirname(__file__), "..", "..", "..", "tools", "harness")))
from zolven_harness import frame  # noqa: E402

SCENARIO, DRIVER, PORTCHECK = sys.argv[1:4]
CHECK_MS = 200
WAIT = 40  # seconds, generous: the machine may be busy

ACM_USB = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2"
ACM_IF = ACM_USB + "/1-2:1.0"
ACM_TTY = ACM_IF + "/tty/ttyACM0"
CH_USB = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-3"
CH_IF = CH_USB + "/1-3:1.0"
CH_PORT = CH_IF + "/ttyUSB0"
CH_TTY = CH_PORT + "/tty/ttyUSB0"


def acm(udev=True):
    """1f3a:0008 as cdc_acm lays it out; udev's ids on the tty unless only the kernel speaks."""
    props = "E: ID_VENDOR_ID=1f3a\nE: ID_MODEL_ID=0008\nE: ID_BUS=usb\n" if udev else ""
    return f"""P: {ACM_USB[4:]}
N: bus/usb/001/005
E: DEVNAME=/dev/bus/usb/001/005
E: DEVTYPE=usb_device
E: DRIVER=usb
E: SUBSYSTEM=usb
A: idVendor=1f3a
A: idProduct=0008
A: bDeviceClass=02
A: busnum=1
A: devnum=5
A: product=USB Display

P: {ACM_IF[4:]}
E: DEVTYPE=usb_interface
E: DRIVER=cdc_acm
E: SUBSYSTEM=usb
A: bInterfaceClass=02
A: bInterfaceSubClass=02
A: bInterfaceNumber=00

P: {ACM_TTY[4:]}
N: ttyACM0
E: DEVNAME=/dev/ttyACM0
E: MAJOR=166
E: MINOR=0
E: SUBSYSTEM=tty
{props}A: dev=166:0
"""


def ch34x(udev=True):
    """1a86:5d3b as a ch34x usb-serial port: the tty sits below the port below the interface."""
    props = "E: ID_VENDOR_ID=1a86\nE: ID_MODEL_ID=5d3b\nE: ID_BUS=usb\n" if udev else ""
    return f"""P: {CH_USB[4:]}
N: bus/usb/001/006
E: DEVNAME=/dev/bus/usb/001/006
E: DEVTYPE=usb_device
E: DRIVER=usb
E: SUBSYSTEM=usb
A: idVendor=1a86
A: idProduct=5d3b
A: busnum=1
A: devnum=6

P: {CH_IF[4:]}
E: DEVTYPE=usb_interface
E: DRIVER=ch34x
E: SUBSYSTEM=usb
A: bInterfaceClass=ff
A: bInterfaceNumber=00

P: {CH_PORT[4:]}
E: DRIVER=ch34x
E: SUBSYSTEM=usb-serial
A: port_number=0

P: {CH_TTY[4:]}
N: ttyUSB0
E: DEVNAME=/dev/ttyUSB0
E: MAJOR=188
E: MINOR=0
E: SUBSYSTEM=tty
{props}A: dev=188:0
"""


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)


class Bed:
    def __init__(self):
        self.tb = UMockdev.Testbed.new()
        self.root = self.tb.get_root_dir()
        self.masters = {}

    def plug(self, text, node):
        check(self.tb.add_from_string(text), "the testbed refused the device")
        self.masters[node] = self.tb.get_dev_fd(node)
        check(self.masters[node] >= 0, f"no pty behind {node}")
        os.set_blocking(self.masters[node], False)

    def unplug(self, node, tty, parents, announce=True):
        """The hang-up, the kernel's "remove" while sysfs still stands, then the device gone."""
        os.close(self.masters.pop(node))
        if announce:
            self.tb.uevent(tty, "remove")
        for path in [tty] + parents:
            self.tb.remove_device(path)
        ptymap = os.path.join(self.root, "dev", ".ptymap")
        for entry in os.listdir(ptymap) if os.path.isdir(ptymap) else []:
            os.remove(os.path.join(ptymap, entry))

    def replug(self, text, node):
        """Plugged in again: the kernel's sysfs and "add" first, then the node, on a fresh pty of
        our own (umockdev keeps the first one's name and will not make it twice)."""
        check(self.tb.add_from_string(re.sub(r"^N: tty\S+\n", "", text, flags=re.M)),
              "the testbed refused the device")
        self.own_node(node)

    def own_node(self, node):
        ptymap = os.path.join(self.root, "dev", ".ptymap")
        for entry in os.listdir(ptymap) if os.path.isdir(ptymap) else []:
            os.remove(os.path.join(ptymap, entry))
        master, slave = os.openpty()
        link = os.path.join(self.root, node.lstrip("/"))
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(os.ttyname(slave), link)
        os.close(slave)
        os.set_blocking(master, False)
        self.masters[node] = master

    def replug_silently(self, saved, node):
        """The device back as the kernel shows it, with no uevent at all: a copy of the tree
        taken while it was plugged, its node on a fresh pty of our own."""
        for sub in ("sys", "dev"):
            shutil.copytree(os.path.join(saved, sub), os.path.join(self.root, sub),
                            symlinks=True, dirs_exist_ok=True)
        self.own_node(node)

    def read(self, node):
        try:
            return os.read(self.masters[node], 4096)
        except BlockingIOError:
            return b""
        except OSError:
            return b""


class Driver:
    def __init__(self, bed, udev_control):
        self.bed = bed
        self.udev_control = udev_control
        env = dict(os.environ, UMOCKDEV_DIR=bed.root, ZOLVEN_CHECK_MS=str(CHECK_MS))
        preload = os.environ.get("LD_PRELOAD", "")
        # The private /run: with udevd's control socket the program takes the udev monitor,
        # without it the /dev watch. mount itself runs without umockdev's preload.
        make_run = "mount -t tmpfs zolven-run /run"
        if udev_control:
            make_run += " && mkdir -p /run/udev && touch /run/udev/control"
        env_outer = {k: v for k, v in env.items() if k != "LD_PRELOAD"}
        self.proc = subprocess.Popen(
            ["unshare", "-m", "--propagation", "private", "sh", "-c",
             f'{make_run} && exec env LD_PRELOAD="$ZOLVEN_PRELOAD" "$0"', DRIVER],
            env=dict(env_outer, ZOLVEN_PRELOAD=preload),
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        os.set_blocking(self.proc.stdout.fileno(), False)
        self.out = b""
        self.wait_line("started")
        # The program takes the udev monitor exactly when udevd's control socket is there.
        want = "monitor: udev" if udev_control else "monitor: /dev"
        check(want in self.lines(), f"the driver says {self.lines()}, wanted {want}")

    def lines(self):
        try:
            chunk = self.proc.stdout.read()
        except BlockingIOError:
            chunk = None
        if chunk:
            self.out += chunk
        return self.out.decode(errors="replace").splitlines()

    def wait_line(self, line, count=1, timeout=WAIT):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            if self.lines().count(line) >= count:
                return time.monotonic()
            if self.proc.poll() is not None:
                break
            time.sleep(0.02)
        raise Failure(f'no "{line}" #{count} from the driver; it said {self.lines()}; '
                      f'stderr: {self.stderr_tail()}')

    def stderr_tail(self):
        if self.proc.poll() is None:
            return "(still running)"
        return self.proc.stderr.read().decode(errors="replace")[-2000:]

    def stop(self):
        if self.proc.poll() is None:
            try:
                self.proc.stdin.close()
                self.proc.wait(timeout=20)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


def frames_on(bed, node, count, timeout=WAIT):
    """count whole frames read from node's master side."""
    scanner = frame.FrameScanner()
    found = []
    end = time.monotonic() + timeout
    while time.monotonic() < end and len(found) < count:
        select.select([bed.masters[node]], [], [], 0.2)
        found += scanner.feed(bed.read(node))
    check(len(found) >= count, f"{len(found)} frames on {node}, wanted {count}")
    decoded = frame.decode(found[-1])
    check(decoded["cpu_temp"] == 42 and decoded["cpu_load"] == 17 and decoded["ram_load"] == 63,
          f"the frame carries {decoded}")
    return found


def namespace_possible():
    r = subprocess.run(["unshare", "-m", "--propagation", "private", "sh", "-c",
                        "mount -t tmpfs zolven-probe /run"], env={
                            k: v for k, v in os.environ.items() if k != "LD_PRELOAD"},
                       capture_output=True)
    return r.returncode == 0


def plug_cycle(udev_control, text, node, tty, parents):
    bed = Bed()
    bed.plug(text, node)
    driver = Driver(bed, udev_control)
    try:
        driver.wait_line("connected")
        frames_on(bed, node, 2)
        # Unplugged: the link drops at the hang-up.
        unplugged = time.monotonic()
        bed.unplug(node, tty, parents)
        dropped = driver.wait_line("disconnected")
        # Plugged in again: found and fed again.
        replugged = time.monotonic()
        bed.replug(text, node)
        driver.wait_line("connected", count=2)
        frames_on(bed, node, 1)
        fed = time.monotonic()
        frames_on(bed, node, 1)
        print(f"figures: dropped {dropped - unplugged:.2f} s after the unplug (checks every "
              f"{CHECK_MS} ms), first frame {fed - replugged:.2f} s after the replug")
    finally:
        driver.stop()


def main():
    if not shutil.which("unshare") or not namespace_possible():
        skip("no private mount namespace (needs root)")
    if SCENARIO == "devwatch":
        plug_cycle(False, acm(), "/dev/ttyACM0", ACM_TTY, [ACM_IF, ACM_USB])
    elif SCENARIO == "udev":
        plug_cycle(True, acm(), "/dev/ttyACM0", ACM_TTY, [ACM_IF, ACM_USB])
    elif SCENARIO == "ch34x":
        plug_cycle(True, ch34x(), "/dev/ttyUSB0", CH_TTY, [CH_PORT, CH_IF, CH_USB])
    elif SCENARIO == "lost_uevent":
        # Through the udev monitor, which hears nothing of this replug: the kept port list
        # must not be trusted for ever.
        bed = Bed()
        bed.plug(acm(), "/dev/ttyACM0")
        saved = os.path.join(os.path.dirname(bed.root), os.path.basename(bed.root) + ".saved")
        for sub in ("sys", "dev"):
            shutil.copytree(os.path.join(bed.root, sub), os.path.join(saved, sub), symlinks=True)
        driver = Driver(bed, True)
        try:
            driver.wait_line("connected")
            frames_on(bed, "/dev/ttyACM0", 1)
            bed.unplug("/dev/ttyACM0", ACM_TTY, [ACM_IF, ACM_USB])
            driver.wait_line("disconnected")
            time.sleep(1)
            bed.replug_silently(saved, "/dev/ttyACM0")
            driver.wait_line("connected", count=2, timeout=WAIT + 10)
            frames_on(bed, "/dev/ttyACM0", 1)
        finally:
            driver.stop()
            shutil.rmtree(saved, ignore_errors=True)
    elif SCENARIO == "both_displays":
        # The second kind listed first: the order of the ids decides, not the port list.
        bed = Bed()
        bed.plug(ch34x(), "/dev/ttyUSB0")
        bed.plug(acm(), "/dev/ttyACM0")
        driver = Driver(bed, True)
        try:
            driver.wait_line("connected")
            frames_on(bed, "/dev/ttyACM0", 2)
            check(bed.read("/dev/ttyUSB0") == b"", "the second display was fed too")
        finally:
            driver.stop()
    elif SCENARIO == "sysfs_only":
        # No udevd: no ID_VENDOR_ID on the tty, only the kernel's idVendor/idProduct above it.
        bed = Bed()
        bed.plug(ch34x(udev=False), "/dev/ttyUSB0")
        driver = Driver(bed, False)
        try:
            driver.wait_line("connected")
            frames_on(bed, "/dev/ttyUSB0", 2)
        finally:
            driver.stop()
        out = subprocess.run([PORTCHECK], env=dict(os.environ, UMOCKDEV_DIR=bed.root),
                             capture_output=True, text=True, timeout=60).stdout
        check("1a86:5d3b (sysfs)" in out and "would open ttyUSB0 (1a86:5d3b)" in out,
              f"portcheck said:\n{out}")
    elif SCENARIO == "portcheck":
        bed = Bed()
        bed.plug(ch34x(), "/dev/ttyUSB0")
        bed.plug(acm(), "/dev/ttyACM0")
        r = subprocess.run([PORTCHECK], env=dict(os.environ, UMOCKDEV_DIR=bed.root),
                           capture_output=True, text=True, timeout=60)
        check(r.returncode == 0, f"portcheck ended with {r.returncode}: {r.stderr}")
        lines = r.stdout.splitlines()
        check(any(l.startswith("ttyUSB0  /dev/ttyUSB0  1a86:5d3b") for l in lines), r.stdout)
        check(any(l.startswith("ttyACM0  /dev/ttyACM0  1f3a:0008") for l in lines), r.stdout)
        check("would open ttyACM0 (1f3a:0008)" in lines, r.stdout)
    else:
        raise SystemExit(f"unknown scenario {SCENARIO}")
    print("PASS", SCENARIO)


if __name__ == "__main__":
    try:
        main()
    except Failure as e:
        print("FAIL:", e)
        sys.exit(1)
