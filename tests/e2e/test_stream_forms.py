"""Files that every reader opens although their streams, catalog or page
tree take forms beyond the plainest: each is written byte by byte at test
time from the objects of a Ghostscript file, split, and every page file is
judged by qpdf --check and by its rendering."""

import os
import time
import unittest

from pdfbytes import Builder, objects_of
from pdftest import SplitTestCase, ghostscript_pdf, text_pages_ps


class StreamForms(SplitTestCase):

    @classmethod
    def setUpClass(cls):
        cls.objects, cls.root = None, None

    def source(self):
        if StreamForms.objects is None:
            path = ghostscript_pdf(self.path("gs.pdf"), text_pages_ps(2, image=True))
            StreamForms.objects, StreamForms.root = objects_of(path)
        return Builder(StreamForms.objects, StreamForms.root)

    def splitAll(self, files):
        """Writes and splits each file; all of them must split."""
        for name, data in files:
            with self.subTest(name):
                path = self.path(name + ".pdf")
                with open(path, "wb") as f:
                    f.write(data)
                self.split(path)
                self.assertPageFilesMatch(path)

    def test_filters_and_predictors(self):
        b = self.source()
        files = []
        for name, filt in (("fl", b"/Fl"), ("array", b"[/FlateDecode]"), ("null", b"null"), ("none", None)):
            predictor = 12 if filt in (b"/Fl", b"[/FlateDecode]") else None
            files.append(("xref-" + name, b.streams(xref_filter=filt, xref_predictor=predictor, objstm_filter=filt)[0]))
        for predictor in (2, 10, 11, 13, 14, 15, "png"):
            files.append(("xref-predictor-%s" % predictor, b.streams(xref_predictor=predictor)[0]))
        files.append(("objstm-png", b.streams(objstm_predictor="png")[0]))
        files.append(("objstm-tiff", b.streams(objstm_predictor=2)[0]))
        # No type field: every row is an object in the file.
        files.append(("w0", b.streams(pack=False, widths=(0, 3, 1))[0]))
        files.append(("w-no-generation", b.streams(pack=False, widths=(1, 3, 0))[0]))
        self.splitAll(files)

    def test_flate_data_without_its_end(self):
        b = self.source()
        self.splitAll([
            # An editor's update: sync flush, no final block, no checksum.
            ("sync-cut", b.streams(objstm_sync_cut=True)[0]),
            ("bad-adler", b.streams(xref_bad_adler=True)[0]),
        ])

    def test_length_in_an_object_after_the_stream(self):
        b = self.source()
        data = b.streams(objstm_length_after=True)[0]
        self.assertRegex(data, rb"/Length \d+ 0 R")
        self.splitAll([("length-after", data)])

    def test_object_numbers_far_above_the_file_size(self):
        b = self.source()
        b.objects[156341] = b"(an object numbered far above the size of the file)"
        data = b.streams()[0]
        self.assertLess(len(data), 156341)
        self.splitAll([("high-numbers", data)])

    def test_catalog_and_page_tree_root_by_their_role(self):
        b = self.source()
        catalog = b.objects[b.root]
        pages = int(catalog.split(b"/Pages")[1].split()[0])
        files = []
        for name, value in (("no-type", b""), ("misspelled", b"/Type /Catalogue")):
            b2 = Builder(b.objects, b.root)
            b2.objects[b.root] = catalog.replace(b"/Type /Catalog", value)
            files.append(("catalog-" + name, b2.classic()[0]))
        b3 = Builder(b.objects, b.root)
        b3.objects[pages] = b.objects[pages].replace(b"/Type /Pages", b"")
        files.append(("pages-no-type", b3.classic()[0]))
        self.splitAll(files)


class PageCount(SplitTestCase):
    """The page count is the number of pages the walk finds."""

    def test_root_count_is_only_a_hint(self):
        objects, root = objects_of(ghostscript_pdf(self.path("gs.pdf"), text_pages_ps(4)))
        catalog = objects[root]
        pages = int(catalog.split(b"/Pages")[1].split()[0])
        # The tools judging the page files trust /Count: they read the pages
        # from the same file with the right one.
        reference = self.path("reference.pdf")
        with open(reference, "wb") as f:
            f.write(Builder(objects, root).classic()[0])
        for count in (b"2", b"10", b"0"):
            with self.subTest(count=count):
                b = Builder(objects, root)
                b.objects[pages] = b.objects[pages].replace(b"/Count 4", b"/Count " + count)
                path = self.path("count%s.pdf" % count.decode())
                with open(path, "wb") as f:
                    f.write(b.classic()[0])
                self.split(path)
                self.assertEqual([f for f in self.pageFiles() if f.startswith("count%s-" % count.decode())],
                                 ["count%s-%d.pdf" % (count.decode(), k) for k in range(1, 5)])
                self.assertPageFilesMatch(path, reference=reference)

    def test_absurd_count_in_a_small_file_ends_at_once(self):
        content = b"0 0 1 rg 20 20 80 80 re f"
        body = (b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 5 0 R >>")
        objects = {
            1: b"<< /Type /Catalog /Pages 2 0 R >>",
            2: b"<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 9999999999 >>",
            3: body,
            4: body,
            5: b"<< /Length %d >>\nstream\n%s\nendstream" % (len(content), content),
        }
        path = self.path("absurd.pdf")
        with open(path, "wb") as f:
            f.write(Builder(objects, 1).classic()[0])
        objects[2] = objects[2].replace(b"9999999999", b"2")
        reference = self.path("reference.pdf")
        with open(reference, "wb") as f:
            f.write(Builder(objects, 1).classic()[0])
        self.assertLess(os.path.getsize(path), 1000)
        started = time.monotonic()
        self.split(path)
        self.assertLess(time.monotonic() - started, 10)
        self.assertEqual(self.pageFiles(), ["absurd-1.pdf", "absurd-2.pdf", "absurd.pdf", "reference.pdf"])
        self.assertPageFilesMatch(path, reference=reference)


if __name__ == "__main__":
    unittest.main()
