"""The command line as scripts and batch systems use it: names from a
pattern, the list of page files written, JSON results, no questions
without a terminal, passwords kept out of the process list, and one
message line per failure."""

import os

import pdftest
from pdftest import SplitTestCase


class NamePatternTest(SplitTestCase):

    def test_names_by_pattern_are_exact_and_never_overwrite(self):
        src = pdftest.ghostscript_pdf(self.path("scan.pdf"), pdftest.text_pages_ps(12))
        out = self.path("out")
        self.split("--name", "%s_p%3d%%.pdf", "--out", out, src)
        names = {p: os.path.join(out, "scan_p%03d%%.pdf" % p) for p in range(1, 13)}
        self.assertEqual(self.pageFiles(out), sorted(os.path.basename(n) for n in names.values()))
        self.assertPageFilesMatch(src, names=names)
        # %d pads to the page count's width; the pattern lands beside the input.
        self.split("--name=%d.pdf", "--pages", "9-10", src)
        self.assertEqual(self.pageFiles(), ["09.pdf", "10.pdf", "scan.pdf"])
        # A second run: every name is taken. The first taken one is named,
        # nothing is written, and no other name is invented.
        before = sorted(os.listdir(out))
        r = self.split("--name", "%s_p%3d%%.pdf", "--out", out, src, expect=4)
        self.assertEqual(r.stderr, "brisel: %s: Can't Create New Files (a page file's name is taken: %s)\n"
                         % (src, names[1]))
        self.assertEqual(sorted(os.listdir(out)), before)
        # One name taken in the middle of a range: still nothing written.
        r = self.split("--name", "%d.pdf", src, expect=4)
        self.assertIn("taken: " + self.path("09.pdf"), r.stderr)
        self.assertEqual(self.pageFiles(), ["09.pdf", "10.pdf", "scan.pdf"])
        # A pattern that cannot name every page, or names a folder.
        for pattern in ("%s.pdf", "sub/%d.pdf", "%q%d"):
            r = self.split("--name", pattern, src, expect=2)
            self.assertTrue(r.stderr.startswith("brisel: --name "), r.stderr)


if __name__ == "__main__":
    pdftest.main()
