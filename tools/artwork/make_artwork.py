#!/usr/bin/python3
"""Draws ZOLVEN's images, builds the Windows icon and the Linux desktop icons, and subsets the
fonts.

Run with Debian's interpreter (it has Pillow and fontTools):

    /usr/bin/python3 tools/artwork/make_artwork.py            # everything
    /usr/bin/python3 tools/artwork/make_artwork.py images     # images and icons only
    /usr/bin/python3 tools/artwork/make_artwork.py desktop-icons  # the Linux menu icons only
    /usr/bin/python3 tools/artwork/make_artwork.py tray       # the tray icon only
    /usr/bin/python3 tools/artwork/make_artwork.py fonts      # fonts and licences only

The fonts come from Debian packages that only this script needs:
    apt-get install fonts-noto-cjk-extra fonts-train
The outputs are committed; the build never runs this script.
"""
import pathlib
import re
import struct
import sys

from PIL import Image, ImageDraw

from messages import FIXED_TEXTS, MESSAGES

ROOT = pathlib.Path(__file__).resolve().parents[2]
ICON_DIR = ROOT / "static" / "assets" / "icon"
FONT_DIR = ROOT / "static" / "assets" / "font"
HICOLOR_DIR = ROOT / "dist" / "linux" / "icons"
APP_ID = "org.zolven.ZOLVEN"
ACCENT_COLOUR = "#FFD243"

# Drawn this many times larger, then reduced: smooth edges without a vector renderer.
SS = 8

STATE_COLOURS = {"n": "#FFFFFF", "h": "#FFD243", "p": "#DBA319"}
LOGO_COLOUR = "#1C1F24"
# The backdrop's lines must stay barely visible on black.
ARROW_COLOUR = (3, 11, 10)


def hex_rgb(value):
    value = value.lstrip("#")
    return tuple(int(value[i : i + 2], 16) for i in (0, 2, 4))


def coverage(size, draw_fn):
    """An 8-bit coverage mask of size, drawn by draw_fn at SS times the size."""
    w, h = size
    big = Image.new("L", (w * SS, h * SS), 0)
    draw_fn(ImageDraw.Draw(big), SS)
    return big.resize(size, Image.LANCZOS)


def tinted(mask, colour):
    img = Image.new("RGBA", mask.size, hex_rgb(colour) + (0,))
    img.putalpha(mask)
    return img


def save_png(img, path):
    path.parent.mkdir(parents=True, exist_ok=True)
    img.save(path, optimize=True)
    print("wrote", path.relative_to(ROOT), img.size, img.mode)


def draw_cross(d, s):
    # Diagonal cross with round ends, 2 px strokes, inside a 17 x 17 box.
    width = 2 * s
    for a, b in (((3.5, 3.5), (13.5, 13.5)), ((13.5, 3.5), (3.5, 13.5))):
        d.line([(a[0] * s, a[1] * s), (b[0] * s, b[1] * s)], fill=255, width=width)
        for x, y in (a, b):
            r = width / 2
            d.ellipse([x * s - r, y * s - r, x * s + r, y * s + r], fill=255)


def draw_chevron_right(d, s):
    # Right-pointing chevron, 2.5 px strokes, in a 17 x 29 box.
    pts = [(5 * s, 4 * s), (12.5 * s, 14.5 * s), (5 * s, 25 * s)]
    width = round(2.5 * s)
    d.line(pts, fill=255, width=width, joint="curve")
    for x, y in (pts[0], pts[2]):
        r = width / 2
        d.ellipse([x - r, y - r, x + r, y + r], fill=255)


