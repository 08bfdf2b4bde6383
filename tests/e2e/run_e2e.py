#!/usr/bin/python3
"""End-to-end scenarios: the real program, a tray, a pointer and a pseudo-terminal device.

    run_e2e.py <scenario>...     run scenarios (all when none is named)
    run_e2e.py --list

Environment: ZOLVEN_E2E_EXE (the built program), ZOLVEN_E2E_MONITOR (the test library),
ZOLVEN_E2E_ARTIFACTS (where logs and screenshots go; default ./e2e-artifacts),
ZOLVEN_E2E_TIMEOUT_SCALE (multiplies every deadline; default 1).
Exit code 77 when a needed tool is missing (CTest reports the test as skipped).
"""

import os
import shutil
import sys
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
# The source tree stays clean: no __pycache__ beside the scripts.
sys.dont_write_bytecode = True
sys.path[:0] = [HERE, os.path.normpath(os.path.join(HERE, "..", "..", "tools", "harness"))]

from scenarios import SCENARIOS  # noqa: E402
from zolven_harness.basics import Failure  # noqa: E402
from zolven_harness.scene import Scene  # noqa: E402

TOOLS = ("Xvfb", "trayer", "xdotool", "xwininfo", "xdpyinfo", "import")
FIXTURE = os.path.join(HERE, "fixtures", "desktop.readings")


def make_scene(name, artifacts):
    """A scenario's world; its logs and screenshots go to a folder of its own in artifacts."""
    folder = os.path.join(artifacts, name)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    return Scene(folder, os.environ["ZOLVEN_E2E_EXE"], os.environ["ZOLVEN_E2E_MONITOR"], FIXTURE,
                 prefix=f"zolven-e2e-{name}-")


def run(name, artifacts):
    print(f"=== {name}: {' '.join(SCENARIOS[name].__doc__.split())}")
    started = time.monotonic()
    scene = None
    try:
        scene = make_scene(name, artifacts)
        SCENARIOS[name](scene)
        print(f"=== {name}: passed in {time.monotonic() - started:.1f} s")
        return True
    except Exception as e:  # noqa: BLE001 - every failure gets the same diagnosis
        print(f"=== {name}: FAILED: {e}")
        if not isinstance(e, Failure):
            traceback.print_exc()
        if scene and scene.x:
            print("screen saved to", scene.shot("failure"))
            try:
                print("windows:", [w for w in scene.x.windows() if w.name])
            except Failure:
                pass
        for program in (scene.programs if scene else []):
            print(f"--- last lines of {program.label} ({program.log_path}):")
            print(program.tail())
        if scene:
            print(f"decoded frames: {len(scene.device.frames)}, stray bytes: "
                  f"{len(scene.device.stray)}; logs and screenshots in {scene.artifacts}")
        return False
    finally:
        if scene:
            scene.close()


def main(argv):
    if "--list" in argv:
        print("\n".join(SCENARIOS))
        return 0
    names = argv or list(SCENARIOS)
    unknown = [n for n in names if n not in SCENARIOS]
    if unknown:
        print("unknown scenario(s):", ", ".join(unknown), file=sys.stderr)
        return 2
    missing = [t for t in TOOLS if not shutil.which(t)]
    if missing:
        print("skipped: missing", ", ".join(missing))
        return 77
    for var in ("ZOLVEN_E2E_EXE", "ZOLVEN_E2E_MONITOR"):
        if not os.path.isfile(os.environ.get(var, "")):
            print(f"{var} does not name a file", file=sys.stderr)
            return 2
    artifacts = os.path.abspath(os.environ.get("ZOLVEN_E2E_ARTIFACTS", "e2e-artifacts"))
    results = [run(name, artifacts) for name in names]
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
