"""The command line itself: option parsing, the exit status of a run over
several files, and output names when every discriminator is taken."""

import os

import pdftest
from pdftest import SplitTestCase

USAGE_HINT = "Try 'brisel --help'.\n"
PAGES_HELP = ("pages or ranges separated by commas, such as 3-5, 3-, -5, 7, 1,3,7-9, r3-z or 1-z:odd (z is the last "
              "page, rN the N-th from the end; a range never runs backwards)")
PARTS_HELP = ("--parts needs pages or ranges separated by commas, such as 1-3,7,9- or r3-z (A-B, A- to the end, -B "
              "from the start, A alone; z the last page, rN the N-th from the end; :odd or :even after any; A no "
              "greater than B; no page in two ranges)")


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
            (["--pages=0"], '--pages: "0" is not a page or a range of pages; ' + PAGES_HELP),
            (["--pages", "3-x"], '--pages: "3-x" is not a page or a range of pages; ' + PAGES_HELP),
            # A range never runs backwards, in --pages and --parts alike.
            (["--pages", "3-1"], '--pages: "3-1" runs backwards (write 1-3); ' + PAGES_HELP),
            (["--parts", "1,3-1"], '--parts: "3-1" runs backwards (write 1-3); ' + PARTS_HELP),
            (["--pages", "1-z:first"], '--pages: "1-z:first": after ":" comes odd or even; ' + PAGES_HELP),
            (["--parts", "1-9:odd,3"], '--parts: "1-9:odd" and "3" share pages (no page in two parts); '
                                       + PARTS_HELP),
            (["--max-size", "10X"], '--max-size needs a size such as 500K, 10M or 1G (not "10X")'),
            (["--if-exists", "keep"], "--if-exists needs rename, replace, skip or fail"),
            (["--name", "%t-%d.pdf"], "--name: %t is the title of the bookmark that starts a part, so it needs "
                                      "--at-bookmarks"),
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
        # No file at all: the usage line and the hint, not the whole help.
        r = pdftest.brisel()
        self.assertEqual((r.returncode, r.stdout, r.stderr),
                         (2, "", "Usage: brisel [OPTIONS] FILE.pdf [FILE.pdf ...]\n" + USAGE_HINT))

    def test_page_selections_read_alike_in_pages_and_parts(self):
        src = pdftest.ghostscript_pdf(self.path("s.pdf"), pdftest.text_pages_ps(12))
        for selection, pages in (("1,3,7-9", [1, 3, 7, 8, 9]), ("z", [12]), ("r3-z", [10, 11, 12]),
                                 ("1-z:odd", [1, 3, 5, 7, 9, 11]), ("-4:even", [2, 4]), ("r2,2", [2, 11]),
                                 ("1,1", [1]), ("", list(range(1, 13)))):
            with self.subTest(selection=selection):
                out = self.path("out" + selection.replace(",", "_"))
                self.split("-q", "--pages", selection, "--out", out, src)
                names = {p: os.path.join(out, "s-%02d.pdf" % p) for p in pages}
                self.assertEqual(self.pageFiles(out), sorted(os.path.basename(n) for n in names.values()))
        self.assertPageFilesMatch(src, names={p: self.path("outr3-z/s-%02d.pdf" % p) for p in (10, 11, 12)},
                                  first=10)
        # Each item of --parts is a part: odd and even pages make two.
        self.split("-q", "--parts", "1-z:odd,2-z:even", "--pages", "-8", src)
        for name, pages in (("s-01-07.pdf", [1, 3, 5, 7]), ("s-02-08.pdf", [2, 4, 6, 8])):
            self.assertEqual(pdftest.page_count(self.path(name)), 4, name)
            for k, page in enumerate(pages, 1):
                self.assertEqual(pdftest.render(self.path(name), k), pdftest.render(src, page), (name, page))
        # A page the document lacks names the page count; so does a range
        # that runs backwards once counted.
        for args, reason in ((["--pages", "3,13"], "page 13 is past the last page (12)"),
                             (["--parts", "1-3,r13"], "page r13 is before the first page (12 pages)"),
                             (["--parts", "20-"], "page 20 is past the last page (12)"),
                             (["--parts", "1-z:odd,r10"], "page 3 is in two ranges"),
                             (["--pages", "r2-3"], '"r2-3" runs backwards in a document of 12 pages')):
            r = self.split(*args, src, expect=5)
            self.assertEqual(r.stderr, "brisel: %s: %s\n" % (src, reason))

    def test_inputs_by_content_one_page_inputs_and_folders_of_failed_runs(self):
        # A PDF without its extension is split; its names keep the whole name.
        with open(self.src, "rb") as f:
            data = f.read()
        report = self.path("report")
        with open(report, "wb") as f:
            f.write(b"\r\n" * 100 + data)  # the header need not start the file
        self.split("-q", report)
        self.assertEqual(sorted(f for f in os.listdir(self.dir) if f.startswith("report-")),
                         ["report-1.pdf", "report-2.pdf", "report-3.pdf", "report-4.pdf"])
        # A one-page input gives its page file, like any other, even twice.
        one = pdftest.ghostscript_pdf(self.path("one.pdf"), pdftest.text_pages_ps(1))
        for run in range(2):
            r = self.split(one)
            self.assertEqual(r.stdout, "Done\n")
        self.assertPageFilesMatch(one)
        self.assertEqual(sorted(f for f in os.listdir(self.dir) if f.startswith("one-")), ["one-01.pdf", "one-1.pdf"])
        # A run that fails takes back the folders it made, and only those.
        os.mkdir(self.path("kept"))
        r = self.split("--pages", "9", "-o", self.path("kept/a/b"), self.src, expect=5)
        self.assertEqual(os.listdir(self.path("kept")), [])
        self.assertIn("page 9 is past the last page (4)", r.stderr)

    def test_values_given_with_an_equals_sign_or_apart(self):
        self.split("--pages=2-3", self.src)
        self.assertEqual(self.pageFiles(), ["p-2.pdf", "p-3.pdf", "p.pdf"])
        self.assertPageFilesMatch(self.src, first=2, last=3)
        # A limit of 4 is passed by four files; without a terminal that is said.
        r = self.split("--warn-limit=4", self.src)
        self.assertIn("past the warn limit", r.stderr)
        r = self.split("--warn-limit", "5", "--pages", "1-4", self.src)
        self.assertEqual((r.stdout, r.stderr), ("Done\n", "brisel: %s: the names p-1.pdf... were taken: wrote "
                                                           "p-11.pdf... instead\n" % self.src))
        # After "--" a name that starts with "-" is a file.
        os.rename(self.src, self.path("-p.pdf"))
        self.split("--", "-p.pdf", cwd=self.dir)
        self.assertIn("-p-4.pdf", self.pageFiles())

    def test_the_first_failure_of_several_files_is_the_exit_status(self):
        one = pdftest.ghostscript_pdf(self.path("one.pdf"), pdftest.text_pages_ps(1))
        missing = self.path("missing.pdf")
        r = self.split(self.src, missing, "--pages", "2", one, expect=1)
        self.assertEqual(r.stdout, "Done\n")
        self.assertEqual(r.stderr, "brisel: %s: no such file\n"
                         "brisel: %s: page 2 is past the last page (1)\n" % (missing, one))
        # The files after a failure are still split.
        other = pdftest.ghostscript_pdf(self.path("q.pdf"), pdftest.text_pages_ps(2))
        r = self.split("--pages", "2", one, other, expect=5)
        self.assertEqual(r.stdout, "Done\n")
        self.assertPageFilesMatch(other, first=2)
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
