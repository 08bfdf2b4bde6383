#!/usr/bin/python3
"""A typical peer-style poller: psutil once a second, one 23-byte frame to a serial port or pty.

    /usr/bin/python3 poller.py <port> [seconds]      (default: until killed)

Written the way small monitor scripts usually are: the library's conveniences, no care for cost.
"""
import os
import struct
import sys
import time
import tty

import psutil


def first(readings, names):
    for name in names:
        for entry in readings.get(name, []):
            return entry.current
    return 0


def frame(cpu_temp, cpu_fan, cpu_load, cpu_clock, ram_load):
    body = struct.pack(">BHBHBHIIHBB", int(cpu_temp) & 0xFF, int(cpu_fan) & 0xFFFF,
                       int(cpu_load) & 0xFF, int(cpu_clock) & 0xFFFF, 0, 0, 0, 0, 0, 0,
                       int(ram_load) & 0xFF)
    return bytes([0x74, 0]) + bytes(b ^ 0xA5 for b in body)


def main():
    port = os.open(sys.argv[1], os.O_WRONLY | os.O_NOCTTY)
    tty.setraw(port)
    seconds = int(sys.argv[2]) if len(sys.argv) > 2 else -1
    psutil.cpu_percent()
    n = 0
    while seconds < 0 or n < seconds:
        temps = psutil.sensors_temperatures() if hasattr(psutil, "sensors_temperatures") else {}
        fans = psutil.sensors_fans() if hasattr(psutil, "sensors_fans") else {}
        freq = psutil.cpu_freq()
        os.write(port, frame(first(temps, ("coretemp", "k10temp", "zenpower")),
                             first(fans, list(fans)), psutil.cpu_percent(),
                             freq.current if freq else 0, psutil.virtual_memory().percent))
        n += 1
        time.sleep(1)


if __name__ == "__main__":
    main()
