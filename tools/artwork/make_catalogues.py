#!/usr/bin/python3
"""Writes i18n/i18n/{zh_CN,ct_CN,en_US}.ts from messages.py.

The build compiles them to .qm; lupdate is never run on them, so they hold exactly the
context "main" and the messages listed, then the context "access" (the names only a screen
reader says), without source locations.
"""
import pathlib
from xml.sax.saxutils import escape

from messages import ACCESS_MESSAGES, CATALOGUES, MESSAGES

ROOT = pathlib.Path(__file__).resolve().parents[2]


def write_catalogue(stem, tag, column):
    lines = [
        '<?xml version="1.0" encoding="utf-8"?>',
        "<!DOCTYPE TS>",
        f'<TS version="2.1" language="{tag}" sourcelanguage="zh_CN">',
    ]
    for context, rows in (("main", MESSAGES), ("access", ACCESS_MESSAGES)):
        lines += ["<context>", f"    <name>{context}</name>"]
        for row in rows:
            lines += [
                "    <message>",
                f"        <source>{escape(row[0])}</source>",
                f"        <translation>{escape(row[column])}</translation>",
                "    </message>",
            ]
        lines += ["</context>"]
    lines += ["</TS>", ""]
    path = ROOT / "i18n" / "i18n" / f"{stem}.ts"
    path.write_text("\n".join(lines), encoding="utf-8")
    print("wrote", path.relative_to(ROOT))


if __name__ == "__main__":
    for stem, (tag, column) in CATALOGUES.items():
        write_catalogue(stem, tag, column)
