"""Failures and waiting for conditions."""

import os
import signal
import subprocess
import time

# Deadlines are generous: a loaded two-core machine may take many seconds to start the program.
TIMEOUT_SCALE = float(os.environ.get("ZOLVEN_E2E_TIMEOUT_SCALE", "1"))


class Failure(Exception):
    pass


def wait_for(what, predicate, timeout=20.0, interval=0.1):
    """Polls predicate until it returns something truthy, which is returned."""
    deadline = time.monotonic() + timeout * TIMEOUT_SCALE
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f"gave up waiting for {what} after {timeout * TIMEOUT_SCALE:.0f} s")
        time.sleep(interval)


def check(condition, message):
    if not condition:
        raise Failure(message)


def stop_process(proc, seconds=10):
    """SIGTERM, and SIGKILL if that does not end it within seconds; returns the exit code."""
    if proc.poll() is not None:
        return proc.returncode
    proc.send_signal(signal.SIGTERM)
    try:
        return proc.wait(seconds)
    except subprocess.TimeoutExpired:
        proc.kill()
        return proc.wait()
