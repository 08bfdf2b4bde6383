#!/usr/bin/python3
"""The harness's frame layout and scanner against the program's, as framedump prints them.

    frame_layout.py <framedump>

Frames with every field at its edge values (0, 1, the top bit, all ones, bytes that the mask
turns into 0x00, 0xFF or a mark and a unit flag) and at random values, back to back and with
stray bytes between some, go through framedump --raw and through the harness; both must find
the same frames, the same stray bytes, and the same value in every field.
"""
import os
import random
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                                 "..", "..", "tools", "harness")))
from zolven_harness import frame  # noqa: E402

# Not a frame start: no mark, or a mark followed by anything but a unit flag.
STRAY = (b"\x00", b"\x74\x02", b"\xa5\x74\xff", b"\x74\x74\x74\x05", b"\x01\x00")


def edge_values(width):
    top = 8 * width
    values = {0, 1, (1 << top) - 1, 1 << (top - 1), 0xFF, int("a5" * width, 16),
              int("5a" * width, 16)}
    if width > 1:
        # The clear bytes 0xD1 0xA5 go out as 0x74 0x00: a mark and a unit flag inside a frame.
        values |= {1 << (top - 8), 0xD1A5 << (top - 16), 0x0100, 0x8001}
    return sorted(values)


def build(fahrenheit, values):
    raw = bytearray([frame.MARK, fahrenheit]) + bytes(frame.SIZE - 2)
    for name, offset, width in frame.FIELDS:
        clear = values[name].to_bytes(width, "big")
        raw[offset:offset + width] = bytes(b ^ frame.MASK for b in clear)
    return bytes(raw)


def frames_to_test(rng):
    frames = []
    for k in range(max(len(edge_values(w)) for _, _, w in frame.FIELDS)):
        values = {}
        for name, _, width in frame.FIELDS:
            edges = edge_values(width)
            values[name] = edges[k % len(edges)]
        frames.append(build(k % 2, values))
    for _ in range(300):
        frames.append(bytes([frame.MARK, rng.randrange(2)]) + rng.randbytes(frame.SIZE - 2))
    return frames


def framedump(tool, data):
    with tempfile.NamedTemporaryFile(suffix=".frames") as f:
        f.write(data)
        f.flush()
        out = subprocess.run([tool, "--raw", f.name], capture_output=True, timeout=60,
                             check=True).stdout.decode()
    found = []
    for line in out.splitlines():
        number, *pairs = line.split()
        fields = dict(pair.split("=", 1) for pair in pairs)
        unit = fields.pop("unit")
        fields["fahrenheit"] = {"C": 0, "F": 1}.get(unit, unit)
        raw = bytes.fromhex(fields.pop("raw"))
        found.append((raw, {k: int(v) for k, v in fields.items()}))
    return found


def main(argv):
    rng = random.Random(20240611)
    frames = frames_to_test(rng)
    data, stray = bytearray(), bytearray()
    for i, raw in enumerate(frames):
        if i % 7 == 3:
            junk = STRAY[i % len(STRAY)]
            data += junk
            stray += junk
        data += raw
    data += frames[0][:frame.SIZE - 1]  # a frame cut short is no frame

    theirs = framedump(argv[0], bytes(data))
    scanner = frame.FrameScanner()
    ours = []
    for start in range(0, len(data), 61):  # chunks that cut frames anywhere
        ours += scanner.feed(data[start:start + 61])

    failures = []
    if [raw for raw, _ in theirs] != frames:
        failures.append(f"framedump found {len(theirs)} frames, not the {len(frames)} written")
    if ours != frames:
        failures.append(f"the harness found {len(ours)} frames, not the {len(frames)} written")
    if scanner.stray != stray:
        failures.append(f"the harness passed over {bytes(scanner.stray).hex(' ')}, not "
                        f"{bytes(stray).hex(' ')}")
    for raw, fields in theirs:
        decoded = frame.decode(raw)
        if decoded != fields:
            wrong = {k: (decoded.get(k), fields.get(k)) for k in decoded.keys() | fields.keys()
                     if decoded.get(k) != fields.get(k)}
            failures.append(f"{raw.hex(' ')}: (harness, framedump) {wrong}")
    for failure in failures[:20]:
        print(failure)
    print(f"{len(frames)} frames, {len(stray)} stray bytes: "
          f"{'the harness decodes every field as framedump does' if not failures else 'FAILED'}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
