"""What every scenario script's command line shares: which scenarios to run, the line that
opens and closes each, and one diagnosis for a failure (the error, the programs' last lines and
whatever the script adds), so a red CI log reads the same whatever the suite."""

import os
import shutil
import sys
import time
import traceback

from .basics import Failure

SKIP = 77  # CTest's SKIP_RETURN_CODE for every scenario script


class Skip(Exception):
    """A scenario that cannot run here (a tool or a privilege it needs is missing)."""


def pick(argv, scenarios):
    """The scenarios named (all when none is), or an exit code: 0 after --list, 2 for a name
    that is not a scenario."""
    if "--list" in argv:
        print("\n".join(scenarios))
        return 0
    names = list(argv) or list(scenarios)
    unknown = [n for n in names if n not in scenarios]
    if unknown:
        print("unknown scenario(s):", ", ".join(unknown), file=sys.stderr)
        return 2
    return names


def skipped(missing):
    """SKIP after saying what is missing, or None when nothing is."""
    if not missing:
        return None
    print("skipped: missing", ", ".join(missing))
    return SKIP


def artifacts_folder(default, name=None):
    """$ZOLVEN_E2E_ARTIFACTS (else default), made absolute; with a name, a fresh folder of that
    scenario's own inside it."""
    base = os.path.abspath(os.environ.get("ZOLVEN_E2E_ARTIFACTS", default))
    if name is None:
        return base
    folder = os.path.join(base, name)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    return folder


def run_scenario(name, doc, make, body, programs=lambda world: [], diagnose=None,
                 close=lambda world: world.close()):
    """Makes a scenario's world, runs body(world) and closes the world whatever happens.
    Returns 0 (passed), 1 (failed, diagnosed) or SKIP. programs(world) names the programs whose
    last lines a failure prints; diagnose(world) prints the script's own extras."""
    print(f"=== {name}: {' '.join((doc or '').split())}")
    started = time.monotonic()
    world = None
    try:
        world = make()
        body(world)
        print(f"=== {name}: passed in {time.monotonic() - started:.1f} s")
        return 0
    except Skip as e:
        print(f"=== {name}: skipped: {e}")
        return SKIP
    except Exception as e:  # noqa: BLE001 - every failure gets the same diagnosis
        print(f"=== {name}: FAILED: {e}")
        if not isinstance(e, Failure):
            traceback.print_exc()
        if world is not None:
            if diagnose:
                try:
                    diagnose(world)
                except Exception as more:  # noqa: BLE001 - the diagnosis must not hide the failure
                    print("(diagnosis cut short:", more, ")")
            for program in programs(world):
                label = getattr(program, "label", "the program")
                print(f"--- last lines of {label} ({program.log_path}):")
                print(program.tail())
        return 1
    finally:
        if world is not None:
            close(world)


def outcome(results):
    """One exit code for several scenarios: 1 when any failed, SKIP when all were skipped."""
    if any(r == 1 for r in results):
        return 1
    return SKIP if results and all(r == SKIP for r in results) else 0
