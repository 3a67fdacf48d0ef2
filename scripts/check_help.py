#!/usr/bin/env python3
"""Checks a compiled help file against the sources it was built from.

Usage: check_help.py CHM SOURCE_DIR   check CHM built from SOURCE_DIR
       check_help.py --self-test      show that each kind of fault is caught

Reads the file only through the Free Pascal utilities' chmls (list, extractall,
extracttoc, extractindex), as another reader of the file would, and checks:
  - every topic page of SOURCE_DIR, every file named in the project's [FILES]
    section and every picture under images/ is in the file, and so are the
    table of contents and the index named by the project;
  - every link of the compiled pages (href, src), of the table of contents
    and of the index, and of the binary table of contents and index that the
    viewer reads, names a file that is in the help file, and a #fragment
    names an id or name in that page; no link leaves the help file;
  - every topic page has a title and is reachable from the table of contents,
    and the binary index holds as many entries as the index source;
  - every PNG picture decodes (signature, chunk checksums, pixel data of the
    size its header gives), and an <img> that gives a width and height gives
    the picture's own.
Exits 0 when all holds, 1 with a list of the faults, 2 on bad usage.
"""

import html.parser
import os
import struct
import zlib
import posixpath
import re
import shutil
import subprocess
import sys
import tempfile

CHMLS = os.environ.get("CHMLS", "chmls")
CHMCMD = os.environ.get("CHMCMD", "chmcmd")
PAGE_EXTS = (".htm", ".html")
SITEMAP_EXTS = (".hhc", ".hhk")


def png_size(path):
    """(width, height) of a PNG file whose every chunk and pixel row is whole."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("no PNG signature")
    pos, header, idat = 8, None, b""
    while pos + 12 <= len(data):
        length = struct.unpack_from(">I", data, pos)[0]
        kind = data[pos + 4:pos + 8]
        body = data[pos + 8:pos + 8 + length]
        if len(body) != length or pos + 12 + length > len(data):
            raise ValueError(f"chunk {kind!r} runs past the end")
        crc = struct.unpack_from(">I", data, pos + 8 + length)[0]
        if zlib.crc32(kind + body) & 0xFFFFFFFF != crc:
            raise ValueError(f"chunk {kind!r} has a wrong checksum")
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
        pos += 12 + length
    else:
        raise ValueError("no IEND chunk")
    if header is None:
        raise ValueError("no IHDR chunk")
    width, height, depth, colour = header[:4]
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}.get(colour)
    if channels is None or header[6] != 0:
        raise ValueError("an unknown colour type or interlacing")
    row = (width * channels * depth + 7) // 8
    if len(zlib.decompress(idat)) != height * (1 + row):
        raise ValueError("the pixel data does not fill the picture")
    return width, height


class LinkParser(html.parser.HTMLParser):
    """Collects links, anchors and the title of one page or sitemap."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.links = []
        self.images = []  # (src, width, height) of <img> with a size given
        self.anchors = set()
        self.title = ""
        self.sitemap_entries = 0
        self._in_title = False
        self._in_object = False

    def handle_starttag(self, tag, attrs):
        a = {k.lower(): (v or "") for k, v in attrs}
        for key in ("id", "name"):
            if key in a and tag != "param":
                self.anchors.add(a[key])
        if tag in ("a", "link", "area") and "href" in a:
            self.links.append(a["href"])
        if tag in ("img", "script", "frame", "iframe") and "src" in a:
            self.links.append(a["src"])
        if tag == "img" and "src" in a and "width" in a and "height" in a:
            self.images.append((a["src"], a["width"], a["height"]))
        if tag == "object" and a.get("type", "").lower() == "text/sitemap":
            self._in_object = True
            self.sitemap_entries += 1
        if tag == "param" and a.get("name", "").lower() == "local":
            self.links.append(a.get("value", ""))
        if tag == "title":
            self._in_title = True

    def handle_endtag(self, tag):
        if tag == "title":
            self._in_title = False
        if tag == "object":
            self._in_object = False

    def handle_data(self, data):
        if self._in_title:
            self.title += data


