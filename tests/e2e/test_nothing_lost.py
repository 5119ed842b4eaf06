"""Faults injected on purpose while splitting: inputs cut short or lacking
objects, runs stopped by signals, inputs cut short while they are read,
names taken by another run, odd inputs, a device that fills up. Whatever
happens, no page file is cut short, nothing is overwritten, and the run
says what happened."""

import ctypes
import fcntl
import json
import os
import re
import resource
import shutil
import signal
import struct
import subprocess
import sys
import threading
import time
import unittest
import zlib

import pdftest
from pdftest import SplitTestCase, brisel, ghostscript_pdf, qpdf_check, render, text_pages_ps

PAGE_NAME = re.compile(r".*-\d+\.pdf$")


def whole_pdf(path):
    """Whether the file ends as a page file ends: its startxref leads to its
    cross-reference table and it closes with %%EOF."""
    with open(path, "rb") as f:
        data = f.read()
    if not data.startswith(b"%PDF-1.") or not data.endswith(b"%%EOF\n"):
        return False
    m = re.search(rb"startxref\n(\d+)\n%%EOF\n$", data)
    return bool(m) and data[int(m.group(1)):int(m.group(1)) + 4] == b"xref"


def holds_open(pid, path):
    """Whether the process has the file open or mapped."""
    try:
        fds = os.listdir("/proc/%d/fd" % pid)
        with open("/proc/%d/maps" % pid) as maps:
            if any(line.rstrip("\n").endswith(" " + path) for line in maps):
                return True
    except OSError:
        return False
    for fd in fds:
        try:
            if os.readlink("/proc/%d/fd/%s" % (pid, fd)) == path:
                return True
        except OSError:
            pass
    return False


def classic_pdf(objects, free=()):
    """A classic file from {number: body}; the numbers in free are listed
    free in its table, every other number up to the highest that has no
    body is left out of the table."""
    out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
    offsets = {}
    for n in sorted(objects):
        offsets[n] = len(out)
        out += b"%d 0 obj\n%s\nendobj\n" % (n, objects[n])
    xref = len(out)
    listed = sorted(set(offsets) | set(free))
    out += b"xref\n0 1\n0000000000 65535 f \n"
    for n in listed:
        out += b"%d 1\n" % n
        out += b"0000000000 00001 f \n" if n in free else b"%010d 00000 n \n" % offsets[n]
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (max(listed) + 1, xref)
    return bytes(out)


def three_pages(extra_resources=b"", second_font=b"5 0 R"):
    """Three text pages in Helvetica; the second page's font is second_font,
    and every page's resources carry extra_resources."""
    objects = {1: b"<< /Type /Catalog /Pages 2 0 R >>",
               2: b"<< /Type /Pages /Kids [3 0 R 6 0 R 8 0 R] /Count 3 >>",
               5: b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"}
    for page, number in enumerate((3, 6, 8), 1):
        font = second_font if page == 2 else b"5 0 R"
        text = b"BT /F1 24 Tf 72 700 Td (Page %d) Tj ET" % page
        objects[number] = (b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 300] /Contents %d 0 R "
                           b"/Resources << /Font << /F1 %s >> %s >> >>" % (number + 1, font, extra_resources))
        objects[number + 1] = b"<< /Length %d >>\nstream\n%s\nendstream" % (len(text), text)
    return objects


