#!/usr/bin/python3
"""Takes docs/screenshots/tray-dark.png and tray-light.png: the tray icon as waybar shows it on
a black and on a white bar, from the sway scenarios of tests/desktops/shell (run as they run in
CTest), cut to the bar's right end and enlarged three times without smoothing; and
sway-floating.png, the window floating on sway, at half size.

    /usr/bin/python3 tools/artwork/tray_screenshots.py [build-dir]

Needs what those scenarios need (sway, waybar, grim, dbus, python3-dbus) and Pillow.
"""
import os
import pathlib
import subprocess
import sys
import tempfile

from PIL import Image

ROOT = pathlib.Path(__file__).resolve().parents[2]
OUT = ROOT / "docs" / "screenshots"


def main(argv):
    build = pathlib.Path(argv[0] if argv else ROOT / "build").resolve()
    with tempfile.TemporaryDirectory() as artifacts:
        env = dict(os.environ, ZOLVEN_E2E_EXE=str(build / "bin" / "ZOLVEN"),
                   ZOLVEN_E2E_MONITOR=str(build / "testmonitor" / "testmonitor.so"),
                   ZOLVEN_E2E_ARTIFACTS=artifacts)
        subprocess.run(["/usr/bin/python3", str(ROOT / "tests" / "desktops" / "shell" / "run_desktops.py"),
                        "sway_tray", "sway_late_tray"], env=env, check=True)
        for style, scenario in (("dark", "sway_tray"), ("light", "sway_late_tray")):
            shot = Image.open(pathlib.Path(artifacts) / scenario / f"panel-{style}.png")
            end = shot.crop((shot.width - 96, 0, shot.width, shot.height))
            big = end.resize((end.width * 3, end.height * 3), Image.NEAREST)
            OUT.mkdir(parents=True, exist_ok=True)
            big.save(OUT / f"tray-{style}.png", optimize=True)
            print("wrote", (OUT / f"tray-{style}.png").relative_to(ROOT), big.size)
        shown = Image.open(pathlib.Path(artifacts) / "sway_tray" / "shown.png").convert("RGB")
        half = shown.resize((shown.width // 2, shown.height // 2), Image.LANCZOS)
        half.save(OUT / "sway-floating.png", optimize=True)
        print("wrote", (OUT / "sway-floating.png").relative_to(ROOT), half.size)


if __name__ == "__main__":
    main(sys.argv[1:])