def parse(path):
    p = LinkParser()
    with open(path, "r", encoding="cp1252", errors="replace") as f:
        p.feed(f.read())
    p.close()
    return p


def read_project(source_dir):
    """The [OPTIONS] and [FILES] of the one .hhp file in source_dir."""
    projects = [f for f in os.listdir(source_dir) if f.lower().endswith(".hhp")]
    if len(projects) != 1:
        raise SystemExit(f"check_help: expected one .hhp in {source_dir}, found {projects}")
    options, files, section = {}, [], None
    with open(os.path.join(source_dir, projects[0]), encoding="cp1252") as f:
        for raw in f:
            line = raw.strip()
            if not line or line.startswith(";"):
                continue
            if line.startswith("[") and line.endswith("]"):
                section = line[1:-1].upper()
            elif section == "OPTIONS" and "=" in line:
                key, value = line.split("=", 1)
                options[key.strip().lower()] = value.strip()
            elif section == "FILES":
                files.append(line.replace("\\", "/"))
    return options, files


def source_files(source_dir):
    """Topic pages and pictures of the sources, as paths inside the file."""
    found = []
    for root, _dirs, names in os.walk(source_dir):
        for name in names:
            rel = os.path.relpath(os.path.join(root, name), source_dir).replace(os.sep, "/")
            if name.lower().endswith(PAGE_EXTS) or rel.startswith("images/"):
                found.append(rel)
    return sorted(found)


def chmls(*args):
    result = subprocess.run([CHMLS, *args], capture_output=True, text=True,
                            encoding="latin-1")
    return result.returncode, result.stdout + result.stderr


def chm_names(chm):
    rc, out = chmls("-n", "list", chm)
    if rc != 0:
        return None, out
    names = set()
    for line in out.splitlines():
        line = line.strip()
        if line.startswith("/") and not line.endswith("/"):
            names.add(line[1:].lower())
    return names, out


def resolve(base, link):
    """The path inside the file that a link from page base names, and its fragment."""
    path, _, fragment = link.partition("#")
    if not path:
        path = base
    else:
        path = posixpath.normpath(posixpath.join(posixpath.dirname(base), path))
    return path, fragment


def check_links(origin, base, links, names, anchors_of, faults):
    for link in links:
        if re.match(r"^[a-zA-Z][a-zA-Z0-9+.-]*:", link):
            faults.append(f"{origin}: link {link!r} leaves the help file")
            continue
        if link.strip() == "":
            faults.append(f"{origin}: empty link")
            continue
        path, fragment = resolve(base, link)
        if path.startswith("../") or path.lower() not in names:
            faults.append(f"{origin}: link {link!r} names no file in the help file")
            continue
        if fragment:
            anchors = anchors_of(path)
            if anchors is None:
                faults.append(f"{origin}: link {link!r} has a fragment but names no page")
            elif fragment not in anchors:
                faults.append(f"{origin}: link {link!r}: no id or name {fragment!r} in {path}")


