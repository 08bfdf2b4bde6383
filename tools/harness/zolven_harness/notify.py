"""A service manager's notification socket, as systemd offers it through NOTIFY_SOCKET: an
AF_UNIX datagram socket whose messages ("READY=1", "WATCHDOG=1", ...) a thread keeps with the
time they arrived."""

import os
import select
import socket
import threading
import time

from .basics import wait_for


class NotifySocket:
    def __init__(self, path):
        self.path = path
        if os.path.lexists(path):
            os.unlink(path)
        self._sock = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        self._sock.bind(path)
        # Anyone may send, as to systemd's: the service may run as another user.
        os.chmod(path, 0o777)
        self._lock = threading.Lock()
        self._messages = []  # (arrival time, {key: value})
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._read, daemon=True)
        self._thread.start()

    def _read(self):
        while not self._stop.is_set():
            ready, _, _ = select.select([self._sock], [], [], 0.1)
            if not ready:
                continue
            data = self._sock.recv(4096)
            fields = dict(line.split("=", 1) for line in data.decode("utf-8", "replace").splitlines()
                          if "=" in line)
            with self._lock:
                self._messages.append((time.monotonic(), fields))

    def env(self, watchdog_usec=None):
        """What the manager puts in the service's environment. WATCHDOG_PID has to name the
        service's process: started through sh -c 'WATCHDOG_PID=$$ exec ...' (see command())."""
        env = {"NOTIFY_SOCKET": self.path}
        if watchdog_usec:
            env["WATCHDOG_USEC"] = str(watchdog_usec)
        return env

    @staticmethod
    def command(argv):
        """argv run with WATCHDOG_PID set to its own process id."""
        return ["/bin/sh", "-c", 'WATCHDOG_PID=$$; export WATCHDOG_PID; exec "$@"', "sh", *argv]

    def messages(self, key=None):
        """(time, fields) of every message, or of those that set key."""
        with self._lock:
            return [m for m in self._messages if key is None or key in m[1]]

    def wait(self, key, count=1, since=0.0, timeout=30):
        """Waits for count messages setting key that arrived after the time since."""
        def seen():
            found = [m for m in self.messages(key) if m[0] > since]
            return found if len(found) >= count else None
        return wait_for(f"{count} notification(s) with {key}", seen, timeout)

    def close(self):
        self._stop.set()
        self._thread.join()
        self._sock.close()
        if os.path.lexists(self.path):
            os.unlink(self.path)
