"""Splitting damaged classic files: the cross-reference data is rebuilt from
the objects found in the file."""

import re
import unittest

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
        data = self.source()
        xref = data.rindex(b"\nxref") + 1
        # Every in-use entry a few bytes off.
        section = re.sub(rb"(\d{10}) (\d{5}) n", lambda m: b"%010d %s n" % (int(m.group(1)) + 3, m.group(2)),
                         data[xref:])
        self.splitDamaged("offsets", data[:xref] + section)

    def test_missing_and_truncated_sections(self):
        data = self.source()
        xref = data.rindex(b"\nxref") + 1
        with self.subTest("missing"):
            self.splitDamaged("missing", data[:xref] + b"startxref\n%d\n%%%%EOF\n" % xref)
        with self.subTest("truncated"):
            self.splitDamaged("truncated", data[:xref + 60])

    def test_garbage_before_the_header(self):
        self.splitDamaged("garbage", b"This line is not part of any PDF file 1 0 R\n" + self.source())

    def test_last_object_without_endobj(self):
        data = self.source()
        xref = data.rindex(b"\nxref") + 1
        self.splitDamaged("noendobj", data[:xref] + b"99 0 obj\n<< /Unfinished (object) >>\n" + b" " * 40)


if __name__ == "__main__":
    unittest.main()
