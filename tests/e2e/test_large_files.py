"""Inputs over 2 GiB: a file of uncompressed image pages whose last objects,
its cross-reference table and its startxref lie past 2 GiB. The file is
written once, streamed to disk, and changed in place for each case: as it
is, with an update in a cross-reference stream and an object stream, and
without any cross-reference data, so that the repair rebuilds it."""

import os
import shutil
import subprocess
import unittest
import zlib

import pikepdf

import pdftest
from pdftest import SplitTestCase

PAGES = 11
WIDTH, HEIGHT = 10000, 20000  # 200 MB of 8-bit gray per page
IMAGE = WIDTH * HEIGHT
GIB = 1 << 30
FREE_NEEDED = 6 * 10**9


def pattern(page):
    """1 MB of one page's image data: a gradient of its own."""
    row = bytes((page * 23 + x) % 256 for x in range(1000))
    return row * 1000


def write_big_pdf(path):
    """Writes the file object by object: each page is its image, then its
    content, then the page. Returns the offsets of the objects and of the
    table."""
    offsets = {}
    with open(path, "wb") as f:
        def obj(number, body, data=None):
            offsets[number] = f.tell()
            f.write(b"%d 0 obj\n" % number + body)
            if data is not None:
                f.write(b"\nstream\n")
                data(f)
                f.write(b"\nendstream")
            f.write(b"\nendobj\n")

        f.write(b"%PDF-1.5\n%\xe2\xe3\xcf\xd3\n")
        kids = b" ".join(b"%d 0 R" % (5 + 3 * i) for i in range(PAGES))
        obj(1, b"<< /Type /Catalog /Pages 2 0 R >>")
        obj(2, b"<< /Type /Pages /Count %d /Kids [%s] >>" % (PAGES, kids))
        for i in range(PAGES):
            image, content, page = 3 + 3 * i, 4 + 3 * i, 5 + 3 * i
            chunk = pattern(i)

            def image_data(out, chunk=chunk):
                for _ in range(IMAGE // len(chunk)):
                    out.write(chunk)

            obj(image, b"<< /Type /XObject /Subtype /Image /Width %d /Height %d /ColorSpace /DeviceGray "
                b"/BitsPerComponent 8 /Length %d >>" % (WIDTH, HEIGHT, IMAGE), image_data)
            text = b"q 500 0 0 700 50 50 cm /Im0 Do Q"
            obj(content, b"<< /Length %d >>" % len(text), lambda out, text=text: out.write(text))
            obj(page, b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 600 800] /Contents %d 0 R "
                b"/Resources << /XObject << /Im0 %d 0 R >> >> >>" % (content, image))
        table = f.tell()
        count = 2 + 3 * PAGES + 1
        f.write(b"xref\n0 %d\n0000000000 65535 f \n" % count)
        for n in range(1, count):
            f.write(b"%010d 00000 n \n" % offsets[n])
        f.write(b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (count, table))
    return offsets, table


def append_stream_update(path, table, last_page):
    """An update that gives the last page /Rotate 90 from an object stream,
    listed by a cross-reference stream whose /Prev is the classic table."""
    size = os.path.getsize(path)
    page = (b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 600 800] /Rotate 90 /Contents %d 0 R "
            b"/Resources << /XObject << /Im0 %d 0 R >> >> >>" % (last_page - 1, last_page - 2))
    header = b"%d 0 " % last_page
    packed = zlib.compress(header + page)
    stream_number, xref_number = last_page + 1, last_page + 2
    objstm = (b"\n%d 0 obj\n<< /Type /ObjStm /N 1 /First %d /Filter /FlateDecode /Length %d >>\nstream\n"
              % (stream_number, len(header), len(packed)) + packed + b"\nendstream\nendobj\n")
    objstm_at = size + 1
    xref_at = size + len(objstm)
    # Offsets in five bytes, as writers do past 4 GiB; the two objects of
    # the update lie past 2 GiB.
    rows = (b"\x02" + stream_number.to_bytes(5, "big") + b"\x00"
            + b"\x01" + objstm_at.to_bytes(5, "big") + b"\x00"
            + b"\x01" + xref_at.to_bytes(5, "big") + b"\x00")
    xref = (b"%d 0 obj\n<< /Type /XRef /Size %d /W [1 5 1] /Index [%d 3] /Root 1 0 R /Prev %d /Length %d >>\n"
            b"stream\n" % (xref_number, xref_number + 1, last_page, table, len(rows))
            + rows + b"\nendstream\nendobj\nstartxref\n%d\n%%%%EOF\n" % xref_at)
    with open(path, "ab") as f:
        f.write(objstm + xref)


