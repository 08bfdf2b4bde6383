"""The telemetry frame as the device receives it: 23 bytes, the mark 0x74, the unit flag
(1 = Fahrenheit), then eleven big-endian fields XORed with 0xA5."""

from .basics import check

SIZE = 23
MARK = 0x74
MASK = 0xA5
# (field, offset, width), named as framedump prints them. Written here rather than taken from the
# program, so that a fault in its layout cannot hide in ours.
FIELDS = (
    ("cpu_temp", 2, 1),
    ("cpu_fan", 3, 2),
    ("cpu_load", 5, 1),
    ("cpu_clock", 6, 2),
    ("gpu_load", 8, 1),
    ("gpu_clock", 9, 2),
    ("gpu_mem_used", 11, 4),
    ("gpu_mem_total", 15, 4),
    ("gpu_fan", 19, 2),
    ("gpu_temp", 21, 1),
    ("ram_load", 22, 1),
)


def decode(raw):
    """The unit flag as "fahrenheit", then each field as the unsigned number of its width."""
    check(len(raw) == SIZE, f"frame of {len(raw)} bytes")
    check(raw[0] == MARK, f"frame mark {raw[0]:#04x}")
    fields = {"fahrenheit": raw[1]}
    for name, offset, width in FIELDS:
        fields[name] = int.from_bytes(bytes(b ^ MASK for b in raw[offset:offset + width]), "big")
    return fields


class FrameScanner:
    """Cuts a byte stream into frames as the program's own scanner does. The stream has no length
    or checksum, so a frame is taken to start at a mark followed by a valid unit flag (0 or 1);
    bytes before it are stray."""

    def __init__(self, stray=None):
        self.pending = bytearray()
        self.stray = bytearray() if stray is None else stray

    def feed(self, data):
        """The whole frames that data completes."""
        pending = self.pending
        pending += data
        found = []
        while True:
            start = 0
            while start < len(pending) and not (pending[start] == MARK and (
                    start + 1 >= len(pending) or pending[start + 1] <= 1)):
                start += 1
            self.stray += pending[:start]
            del pending[:start]
            if len(pending) < SIZE:
                return found
            found.append(bytes(pending[:SIZE]))
            del pending[:SIZE]
