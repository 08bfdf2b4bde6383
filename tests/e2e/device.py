"""The device: the telemetry frame as it arrives, and a pseudo-terminal standing in for the
USB serial port."""

import fcntl
import os
import select
import threading
import time
import tty

from basics import check, wait_for

FRAME_SIZE = 23
FRAME_MARK = 0x74
FRAME_MASK = 0xA5
# (field, offset, width): the frame's layout, read independently of the program's own decoder.
FRAME_FIELDS = (
    ("cpu_temp", 2, 1),
    ("cpu_fan", 3, 2),
    ("cpu_usage", 5, 1),
    ("cpu_clock", 6, 2),
    ("gpu_usage", 8, 1),
    ("gpu_clock", 9, 2),
    ("gpu_mem_used", 11, 4),
    ("gpu_mem_total", 15, 4),
    ("gpu_fan", 19, 2),
    ("gpu_temp", 21, 1),
    ("ram_usage", 22, 1),
)


def decode_frame(raw):
    """The fields of one 23-byte frame, each as the unsigned number of its width."""
    check(len(raw) == FRAME_SIZE, f"frame of {len(raw)} bytes")
    check(raw[0] == FRAME_MARK, f"frame mark {raw[0]:#04x}")
    clear = bytes(raw[:2]) + bytes(b ^ FRAME_MASK for b in raw[2:])
    fields = {"unit": raw[1]}
    for name, offset, width in FRAME_FIELDS:
        fields[name] = int.from_bytes(clear[offset:offset + width], "big")
    return fields


class PtyDevice:
    """The device end of a pseudo-terminal, reached by the program through a fixed path.

    config.ini's Port names a symbolic link that points at the current pty's slave, the way a
    udev by-id link follows a USB device. Unplugging closes our end (the program's writes start
    failing) and removes the link; plugging in again opens a new pty and points the link at it.
    """

    def __init__(self, link):
        self.link = link
        self.master = -1
        self.frames = []  # (arrival time, 23 raw bytes), across every plug
        self.stray = bytearray()  # bytes that were not a frame
        self.plugs = 0
        self._lock = threading.Lock()
        self._stop = threading.Event()
        self._thread = None

    def plug(self):
        check(self.master < 0, "device already plugged in")
        master, slave = os.openpty()
        # Raw from the start, so no line discipline rewrites a byte even before the program
        # sets the port up.
        tty.setraw(slave)
        name = os.ttyname(slave)
        os.close(slave)
        fcntl.fcntl(master, fcntl.F_SETFL, fcntl.fcntl(master, fcntl.F_GETFL) | os.O_NONBLOCK)
        self.master = master
        self.plugs += 1
        staged = self.link + ".new"
        if os.path.lexists(staged):
            os.unlink(staged)
        os.symlink(name, staged)
        os.replace(staged, self.link)
        self._stop.clear()
        self._thread = threading.Thread(target=self._read, args=(master,), daemon=True)
        self._thread.start()
        return name

    def unplug(self):
        if self.master < 0:
            return
        self._stop.set()
        self._thread.join()
        if os.path.lexists(self.link):
            os.unlink(self.link)
        os.close(self.master)
        self.master = -1

    def _read(self, master):
        pending = bytearray()
        while not self._stop.is_set():
            ready, _, _ = select.select([master], [], [], 0.1)
            if not ready:
                continue
            try:
                chunk = os.read(master, 4096)
            except BlockingIOError:
                continue
            except OSError:
                # EIO while no one holds the slave open.
                time.sleep(0.05)
                continue
            now = time.monotonic()
            pending += chunk
            with self._lock:
                while len(pending) >= FRAME_SIZE:
                    if pending[0] != FRAME_MARK or pending[1] not in (0, 1):
                        self.stray.append(pending.pop(0))
                        continue
                    self.frames.append((now, bytes(pending[:FRAME_SIZE])))
                    del pending[:FRAME_SIZE]

    def frame_count(self):
        with self._lock:
            return len(self.frames)

    def frames_since(self, index):
        with self._lock:
            return list(self.frames[index:])

    def wait_frames(self, count, since=0, timeout=30):
        wait_for(f"{count} frame(s) on the device",
                 lambda: self.frame_count() - since >= count, timeout)
        return self.frames_since(since)
