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

HERE = os.path.dirname(os.path.abspath(__file__))
# The source tree stays clean: no __pycache__ beside the scripts.
sys.dont_write_bytecode = True
sys.path[:0] = [HERE, os.path.normpath(os.path.join(HERE, "..", "..", "tools", "harness"))]

from scenarios import SCENARIOS  # noqa: E402
from zolven_harness import runner  # noqa: E402
from zolven_harness.basics import Failure  # noqa: E402
from zolven_harness.scene import Scene  # noqa: E402

TOOLS = ("Xvfb", "trayer", "xdotool", "xwininfo", "xdpyinfo", "import")
FIXTURE = os.path.join(HERE, "fixtures", "desktop.readings")


def diagnose(scene):
    if scene.x:
        print("screen saved to", scene.shot("failure"))
        try:
            print("windows:", [w for w in scene.x.windows() if w.name])
        except Failure:
            pass
    print(f"decoded frames: {len(scene.device.frames)}, stray bytes: "
          f"{len(scene.device.stray)}; logs and screenshots in {scene.artifacts}")


def run(name):
    """A scenario in a world of its own; its logs and screenshots go to a folder of its own."""
    return runner.run_scenario(
        name, SCENARIOS[name].__doc__,
        lambda: Scene(runner.artifacts_folder("e2e-artifacts", name), os.environ["ZOLVEN_E2E_EXE"],
                      os.environ["ZOLVEN_E2E_MONITOR"], FIXTURE, prefix=f"zolven-e2e-{name}-"),
        SCENARIOS[name], programs=lambda scene: scene.programs, diagnose=diagnose)


def main(argv):
    names = runner.pick(argv, SCENARIOS)
    if isinstance(names, int):
        return names
    lacking = runner.skipped([t for t in TOOLS if not shutil.which(t)])
    if lacking is not None:
        return lacking
    for var in ("ZOLVEN_E2E_EXE", "ZOLVEN_E2E_MONITOR"):
        if not os.path.isfile(os.environ.get(var, "")):
            print(f"{var} does not name a file", file=sys.stderr)
            return 2
    return runner.outcome([run(name) for name in names])


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