def image_pages(data, wrong_length=False, metadata=b""):
    """Two pages that draw one gray image whose data is data; the second
    page's copy of it states a length 5 bytes too long when wrong_length.
    With metadata, the catalog has it as its XML metadata stream."""
    objects = {1: b"<< /Type /Catalog /Pages 2 0 R%s >>" % (b" /Metadata 9 0 R" if metadata else b""),
               2: b"<< /Type /Pages /Kids [3 0 R 6 0 R] /Count 2 >>"}
    content = b"q 100 0 0 100 50 50 cm /Im0 Do Q"
    for page, image, wrong in ((3, 5, False), (6, 8, wrong_length)):
        objects[page] = (b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents %d 0 R "
                         b"/Resources << /XObject << /Im0 %d 0 R >> >> >>" % (page + 1, image))
        objects[page + 1] = b"<< /Length %d >>\nstream\n%s\nendstream" % (len(content), content)
        objects[image] = (b"<< /Type /XObject /Subtype /Image /Width 100 /Height %d /ColorSpace /DeviceGray "
                          b"/BitsPerComponent 8 /Length %d >>\nstream\n" % (len(data) // 100, len(data) + 5 * wrong)
                          + data + b"\nendstream")
    if metadata:
        objects[9] = (b"<< /Type /Metadata /Subtype /XML /Length %d >>\nstream\n" % len(metadata) + metadata
                      + b"\nendstream")
    return classic_pdf(objects)


def big_tree(pages, per_node):
    """A generated file whose root lists nodes of per_node pages each, after
    the pages in object-number order; the nodes carry the media box, the
    resources and (every third) a rotation that their pages inherit, and each
    page says its number."""
    nodes = (pages + per_node - 1) // per_node
    objects = {1: b"<< /Type /Catalog /Pages 2 0 R >>",
               3: b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
               2: b"<< /Type /Pages /Kids [%s] /Count %d >>"
                  % (b" ".join(b"%d 0 R" % (10 + n) for n in range(nodes)), pages)}
    for n in range(nodes):
        first = n * per_node
        kids = [1000 + 2 * i for i in range(first, min(first + per_node, pages))]
        objects[10 + n] = (b"<< /Type /Pages /Parent 2 0 R /Kids [%s] /Count %d /MediaBox [0 0 200 120] "
                           b"/Resources << /Font << /F1 3 0 R >> >>%s >>"
                           % (b" ".join(b"%d 0 R" % k for k in kids), len(kids), b" /Rotate 90" if n % 3 == 1 else b""))
        for k in kids:
            text = b"BT /F1 28 Tf 20 50 Td (Page %d) Tj ET" % ((k - 1000) // 2 + 1)
            objects[k] = b"<< /Type /Page /Parent %d 0 R /Contents %d 0 R >>" % (10 + n, k + 1)
            objects[k + 1] = b"<< /Length %d >>\nstream\n%s\nendstream" % (len(text), text)
    return objects


class DamagedInputs(SplitTestCase):

    def test_page_trees_that_lost_their_kids(self):
        # 200 bytes of the root's /Kids changed: the pages before them come
        # from the tree, the rest from a scan of the objects, each with what
        # its node gives it.
        whole = classic_pdf(big_tree(2000, 20))
        reference = self.path("reference.pdf")
        with open(reference, "wb") as f:
            f.write(whole)
        kids = whole.index(b"/Kids [") + 7
        src = self.path("big.pdf")
        with open(src, "wb") as f:
            f.write(whole[:kids + 100] + b"x" * 200 + whole[kids + 300:])
        r = self.split("--yes", src, expect=6)
        m = re.fullmatch(r"brisel: .*: the page tree is damaged: (\d+) pages found by scanning; their order may "
                         r"differ from the original\n", r.stderr)
        self.assertTrue(m, r.stderr)
        self.assertGreater(int(m.group(1)), 1000)
        self.assertEqual(len([n for n in os.listdir(self.dir) if n.startswith("big-")]), 2000)
        for page in sorted({1, 2, 20, 21, 279, 280, 281, 282, 1000, 1999, 2000} | set(range(7, 2000, 97))):
            out = pdftest.output_name(src, page, 2000)
            self.assertTrue(qpdf_check(out)[0], out)
            self.assertEqual(render(out), render(reference, page), out)
        # Hand-built trees: a kid the file does not hold, a kid that is a
        # font, a page whose /Type lost its capital, a missing page object.
        # Every other page is written; a loss is told unless the root's
        # /Count shows that nothing was lost.
        reference = self.path("three.pdf")
        with open(reference, "wb") as f:
            f.write(classic_pdf(three_pages()))
        cases = (("nokid", b"[3 0 R 20 0 R 6 0 R 8 0 R] /Count 3", {}, 0, None),
                 ("nokid-nocount", b"[3 0 R 20 0 R 6 0 R 8 0 R]", {}, 0,
                  "Some pages could not be found (the file is damaged or cut short)"),
                 ("font", b"[3 0 R 5 0 R 6 0 R 8 0 R] /Count 3", {}, 0, None),
                 ("lowercase", b"[3 0 R 6 0 R 8 0 R] /Count 3", {6: (b"/Type /Page ", b"/Type /page ")}, 0, None),
                 ("nopage", b"[3 0 R 6 0 R 8 0 R] /Count 3", {6: None}, 2,
                  "1 of 3 pages could not be found (the file is damaged or cut short)"),
                 # One damaged byte: in the second page's content stream
                 # dictionary (its file is written without the content), in
                 # its page dictionary (its file alone is not written).
                 ("streamdict", b"[3 0 R 6 0 R 8 0 R] /Count 3", {7: (b"<< /Length", b"=< /Length")}, 0,
                  "1 of 3 pages are incomplete (the file is damaged or cut short): 2"),
                 ("pagedict", b"[3 0 R 6 0 R 8 0 R] /Count 3", {6: (b"/Resources <<", b"/Resources <(")}, 2,
                  "1 of 3 pages could not be read and were not written (the file is damaged): 2"))
        for name, root, changes, lost, told in cases:
            with self.subTest(name):
                objects = three_pages()
                objects[2] = b"<< /Type /Pages /Kids %s >>" % root
                for number, change in changes.items():
                    if change is None:
                        del objects[number]
                    else:
                        objects[number] = objects[number].replace(*change)
                src = self.path(name + ".pdf")
                with open(src, "wb") as f:
                    f.write(classic_pdf(objects))
                r = self.split(src, expect=6 if told else 0)
                self.assertEqual(r.stderr, "brisel: %s: %s\n" % (src, told) if told else "")
                pages = [1, 3] if lost else [1, 2, 3]
                names = sorted(n for n in os.listdir(self.dir) if n.startswith(name + "-"))
                self.assertEqual(len(names), len(pages))
                for index, page in enumerate(pages, 1):
                    # Unread pages keep their numbers; lost ones are not counted.
                    out = pdftest.output_name(src, page, 3) if "read" in (told or "") else \
                        pdftest.output_name(src, index, len(pages))
                    self.assertTrue(qpdf_check(out)[0], out)
                    if "incomplete" not in (told or "") or page != 2:
                        self.assertEqual(render(out), render(reference, page), out)
        # A catalog whose /Pages names a page: its pages are found by
        # scanning, the same when viewer settings are taken from the input
        # (the root's failure, left behind, once failed their reading).
        objects = three_pages()
        objects[1] = b"<< /Type /Catalog /Pages 3 0 R >>"
        src = self.path("pageroot.pdf")
        with open(src, "wb") as f:
            f.write(classic_pdf(objects))
        for options in ([], ["--direction", "keep", "--layout", "keep", "--mode", "keep"]):
            with self.subTest(options=options):
                r = self.split("--yes", "--if-exists", "replace", *options, src, expect=6)
                self.assertIn("the page tree is damaged: 3 pages found by scanning", r.stderr)
                self.assertEqual(len([n for n in os.listdir(self.dir) if n.startswith("pageroot-")]), 3)

    def test_cut_short_files(self):
        # Pages in tree order, each with its own content and image after
        # the page tree (as qpdf writes them): a cut loses the last pages'
        # objects.
        gs = ghostscript_pdf(self.path("gs.pdf"), text_pages_ps(30, image=True))
        whole = self.path("whole.pdf")
        subprocess.run(["qpdf", "--object-streams=disable", gs, whole], check=True)
        with open(whole, "rb") as f:
            data = f.read()
        # Cut at a tenth, the page objects of most pages are gone with their
        # content: the pages the tree still reaches are written, and the run
        # says how many pages could not be found. qpdf and pdftotext refuse
        # every cut (no trailer).
        for name, length, expect in (("cut10", len(data) // 10, 6), ("cut50", len(data) // 2, 6),
                                     ("cut90", len(data) * 9 // 10, 6), ("tail", len(data) - 200, 0)):
            with self.subTest(name):
                src = self.path(name + ".pdf")
                with open(src, "wb") as f:
                    f.write(data[:length])
                r = self.split(src, expect=expect)
                found, incomplete = 30, set()
                if expect == 6:
                    m = re.fullmatch(r"brisel: .*?: (?:(\d+) of 30 pages could not be found \(the file is damaged or "
                                     r"cut short\); )?(\d+) of (\d+) pages are incomplete \(the file is damaged or cut "
                                     r"short\): ([\d, -]+)\n", r.stderr)
                    self.assertTrue(m, r.stderr)
                    found = 30 - int(m.group(1) or 0)
                    self.assertEqual(int(m.group(3)), found)
                    for part in m.group(4).split(", "):
                        a, _, b = part.partition("-")
                        incomplete.update(range(int(a), int(b or a) + 1))
                    self.assertEqual(len(incomplete), int(m.group(2)))
                    # The more is cut, the more pages lack objects; the
                    # last page found always does.
                    self.assertIn(found, incomplete)
                    # Only the cut at a tenth loses pages of the tree.
                    self.assertEqual(found < 30, name == "cut10")
                names = sorted(n for n in os.listdir(self.dir) if n.startswith(name + "-"))
                self.assertEqual(names, [os.path.basename(pdftest.output_name(src, p, found))
                                         for p in range(1, found + 1)])
                for page in range(1, found + 1):
                    out = pdftest.output_name(src, page, found)
                    ok, report = qpdf_check(out)
                    self.assertTrue(ok, report)
                    if page not in incomplete:
                        self.assertEqual(render(out), render(whole, page), out)
                self.assertEqual(len(incomplete) > 0, expect == 6)

    def test_missing_and_free_objects(self):
        # The second page's font is gone: its file is written, and reported.
        src = self.path("font.pdf")
        with open(src, "wb") as f:
            f.write(classic_pdf(three_pages(second_font=b"20 0 R")))
        r = self.split("--json", src, expect=6)
        self.assertEqual(r.stderr, "brisel: %s: 1 of 3 pages are incomplete (the file is damaged or cut short): 2\n"
                         % src)
        self.assertEqual(json.loads(r.stdout)["warnings"],
                         [{"kind": "missing-object", "object": 20, "offset": None, "pages": [2, 2]}])
        for page in (1, 2, 3):
            self.assertTrue(qpdf_check(pdftest.output_name(src, page, 3))[0])
        # A node of the page tree is gone: the pages beside it are written
        # whole, and the loss is told.
        src = self.path("node.pdf")
        objects = three_pages()
        objects[2] = b"<< /Type /Pages /Kids [3 0 R 20 0 R 6 0 R 8 0 R] /Count 5 >>"
        with open(src, "wb") as f:
            f.write(classic_pdf(objects))
        r = self.split("--json", src, expect=6)
        self.assertEqual(r.stderr, "brisel: %s: 2 of 5 pages could not be found (the file is damaged or cut short)\n"
                         % src)
        self.assertEqual(json.loads(r.stdout)["warnings"],
                         [{"kind": "lost-page-tree-node", "object": 20, "offset": None, "pages": None}])
        reference = self.path("reference.pdf")
        with open(reference, "wb") as f:
            f.write(classic_pdf(three_pages()))
        self.assertPageFilesMatch(src, reference=reference)
        # A reference to a number the table lists free is a null, as the
        # file means it: no damage.
        src = self.path("free.pdf")
        with open(src, "wb") as f:
            f.write(classic_pdf(three_pages(extra_resources=b"/Properties << /P0 12 0 R >>"), free=(12,)))
        self.split(src)
        self.assertPageFilesMatch(src)

    def test_damaged_object_streams(self):
        # An update packs one object into an object stream whose data does
        # not inflate. Nothing needs it: the run is clean. The font all
        # pages use: every page file is written without it, and reported.
        def with_object_stream(number, body):
            base = classic_pdf(three_pages())
            prev = int(base[base.rindex(b"startxref") + 9:].split()[0])
            packed = zlib.compress(b"%d 0 " % number + body)
            packed = packed[:2] + bytes(range(7, 7 + len(packed) - 2))
            out = bytearray(base)
            at_stream = len(out)
            out += (b"20 0 obj\n<< /Type /ObjStm /N 1 /First 5 /Filter /FlateDecode /Length %d >>\nstream\n"
                    % len(packed) + packed + b"\nendstream\nendobj\n")
            at_xref = len(out)
            rows = sorted([(number, (2, 20, 0)), (20, (1, at_stream, 0)), (21, (1, at_xref, 0))])
            data = b"".join(bytes([k]) + a.to_bytes(4, "big") + g.to_bytes(2, "big") for _, (k, a, g) in rows)
            index = b" ".join(b"%d 1" % n for n, _ in rows)
            out += (b"21 0 obj\n<< /Type /XRef /Size %d /W [1 4 2] /Index [%s] /Root 1 0 R /Prev %d /Length %d >>\n"
                    b"stream\n" % (max(number, 21) + 1, index, prev, len(data)) + data + b"\nendstream\nendobj\n")
            out += b"startxref\n%d\n%%%%EOF\n" % at_xref
            return bytes(out)

        reference = self.path("reference.pdf")
        with open(reference, "wb") as f:
            f.write(classic_pdf(three_pages()))
        src = self.path("unused.pdf")
        with open(src, "wb") as f:
            f.write(with_object_stream(30, b"<< /Unused true >>"))
        r = self.split("--json", src)
        self.assertEqual(json.loads(r.stdout)["warnings"], [])
        self.assertPageFilesMatch(src, reference=reference)
        src = self.path("font.pdf")
        with open(src, "wb") as f:
            f.write(with_object_stream(5, b"<< /Type /Font /Subtype /Type1 /BaseFont /Courier >>"))
        r = self.split("--json", src, expect=6)
        self.assertEqual(r.stderr, "brisel: %s: 3 of 3 pages are incomplete (the file is damaged or cut short): "
                                   "1-3\n" % src)
        self.assertEqual([w["pages"] for w in json.loads(r.stdout)["warnings"] if w["object"] == 5],
                         [[1, 1], [2, 2], [3, 3]])
        for page in (1, 2, 3):
            self.assertTrue(qpdf_check(pdftest.output_name(src, page, 3))[0])

    def test_zlib_bombs(self):
        # Half a megabyte that inflates to half a gigabyte of zeros: after
        # the object that holds the pages' font in an object stream, before
        # an object the file lists in the same stream, and as a page's
        # content. The object stream is inflated only as far as the objects
        # the file lists in it reach, and at most 100 times the input (at
        # least 256 MB): the font is read without the zeros after it, the
        # object behind them stops the run with a message. The content is
        # copied without being inflated. Either way the run ends soon, in
        # bounded memory, and Ctrl-C ends it at once.
        def deflated_zeros(prefix, total, suffix=b""):
            c = zlib.compressobj(9)
            out, chunk = c.compress(prefix), bytes(64 << 20)
            for _ in range(total // len(chunk)):
                out += c.compress(chunk)
            return out + c.compress(suffix) + c.flush()

        base = classic_pdf(three_pages())
        prev = int(base[base.rindex(b"startxref") + 9:].split()[0])
        font = b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> "

        def object_stream(objects, packed):
            data = bytearray(base)
            at_stream = len(data)
            data += (b"20 0 obj\n<< /Type /ObjStm /N %d /First %d /Filter /FlateDecode /Length %d >>\nstream\n"
                     % (len(objects), len(header(objects)), len(packed)) + packed + b"\nendstream\nendobj\n")
            at_xref = len(data)
            rows = [(2, 20, i) for i in range(len(objects))] + [(1, at_stream, 0), (1, at_xref, 0)]
            rows = b"".join(bytes([kind]) + a.to_bytes(4, "big") + b.to_bytes(2, "big") for kind, a, b in rows)
            data += (b"21 0 obj\n<< /Type /XRef /Size 22 /W [1 4 2] /Index [5 %d 20 2] /Root 1 0 R /Prev %d "
                     b"/Length %d >>\nstream\n" % (len(objects), prev, len(rows)) + rows + b"\nendstream\nendobj\n")
            data += b"startxref\n%d\n%%%%EOF\n" % at_xref
            return bytes(data)

        def header(objects):
            return b" ".join(b"%d %d" % (5 + i, at) for i, at in enumerate(objects)) + b" "

        with open(pdftest.BRISEL, "rb") as f:
            sanitized = b"__asan_init" in f.read()
        zeros = 512 << 20
        near = object_stream([0], deflated_zeros(header([0]) + font, zeros))
        far_objects = [0, len(font) + zeros]
        far = object_stream(far_objects, deflated_zeros(header(far_objects) + font, zeros, b"(behind the zeros)"))
        pages = three_pages()
        content = deflated_zeros(b"BT /F1 24 Tf 72 200 Td (Page 1) Tj ET\n", zeros)
        pages[4] = b"<< /Filter /FlateDecode /Length %d >>\nstream\n" % len(content) + content + b"\nendstream"
        for name, data, status, most in (("objstm-bomb", near, 0, 256), ("objstm-bomb-far", far, 1, 400),
                                         ("content-bomb", classic_pdf(pages), 0, 256)):
            with self.subTest(name):
                src = self.path(name + ".pdf")
                with open(src, "wb") as f:
                    f.write(data)
                began = time.monotonic()
                run = subprocess.Popen([pdftest.BRISEL, src], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                       stdin=subprocess.DEVNULL, env=dict(os.environ, LANG="C", LC_ALL=""))
                _, code, usage = os.wait4(run.pid, 0)
                seconds = time.monotonic() - began
                stderr = run.stderr.read().decode()
                run.stdout.close()
                run.stderr.close()
                self.assertEqual(os.waitstatus_to_exitcode(code), status, stderr)
                if status == 1:
                    self.assertEqual(stderr, "brisel: %s: Failed (a compressed stream inflates to more than 100 "
                                             "times the file's size: the file is damaged or made to exhaust "
                                             "memory)\n" % src)
                # ru_maxrss is in kilobytes. The bounds leave room for a
                # loaded machine; the figures are in the report. A sanitizer
                # build keeps freed blocks in quarantine and shadows every
                # byte, which about triples what a bomb's growing buffer
                # takes.
                print("%s: %.2f s, %d MB" % (name, seconds, usage.ru_maxrss // 1024), file=sys.stderr)
                self.assertLess(usage.ru_maxrss, (most * 3 if sanitized else most) << 10)
                self.assertLess(seconds, 30)
                if status == 0:
                    # The font is read, so the pages look as they should.
                    if name == "objstm-bomb":
                        self.assertPageFilesMatch(src)
                    continue
                # Ctrl-C while the stream inflates.
                run = subprocess.Popen([pdftest.BRISEL, src], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                       stdin=subprocess.DEVNULL)
                time.sleep(0.3)
                sent = time.monotonic()
                run.send_signal(signal.SIGINT)
                self.assertEqual(run.wait(timeout=30), 130)
                print("%s: stopped %.3f s after Ctrl-C" % (name, time.monotonic() - sent), file=sys.stderr)
                self.assertLess(time.monotonic() - sent, 1.0)

    def test_damaged_header_and_odd_inputs(self):
        good = classic_pdf(three_pages())
        for name, head, version in (("bad15", b"%PDX-1.5", b"%PDF-1.5\n"), ("zeros", b"\0" * 8, b"%PDF-1.7\n")):
            src = self.path(name + ".pdf")
            with open(src, "wb") as f:
                f.write(head + good[8:])
            self.split(src)
            for page in (1, 2, 3):
                out = pdftest.output_name(src, page, 3)
                with open(out, "rb") as f:
                    self.assertTrue(f.read().startswith(version), out)
                self.assertTrue(qpdf_check(out)[0], out)
        # Not a regular file: refused at once, saying what it is.
        fifo = self.path("pipe.pdf")
        os.mkfifo(fifo)
        os.mkdir(self.path("folder.pdf"))
        os.symlink("/dev/null", self.path("device.pdf"))
        os.symlink(self.path("loop2.pdf"), self.path("loop1.pdf"))
        os.symlink(self.path("loop1.pdf"), self.path("loop2.pdf"))
        for name, reason in (("pipe.pdf", "not a regular file but a named pipe (FIFO)"),
                             ("folder.pdf", "is a folder, not a file"),
                             ("device.pdf", "not a regular file but a device"),
                             ("loop1.pdf", "a symbolic link in the path loops back on itself")):
            r = self.split(self.path(name), expect=1)
            self.assertIn(reason, r.stderr)


class TakenNames(SplitTestCase):

    def test_dangling_link_and_a_second_run(self):
        src = ghostscript_pdf(self.path("t.pdf"), text_pages_ps(40))
        # A dangling link holds the name of page 7: the names go past it.
        os.symlink(self.path("nowhere"), self.path("t-07.pdf"))
        self.split(src)
        self.assertPageFilesMatch(src, discriminator="0")
        self.assertEqual(os.readlink(self.path("t-07.pdf")), self.path("nowhere"))
        # Two runs into one folder at once: both write every page, under
        # names that never replace each other's files.
        out = self.path("out")
        os.mkdir(out)
        # Hidden temporary files an earlier run left when it was killed are
        # removed once an hour old; a fresh one (a run writing now), a name
        # not quite ours, a folder and a link of that name stay.
        old = time.time() - 3600
        stale, fresh = ".brisel-0123456789abcdef.tmp", ".brisel-fedcba9876543210.tmp"
        kept = [fresh, ".brisel-0123456789ABCDEF.tmp", ".brisel-0123456789abcdef.tmp~", "x.brisel-0123456789abcde.tmp"]
        for name in [stale] + kept:
            with open(os.path.join(out, name), "wb") as f:
                f.write(b"%PDF-1.4 cut")
            if name != fresh:
                os.utime(os.path.join(out, name), (old, old))
        os.mkdir(os.path.join(out, ".brisel-00000000000000aa.tmp"))
        os.symlink(src, os.path.join(out, ".brisel-00000000000000bb.tmp"))
        kept += [".brisel-00000000000000aa.tmp", ".brisel-00000000000000bb.tmp"]
        runs = [subprocess.Popen([pdftest.BRISEL, "--yes", "--out", out, "--pages", "1-", src],
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True) for _ in range(2)]
        results = [r.communicate(timeout=120) + (r.returncode,) for r in runs]
        self.assertEqual([r[2] for r in results], [0, 0], results)
        files = [f for f in os.listdir(out) if PAGE_NAME.match(f)]
        self.assertEqual(len(files), 80)
        self.assertEqual(sorted(f for f in os.listdir(out) if not PAGE_NAME.match(f)), sorted(kept))
        for f in files:
            self.assertTrue(whole_pdf(os.path.join(out, f)), f)


    def test_folder_swapped_for_a_link(self):
        # The output folder is exchanged, in one step, for a symbolic link to
        # another folder while the page files are written: every page file
        # still goes into the folder the run began with, none into the
        # link's target.
        libc = ctypes.CDLL(None, use_errno=True)
        if not hasattr(libc, "renameat2"):
            self.skipTest("no renameat2 in this C library")
        src = self.path("many.pdf")
        with open(src, "wb") as f:
            f.write(classic_pdf(big_tree(3000, 50)))
        out, elsewhere, swap = self.path("out"), self.path("elsewhere"), self.path("swap")
        os.mkdir(out)
        os.mkdir(elsewhere)
        os.symlink(elsewhere, swap)
        run = subprocess.Popen([pdftest.BRISEL, "--yes", "--no-sync", "-o", out, src], stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, text=True)
        deadline = time.monotonic() + 60
        while run.poll() is None and time.monotonic() < deadline and len(os.listdir(out)) < 10:
            time.sleep(0.001)
        at_fdcwd, rename_exchange = -100, 2
        swapped = libc.renameat2(at_fdcwd, swap.encode(), at_fdcwd, out.encode(), rename_exchange) == 0
        _, err = run.communicate(timeout=120)
        if not swapped:
            self.skipTest("this file system cannot exchange names: " + os.strerror(ctypes.get_errno()))
        self.assertEqual(run.returncode, 0, err)
        self.assertTrue(os.path.islink(out))
        self.assertEqual(os.listdir(elsewhere), [])
        names = [n for n in os.listdir(swap) if PAGE_NAME.match(n)]
        self.assertEqual(len(names), 3000)
        self.assertTrue(whole_pdf(os.path.join(swap, sorted(names)[-1])))


class Stops(SplitTestCase):

    def test_stopped_by_signals(self):
        gs = ghostscript_pdf(self.path("g.pdf"), text_pages_ps(20))
        src = self.path("s.pdf")
        subprocess.run(["qpdf", "--empty", "--pages", *([gs] * 150), "--", src], check=True)
        for sig in (signal.SIGTERM, signal.SIGHUP, signal.SIGQUIT, signal.SIGINT, signal.SIGKILL):
            for delay in (0.1, 0.4):
                with self.subTest(signal=sig.name, delay=delay):
                    out = self.path("%s-%g" % (sig.name, delay))
                    os.mkdir(out)
                    run = subprocess.Popen([pdftest.BRISEL, "--yes", "--quiet", "--out", out, "--pages", "1-", src],
                                           stdout=subprocess.PIPE, stderr=subprocess.PIPE)
                    # On a busy machine the run may not have started after
                    # a fixed delay: the later stop waits for a first page
                    # file, so that one stop always lands mid-run.
                    if delay > 0.1:
                        deadline = time.monotonic() + 60
                        while not os.listdir(out) and run.poll() is None and time.monotonic() < deadline:
                            time.sleep(0.01)
                    time.sleep(delay)
                    run.send_signal(sig)
                    run.communicate(timeout=120)
                    names = os.listdir(out)
                    if run.returncode != 0:
                        # A signal that comes before the handlers are set
                        # kills the run, harmlessly, before it wrote anything.
                        expected = {-sig} if sig == signal.SIGKILL else {128 + sig}
                        if not names:
                            expected.add(-sig)
                        self.assertIn(run.returncode, expected)
                    # Nothing but page files, each of them whole; the last
                    # few, those in flight at the stop, also pass qpdf.
                    self.assertEqual([n for n in names if not PAGE_NAME.match(n)], [])
                    for n in names:
                        self.assertTrue(whole_pdf(os.path.join(out, n)), n)
                    for n in sorted(names)[-3:]:
                        self.assertTrue(qpdf_check(os.path.join(out, n))[0], n)

    def test_input_cut_short_while_read(self):
        # A large input (mostly a hole in the file) that another program
        # cuts short while it is read: a clean failure, never a crash.
        src = self.path("big.pdf")
        good = classic_pdf(three_pages())
        said = False
        for attempt in range(4):
            with open(src, "wb") as f:
                f.write(good)
                f.truncate(1 << 30)
            run = subprocess.Popen([pdftest.BRISEL, "--yes", src], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                   text=True)
            # The cut comes once the run holds the input open, however
            # busy the machine, and a little later at each attempt.
            deadline = time.monotonic() + 60
            while not holds_open(run.pid, src) and run.poll() is None and time.monotonic() < deadline:
                time.sleep(0.002)
            time.sleep(0.01 * attempt)
            os.truncate(src, len(good) + 100)
            _, err = run.communicate(timeout=120)
            # Split whole before the cut, or stopped cleanly: never killed.
            self.assertIn(run.returncode, (0, 1), err)
            if run.returncode:
                self.assertTrue(err.startswith("brisel: "), err)
            said = said or "the input changed while it was read" in err
            for n in os.listdir(self.dir):
                if PAGE_NAME.match(n):
                    self.assertTrue(whole_pdf(self.path(n)), n)
        self.assertTrue(said, "no run saw the input change")

    def test_input_edited_in_place_while_read(self):
        # Another program rewrites one content stream of the input, in place
        # and at the same length, while the page files are written: the run
        # fails saying so and how many page files it wrote, and those are
        # whole and read the page text of the input as it was.
        src = self.path("edited.pdf")
        data = classic_pdf(big_tree(4000, 50))
        at = data.rindex(b"(Page 4000)")
        for attempt in range(5):
            out = self.path("out-%d" % attempt)
            with open(src, "wb") as f:
                f.write(data)
            run = subprocess.Popen([pdftest.BRISEL, "--yes", "--no-sync", "-o", out, src], stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, text=True)
            deadline = time.monotonic() + 60
            while run.poll() is None and time.monotonic() < deadline and not (
                    os.path.isdir(out) and len(os.listdir(out)) > 20 * attempt):
                time.sleep(0.001)
            with open(src, "r+b") as f:
                f.seek(at)
                f.write(b"(Edit 4000)")
            _, err = run.communicate(timeout=120)
            if run.returncode == 0:
                continue  # done before the edit: the machine was quick
            m = re.fullmatch(r"brisel: .*: Failed \(the input changed while it was read \((\d+) of 4000 pages "
                             r"written\)\)\n", err)
            self.assertTrue(m, err)
            names = sorted(os.listdir(out))
            self.assertEqual(len(names), int(m.group(1)))
            self.assertLess(len(names), 4000)
            for n in names:
                self.assertTrue(whole_pdf(os.path.join(out, n)), n)
            for n in names[-2:]:
                self.assertTrue(qpdf_check(os.path.join(out, n))[0], n)
            return
        self.skipTest("every run ended before the input was edited")


class FullDevice(SplitTestCase):

    def test_messages_that_say_what_happened(self):
        src = ghostscript_pdf(self.path("report.pdf"), text_pages_ps(60, image=True))
        # A folder that may not be written; a name too long for the system.
        if os.geteuid() != 0:
            locked = self.path("locked")
            os.mkdir(locked, 0o555)
            r = self.split("--yes", "--out", locked, src, expect=4)
            self.assertIn("report-01.pdf: no permission to write into the folder (0 of 60 pages written)", r.stderr)
        long = self.path("x" * 250 + ".pdf")
        os.link(src, long)
        r = self.split("--yes", long, expect=4)
        self.assertTrue(r.stderr.endswith(": the name is too long (0 of 60 pages written)\n"), r.stderr)
        # A folder that holds the name of the first or the last page file:
        # the files before it are written, listed and keep their pages'
        # damage (each page lacks object 99); nothing from it on is.
        lost = self.path("lost.pdf")
        with open(lost, "wb") as f:
            f.write(classic_pdf(three_pages(b"/XObject << /X 99 0 R >>")))
        for failing in (1, 3):
            out = self.path("out-%d" % failing)
            os.makedirs(os.path.join(out, "lost-%d.pdf" % failing))
            r = self.split("--json", "--if-exists", "replace", "-o", out, lost, expect=4)
            self.assertEqual(r.stderr, "brisel: %s: lost-%d.pdf: a folder holds the name (%d of 3 pages written)\n"
                             % (lost, failing, failing - 1))
            result = json.loads(r.stdout)
            written = [os.path.join(out, "lost-%d.pdf" % p) for p in range(1, failing)]
            self.assertEqual(result["written"], written)
            self.assertEqual(sorted(os.listdir(out)), ["lost-%d.pdf" % p for p in range(1, failing + 1)])
            self.assertEqual([(w["object"], w["pages"]) for w in result["warnings"]],
                             [(99, [p, p]) for p in range(1, failing)])
        if os.geteuid() != 0:
            self.skipTest("a tmpfs can be mounted only as root")
        mount = self.path("small")
        os.mkdir(mount)
        size = os.path.getsize(src) // 4
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%d" % size, "tmpfs", mount], check=True)
        try:
            r = self.split("--yes", "--out", mount, src, expect=4)
            m = re.fullmatch(r"brisel: .*: report-(\d\d)\.pdf: no space left on the device \((\d+) of 60 pages "
                             r"written\)\n", r.stderr)
            self.assertTrue(m, r.stderr)
            self.assertEqual(int(m.group(1)) - 1, int(m.group(2)))
            names = sorted(os.listdir(mount))
            self.assertEqual(len(names), int(m.group(2)))
            for n in names:
                self.assertTrue(whole_pdf(os.path.join(mount, n)), n)
            # A read-only folder.
            subprocess.run(["mount", "-o", "remount,ro", mount], check=True)
            r = self.split("--yes", "--out", mount, "--pages", "1-", src, expect=4)
            self.assertIn("the folder is on a read-only file system", r.stderr)
        finally:
            subprocess.run(["umount", mount])

    def test_power_cut_after_done(self):
        # An ext4 image mounted through a loop device; right after status 0
        # the file system is shut down without flushing its journal, as a
        # power cut would leave it, and mounted again: every page file is
        # whole. Without the flush (--no-sync) the same cut loses them,
        # which shows that the test can see the difference.
        if os.geteuid() != 0:
            self.skipTest("a loop device can be mounted only as root")
        src = ghostscript_pdf(self.path("report.pdf"), text_pages_ps(60, image=True))
        image, mount = self.path("ext4.img"), self.path("ext4")
        os.mkdir(mount)
        with open(image, "wb") as f:
            f.truncate(64 << 20)
        made = subprocess.run(["mkfs.ext4", "-q", "-F", image], capture_output=True, text=True)
        if made.returncode != 0:
            self.skipTest("mkfs.ext4 failed: " + made.stderr)
        mounted = subprocess.run(["mount", "-o", "loop", image, mount], capture_output=True, text=True)
        if mounted.returncode != 0:
            self.skipTest("this machine cannot mount a loop device: " + mounted.stderr.strip())
        fs_ioc_shutdown, nologflush = 0x8004587D, 2
        try:
            for args, kept in (((), True), (("--no-sync",), False)):
                with self.subTest(args=args):
                    out = os.path.join(mount, "out-%d" % len(args))
                    self.split("--yes", *args, "-o", out, src)
                    fd = os.open(mount, os.O_RDONLY)
                    try:
                        fcntl.ioctl(fd, fs_ioc_shutdown, struct.pack("I", nologflush))
                    finally:
                        os.close(fd)
                    subprocess.run(["umount", mount], check=True)
                    subprocess.run(["mount", "-o", "loop", image, mount], check=True)
                    names = sorted(os.listdir(out)) if os.path.isdir(out) else []
                    whole = [n for n in names if whole_pdf(os.path.join(out, n))]
                    if kept:
                        self.assertEqual(len(names), 60)
                        self.assertEqual(whole, names)
                        for n in names[::7]:
                            ok, report = qpdf_check(os.path.join(out, n))
                            self.assertTrue(ok, report)
                    else:
                        self.assertLess(len(whole), 60)
        finally:
            subprocess.run(["umount", mount])


class LargeStreams(SplitTestCase):
    """Streams larger than a threshold (64 MB; tests lower it) go from the
    input into the page file in pieces, encrypted piece by piece for an
    encrypted input, never whole in memory."""

    def test_streams_written_in_pieces(self):
        # With the threshold at 1000 bytes, the 30 000-byte image and the
        # 2 000-byte metadata go in pieces: a plain file's pages are the
        # bytes of a run that copies them whole (and uncompressed, as large
        # streams are), and an encrypted file's
        # pages pass qpdf --check and give back the input's image and
        # metadata (the latter kept plain where the input keeps it so).
        import pikepdf
        data = bytes((i * 7 + i // 100) % 256 for i in range(30000))
        metadata = b"<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?>" + b" " * 1900 + b"<?xpacket end='w'?>"
        plain = self.path("plain.pdf")
        with open(plain, "wb") as f:
            f.write(image_pages(data, wrong_length=True, metadata=metadata))
        date = re.compile(rb"/CreationDate \(D:\d{14}\)")
        # Single pages, and parts cut by their size (measured with the
        # spans), which hold the image twice.
        for args in (("--streams", "keep"), ("--streams", "keep", "--max-size", "70K")):
            whole = {}
            for threshold in (None, "1000"):
                folder = self.path("plain-%s-%d" % (threshold, len(args)))
                env = {"BRISEL_TEST_LARGE_STREAM": threshold} if threshold else {}
                self.split("--yes", *args, "-o", folder, plain, env=env)
                names = sorted(os.listdir(folder))
                self.assertEqual(len(names), 1 if len(args) > 2 else 2)
                for name in names:
                    with open(os.path.join(folder, name), "rb") as f:
                        got = date.sub(b"", f.read())
                    if threshold:
                        self.assertEqual(got, whole[name], name)
                    whole[name] = got
        for name, args in (("rc4-40", ["40"]), ("rc4-128", ["128", "--use-aes=n"]),
                           ("aes-128", ["128", "--use-aes=y"]), ("aes-256", ["256"]),
                           ("aes-256-plain-metadata", ["256", "--cleartext-metadata"])):
            with self.subTest(name):
                src = self.path(name + ".pdf")
                made = pdftest.run(["qpdf", "--allow-weak-crypto", "--encrypt", "user", "owner", *args, "--",
                                    plain, src])
                self.assertIn(made.returncode, (0, 3), made.stderr)
                folder = self.path(name)
                self.split("--yes", "--password=owner", "-o", folder, src,
                           env={"BRISEL_TEST_LARGE_STREAM": "1000"})
                with pikepdf.open(src, password="user") as pdf:
                    images = [page.Resources.XObject.Im0.read_bytes() for page in pdf.pages]
                for page in (1, 2):
                    out = os.path.join(folder, "%s-%d.pdf" % (name, page))
                    ok, report = qpdf_check(out, "user")
                    self.assertTrue(ok, report)
                    with pikepdf.open(out, password="user") as pdf:
                        self.assertEqual(pdf.pages[0].Resources.XObject.Im0.read_bytes(), images[page - 1])
                        self.assertEqual(pdf.Root.Metadata.read_bytes(), metadata)
                        if "plain-metadata" in name:
                            with open(out, "rb") as f:
                                self.assertIn(metadata, f.read())

    def test_five_gib_image_in_one_gigabyte(self):
        # A page that draws one 5 GiB image (zeros, written sparsely) splits
        # in a memory cgroup limited to 1 GiB: the image goes from the
        # input's mapping to the page file in pieces. Another page beside it
        # shows that the offsets after the image hold.
        free = shutil.disk_usage(self.dir).free
        if free < (11 << 30):
            self.skipTest("needs 11 GiB free for a 5 GiB input and its page file, has %.1f GiB" % (free / (1 << 30)))
        cgroup, why = memory_cgroup(os.path.basename(self.dir), 1 << 30)
        if not cgroup:
            self.skipTest(why)
        size = 5 << 30
        src = self.path("huge.pdf")
        with open(src, "wb") as f:
            f.write(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
            offsets = {}

            def obj(number, body):
                offsets[number] = f.tell()
                f.write(b"%d 0 obj\n%s\nendobj\n" % (number, body))

            obj(1, b"<< /Type /Catalog /Pages 2 0 R >>")
            obj(2, b"<< /Type /Pages /Kids [3 0 R 6 0 R] /Count 2 >>")
            content = b"q 500 0 0 700 50 50 cm /Im0 Do Q"
            for page in (3, 6):
                obj(page, b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 600 800] /Contents %d 0 R%s >>"
                    % (page + 1, b" /Resources << /XObject << /Im0 5 0 R >> >>" if page == 3 else b""))
                obj(page + 1, b"<< /Length %d >>\nstream\n%s\nendstream" % (len(content), content))
                if page == 3:
                    offsets[5] = f.tell()
                    f.write(b"5 0 obj\n<< /Type /XObject /Subtype /Image /Width 65536 /Height 81920 "
                            b"/ColorSpace /DeviceGray /BitsPerComponent 8 /Length %d >>\nstream\n" % size)
                    f.seek(size, os.SEEK_CUR)
                    f.write(b"\nendstream\nendobj\n")
            table = f.tell()
            f.write(b"xref\n0 8\n0000000000 65535 f \n")
            for n in range(1, 8):
                f.write(b"%010d 00000 n \n" % offsets[n])
            f.write(b"trailer\n<< /Size 8 /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % table)
        folder, stopped = self.path("out"), self.path("stopped")

        def start(out):
            return subprocess.Popen(["/bin/sh", "-c", 'echo $$ > "$0/cgroup.procs" && exec "$@"', cgroup,
                                     pdftest.BRISEL, "--yes", "-o", out, src],
                                    stdout=subprocess.PIPE, stderr=subprocess.PIPE, stdin=subprocess.DEVNULL,
                                    env=dict(os.environ, LANG="C", LC_ALL=""))
        try:
            began = time.monotonic()
            run = start(folder)
            # What the program itself holds (its anonymous memory), apart
            # from the input's and the page file's cached pages.
            anonymous, ended = [0], threading.Event()

            def watch():
                # Not run.poll(): that would reap the process before wait4.
                while not ended.is_set():
                    try:
                        with open("/proc/%d/status" % run.pid) as f:
                            for line in f:
                                if line.startswith("RssAnon:"):
                                    anonymous[0] = max(anonymous[0], int(line.split()[1]))
                    except OSError:
                        pass
                    time.sleep(0.02)
            watcher = threading.Thread(target=watch)
            watcher.start()
            _, code, usage = os.wait4(run.pid, 0)
            seconds = time.monotonic() - began
            ended.set()
            watcher.join()
            stderr = run.stderr.read().decode()
            run.stdout.close()
            run.stderr.close()
            peak = cgroup_peak(cgroup)
            # Ctrl-C in the middle of the copy: the run ends at once and
            # leaves no page file cut short.
            run = start(stopped)
            time.sleep(2)
            sent = time.monotonic()
            run.send_signal(signal.SIGINT)
            stop_status = run.wait(timeout=60)
            stop_seconds = time.monotonic() - sent
            run.stdout.close()
            run.stderr.close()
        finally:
            remove_cgroup(cgroup)
            os.remove(src)
        print("5 GiB image: %.1f s, %.1f MB anonymous and %d MB resident at most, %d MB the cgroup's peak (with "
              "the file cache); stopped %.3f s after Ctrl-C"
              % (seconds, anonymous[0] / 1024, usage.ru_maxrss // 1024, peak >> 20, stop_seconds), file=sys.stderr)
        self.assertEqual(os.waitstatus_to_exitcode(code), 0, stderr)
        self.assertEqual(stop_status, 130)
        self.assertLess(stop_seconds, 1.0)
        for name in os.listdir(stopped) if os.path.isdir(stopped) else []:
            self.assertTrue(whole_pdf(os.path.join(stopped, name)), name)
        shutil.rmtree(stopped, ignore_errors=True)
        first, second = (os.path.join(folder, "huge-%d.pdf" % page) for page in (1, 2))
        self.assertGreater(os.path.getsize(first), size)
        self.assertTrue(whole_pdf(first) and whole_pdf(second))
        for out in (first, second):
            ok, report = qpdf_check(out)
            self.assertTrue(ok, report)
        # The bytes after the image where its length says.
        with open(first, "rb") as f:
            data = f.read(1 << 20)
            at = data.index(b"/Length %d >>\nstream\n" % size) + len(b"/Length %d >>\nstream\n" % size)
            f.seek(at + size)
            self.assertEqual(f.read(11), b"\nendstream\n")

    def test_memory_that_runs_out(self):
        # A page whose 300 MB image must be copied whole (the threshold set
        # above it) in an address space too small for the copy: the run
        # says memory ran out, not that the file is damaged. A sanitizer
        # build reserves terabytes of address space and aborts where memory
        # runs out, so it is judged in the release build only.
        with open(pdftest.BRISEL, "rb") as f:
            if b"__asan_init" in f.read():
                print("memory that runs out: judged in the release build", file=sys.stderr)
                return
        data = bytes(300 << 20)
        src = self.path("large.pdf")
        with open(src, "wb") as f:
            f.write(image_pages(data))
        limit = 1000 << 20

        def run(*args, **env):
            return subprocess.run([pdftest.BRISEL, "--yes", "--no-sync", *args, src], capture_output=True,
                                  text=True, env=dict(os.environ, LANG="C", LC_ALL="", **env),
                                  stdin=subprocess.DEVNULL,
                                  preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_AS, (limit, limit)))
        r = run("--json", BRISEL_TEST_LARGE_STREAM=str(1 << 40))
        self.assertEqual(r.returncode, 1, r.stderr)
        self.assertEqual(r.stderr, "brisel: %s: Failed (not enough memory)\n" % src)
        self.assertEqual(json.loads(r.stdout)["error"], "no-memory")
        # Under the threshold of 64 MB the same page splits in that space.
        r = run()
        self.assertEqual(r.returncode, 0, r.stderr)


def memory_cgroup(name, limit):
    """A memory cgroup (v2, else v1) limited to limit bytes: (its path, None),
    or (None, why none can be made)."""
    if os.geteuid() != 0:
        return None, "a memory limit can be set only as root"
    candidates = []
    with open("/proc/self/cgroup") as f:
        for line in f:
            _, controllers, path = line.rstrip("\n").split(":", 2)
            if controllers == "":
                candidates.append(("/sys/fs/cgroup" + path, "memory.max", "memory.swap.max"))
                candidates.append(("/sys/fs/cgroup/unified" + path, "memory.max", "memory.swap.max"))
            elif "memory" in controllers.split(","):
                candidates.append(("/sys/fs/cgroup/memory" + path, "memory.limit_in_bytes",
                                   "memory.memsw.limit_in_bytes"))
    for parent, knob, swap in candidates:
        if not os.path.exists(os.path.join(parent, knob)) and not os.path.exists(
                os.path.join(parent, "cgroup.subtree_control")):
            continue
        group = os.path.join(parent, "brisel-test-" + name)
        try:
            os.mkdir(group)
        except OSError:
            continue
        try:
            with open(os.path.join(group, knob), "w") as f:
                f.write(str(limit))
            if os.path.exists(os.path.join(group, swap)):
                with open(os.path.join(group, swap), "w") as f:
                    f.write("0" if swap == "memory.swap.max" else str(limit))
            return group, None
        except OSError:
            os.rmdir(group)
    return None, "no memory cgroup can be made here"


def cgroup_peak(group):
    for name in ("memory.peak", "memory.max_usage_in_bytes"):
        try:
            with open(os.path.join(group, name)) as f:
                return int(f.read())
        except OSError:
            pass
    return 0


def remove_cgroup(group):
    for _ in range(50):
        try:
            os.rmdir(group)
            return
        except OSError:
            time.sleep(0.1)


if __name__ == "__main__":
    pdftest.main()