def draw_logo(d, s):
    """The emblem: a hexagonal ring holding a Z cut from two chevrons."""
    import math

    cx, cy = 255 * s, 280 * s
    outer, inner = 270 * s, 222 * s

    def hexagon(r):
        return [
            (cx + r * math.cos(math.radians(90 + 60 * k)), cy + r * math.sin(math.radians(90 + 60 * k)))
            for k in range(6)
        ]

    d.polygon(hexagon(outer), fill=255)
    d.polygon(hexagon(inner), fill=0)
    # The Z: top bar, bottom bar, and a diagonal between them.
    top, bottom = 170 * s, 390 * s
    left, right = 140 * s, 370 * s
    bar = 48 * s
    d.rectangle([left, top, right, top + bar], fill=255)
    d.rectangle([left, bottom - bar, right, bottom], fill=255)
    d.polygon(
        [(right - 62 * s, top + bar), (right, top + bar), (left + 62 * s, bottom - bar), (left, bottom - bar)],
        fill=255,
    )
    # A notch on the right of the top bar and the left of the bottom bar, like a pointer.
    d.polygon([(right, top), (right + 40 * s, top + bar / 2), (right, top + bar)], fill=255)
    d.polygon([(left, bottom - bar), (left - 40 * s, bottom - bar / 2), (left, bottom)], fill=255)


def make_logo():
    mask = coverage((510, 560), draw_logo)
    save_png(tinted(mask, LOGO_COLOUR), ROOT / "logo" / "logo.png")
    return tinted(mask, LOGO_COLOUR)


