"""A pseudo-terminal standing in for the device on its USB serial port."""

import fcntl
import os
import select
import threading
import time
import tty

from .basics import check, wait_for
from .frame import FrameScanner


class PtyDevice:
    """The device end of a pseudo-terminal; a thread reads it and keeps every whole frame with
    the time it arrived.

    With a link, config.ini's Port names that symbolic link, which points at the current pty's
    slave the way a udev by-id link follows a USB device. Unplugging closes our end (the
    program's writes start failing) and removes the link; plugging in again opens a new pty and
    points the link at it.

    Without a link the device is plugged in at once and the program is given the slave's own
    path. The slave stays open here too, so the master never sees a hang-up between the
    program's connections.
    """

    def __init__(self, link=None):
        self.link = link
        self.path = link
        self.master = -1
        self._slave = -1
        self.frames = []  # (arrival time, 23 raw bytes), across every plug
        self.stray = bytearray()  # bytes that were not a frame
        self.plugs = 0
        self._lock = threading.Lock()
        self._stop = threading.Event()
        self._thread = None
        if link is None:
            self.plug()

    def plug(self):
        check(self.master < 0, "device already plugged in")
        master, slave = os.openpty()
        # Raw from the start, so no line discipline rewrites a byte even before the program
        # sets the port up.
        tty.setraw(slave)
        name = os.ttyname(slave)
        fcntl.fcntl(master, fcntl.F_SETFL, fcntl.fcntl(master, fcntl.F_GETFL) | os.O_NONBLOCK)
        self.master = master
        self.plugs += 1
        if self.link is None:
            self._slave = slave
            self.path = name
        else:
            os.close(slave)
            staged = self.link + ".new"
            if os.path.lexists(staged):
                os.unlink(staged)
            os.symlink(name, staged)
            os.replace(staged, self.link)
        self._stop.clear()
        # A frame cut short by the last unplug is not completed by the next plug's bytes.
        scanner = FrameScanner(self.stray)
        self._thread = threading.Thread(target=self._read, args=(master, scanner), daemon=True)
        self._thread.start()
        return name

    def unplug(self):
        if self.master < 0:
            return
        self._stop.set()
        self._thread.join()
        if self.link is not None and os.path.lexists(self.link):
            os.unlink(self.link)
        os.close(self.master)
        self.master = -1
        if self._slave >= 0:
            os.close(self._slave)
            self._slave = -1

    close = unplug

    def _read(self, master, scanner):
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
            with self._lock:
                self.frames.extend((now, frame) for frame in scanner.feed(chunk))

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
