"""The engine as a Python module (`import brisel`): split to memory gives
the bytes of the command line's page files, split_to gives its --json
record, passwords and damaged inputs fail as the command line does, and
options take the command line's texts. Runs with the module the build
made (BRISEL_PYTHON_MODULE names its folder)."""

import json
import os
import re
import sys
import threading

import pdftest
from pdfbytes import Builder
from pdftest import BuiltFilesCase, run

MODULE_DIR = os.environ.get("BRISEL_PYTHON_MODULE")
if MODULE_DIR:
    sys.path.insert(0, MODULE_DIR)
import brisel  # noqa: E402

DATE = re.compile(rb"/CreationDate \(D:[^)]*\)")


def without_date(data):
    return DATE.sub(b"/CreationDate ()", data)


class LibraryTest(BuiltFilesCase):

    def gs(self, name, pages, **kwargs):
        return pdftest.ghostscript_pdf(self.path(name), pdftest.text_pages_ps(pages, **kwargs))

    def test_split_gives_the_command_lines_page_files(self):
        src = self.gs("doc.pdf", 4, image=True)
        with open(src, "rb") as f:
            data = f.read()
        files = brisel.split(data)
        self.split(src)
        cli = []
        for page in range(1, 5):
            with open(pdftest.output_name(src, page, 4), "rb") as f:
                cli.append(f.read())
        self.assertEqual([without_date(b) for b in files], [without_date(b) for b in cli])
        # Every kind of source gives the same files.
        for source in (bytearray(data), memoryview(data), src, __import__("pathlib").Path(src)):
            with self.subTest(type(source).__name__):
                self.assertEqual([without_date(b) for b in brisel.split(source)], [without_date(b) for b in cli])
        self.assertEqual(brisel.page_count(data), 4)
        self.assertEqual(brisel.page_count(src), 4)
        # Options take the command line's texts.
        self.assertEqual(len(brisel.split(data, pages="2-3")), 2)
        self.assertEqual(len(brisel.split(data, pages="1,3-")), 3)
        self.assertEqual([pdftest.page_count(self.write("e%d.pdf" % i, b)) for i, b in
                          enumerate(brisel.split(data, every=3))], [3, 1])
        self.assertEqual([pdftest.page_count(self.write("p%d.pdf" % i, b)) for i, b in
                          enumerate(brisel.split(data, parts="1-2,4"))], [2, 1])
        dropped = brisel.split(data, annotations="drop", document_data="drop")
        self.assertEqual(len(dropped), 4)
        # A document of one page gives its one page.
        one = brisel.split(self.gs("one.pdf", 1))
        self.assertEqual(pdftest.page_count(self.write("one-1.pdf", one[0])), 1)
        for bad in ({"pages": "5-9"}, {"parts": "3-1"}, {"every": 2, "parts": "1"}):
            with self.subTest(bad):
                with self.assertRaises(brisel.Error) as caught:
                    brisel.split(data, **bad)
                self.assertIn(caught.exception.code, (2, 5))
        with self.assertRaises(ValueError):
            brisel.split(data, annotations="maybe")
        with self.assertRaises(TypeError):
            brisel.split(12)

    def write(self, name, data):
        path = self.path(name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def test_split_to_returns_the_json_record(self):
        src = self.gs("rec.pdf", 3)
        out = self.path("out")
        record = brisel.split_to(src, out)
        r = self.split("--json", "--out", self.path("cli"), src)
        expected = json.loads(r.stdout)
        expected["written"] = [os.path.join(out, os.path.basename(p)) for p in expected["written"]]
        self.assertEqual(record, expected)
        self.assertPageFilesMatch(src, out_dir=out)
        # Named by a pattern; a second run finds every name taken.
        named = brisel.split_to(src, out, name="%s_%d.pdf", pages="2-3")
        self.assertEqual([os.path.basename(p) for p in named["written"]], ["rec_2.pdf", "rec_3.pdf"])
        with self.assertRaises(brisel.Error) as caught:
            brisel.split_to(src, out, name="%s_%d.pdf", pages="2-3")
        self.assertEqual(caught.exception.code, 4)
        self.assertEqual(caught.exception.record["status"], 4)
        self.assertEqual(caught.exception.path, src)

    def test_encrypted_inputs(self):
        plain = self.gs("plain.pdf", 2)
        for user, owner in (("user", "owner"), ("", "owner")):
            with self.subTest(user=user):
                path = self.path("enc-%s.pdf" % (user or "none"))
                r = run(["qpdf", "--encrypt", user, owner, "256", "--", plain, path])
                self.assertEqual(r.returncode, 0, r.stderr)
                with open(path, "rb") as f:
                    data = f.read()
                if user:
                    for password in (None, "wrong"):
                        with self.assertRaises(brisel.PasswordError) as caught:
                            brisel.split(data, password=password)
                        self.assertIsInstance(caught.exception, brisel.Error)
                        self.assertEqual(caught.exception.code, 10)
                    with self.assertRaises(brisel.PasswordError):
                        brisel.split_to(path, self.path("no"))
                files = brisel.split(data, password=user or None)
                self.assertEqual(len(files), 2)
                for i, b in enumerate(files):
                    ok, report = pdftest.qpdf_check(self.write("%s-%d.pdf" % (user, i), b), user)
                    self.assertTrue(ok, report)
                self.assertEqual(brisel.page_count(data, password=user or None), 2)
                self.assertEqual(len(brisel.split(data, password=owner)), 2)

    def test_damaged_inputs(self):
        b = self.source()
        first = self.pages(b)[0]
        extra = max(b.objects) + 10
        b.objects[extra] = b"<< /Note (never found) >>"
        b.objects[extra + 1] = b"<< /Note (not where the table says) >>"
        b.objects[first] = b.objects[first].replace(
            b"/Type", b"/PieceInfo << /A %d 0 R /B %d 0 R >> /Type" % (extra, extra + 1), 1)
        data, rows, _ = b.streams(pack=True)
        damaged = b.streams(pack=True, entries={extra: (1, 0, 0), extra + 1: (1, 20, 0)})[0]
        with self.assertRaises(brisel.Error) as caught:
            brisel.split(damaged)
        self.assertEqual(caught.exception.code, 6)
        self.assertIn("1 of 3 pages are incomplete", caught.exception.reason)
        with self.assertRaises(brisel.Error) as caught:
            brisel.split_to(damaged, self.path("d"))
        self.assertEqual(caught.exception.code, 6)
        self.assertEqual(len(caught.exception.record["written"]), 3)
        for junk in (b"%PDF-1.4\nno objects in this one\n%%EOF\n", b"x" * 5000, b""):
            with self.assertRaises(brisel.Error) as caught:
                brisel.split(junk)
            self.assertEqual(caught.exception.code, 1)
            self.assertTrue(caught.exception.reason)
        with self.assertRaises(brisel.Error) as caught:
            brisel.page_count(self.path("missing.pdf"))
        self.assertEqual(caught.exception.path, self.path("missing.pdf"))

    def test_threads_split_at_once(self):
        sources = [self.gs("a.pdf", 6), self.gs("b.pdf", 5, image=True)]
        alone = [[without_date(b) for b in brisel.split(s)] for s in sources]
        results = [None] * 4

        def work(i):
            results[i] = [without_date(b) for b in brisel.split(sources[i % 2])]

        threads = [threading.Thread(target=work, args=(i,)) for i in range(4)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        self.assertEqual(results, [alone[0], alone[1], alone[0], alone[1]])


if __name__ == "__main__":
    pdftest.main()