def check(chm, source_dir):
    """The list of faults of chm against source_dir; empty when all holds."""
    faults = []
    if not os.path.isfile(chm):
        return [f"{chm}: no such file"]
    options, project_files = read_project(source_dir)
    toc = options.get("contents file", "")
    index = options.get("index file", "")
    if not toc:
        faults.append("the project names no table of contents")
    if not index:
        faults.append("the project names no index")

    names, listing = chm_names(chm)
    if names is None:
        return faults + [f"{chm}: chmls cannot list it:\n{listing}"]

    expected = set(source_files(source_dir)) | set(project_files) | {toc, index} - {""}
    for name in sorted(expected):
        if name.lower() not in names:
            faults.append(f"{name}: missing from {os.path.basename(chm)}")
    for page in source_files(source_dir):
        if page.lower().endswith(PAGE_EXTS) and page not in project_files:
            faults.append(f"{page}: not listed in the project's [FILES]")

    work = tempfile.mkdtemp(prefix="check_help.")
    try:
        rc, out = chmls("extractall", chm, work)
        if rc != 0:
            return faults + [f"{chm}: chmls cannot extract it:\n{out}"]
        parsed = {}

        def parsed_page(path):
            key = path.lower()
            if key not in parsed:
                full = os.path.join(work, path)
                parsed[key] = parse(full) if os.path.isfile(full) else None
            return parsed[key]

        def anchors_of(path):
            page = parsed_page(path) if path.lower().endswith(PAGE_EXTS) else None
            return page.anchors if page else None

        pages = sorted(n for n in names if n.endswith(PAGE_EXTS))
        for page in pages:
            p = parsed_page(page)
            if p is None:
                faults.append(f"{page}: listed but not extracted")
                continue
            if not p.title.strip():
                faults.append(f"{page}: no title")
            check_links(page, page, p.links, names, anchors_of, faults)
            for src, width, height in p.images:
                path = resolve(page, src)[0]
                full = os.path.join(work, path)
                if path.lower().endswith(".png") and os.path.isfile(full):
                    try:
                        size = png_size(full)
                    except (ValueError, zlib.error, struct.error):
                        continue  # named below, once per picture
                    if (str(size[0]), str(size[1])) != (width, height):
                        faults.append(f"{page}: {src} is {size[0]}x{size[1]}, "
                                      f"the page says {width}x{height}")

        for name in sorted(n for n in names if n.endswith(".png")):
            try:
                png_size(os.path.join(work, name))
            except (ValueError, zlib.error, struct.error) as e:
                faults.append(f"{name}: not a whole PNG picture: {e}")

        toc_targets = set()
        index_entries = None
        for sitemap in (toc, index):
            if not sitemap or sitemap.lower() not in names:
                continue
            p = parse(os.path.join(work, sitemap))
            if p.sitemap_entries == 0:
                faults.append(f"{sitemap}: holds no entries")
            check_links(sitemap, sitemap, p.links, names, anchors_of, faults)
            if sitemap == toc:
                toc_targets = {resolve(toc, link)[0].lower() for link in p.links}
            else:
                index_entries = p.sitemap_entries

        # What the viewer really reads: the binary table of contents and index.
        for command, what in (("extracttoc", "binary table of contents"),
                              ("extractindex", "binary index")):
            out_file = os.path.join(work, f"{command}.out")
            rc, out = chmls(command, chm, out_file)
            if rc != 0 or not os.path.isfile(out_file):
                faults.append(f"{chm}: chmls cannot read its {what}:\n{out}")
                continue
            p = parse(out_file)
            check_links(what, "", p.links, names, anchors_of, faults)
            if command == "extractindex" and index_entries is not None and \
                    len(p.links) != index_entries:
                faults.append(f"{what}: {len(p.links)} entries, the index has "
                              f"{index_entries}")

        for page in pages:
            if toc and page not in toc_targets:
                faults.append(f"{page}: not in the table of contents")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return faults


def png_chunk(kind, body):
    return (struct.pack(">I", len(body)) + kind + body +
            struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))


