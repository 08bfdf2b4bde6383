#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets from the sensor fixtures and a few settings files.

    fuzz/make_corpus.py        (re)writes fuzz/corpus/{readings,settings,readings_file}/
"""
import math
import pathlib
import struct

ROOT = pathlib.Path(__file__).resolve().parent
FIXTURES = ROOT.parent / "tests" / "sensors" / "fixtures"
TYPES = [1, 7, 6, 3, 8]
INDICES = 8  # reading indices the fuzz library answers


def parse(path):
    sensors, readings = {}, {}
    for line in path.read_text().splitlines():
        parts = line.split()
        if not parts or parts[0].startswith("#"):
            continue
        if parts[0] == "S":
            sensors[int(parts[1])] = (int(parts[2]), " ".join(parts[3:]))
        elif parts[0] == "R":
            s, i = int(parts[1]), int(parts[2])
            t, _, rt = parts[3].partition("/")
            value = float(parts[5])
            unit = "" if parts[6] == "-" else parts[6]
            readings.setdefault((s, i, int(t)), (int(rt or t), int(parts[4]), value, unit,
                                                  " ".join(parts[7:])))
        elif parts[0] == "P":
            break  # the first block is enough for a seed
    return sensors, readings


def text(s, width):
    b = s.encode()[:width]
    return b + b"\0" * (width - len(b))


def record(location, name, rtype, rloc, value, unit, label):
    r = bytearray(464)
    r[0] = 1
    r[8:16] = struct.pack("<d", value)
    r[16:48] = text(unit, 32)
    r[48:52] = struct.pack("<i", location)
    r[60:316] = text(name, 256)
    r[316:320] = struct.pack("<i", rloc)
    r[328:456] = text(label, 128)
    r[456:460] = struct.pack("<i", rtype)
    return bytes(r)


def readings_seeds(out):
    for fixture in sorted(FIXTURES.glob("*.readings")):
        sensors, readings = parse(fixture)
        order = sorted(sensors)
        for group in range(0, len(order), 4):
            chosen = order[group:group + 4]
            data = bytearray([len(chosen) + 4])
            for n, s in enumerate(chosen):
                location, name = sensors[s]
                for i in range(INDICES):
                    for t in TYPES:
                        r = readings.get((s, i, t))
                        if r is None:
                            data.append(0)
                        else:
                            data.append(1)
                            data += record(location, name, *r)
            (out / f"{fixture.stem}_{group // 4}").write_bytes(bytes(data))
    # Odd answers: NaN and infinite values, an unterminated label, an unknown type.
    odd = bytearray([1 + 4, 1])
    odd += record(11, "CPU", 1, 10, math.nan, "C", "CPU Package")
    odd += bytes([1]) + record(11, "CPU", 7, 10, math.inf, "%", "CPU Utility")
    odd += bytes([1]) + record(11, "CPU", 6, 10, 1e300, "MHz", "Core 0 Clock " + "x" * 200)
    odd += bytes([1]) + record(13, "GPU", 99, 0, -1.0, "", "GPU Temperature")
    (out / "odd_values").write_bytes(bytes(odd))
    (out / "largest_count").write_bytes(bytes([0xFF, 0]))


SETTINGS = {
    "users": "[%General]\nAuto%20Run=false\nShow%20Fah=true\nLanguage=1\n",
    "defaults": "[%General]\nAuto%20Run=true\nLanguage=2\nShow%20Fah=false\n",
    "with_port": "[%General]\nAuto%20Run=true\nLanguage=0\nShow%20Fah=false\n\n[DEVICE]\n"
                 "Port=/nonexistent/ttyZOLVEN\n",
    "crlf_bom": "\ufeff[%General]\r\nAuto%20Run=false\r\nShow%20Fah=true\r\nLanguage=2\r\n",
    "plain_group": "[GENERAL]\nAuto Run=0\nShow Fah=1\nLanguage=7\n",
    "two_keys": "[%General]\nShow%20Fah=true\nLanguage=1\n",
    "quoted": "[%General]\nAuto%20Run=\"false\"\nShow%20Fah=@Variant(\\0\\0\\0\\x1\\x1)\n"
              "Language=\"1\"\n",
}


def main():
    corpus = ROOT / "corpus"
    for name in ("readings", "settings", "readings_file"):
        (corpus / name).mkdir(parents=True, exist_ok=True)
    readings_seeds(corpus / "readings")
    for name, content in SETTINGS.items():
        (corpus / "settings" / name).write_bytes(content.encode())
    for fixture in sorted(FIXTURES.glob("*.readings")):
        (corpus / "readings_file" / fixture.stem).write_bytes(fixture.read_bytes())
    (corpus / "readings_file" / "odd").write_bytes(
        b"@ sensors 3\nS 0 11 CPU\nR 0 0 1/7 10 nan C CPU Package\nR 0 1 6 10 -inf - x\r\nP\n"
        b"R 0 0 1 10 1e-300 % \tlabel with  spaces \nP\n")


if __name__ == "__main__":
    main()
