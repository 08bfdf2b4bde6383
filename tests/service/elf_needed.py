#!/usr/bin/python3
"""The service's link: none of Qt's GUI libraries among the ELF's NEEDED entries (what ldd
starts from), and the libraries it does need.

    elf_needed.py <zolvend>
"""

import re
import subprocess
import sys

GUI = ("libQt6Gui", "libQt6Qml", "libQt6Quick", "libQt6Widgets", "libQt6OpenGL", "libGL",
       "libEGL", "libxcb", "libX11", "libwayland", "libdbus")
WANTED = ("libQt6Core", "libQt6SerialPort", "libsystemd", "libudev")


def needed(path):
    out = subprocess.run(["readelf", "-dW", path], check=True, capture_output=True,
                         text=True).stdout
    return re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]", out)


def main(argv):
    libs = needed(argv[1])
    print("NEEDED:", " ".join(libs))
    bad = [lib for lib in libs if lib.startswith(GUI)]
    missing = [w for w in WANTED if not any(lib.startswith(w) for lib in libs)]
    if bad:
        print("FAILED: graphical libraries in the service's link:", " ".join(bad))
    if missing:
        print("FAILED: expected in the service's link:", " ".join(missing))
    return 1 if bad or missing else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
