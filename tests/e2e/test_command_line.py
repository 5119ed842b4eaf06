"""The command line itself: option parsing, the exit status of a run over
several files, and output names when every discriminator is taken."""

import os

import pdftest
from pdftest import SplitTestCase

USAGE_HINT = "Try 'brisel --help'.\n"


class CommandLineTest(SplitTestCase):

    def setUp(self):
        super().setUp()
        self.src = pdftest.ghostscript_pdf(self.path("p.pdf"), pdftest.text_pages_ps(4))

    def test_bad_options_are_refused_with_their_line_and_write_nothing(self):
        cases = [
            (["--frobnicate"], "unknown option --frobnicate"),
            (["-x"], "unknown option -x"),
            (["--zoom=12x"], "--zoom needs a percentage N or Nf, or fit, width, height, keep or none"),
            (["--layout", "two"], "--layout needs one, left, right, single, keep or none"),
            (["--bookmarks=all"], "--bookmarks needs keep, flat or none"),
            (["--warn-limit=abc"], "--warn-limit needs a number"),
            (["--warn-limit", "-3"], "--warn-limit needs a number"),
            (["--warn-limit="], "--warn-limit needs a number"),
            (["--out="], "--out needs a folder"),
            (["--pages=0"], '--pages needs A-B, A-, -B or A, where A and B are page numbers from 1 on (not "0")'),
            (["--pages", "3-x"],
             '--pages needs A-B, A-, -B or A, where A and B are page numbers from 1 on (not "3-x")'),
        ]
        for args, line in cases:
            with self.subTest(args=args):
                r = self.split(*args, self.src, expect=2)
                self.assertEqual(r.stderr, "brisel: " + line + "\n" + USAGE_HINT)
                self.assertEqual(r.stdout, "")
        # A value missing at the end of the line.
        for option, line in (("--mode", "--mode needs outlines, outlines-or-thumbs, thumbs, fullscreen, keep, "
                                        "outlines-or-none or none"),
                             ("--password", "--password needs a password")):
            r = self.split(self.src, option, expect=2)
            self.assertEqual(r.stderr, "brisel: " + line + "\n" + USAGE_HINT)
        self.assertEqual(self.pageFiles(), ["p.pdf"])

    def test_values_given_with_an_equals_sign_or_apart(self):
        self.split("--pages=2-3", self.src)
        self.assertEqual(self.pageFiles(), ["p-2.pdf", "p-3.pdf", "p.pdf"])
        self.assertPageFilesMatch(self.src, first=2, last=3)
        # A limit of 4 is passed by four files; without a terminal that is said.
        r = self.split("--warn-limit=4", self.src)
        self.assertIn("past the warn limit", r.stderr)
        r = self.split("--warn-limit", "5", "--pages", "1-4", self.src)
        self.assertEqual((r.stdout, r.stderr), ("Done\n", ""))
        # After "--" a name that starts with "-" is a file.
        os.rename(self.src, self.path("-p.pdf"))
        self.split("--", "-p.pdf", cwd=self.dir)
        self.assertIn("-p-4.pdf", self.pageFiles())

    def test_the_first_failure_of_several_files_is_the_exit_status(self):
        one = pdftest.ghostscript_pdf(self.path("one.pdf"), pdftest.text_pages_ps(1))
        missing = self.path("missing.pdf")
        r = self.split(self.src, missing, one, expect=1)
        self.assertEqual(r.stdout, "Done\n")
        self.assertEqual(r.stderr, "brisel: %s: no such file\n"
                         "brisel: %s: Can't Split: This PDF File has Only One Page\n" % (missing, one))
        # The files after a failure are still split.
        other = pdftest.ghostscript_pdf(self.path("q.pdf"), pdftest.text_pages_ps(2))
        r = self.split(one, other, expect=3)
        self.assertEqual(r.stdout, "Done\n")
        self.assertPageFilesMatch(other)
        self.split(other, self.src)

    def test_every_discriminator_taken(self):
        # Page 1 of four: "p-1.pdf", "p-01.pdf" .. "p-91.pdf", "p-001.pdf" ..
        # "p-9991.pdf": 1111 names, all taken.
        names = ["p-1.pdf"] + ["p-%0*d1.pdf" % (width, value)
                               for width in (1, 2, 3) for value in range(10 ** width)]
        self.assertEqual(len(set(names)), 1111)
        for name in names:
            open(self.path(name), "w").close()
        r = self.split("--pages", "1-1", self.src, expect=4)
        self.assertEqual(r.stderr, "brisel: %s: Can't Create New Files (no free names are left for the page files, "
                                   "or they would be too long)\n" % self.src)
        self.assertEqual(len(self.pageFiles()), 1112)
        # The last name free: it is taken.
        os.remove(self.path("p-9991.pdf"))
        self.split("--pages", "1-1", self.src)
        self.assertPageFilesMatch(self.src, first=1, last=1, discriminator="999")


if __name__ == "__main__":
    pdftest.main()