def self_test():
    """Builds small broken help files and checks that each fault is named."""
    work = tempfile.mkdtemp(prefix="check_help_self.")
    try:
        def page(name, body, title="T"):
            with open(os.path.join(work, name), "w", encoding="cp1252") as f:
                f.write(f"<html><head><title>{title}</title></head><body>{body}</body></html>\n")

        def sitemap(name, locals_):
            items = "".join(
                '<LI><OBJECT type="text/sitemap"><param name="Name" value="x">'
                f'<param name="Local" value="{loc}"></OBJECT>\n' for loc in locals_)
            with open(os.path.join(work, name), "w", encoding="cp1252") as f:
                f.write(f"<HTML><BODY><UL>\n{items}</UL></BODY></HTML>\n")

        def project(files):
            with open(os.path.join(work, "t.hhp"), "w", encoding="cp1252") as f:
                f.write("[OPTIONS]\nCompiled file=t.chm\nContents file=toc.hhc\n"
                        "Index file=index.hhk\nDefault topic=a.htm\nTitle=T\n\n[FILES]\n")
                f.write("".join(line + "\n" for line in files))

        def build():
            chm = os.path.join(work, "t.chm")
            if os.path.exists(chm):
                os.remove(chm)
            subprocess.run([CHMCMD, "--no-html-scan", "t.hhp"], cwd=work, check=True,
                           capture_output=True)
            return chm

        cases = []
        # A whole file: both pages, every link resolving.
        page("a.htm", '<h1 id="top">A</h1><a href="b.htm#s">b</a>')
        page("b.htm", '<h2 name="s">B</h2><a href="a.htm">a</a> <a href="#s">here</a>')
        sitemap("toc.hhc", ["a.htm", "b.htm"])
        sitemap("index.hhk", ["a.htm#top", "b.htm"])
        project(["a.htm", "b.htm"])
        good = check(build(), work)
        cases.append(("whole file", good, None))

        page("a.htm", '<h1 id="top">A</h1><a href="c.htm">c</a>')
        cases.append(("dangling page link", check(build(), work), "'c.htm' names no file"))

        page("a.htm", '<h1 id="top">A</h1><a href="b.htm#nowhere">b</a>')
        cases.append(("missing anchor", check(build(), work), "no id or name 'nowhere'"))

        page("a.htm", '<h1 id="top">A</h1><a href="http://www.example.com/">x</a>')
        cases.append(("external link", check(build(), work), "leaves the help file"))

        page("a.htm", '<h1 id="top">A</h1><img src="images/none.png">')
        cases.append(("missing picture", check(build(), work), "'images/none.png' names no file"))

        page("a.htm", '<h1 id="top">A</h1>')
        sitemap("index.hhk", ["a.htm#top", "gone.htm"])
        cases.append(("dangling index entry", check(build(), work), "'gone.htm' names no file"))

        sitemap("index.hhk", ["a.htm#top", "b.htm"])
        sitemap("toc.hhc", ["a.htm"])
        cases.append(("page outside the contents", check(build(), work),
                      "b.htm: not in the table of contents"))

        os.makedirs(os.path.join(work, "images"))
        png = (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", struct.pack(">IIBBBBB", 2, 1, 8, 2, 0, 0, 0)) +
               png_chunk(b"IDAT", zlib.compress(bytes(7))) + png_chunk(b"IEND", b""))
        with open(os.path.join(work, "images", "p.png"), "wb") as f:
            f.write(png)
        sitemap("toc.hhc", ["a.htm", "b.htm"])
        page("a.htm", '<h1 id="top">A</h1><img src="images/p.png" width="2" height="1">')
        project(["a.htm", "b.htm", "images/p.png"])
        cases.append(("whole file with a picture", check(build(), work), None))

        page("a.htm", '<h1 id="top">A</h1><img src="images/p.png" width="20" height="10">')
        cases.append(("picture of another size", check(build(), work), "is 2x1, the page says 20x10"))

        with open(os.path.join(work, "images", "p.png"), "wb") as f:
            f.write(png[:-20] + bytes(20))
        cases.append(("damaged picture", check(build(), work), "not a whole PNG picture"))
        os.remove(os.path.join(work, "images", "p.png"))
        os.rmdir(os.path.join(work, "images"))
        page("a.htm", '<h1 id="top">A</h1>')
        project(["a.htm", "b.htm"])

        page("c.htm", "<p>C</p>")  # a source page the project leaves out
        cases.append(("topic page not compiled", check(build(), work),
                      "c.htm: missing from t.chm"))

        failed = 0
        for name, faults, expect in cases:
            if expect is None:
                ok = faults == []
            else:
                ok = any(expect in f for f in faults)
            print(f"{'ok  ' if ok else 'FAIL'} {name}: {faults if faults else 'no faults'}")
            failed += not ok
        return 1 if failed else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main(argv):
    if argv[1:] == ["--self-test"]:
        return self_test()
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    chm, source_dir = argv[1], argv[2]
    faults = check(chm, source_dir)
    if faults:
        print(f"{chm}: {len(faults)} fault(s):")
        for f in faults:
            print("  " + f)
        return 1
    print(f"{chm}: every topic, the contents and the index are in it; every link resolves")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
