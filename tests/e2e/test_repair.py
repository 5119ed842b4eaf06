"""Splitting damaged classic files: the cross-reference data is rebuilt from
the objects found in the file."""

import unittest

import pdftest
from pdftest import SplitTestCase, ghostscript_pdf, text_pages_ps


class RepairSplit(SplitTestCase):

    def source(self, pages=3):
        path = ghostscript_pdf(self.path("gs.pdf"), text_pages_ps(pages, image=True))
        with open(path, "rb") as f:
            return f.read()

    def splitDamaged(self, name, data):
        path = self.path(name + ".pdf")
        with open(path, "wb") as f:
            f.write(data)
        self.split(path)
        self.assertPageFilesMatch(path)

    def test_wrong_startxref(self):
        data = self.source()
        at = data.rindex(b"startxref")
        self.splitDamaged("startxref", data[:at] + b"startxref\n12\n%%EOF\n")

    def test_wrong_offsets(self):
        # A line added near the start moves every object, and the table and
        # startxref still hold the old offsets.
        data = self.source()
        at = data.index(b"\n", data.index(b"obj")) + 1
        self.splitDamaged("offsets", data[:at] + b"% a line the table knows nothing of\n" + data[at:])

    def test_missing_and_truncated_sections(self):
        data = self.source()
        xref = data.rindex(b"\nxref") + 1
        trailer = data.rindex(b"trailer")
        with self.subTest("missing"):
            self.splitDamaged("missing", data[:xref] + data[trailer:])
        with self.subTest("truncated"):
            # The section stops after five entries, long before its count.
            entries = data.index(b"\n", xref + 5) + 1
            self.splitDamaged("truncated", data[:entries + 5 * 20] + data[trailer:])

    def test_garbage_before_the_header(self):
        self.splitDamaged("garbage", b"This line is not part of any PDF file 1 0 R\n" + self.source())

    def test_last_object_without_endobj(self):
        data = self.source()
        xref = data.rindex(b"\nxref") + 1
        trailer = data.rindex(b"trailer")
        self.splitDamaged("noendobj", data[:xref] + b"99 0 obj\n<< /Unfinished (object) >>\n" + data[trailer:])

    def test_last_update_cut_short(self):
        # Three revisions: the original pages, an update that edits page 2,
        # and one that revises all three, cut at points inside it. The
        # newest objects that stand win; where some of them are lost the run
        # says so (status 6), never falling back silently to the older text.
        def content(word, n):
            text = b"BT /F1 20 Tf 20 150 Td (%s page %d) Tj ET" % (word, n)
            return b"<< /Length %d >>\nstream\n%s\nendstream" % (len(text), text)

        def revision(out, objects, prev):
            offsets = {}
            for n in sorted(objects):
                offsets[n] = len(out)
                out += b"%d 0 obj\n%s\nendobj\n" % (n, objects[n])
            xref = len(out)
            out += b"xref\n" + (b"0 1\n0000000000 65535 f \n" if prev is None else b"")
            for n in sorted(objects):
                out += b"%d 1\n%010d 00000 n \n" % (n, offsets[n])
            out += b"trailer\n<< /Size 16 /Root 1 0 R%s >>\nstartxref\n%d\n%%%%EOF\n" % (
                b"" if prev is None else b" /Prev %d" % prev, xref)
            return xref

        original = {1: b"<< /Type /Catalog /Pages 2 0 R >>",
                    2: b"<< /Type /Pages /Kids [10 0 R 12 0 R 14 0 R] /Count 3 >>",
                    3: b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"}
        for i in range(3):
            original[10 + 2 * i] = (b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 300] /Contents %d 0 R "
                                    b"/Resources << /Font << /F1 3 0 R >> >> >>" % (11 + 2 * i))
            original[11 + 2 * i] = content(b"ORIGINAL", i + 1)
        data = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
        first = revision(data, original, None)
        second = revision(data, {13: content(b"EDITED", 2)}, first)
        start = len(data)
        revision(data, {n: content(b"REVISED", (n - 9) // 2) for n in (11, 13, 15)}, second)
        objects = [data.index(b"%d 0 obj" % n, start) for n in (11, 13, 15)]
        table = data.index(b"xref", start)
        # (where the cut falls, status, the texts of the three pages)
        revised = ["REVISED page %d" % n for n in (1, 2, 3)]
        cuts = (("second-object", objects[1] + 20, 6, ["REVISED page 1", "EDITED page 2", "ORIGINAL page 3"]),
                ("third-object", objects[2] + 3, 6, ["REVISED page 1", "REVISED page 2", "ORIGINAL page 3"]),
                ("table", table + 30, 0, revised),
                ("trailer", len(data) - 30, 0, revised))
        for name, at, status, texts in cuts:
            with self.subTest(name):
                path = self.path(name + ".pdf")
                with open(path, "wb") as f:
                    f.write(data[:at])
                r = self.split(path, expect=status)
                if status == 6:
                    self.assertEqual(r.stderr, "brisel: %s: the file's last update is cut short: pages it changed "
                                               "may show what they held before it\n" % path)
                for page, text in enumerate(texts, 1):
                    out = pdftest.output_name(path, page, 3)
                    ok, report = pdftest.qpdf_check(out)
                    self.assertTrue(ok, report)
                    self.assertEqual(pdftest.run(["pdftotext", out, "-"]).stdout.strip(), text)


if __name__ == "__main__":
    pdftest.main()
