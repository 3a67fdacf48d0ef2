#!/usr/bin/env python3
"""Checks the generated artwork and sounds before they go into the program.

Usage: check_artwork.py [--art DIR] [--sounds DIR] [--no-regen]

  --art DIR     the artwork folder (default: resources/art of this repository)
  --sounds DIR  folder with sound1.wav ... sound5.wav; without it the sounds
                are generated into a temporary folder with gen_sounds.py
  --no-regen    skip redrawing the artwork and comparing it byte for byte
                with the files in --art

Reads every file with its own parser (no image libraries), so a header that
the resource compiler or LoadImage would reject fails here first. Exits 1 if
any check fails, 2 on bad usage.
"""

import math
import os
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.dont_write_bytecode = True  # keep the source tree free of __pycache__

import gen_sounds  # noqa: E402  (the table of dominant frequencies)

KEY = (255, 0, 255)
GLYPHS = ("play", "plus", "disk", "check")


class Failure(Exception):
    pass


def need(cond, msg):
    if not cond:
        raise Failure(msg)


def read(path):
    with open(path, "rb") as f:
        return f.read()


# --------------------------------------------------------------------------
# Icons


def parse_ico(data):
    """Returns a list of images: dict(w, h, bpp, pixels=[(r,g,b,a)], mask=[bool])."""
    need(len(data) >= 6, "file too short for ICONDIR")
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    need(reserved == 0 and kind == 1, "ICONDIR reserved/type must be 0/1, got %d/%d"
         % (reserved, kind))
    need(count > 0, "icon has no images")
    need(len(data) >= 6 + 16 * count, "file too short for %d ICONDIRENTRYs" % count)
    spans = []
    images = []
    for k in range(count):
        bw, bh, colours, res, planes, bpp, size, offset = struct.unpack_from(
            "<BBBBHHII", data, 6 + 16 * k)
        w, h = bw or 256, bh or 256
        where = "entry %d (%dx%d)" % (k, w, h)
        need(res == 0, where + ": reserved byte not 0")
        need(planes in (0, 1), where + ": planes %d" % planes)
        need(offset >= 6 + 16 * count and offset + size <= len(data),
             where + ": image data outside the file")
        spans.append((offset, offset + size))
        blob = data[offset:offset + size]
        if blob[:8] == b"\x89PNG\r\n\x1a\n":
            need(blob[12:16] == b"IHDR", where + ": PNG without IHDR")
            pw, ph = struct.unpack_from(">II", blob, 16)
            need((pw, ph) == (w, h), where + ": PNG is %dx%d" % (pw, ph))
            images.append(dict(w=w, h=h, bpp=32, png=True, colours=colours))
            continue
        (bi_size, bi_w, bi_h, bi_planes, bi_bpp, comp, img_size, _, _, clr_used,
         _) = struct.unpack_from("<IiiHHIIiiII", blob, 0)
        need(bi_size == 40, where + ": BITMAPINFOHEADER size %d" % bi_size)
        need(bi_w == w and bi_h == 2 * h, where + ": header says %dx%d, icon needs %dx%d (doubled"
             " height)" % (bi_w, bi_h, w, 2 * h))
        need(bi_planes == 1 and comp == 0, where + ": planes/compression must be 1/BI_RGB")
        need(bi_bpp == bpp, where + ": entry says %d bpp, header %d" % (bpp, bi_bpp))
        if bpp <= 8:
            need(colours == (1 << bpp) % 256, where + ": colour count %d for %d bpp"
                 % (colours, bpp))
        ncol = (clr_used or (1 << bpp)) if bpp <= 8 else 0
        xor_stride = ((w * bpp + 31) // 32) * 4
        and_stride = ((w + 31) // 32) * 4
        want = 40 + 4 * ncol + xor_stride * h + and_stride * h
        need(size == want, where + ": %d bytes, a %d bpp image with mask needs %d"
             % (size, bpp, want))
        need(img_size in (0, xor_stride * h + and_stride * h), where + ": biSizeImage %d"
             % img_size)
        palette = [tuple(blob[40 + 4 * i + j] for j in (2, 1, 0)) for i in range(ncol)]
        xor_at = 40 + 4 * ncol
        and_at = xor_at + xor_stride * h
        pixels = []
        mask = []
        for y in range(h):
            row = xor_at + (h - 1 - y) * xor_stride
            mrow = and_at + (h - 1 - y) * and_stride
            for x in range(w):
                mask.append(bool(blob[mrow + (x >> 3)] & (0x80 >> (x & 7))))
                if bpp == 32:
                    b, g, r, a = blob[row + 4 * x:row + 4 * x + 4]
                    pixels.append((r, g, b, a))
                elif bpp == 24:
                    b, g, r = blob[row + 3 * x:row + 3 * x + 3]
                    pixels.append((r, g, b, 255))
                elif bpp in (1, 4, 8):
                    bit = x * bpp
                    idx = (blob[row + bit // 8] >> (8 - bpp - bit % 8)) & ((1 << bpp) - 1)
                    need(idx < ncol, where + ": colour index %d outside the palette" % idx)
                    pixels.append(palette[idx] + (255,))
                else:
                    raise Failure(where + ": unsupported %d bpp" % bpp)
        images.append(dict(w=w, h=h, bpp=bpp, png=False, colours=colours, pixels=pixels,
                           mask=mask))
    spans.sort()
    for (a0, a1), (b0, _) in zip(spans, spans[1:]):
        need(a1 <= b0, "icon images overlap")
    return images


def check_main_icon(path):
    images = parse_ico(read(path))
    sizes = sorted((im["w"], im["h"]) for im in images)
    need(sizes == [(16, 16), (32, 32), (48, 48), (256, 256)],
         "sizes %s, want 16, 32, 48 and 256" % sizes)
    for im in images:
        where = "%dx%d" % (im["w"], im["h"])
        need(im["bpp"] == 32, where + ": %d bpp, want 32" % im["bpp"])
        if im["png"]:
            continue
        px, mask = im["pixels"], im["mask"]
        for i, (p, m) in enumerate(zip(px, mask)):
            # Painters that ignore alpha draw through the mask alone, so the
            # two must agree.
            need(m == (p[3] < 128), where + ": AND mask disagrees with alpha at pixel %d" % i)
        opaque = sum(1 for p in px if p[3] == 255)
        need(px[0][3] == 0, where + ": top-left corner should be transparent")
        need(0.3 < opaque / len(px) < 0.9, where + ": %d%% opaque, the motif is missing or fills"
             " the square" % (100 * opaque // len(px)))
        reds = sum(1 for r, g, b, a in px if a > 200 and r > 170 and g < 90 and b < 90)
        blues = sum(1 for r, g, b, a in px if a > 200 and b > 150 and r < 120)
        need(reds >= len(px) // 50, where + ": no red stop accent")
        need(blues >= len(px) // 10, where + ": no blue shield")


def check_tray_icon(path):
    """A tray icon: 16 x 16 with 16 colours, and 32 x 32 in 32 bits for the
    tray at high DPI. Returns the images, smallest first."""
    name = os.path.basename(path)
    images = sorted(parse_ico(read(path)), key=lambda im: im["w"])
    need([(im["w"], im["h"], im["bpp"]) for im in images] == [(16, 16, 4), (32, 32, 32)],
         name + ": images %s, want 16x16 4 bpp and 32x32 32 bpp"
         % [(im["w"], im["h"], im["bpp"]) for im in images])
    small, big = images
    for i, (p, m) in enumerate(zip(small["pixels"], small["mask"])):
        # Where the mask lets the screen through, the XOR colour must be
        # black or it tints the taskbar.
        need(not m or p[:3] == (0, 0, 0), name + ": transparent pixel %d is not black" % i)
    need(small["mask"][0], name + ": top-left corner should be transparent")
    need(sum(small["mask"]) < 128, name + ": mostly transparent")
    check_clean_edge(name, small)
    for i, (p, m) in enumerate(zip(big["pixels"], big["mask"])):
        need(m == (p[3] < 128), name + ": 32x32 mask disagrees with alpha at pixel %d" % i)
    need(big["pixels"][0][3] == 0, name + ": 32x32 top-left corner should be transparent")
    return images


def check_clean_edge(name, im):
    """Along the shield's outline no white pixel sits between the outline and
    the fill: the stair-stepped edge with light gaps that a 16-pixel icon
    must not have. Checked next to each row's outermost opaque pixels below
    the top rim: on the left all the way down, on the right above the badge,
    whose own white bar may reach its rim."""
    px, mask = im["pixels"], im["mask"]
    for y in range(2, 16):
        row = [x for x in range(16) if not mask[y * 16 + x]]
        if not row:
            continue
        for x in (row[0] + 1, row[-1] - 1) if y < 9 else (row[0] + 1,):
            if row[0] < x < row[-1]:
                need(px[y * 16 + x][:3] != (255, 255, 255),
                     name + ": white gap inside the outline at (%d, %d)" % (x, y))
        # No hole: the opaque pixels of a row are one run.
        need(row == list(range(row[0], row[-1] + 1)),
             name + ": row %d has a gap in its outline" % y)


def check_tray_icons(normal_path, blink_path, off_path):
    normal = check_tray_icon(normal_path)
    blink = check_tray_icon(blink_path)
    off = check_tray_icon(off_path)
    for other, what in ((blink, "blink"), (off, "off")):
        a, b = normal[0], other[0]
        changed = sum(1 for p, q, m in zip(a["pixels"], b["pixels"], a["mask"])
                      if not m and p != q)
        opaque = sum(1 for m in a["mask"] if not m)
        need(changed >= opaque // 3, "the %s image differs from the normal icon in only %d of %d"
             " pixels: it would hardly show" % (what, changed, opaque))
    # The "off" image is grey: no colour left at either size.
    for im in off:
        strong = [p for p, m in zip(im["pixels"], im["mask"]) if not m and p[3] > 128
                  and max(p[:3]) - min(p[:3]) > 24]
        need(not strong, "trayoff.ico %dx%d: %d coloured pixels, want grey"
             % (im["w"], im["h"], len(strong)))
    # The normal image keeps its blue shield and red badge at both sizes.
    for im in normal:
        opaque = [p for p, m in zip(im["pixels"], im["mask"]) if not m and p[3] > 200]
        need(sum(1 for r, g, b, a in opaque if b > 150 and r < 120) >= len(opaque) // 5,
             "trayicon.ico %dx%d: no blue shield" % (im["w"], im["h"]))
        need(sum(1 for r, g, b, a in opaque if r > 170 and g < 90 and b < 90) >= 3,
             "trayicon.ico %dx%d: no red badge" % (im["w"], im["h"]))


# --------------------------------------------------------------------------
# BMP and JPEG


def parse_bmp24(data):
    need(data[:2] == b"BM", "not a BMP")
    size, _, _, offset = struct.unpack_from("<IHHI", data, 2)
    need(size == len(data), "file size field %d, file has %d bytes" % (size, len(data)))
    bi_size, w, h, planes, bpp, comp = struct.unpack_from("<IiiHHI", data, 14)
    need(bi_size == 40, "info header size %d" % bi_size)
    need(planes == 1 and bpp == 24 and comp == 0, "want 1 plane, 24 bpp, BI_RGB")
    need(w > 0 and h > 0, "width and height must be positive (bottom-up)")
    stride = (w * 3 + 3) & ~3
    need(offset >= 54 and offset + stride * h <= len(data), "pixel data shorter than %d rows of"
         " %d bytes" % (h, stride))
    px = []
    for y in range(h):
        row = offset + (h - 1 - y) * stride
        for x in range(w):
            b, g, r = data[row + 3 * x:row + 3 * x + 3]
            px.append((r, g, b))
    return w, h, px


def check_glyphs(art):
    for name in GLYPHS:
        for size in (16, 24, 32):
            suffix = "" if size == 16 else "_%d" % size
            check_glyph(art, name, "glyph_%s%s.bmp" % (name, suffix),
                        "glyph_%s%s_disabled.bmp" % (name, suffix), size)


def check_glyph(art, name, normal, grey, size):
    w, h, a = parse_bmp24(read(os.path.join(art, normal)))
    w2, h2, b = parse_bmp24(read(os.path.join(art, grey)))
    need((w, h) == (size, size) and (w2, h2) == (size, size),
         "%s: glyphs must be %dx%d" % (normal, size, size))
    need(a[0] == KEY and b[0] == KEY, normal + ": top-left pixel is not the magenta key")
    drawn = [p != KEY for p in a]
    need(drawn == [p != KEY for p in b], normal + ": disabled glyph has a different shape")
    n = sum(drawn)
    area = size * size / 256.0
    need(30 * area <= n <= 230 * area, normal + ": %d drawn pixels" % n)
    # Edges are blended with the slightly warm button face, hence the
    # small tolerance.
    need(all(max(p) - min(p) <= 4 for p in b if p != KEY), grey + ": not grey")
    coloured = sum(1 for p in a if p != KEY and max(p) - min(p) > 60)
    need(coloured >= n // 3, normal + ": hardly coloured")
    hue = "green" if name == "check" else "blue"
    strong = [p for p in a if p != KEY and max(p) - min(p) > 60]
    main = sum(1 for r, g, bl in strong if (g if hue == "green" else bl) == max(r, g, bl))
    need(main >= len(strong) * 3 // 4, normal + ": not mostly " + hue)


def check_listsel(art):
    w, h, px = parse_bmp24(read(os.path.join(art, "listsel.bmp")))
    need((w, h) == (237, 20), "listsel.bmp is %dx%d, want 237x20" % (w, h))
    need(KEY not in px, "listsel.bmp uses the transparent key colour")
    # Light enough for black item text to stay readable.
    need(min(sum(p) / 3 for p in px) > 120, "listsel.bmp is too dark for black text")
    need(px[2 * w + w // 2] != px[(h - 3) * w + w // 2], "listsel.bmp has no gradient")


def check_wizard(art):
    """The setup's side picture at 96 and 144 DPI: the sizes the page's
    control has there, the splash's dark blue, and the shield and its red
    badge at the same place and size in both (so neither is a crop or a
    stretch of the other)."""
    found = []
    for name, size in (("wizard.bmp", (164, 314)), ("wizard_144.bmp", (245, 458))):
        w, h, px = parse_bmp24(read(os.path.join(art, name)))
        need((w, h) == size, "%s is %dx%d, want %dx%d" % ((name, w, h) + size))
        for corner, want in ((px[0], (10, 28, 64)), (px[w - 1], (10, 28, 64)),
                             (px[-1], (26, 86, 166))):
            need(max(abs(a - b) for a, b in zip(corner, want)) <= 12,
                 name + ": corner %s is not the splash's blue %s" % (corner, want))
        # The shield's blue body and the badge's red, as shares of the area
        # and as the centre of the blue.
        blue = [(i % w, i // w) for i, (r, g, b) in enumerate(px) if b > 180 and r < 110
                and g > 90]
        red = sum(1 for r, g, b in px if r > 170 and g < 90 and b < 90)
        need(len(blue) > w * h // 50, name + ": no blue shield")
        need(red > w * h // 200, name + ": no red badge")
        found.append((len(blue) / (w * h), sum(y for _, y in blue) / len(blue) / h))
    (a96, y96), (a144, y144) = found
    need(abs(a96 - a144) < 0.2 * a96 and abs(y96 - y144) < 0.02,
         "the 96 and 144 DPI pictures differ: shield share %.3f / %.3f, height %.3f / %.3f"
         % (a96, a144, y96, y144))


def check_splash(path):
    data = read(path)
    need(data[:2] == b"\xFF\xD8", "splash.jpg: no SOI marker")
    need(data[-2:] == b"\xFF\xD9", "splash.jpg: no EOI marker at the end")
    pos = 2
    frame = None
    scans = 0
    while pos < len(data):
        need(data[pos] == 0xFF, "splash.jpg: bad marker at byte %d" % pos)
        marker = data[pos + 1]
        if marker == 0xD9:
            break
        length = struct.unpack_from(">H", data, pos + 2)[0]
        if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
            need(marker == 0xC0, "splash.jpg: SOF%d frame; only baseline (SOF0) loads everywhere"
                 % (marker - 0xC0))
            precision, h, w, ncomp = struct.unpack_from(">BHHB", data, pos + 4)
            frame = (precision, w, h, ncomp)
        if marker == 0xDA:
            scans += 1
            # Skip entropy-coded data up to the next marker that is not a
            # stuffed byte or a restart marker.
            pos += 2 + length
            while pos < len(data) - 1 and not (data[pos] == 0xFF and data[pos + 1] not in
                                               (0x00, *range(0xD0, 0xD8))):
                pos += 1
            continue
        pos += 2 + length
    need(frame is not None, "splash.jpg: no SOF0 frame")
    need(frame == (8, 411, 309, 3), "splash.jpg: frame %s, want 8-bit 411x309 with 3"
         " components" % (frame,))
    need(scans == 1, "splash.jpg: %d scans, a baseline picture has one" % scans)


# --------------------------------------------------------------------------
# Sounds


def parse_wav(data):
    need(data[:4] == b"RIFF" and data[8:12] == b"WAVE", "not RIFF/WAVE")
    need(struct.unpack_from("<I", data, 4)[0] == len(data) - 8, "RIFF size field is wrong")
    pos = 12
    fmt = None
    pcm = None
    while pos + 8 <= len(data):
        cid, size = struct.unpack_from("<4sI", data, pos)
        need(pos + 8 + size <= len(data), "chunk %r runs past the end" % cid)
        if cid == b"fmt ":
            fmt = struct.unpack_from("<HHIIHH", data, pos + 8)
        elif cid == b"data":
            pcm = data[pos + 8:pos + 8 + size]
        pos += 8 + size + (size & 1)
    need(fmt is not None and pcm is not None, "fmt or data chunk missing")
    need(fmt == (1, 1, 22050, 44100, 2, 16), "format %s, want PCM mono 22050 Hz 16-bit" % (fmt,))
    need(len(pcm) % 2 == 0, "odd data size")
    return list(struct.unpack("<%dh" % (len(pcm) // 2), pcm))


def power_at(samples, freq, rate=22050):
    # Goertzel filter over the whole file.
    k = 2.0 * math.cos(2.0 * math.pi * freq / rate)
    s1 = s2 = 0.0
    for x in samples:
        s1, s2 = x + k * s1 - s2, s1
    return s1 * s1 + s2 * s2 - k * s1 * s2


def check_sounds(folder):
    seen = {}
    for i, dominant in enumerate(gen_sounds.DOMINANT):
        name = "sound%d.wav" % (i + 1)
        data = read(os.path.join(folder, name))
        try:
            s = parse_wav(data)
        except Failure as e:
            raise Failure(name + ": " + str(e))
        need(data not in seen, name + ": same bytes as " + seen.get(data, ""))
        seen[data] = name
        secs = len(s) / 22050.0
        need(0.4 <= secs <= 0.9, name + ": lasts %.3f s, want 0.4 to 0.9" % secs)
        peak = max(abs(v) for v in s)
        need(8000 <= peak < 32767, name + ": peak %d: too quiet or clipping" % peak)
        # Faded in and out: no click at either end.
        need(max(abs(v) for v in s[:8]) < 300 and max(abs(v) for v in s[-8:]) < 300,
             name + ": does not start and end near silence")
        powers = [power_at(s, f) for f in gen_sounds.DOMINANT]
        best = max(range(5), key=lambda j: powers[j])
        need(best == i, name + ": strongest of the documented tones is %.2f Hz, want %.2f Hz"
             % (gen_sounds.DOMINANT[best], dominant))
        others = max(p for j, p in enumerate(powers) if j != i)
        need(powers[i] > 20 * others, name + ": %.2f Hz is not clearly dominant" % dominant)


# --------------------------------------------------------------------------


def regenerate(art):
    import gen_artwork
    for name, data in sorted(gen_artwork.build().items()):
        path = os.path.join(art, name)
        need(os.path.exists(path), name + ": missing from " + art)
        need(read(path) == data, name + ": differs from what gen_artwork.py draws now; rerun it")


def main(argv):
    art = os.path.join(HERE, "..", "resources", "art")
    sounds = None
    regen = True
    args = list(argv[1:])
    while args:
        a = args.pop(0)
        if a == "--art" and args:
            art = args.pop(0)
        elif a == "--sounds" and args:
            sounds = args.pop(0)
        elif a == "--no-regen":
            regen = False
        else:
            sys.stderr.write(__doc__)
            return 2
    tmp = None
    if sounds is None:
        tmp = tempfile.TemporaryDirectory()
        sounds = tmp.name
        subprocess.run([sys.executable, os.path.join(HERE, "gen_sounds.py"), sounds], check=True)

    checks = [
        ("mainicon.ico", lambda: check_main_icon(os.path.join(art, "mainicon.ico"))),
        ("trayicon.ico/trayanim.ico/trayoff.ico", lambda: check_tray_icons(
            os.path.join(art, "trayicon.ico"), os.path.join(art, "trayanim.ico"),
            os.path.join(art, "trayoff.ico"))),
        ("splash.jpg", lambda: check_splash(os.path.join(art, "splash.jpg"))),
        ("button glyphs", lambda: check_glyphs(art)),
        ("listsel.bmp", lambda: check_listsel(art)),
        ("wizard.bmp/wizard_144.bmp", lambda: check_wizard(art)),
        ("sounds", lambda: check_sounds(sounds)),
    ]
    if regen:
        checks.append(("artwork is up to date", lambda: regenerate(art)))
    passed = failed = 0
    for name, fn in checks:
        try:
            fn()
            print("ok    " + name)
            passed += 1
        except (Failure, OSError, struct.error, IndexError) as e:
            print("FAIL  %s: %s" % (name, e))
            failed += 1
    if tmp is not None:
        tmp.cleanup()
    print("check_artwork: %d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