def make_bg_arrow():
    w, h = 400, 1000

    def draw(d, s):
        # Nested chevrons pointing up, stacked down the picture.
        spacing, rise = 56, 150
        for k in range(-3, h // spacing + 4):
            apex = k * spacing
            pts = [(-40 * s, (apex + rise) * s), (w / 2 * s, apex * s), ((w + 40) * s, (apex + rise) * s)]
            d.line(pts, fill=255, width=2 * s, joint="curve")

    mask = coverage((w, h), draw)
    img = Image.new("RGB", (w, h), (0, 0, 0))
    line = Image.new("RGB", (w, h), ARROW_COLOUR)
    img.paste(line, (0, 0), mask)
    save_png(img, ICON_DIR / "bg_arrow.png")


def make_state_icons():
    for name, size, fn in (("close", (17, 17), draw_cross), ("indi", (17, 29), draw_chevron_right)):
        # The @2x twins are drawn at twice the size, not enlarged: Qt picks them at scale 2.
        for scale, tail in ((1, ""), (2, "@2x")):
            big = (size[0] * scale, size[1] * scale)
            mask = coverage(big, lambda d, s: fn(d, s * scale))
            for suffix, colour in STATE_COLOURS.items():
                save_png(tinted(mask, colour), ICON_DIR / f"icon_{name}_{suffix}{tail}.png")


# The tray icon: the logo in the accent yellow on a near-black hexagon a little larger than its
# ring. Panels come dark and light; the glyph carries the contrast on a dark one and the hexagon's
# rim on a light one.
TRAY_SIZE = 128
TRAY_RIM = 24  # in the logo's own 510 x 560 units


def make_tray_icon():
    import math

    glyph = coverage((510, 560), draw_logo)

    def badge(d, s):
        cx, cy, r = 255 * s, 280 * s, (270 + TRAY_RIM) * s
        d.polygon([(cx + r * math.cos(math.radians(90 + 60 * k)), cy + r * math.sin(math.radians(90 + 60 * k)))
                   for k in range(6)], fill=255)

    # The badge reaches beyond the logo's box: draw both on a canvas with room for the rim.
    pad = TRAY_RIM + 4
    side = 560 + 2 * pad
    img = Image.new("RGBA", (side, side), (0, 0, 0, 0))
    back = tinted(coverage((510 + 2 * pad, 560 + 2 * pad), lambda d, s: badge_at(d, s, badge, pad)), LOGO_COLOUR)
    img.alpha_composite(back, ((side - back.width) // 2, 0))
    img.alpha_composite(tinted(glyph, ACCENT_COLOUR), ((side - 510) // 2, pad))
    save_png(img.resize((TRAY_SIZE, TRAY_SIZE), Image.LANCZOS), ROOT / "logo" / "tray.png")


def badge_at(d, s, fn, pad):
    """Runs fn on a drawing shifted by pad logo units."""
    class Shifted:
        def polygon(self, pts, **kw):
            d.polygon([(x + pad * s, y + pad * s) for x, y in pts], **kw)
    fn(Shifted(), s)


def write_ico(img, path):
    """One 64 x 64, 32 bits per pixel image in the classic DIB form (BGRA rows bottom-up)."""
    size = 64
    canvas = Image.new("RGBA", (size, size), (0, 0, 0, 0))
    thumb = img.copy()
    thumb.thumbnail((size, size), Image.LANCZOS)
    canvas.alpha_composite(thumb, ((size - thumb.width) // 2, (size - thumb.height) // 2))

    xor = bytearray()
    for y in range(size - 1, -1, -1):
        for x in range(size):
            r, g, b, a = canvas.getpixel((x, y))
            xor += bytes((b, g, r, a))
    # The AND mask is ignored for 32-bit images but must be present: 1 bit per pixel,
    # rows padded to 32 bits.
    and_mask = bytes(size * ((size + 31) // 32) * 4)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    image = header + bytes(xor) + and_mask
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 6 + 16)
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(icondir + entry + image)
    print("wrote", path.relative_to(ROOT), f"{size}x{size} 32bpp")


def window_text():
    """Every character the window can show from its own texts and catalogues."""
    chars = set(chr(c) for c in range(0x20, 0x7F))  # ASCII: CPU and GPU names, numbers
    chars |= set("™®°")
    for row in MESSAGES:
        for text in row:
            chars |= set(text)
    for text in FIXED_TEXTS:
        chars |= set(text)
    # Whatever a document spells out literally (in case a text is added there first).
    for qml in (ROOT / "ZOLVEN").rglob("*.qml"):
        for literal in re.findall(r'"((?:[^"\\]|\\.)*)"', qml.read_text(encoding="utf-8")):
            chars |= {c for c in literal if ord(c) > 0x7F}
    return "".join(sorted(chars))


def single_face_family(font):
    """Keeps only the family name that includes the weight ("Noto Sans CJK SC Black").

    With the typographic family ("Noto Sans CJK SC") both weights would share one family, and
    a text asking for that family at the default weight would get the Regular face of an
    installed system font, or whichever of ours is nearest, instead of the face it loaded.
    """
    name = font["name"]
    name.names = [n for n in name.names if n.nameID not in (16, 17)]


def subset_font(source, font_number, text, target, own_family=False):
    from fontTools import subset

    options = subset.Options()
    options.font_number = font_number
    # Default layout features only: all of them (vertical, full-width, ...) would pull in
    # hundreds of glyphs the window never shows.
    options.name_IDs = ["*"]
    options.name_languages = ["*"]
    options.hinting = False
    options.desubroutinize = True
    options.notdef_outline = True
    font = subset.load_font(str(source), options)
    subsetter = subset.Subsetter(options)
    subsetter.populate(text=text)
    subsetter.subset(font)
    if own_family:
        single_face_family(font)
    target.parent.mkdir(parents=True, exist_ok=True)
    subset.save_font(font, str(target), options)
    print("wrote", target.relative_to(ROOT), f"{target.stat().st_size} bytes", f"from {source}")


def ofl_text(copyright_file):
    """The OFL body as Debian's machine-readable copyright file carries it."""
    lines = pathlib.Path(copyright_file).read_text(encoding="utf-8").splitlines()
    out, inside = [], False
    for line in lines:
        if re.match(r"^License: (OFL-1\.1|SIL-1\.1)\s*$", line):
            inside = True
            continue
        if inside:
            if not line.startswith(" "):
                if out:
                    break
                # A "License:" line of a Files paragraph: the text follows further down.
                inside = False
                continue
            body = line[1:]
            out.append("" if body.strip() == "." else body)
    if not out:
        raise SystemExit(f"no OFL text found in {copyright_file}")
    return "\n".join(out).strip() + "\n"


NOTO_BLACK = "/usr/share/fonts/opentype/noto/NotoSansCJK-Black.ttc"
NOTO_MEDIUM = "/usr/share/fonts/opentype/noto/NotoSansCJK-Medium.ttc"
NOTO_SC = 2  # the Simplified Chinese member of the collection
TRAIN_ONE = "/usr/share/fonts/truetype/train/TrainOne-Regular.ttf"


def make_fonts():
    for path in (NOTO_BLACK, NOTO_MEDIUM, TRAIN_ONE):
        if not pathlib.Path(path).exists():
            raise SystemExit(f"missing {path}: apt-get install fonts-noto-cjk-extra fonts-train")
    text = window_text()
    subset_font(NOTO_BLACK, NOTO_SC, text, FONT_DIR / "SourceHanSansOLD-Heavy-2.otf", True)
    subset_font(NOTO_MEDIUM, NOTO_SC, text, FONT_DIR / "SourceHanSansOLD-Medium-2.otf", True)
    # The display face only ever shows the centre read-out: numbers and a few capitals.
    ascii_text = "".join(chr(c) for c in range(0x20, 0x7F))
    subset_font(TRAIN_ONE, 0, ascii_text, FONT_DIR / "Aemstel-LineInside.ttf")

    noto = (
        "SourceHanSansOLD-Heavy-2.otf and SourceHanSansOLD-Medium-2.otf are subsets of\n"
        "Noto Sans CJK SC Black and Noto Sans CJK SC Medium (Debian package fonts-noto-cjk-extra),\n"
        "reduced to the characters ZOLVEN shows. Each keeps only its weight-specific family name\n"
        "(for example \"Noto Sans CJK SC Black\"); the names are otherwise unchanged.\n\n"
        "Copyright 2014-2021 Adobe (http://www.adobe.com/), with Reserved Font Name 'Source'.\n\n"
    )
    (FONT_DIR / "LICENSE-NotoSansCJK.txt").write_text(
        noto + ofl_text("/usr/share/doc/fonts-noto-cjk-extra/copyright"), encoding="utf-8"
    )
    train = (
        "Aemstel-LineInside.ttf is a subset of Train One (Debian package fonts-train),\n"
        "reduced to printable ASCII. The font name inside the file is unchanged.\n\n"
        "Copyright 2020 The Train Project Authors (https://github.com/fontworks-fonts/Train/)\n\n"
    )
    (FONT_DIR / "LICENSE-TrainOne.txt").write_text(
        train + ofl_text("/usr/share/doc/fonts-train/copyright"), encoding="utf-8"
    )
    print("wrote the font licences")

def make_desktop_icons(sizes=(32, 48, 64, 128, 256, 512)):
    """The menu icon in the hicolor theme's sizes: the logo in the window's accent yellow on its
    dark card, so it reads on light and dark panels alike (the bare logo is near black)."""
    side = 560
    logo_mask = coverage((510, 560), draw_logo)

    def card(d, s):
        d.rounded_rectangle([0, 0, side * s - 1, side * s - 1], radius=96 * s, fill=255)

    base = tinted(coverage((side, side), card), LOGO_COLOUR)
    mark = tinted(logo_mask, ACCENT_COLOUR).resize((int(510 * 0.72), int(560 * 0.72)), Image.LANCZOS)
    base.alpha_composite(mark, ((side - mark.width) // 2, (side - mark.height) // 2))
    for size in sizes:
        save_png(base.resize((size, size), Image.LANCZOS),
                 HICOLOR_DIR / f"{size}x{size}" / "apps" / f"{APP_ID}.png")


def make_images():
    logo = make_logo()
    make_bg_arrow()
    make_state_icons()
    make_tray_icon()
    write_ico(logo, ROOT / "app" / "win" / "ZOLVEN.ico")
    make_desktop_icons()


if __name__ == "__main__":
    what = sys.argv[1] if len(sys.argv) > 1 else "all"
    if what in ("all", "images"):
        make_images()
    if what == "desktop-icons":
        make_desktop_icons()
    if what == "tray":
        make_tray_icon()
    if what in ("all", "fonts"):
        make_fonts()