def sanitized():
    """Whether brisel is built with the sanitizers, whose allocator copies
    on every realloc: the peak memory is not judged there."""
    cache = os.path.join(os.environ.get("BRISEL_BUILD", ""), "CMakeCache.txt")
    if not os.path.exists(cache):
        return False
    with open(cache) as f:
        return "BRISEL_SANITIZE:BOOL=ON" in f.read()


def split_measured(*args):
    """Runs brisel; returns (status, stderr, peak resident bytes)."""
    with open(os.devnull, "wb") as null:
        p = subprocess.Popen([pdftest.BRISEL, *args], stdin=subprocess.DEVNULL, stdout=null,
                             stderr=subprocess.PIPE)
        err = p.stderr.read().decode(errors="replace")
        p.stderr.close()
        _, status, usage = os.wait4(p.pid, 0)
        p.returncode = os.waitstatus_to_exitcode(status)
    return p.returncode, err, usage.ru_maxrss * 1024


class LargeFiles(SplitTestCase):

    def setUp(self):
        super().setUp()
        free = shutil.disk_usage(self.dir).free
        if free < FREE_NEEDED:
            self.skipTest("a 2.2 GB input needs 6 GB free on the disk of %s; %.1f GB are free"
                          % (self.dir, free / 1e9))

    def check_last_pages(self, path, label, rotate=0):
        """Pages 10 and 11 of the input split, each page file whole, with
        its image at its full length. The input is read in place, and a
        rewrite gives back what it has copied: the peak is about the input
        and what the two pages need, not twice the input."""
        out = self.path("out-" + label)
        status, err, peak = split_measured("--pages", "%d-%d" % (PAGES - 1, PAGES), "-o", out, path)
        self.assertEqual(status, 0, label + ": " + err)
        names = sorted(os.listdir(out))
        self.assertEqual(names, ["big-%02d.pdf" % p for p in (PAGES - 1, PAGES)], label)
        for page, name in zip((PAGES - 1, PAGES), names):
            file = os.path.join(out, name)
            ok, report = pdftest.qpdf_check(file)
            self.assertTrue(ok, "%s: %s: %s" % (label, name, report))
            with pikepdf.open(file) as pdf:
                self.assertEqual(len(pdf.pages), 1)
                self.assertEqual(int(pdf.pages[0].obj.get("/Rotate", 0)), rotate if page == PAGES else 0)
                image = pdf.pages[0].Resources.XObject.Im0
                data = image.read_raw_bytes()
                self.assertEqual((int(image.Length), len(data)), (IMAGE, IMAGE), label + ": " + name)
                chunk = pattern(page - 1)
                self.assertEqual(data[:len(chunk)], chunk, label + ": " + name)
                self.assertEqual(data[-len(chunk):], chunk, label + ": " + name)
                del data
        shutil.rmtree(out)
        size = os.path.getsize(path)
        if os.environ.get("BRISEL_SHOW_PEAK"):
            print("%s: peak %.2f GB for an input of %.2f GB" % (label, peak / 1e9, size / 1e9))
        if not sanitized():
            self.assertLess(peak, size + 6 * IMAGE, "%s: peak memory %d for an input of %d" % (label, peak, size))

    def test_inputs_past_2_gib(self):
        path = self.path("big.pdf")
        try:
            offsets, table = write_big_pdf(path)
            last_page = 5 + 3 * (PAGES - 1)
            self.assertGreater(offsets[last_page], 2 * GIB)
            self.assertGreater(table, 2 * GIB)

            # The file as it is.
            self.check_last_pages(path, "classic")

            # An update in a cross-reference stream: the rewrite into a
            # classic image keeps offsets past 2 GiB.
            append_stream_update(path, table, last_page)
            self.check_last_pages(path, "streams", rotate=90)

            # No cross-reference data at all: the repair finds every object.
            os.truncate(path, table)
            with open(path, "ab") as f:
                f.write(b"%%EOF\n")
            self.check_last_pages(path, "repair")
        finally:
            if os.path.exists(path):
                os.remove(path)


if __name__ == "__main__":
    pdftest.main()
