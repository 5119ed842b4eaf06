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


if __name__ == "__main__":
    pdftest.main()
