"""What the replayed fixture tests/e2e/fixtures/desktop.readings makes of the frames, and the
checks on frames and their schedule that the end-to-end suite and the service's tests share."""

from .basics import Failure, check
from .frame import decode

# What desktop.readings makes of every frame field.
EXPECTED = {
    "fahrenheit": 0, "cpu_temp": 61, "cpu_fan": 2345, "cpu_load": 27, "cpu_clock": 3500,
    "gpu_load": 88, "gpu_clock": 1550, "gpu_mem_used": 70000, "gpu_mem_total": 131072,
    "gpu_fan": 1650, "gpu_temp": 72, "ram_load": 58,
}
# The Fahrenheit switch hands over the CPU temperature once in its new unit.
EXPECTED_F = dict(EXPECTED, fahrenheit=1, cpu_temp=141)

CHECKS_BEFORE_FIRST_FRAME = 6


def expect_frames(frames, expected, what):
    check(frames, f"no frames for {what}")
    for _, raw in frames:
        fields = decode(raw)
        if fields != expected:
            wrong = {k: (fields[k], expected[k]) for k in expected if fields[k] != expected[k]}
            raise Failure(f"{what}: frame {raw.hex(' ')} decodes with (got, expected) {wrong}")


def check_schedule(ok_time, frames):
    """The check that connects and the five after it send nothing; the seventh sends the first
    frame. Those checks are silent, so they are counted on the program's own check clock: the
    interval between its frames, one per check. Judged only while that clock runs steadily, so
    a stalled machine cannot fail the count."""
    check(len(frames) >= 3, "too few frames to count checks by")
    intervals = [b - a for (a, _), (b, _) in zip(frames, frames[1:])]
    period = sorted(intervals)[len(intervals) // 2]
    if not all(0.8 * period < i < 1.2 * period for i in intervals):
        print(f"note: check clock unsteady ({', '.join(f'{i:.2f}' for i in intervals)} s); "
              f"the checks before the first frame are not counted")
        return
    checks = 1 + round((frames[0][0] - ok_time) / period)
    check(checks == CHECKS_BEFORE_FIRST_FRAME + 1,
          f"first frame at check {checks} counting the connecting one, expected check "
          f"{CHECKS_BEFORE_FIRST_FRAME + 1} (check period {period:.2f} s)")
    print(f"first frame at check {checks} counting the connecting one "
          f"(check period {period:.2f} s)")
