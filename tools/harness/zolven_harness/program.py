"""One user's copy of the program in a temporary directory, and runs of it with their logs."""

import configparser
import os
import shutil
import signal
import subprocess
import tempfile
import threading
import time

from .basics import TIMEOUT_SCALE, Failure, stop_process, wait_for


class AppDir:
    """A directory holding the program's copy, config.dat, its readings and config.ini, and
    the temporary home, lock and runtime directories of one user. Without config there is no
    config.ini: the program starts as on a new machine."""

    def __init__(self, root, exe, monitor, readings=None, config=None, exe_name="ZOLVEN"):
        self.root = root
        self.dir = os.path.join(root, "app")
        for sub in ("app", "home", "xdg", "tmp", "run", "dev"):
            os.makedirs(os.path.join(root, sub), exist_ok=True)
        os.chmod(os.path.join(root, "run"), 0o700)
        # A copy, not a link: the application directory is where the executable really is.
        self.exe = os.path.join(self.dir, exe_name)
        shutil.copy2(exe, self.exe)
        shutil.copy2(monitor, os.path.join(self.dir, "config.dat"))
        if readings:
            shutil.copy2(readings, os.path.join(self.dir, "config.readings"))
        self.config_path = os.path.join(self.dir, "config.ini")
        if config is not None:
            self.write_config(config)

    @property
    def lock_path(self):
        return os.path.join(self.root, "run", "ZOLVEN.lock")

    @property
    def autostart_entry(self):
        return os.path.join(self.root, "xdg", "autostart", "ZOLVEN.desktop")

    def env(self):
        return {
            "HOME": os.path.join(self.root, "home"),
            "XDG_CONFIG_HOME": os.path.join(self.root, "xdg"),
            "XDG_CACHE_HOME": os.path.join(self.root, "home", ".cache"),
            "XDG_DATA_HOME": os.path.join(self.root, "home", ".local", "share"),
            "XDG_RUNTIME_DIR": os.path.join(self.root, "run"),
            "TMPDIR": os.path.join(self.root, "tmp"),
            "LANG": "C.UTF-8",
            "QT_QPA_PLATFORM": "xcb",
            # Qt may send its log to the journal when stderr is no terminal.
            "QT_FORCE_STDERR_LOGGING": "1",
        }

    def write_config(self, text):
        with open(self.config_path, "w", encoding="utf-8") as f:
            f.write(text)

    def read_config_text(self):
        with open(self.config_path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def settings(self):
        """config.ini as {group: {key: value}}, with the INI format's escapes undone and the
        group of the three settings under "GENERAL" whatever case the file gives it."""
        parser = configparser.RawConfigParser(strict=False)
        parser.optionxform = str
        parser.read_string(self.read_config_text())
        result = {}
        for section in parser.sections():
            name = section.lstrip("%")
            if name.upper() == "GENERAL":
                name = "GENERAL"
            group = result.setdefault(name, {})
            for key, value in parser.items(section):
                group[key.replace("%20", " ")] = value
        return result

    def remove(self):
        shutil.rmtree(self.root, ignore_errors=True)


def _scrubbed(name):
    """Variables of the caller's environment that would point the program elsewhere: another
    bus or display server (a tray outside our X session), Qt's and our own settings."""
    return name.startswith(("QT_", "ZOLVEN_")) or name in ("DBUS_SESSION_BUS_ADDRESS",
                                                          "WAYLAND_DISPLAY")


class Program:
    """One run of the program (or of another executable, from the same directory and with the
    same environment) with its output captured line by line, and written to log_path if given.
    env adds to the environment."""

    def __init__(self, app, xsession, log_path=None, executable=None, args=(), env=None,
                 inherit=True, command=None, preexec_fn=None):
        self.log_path = log_path
        if inherit:
            full_env = {k: v for k, v in os.environ.items() if not _scrubbed(k)}
            full_env.update(xsession.env)
            full_env.update(app.env())
        else:
            # Only what env gives: a service's bare environment.
            full_env = {}
        full_env.update(env or {})
        self._log = open(log_path, "w", encoding="utf-8") if log_path else None
        self._lines = []  # (arrival time, text)
        self._lock = threading.Lock()
        argv = [executable or app.exe, *args]
        # command wraps the program's own command line (a shell that sets its process id, say).
        self.proc = subprocess.Popen(command(argv) if command else argv, cwd=app.dir,
                                     env=full_env, stdin=subprocess.DEVNULL,
                                     stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                     preexec_fn=preexec_fn)
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()

    def _read(self):
        for raw in self.proc.stdout:
            text = raw.decode("utf-8", errors="replace").rstrip("\n")
            with self._lock:
                self._lines.append((time.monotonic(), text))
            if self._log:
                self._log.write(text + "\n")
                self._log.flush()

    def lines(self, containing=None):
        with self._lock:
            return [entry for entry in self._lines if containing is None or containing in entry[1]]

    def count(self, text):
        return len(self.lines(text))

    def wait_line(self, text, count=1, timeout=30):
        """Waits until count log lines contain text; returns those lines with their times."""
        def seen():
            found = self.lines(text)
            if len(found) >= count:
                return found
            if self.proc.poll() is not None:
                raise Failure(f"the program ended (code {self.proc.returncode}) before "
                              f"logging {text!r}")
            return None
        return wait_for(f"{count} log line(s) with {text!r}", seen, timeout)

    def running(self):
        return self.proc.poll() is None

    def wait_exit(self, timeout=30):
        try:
            code = self.proc.wait(timeout * TIMEOUT_SCALE)
        except subprocess.TimeoutExpired:
            raise Failure(f"the program did not exit within {timeout * TIMEOUT_SCALE:.0f} s")
        self._reader.join(10)
        return code

    def kill(self):
        """SIGKILL: what is left of a scenario goes without a chance to tidy up."""
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGKILL)
            self.proc.wait()
        self._finish()

    def terminate(self, seconds=10):
        """SIGTERM, the way a session ends it; SIGKILL if it is still there after seconds."""
        stop_process(self.proc, seconds)
        self._finish()

    def _finish(self):
        self._reader.join(10)
        if self._log and not self._log.closed:
            self._log.close()

    # The per-pass and start-up dumps would bury everything else in a failure report.
    _ROUTINE = ("[Item Refresh]", "[Item Found]", "[Refresh data]", "tSensorLocation.",
                "tReadingLocation.", "tReadingType.", "value: ", "szUnits: ")

    def tail(self, count=60):
        lines = [text for _, text in self.lines() if not text.startswith(self._ROUTINE)]
        return "\n".join(lines[-count:])


def make_workdir(prefix):
    return tempfile.mkdtemp(prefix=prefix)


def start_labelled(app, session, artifacts, label, programs, env=None, settled=True):
    """Starts the program with its log in <artifacts>/<label>.log and keeps it in programs, so
    that a failure prints its last lines and closing the scenario ends it. settled waits until
    the window has loaded its settings, the last thing it does before it hides."""
    program = Program(app, session, os.path.join(artifacts, f"{label}.log"), env=env)
    program.label = label
    programs.append(program)
    if settled:
        program.wait_line("[setIndexLanguage]")
    return program
