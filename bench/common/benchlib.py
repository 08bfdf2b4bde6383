"""What the whole-program benchmarks share beside the harness (tools/harness): meters for a
process's CPU time and memory, a sandbox set up the way they run the program, and the build
folder they are given. Python's standard library only."""

import os
import statistics
import tempfile
import time

from zolven_harness.program import AppDir

now = time.monotonic

# The screen of the benchmarks' X session.
SCREEN = (1000, 900)


# --- meters -------------------------------------------------------------------------------

class ProcessMeter:
    """CPU time of every thread of a process in nanoseconds (schedstat), keeping what a thread
    that has ended had used when last seen; memory from status and smaps_rollup."""

    def __init__(self, pid):
        self.pid = pid
        self.seen = {}
        self.names = {}

    def cpu_ns(self):
        base = "/proc/%d/task" % self.pid
        try:
            tids = os.listdir(base)
        except OSError:
            return sum(self.seen.values())
        for tid in tids:
            try:
                with open("%s/%s/schedstat" % (base, tid)) as f:
                    self.seen[tid] = int(f.read().split()[0])
                if tid not in self.names:
                    with open("%s/%s/comm" % (base, tid)) as f:
                        self.names[tid] = f.read().strip()
            except (OSError, ValueError, IndexError):
                pass
        return sum(self.seen.values())

    def by_thread(self):
        """CPU nanoseconds per thread name, the main thread as "main"."""
        out = {}
        for tid, ns in self.seen.items():
            name = "main" if tid == str(self.pid) else self.names.get(tid, "?")
            out[name] = out.get(name, 0) + ns
        return out

    def memory_kb(self):
        """VmRSS, RssAnon and Pss in kB."""
        out = {}
        try:
            with open("/proc/%d/status" % self.pid) as f:
                for line in f:
                    key, _, rest = line.partition(":")
                    if key in ("VmRSS", "RssAnon", "RssFile"):
                        out[key] = int(rest.split()[0])
            with open("/proc/%d/smaps_rollup" % self.pid) as f:
                for line in f:
                    if line.startswith("Pss:"):
                        out["Pss"] = int(line.split()[1])
        except OSError:
            pass
        return out


class Phase:
    """Measures a set of processes side by side over the same wall-clock window."""

    def __init__(self, entries):
        self.entries = entries  # name -> (ProcessMeter, PtyDevice or None)

    def run(self, seconds, tick=1.0):
        start = {n: (m.cpu_ns(), d.frame_count() if d else 0)
                 for n, (m, d) in self.entries.items()}
        threads = {n: m.by_thread() for n, (m, _) in self.entries.items()}
        t0 = now()
        mem = {n: [] for n in self.entries}
        while now() - t0 < seconds:
            time.sleep(min(tick, max(0.0, seconds - (now() - t0))))
            for n, (m, _) in self.entries.items():
                m.cpu_ns()  # keeps threads that may end before the window does
                mem[n].append(m.memory_kb())
        wall = now() - t0
        result = {}
        for n, (m, d) in self.entries.items():
            cpu = (m.cpu_ns() - start[n][0]) / 1e9
            samples = [s for s in mem[n] if "VmRSS" in s]

            def med(key, samples=samples):
                values = [s[key] for s in samples if key in s]
                return statistics.median(values) / 1024 if values else float("nan")

            result[n] = {
                "wall": wall,
                "cpu_s": cpu,
                "cpu_ms_per_min": cpu * 1000 * 60 / wall,
                "core_percent": 100 * cpu / wall,
                "rss_mb": med("VmRSS"),
                "rss_max_mb": max((s["VmRSS"] for s in samples), default=0) / 1024,
                "anon_mb": med("RssAnon"),
                "pss_mb": med("Pss"),
                "frames": (d.frame_count() - start[n][1]) if d else None,
                "threads_ms_per_min": {
                    t: (ns - threads[n].get(t, 0)) / 1e6 * 60 / wall
                    for t, ns in m.by_thread().items()},
            }
        return result


# --- the program in a sandbox ---------------------------------------------------------------

def sandbox(build, library, port=None, readings=None):
    """A temporary application directory (ZOLVEN, config.dat, config.ini, optional readings
    file) with its own home, config, runtime and temporary directories, so nothing of the
    user's is touched and every start has a fresh lock. Remove it with remove()."""
    # As the program writes it; autostart off, so no entry is written even into the sandbox.
    ini = "[%General]\nAuto%20Run=false\nLanguage=2\nShow%20Fah=false\n"
    if port:
        ini += "\n[DEVICE]\nPort=%s\n" % port
    return AppDir(tempfile.mkdtemp(prefix="zolven-bench-"), os.path.join(build, "bin", "ZOLVEN"),
                  library, readings, ini)


def build_dir_arg(argv_value):
    d = os.path.abspath(argv_value)
    for need in ("bin/ZOLVEN",):
        if not os.path.exists(os.path.join(d, need)):
            raise SystemExit("%s has no %s: build it first (bench/run_all.sh does)" % (d, need))
    return d
