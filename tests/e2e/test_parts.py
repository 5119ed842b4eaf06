"""Parts of several pages (--every, --at-bookmarks, --parts) on a 12-page
book made with pikepdf: chapters at pages 1, 5 and 9, a section under the
first at page 3, links from page 2 to pages 3 and 10 and from page 6 to a
named destination on page 7, one image drawn on every page.

Every part file is judged as a whole: its name, qpdf --check, each page
rendered like its page of the input, the image stored once, its bookmark
tree (the input's tree pruned to the part, an ancestor outside the part kept
as a title without destination) and the links of each page (those into the
part kept and leading to the part's page, the others gone). The same on the
input encrypted with qpdf.
"""

import os
import re
import sys
import unittest
import zlib

import pikepdf
from pikepdf import Array, Dictionary, Name, String

import pdftest
from pdftest import SplitTestCase, qpdf_check, render, run

sys.path.insert(0, os.path.join(pdftest.ROOT, "bench"))
import bench  # noqa: E402  (the benchmark's documents)

PAGES = 12
# (title, page, children) of the input's bookmarks, 1-based pages.
OUTLINE = [("Chapter 1", 1, [("Section 1.1", 3, [])]), ("Chapter 2", 5, []), ("Chapter 3: A/B", 9, [])]
# (page, target page) of the input's links.
LINKS = [(2, 3), (2, 10), (6, 7)]


def book_pdf(path):
    pdf = pikepdf.new()
    font = pdf.make_indirect(Dictionary(Type=Name.Font, Subtype=Name.Type1, BaseFont=Name.Helvetica))
    pixels = bytes((x * 16 + y * 5) % 256 for y in range(16) for x in range(16) for _ in range(3))
    image = pdf.make_stream(zlib.compress(pixels), Type=Name.XObject, Subtype=Name.Image, Width=16, Height=16,
                            ColorSpace=Name.DeviceRGB, BitsPerComponent=8, Filter=Name.FlateDecode)
    for i in range(PAGES):
        pdf.add_blank_page(page_size=(300, 400))
        page = pdf.pages[i].obj
        page.Resources = Dictionary(Font=Dictionary(F1=font), XObject=Dictionary(Im=image))
        page.Contents = pdf.make_stream(b"q 120 0 0 120 150 40 cm /Im Do Q BT /F1 24 Tf 40 300 Td (page %d) Tj ET"
                                        % (i + 1))
    pages = [p.obj for p in pdf.pages]
    pdf.Root.Names = Dictionary(Dests=Dictionary(Names=Array([String("seven"), Array([pages[6], Name.Fit])])))
    targets = {(2, 3): dict(Dest=Array([pages[2], Name.XYZ, 0, 400, 0])),
               (2, 10): dict(A=Dictionary(S=Name.GoTo, D=Array([pages[9], Name.Fit]))),
               (6, 7): dict(Dest=String("seven"))}
    for k, (source, target) in enumerate(LINKS):
        link = pdf.make_indirect(Dictionary(Type=Name.Annot, Subtype=Name.Link, Rect=Array([10, 10 + 30 * k, 60, 30 + 30 * k]),
                                            Border=Array([0, 0, 0]), **targets[(source, target)]))
        page = pages[source - 1]
        page.Annots = Array(list(page.get("/Annots", Array())) + [link])

    def items(parent, nodes):
        made = [pdf.make_indirect(Dictionary(Title=String(title), Parent=parent, Dest=Array([pages[page - 1], Name.Fit])))
                for title, page, _ in nodes]
        for k, item in enumerate(made):
            if k:
                item.Prev = made[k - 1]
                made[k - 1].Next = item
            children = nodes[k][2]
            if children:
                items(item, children)
                item.Count = len(children)
        parent.First, parent.Last = made[0], made[-1]

    root = pdf.make_indirect(Dictionary(Type=Name.Outlines, Count=4))
    items(root, OUTLINE)
    pdf.Root.Outlines = root
    pdf.save(path)
    return path


def expected_outline(first, last):
    """The input's tree pruned to pages first..last, with pages counted from
    the part's first page; None for an ancestor outside the part."""
    def prune(nodes):
        out = []
        for title, page, children in nodes:
            kids = prune(children)
            inside = first <= page <= last
            if inside or kids:
                out.append((title, page - first + 1 if inside else None, kids))
        return out
    return prune(OUTLINE)


def expected_links(first, last):
    return sorted((s - first + 1, t - first + 1) for s, t in LINKS if first <= s <= last and first <= t <= last)


def read_part(path, password):
    """(page count, image objects, outline tree, links) of a part file."""
    with pikepdf.open(path, password=password) as pdf:
        pages = [p.obj.objgen for p in pdf.pages]
        names = {}
        if "/Names" in pdf.Root and "/Dests" in pdf.Root.Names:
            flat = list(pdf.Root.Names.Dests.get("/Names", Array()))
            names = {str(flat[k]): flat[k + 1] for k in range(0, len(flat), 2)}

        def page_of(dest):
            if isinstance(dest, String):
                dest = names.get(str(dest))
            if isinstance(dest, Dictionary):
                dest = dest.get("/D")
            if not isinstance(dest, Array) or not isinstance(dest[0], Dictionary):
                return None
            return pages.index(dest[0].objgen) + 1 if dest[0].objgen in pages else None

        def items(node):
            out, item = [], node.get("/First")
            while item is not None:
                assert item.Parent.objgen == node.objgen
                out.append((str(item.Title), page_of(item.get("/Dest")), items(item)))
                item = item.get("/Next")
            return out

        outline = items(pdf.Root.Outlines) if "/Outlines" in pdf.Root else []
        links = []
        for number, page in enumerate(pdf.pages, 1):
            for annot in page.obj.get("/Annots", Array()):
                if annot.get("/Subtype") == Name.Link:
                    dest = annot.get("/Dest") if "/Dest" in annot else annot.A.get("/D")
                    links.append((number, page_of(dest)))
        images = sum(1 for o in pdf.objects if isinstance(o, pikepdf.Stream) and o.get("/Subtype") == Name.Image)
        return len(pages), images, outline, sorted(links)


class PartsTest(SplitTestCase):
    def setUp(self):
        super().setUp()
        self.plain = book_pdf(self.path("book.pdf"))

    def encrypted(self):
        path = self.path("locked.pdf")
        r = run(["qpdf", "--encrypt", "user", "owner", "128", "--use-aes=y", "--", self.plain, path])
        self.assertIn(r.returncode, (0, 3), r.stderr)
        return path

    def assertParts(self, source, args, parts, password=None):
        """Splits source with args into the parts (first, last) and judges
        every part file."""
        self.split(*args, "--yes", source, *(["--password", password] if password else []))
        stem = source[:-4]
        names = [stem + ("-%02d.pdf" % a if a == b else "-%02d-%02d.pdf" % (a, b)) for a, b in parts]
        self.assertEqual(sorted(os.path.basename(n) for n in names),
                         sorted(f for f in self.pageFiles() if f.startswith(os.path.basename(stem) + "-")), args)
        for (first, last), name in zip(parts, names):
            ok, report = qpdf_check(name, password)
            if not ok:
                self._keep = True
            self.assertTrue(ok, "qpdf --check failed for %s:\n%s" % (name, report))
            count, images, outline, links = read_part(name, password or "")
            self.assertEqual(count, last - first + 1, name)
            self.assertEqual(images, 1, name + ": the shared image is not stored once")
            self.assertEqual(outline, expected_outline(first, last), name)
            self.assertEqual(links, expected_links(first, last), name)
            for k in range(first, last + 1):
                if render(name, k - first + 1, password) != render(source, k, password):
                    self._keep = True
                    self.fail("page %d of %s renders differently from page %d of the input" % (k - first + 1, name, k))
            if password:
                with pikepdf.open(name, password=password) as pdf:
                    self.assertTrue(pdf.is_encrypted, name)
            os.remove(name)

    def test_every_mode_plain_and_encrypted(self):
        for source, password in ((self.plain, None), (self.encrypted(), "user")):
            with self.subTest(encrypted=bool(password)):
                self.assertParts(source, ["--every", "5"], [(1, 5), (6, 10), (11, 12)], password)
                self.assertParts(source, ["--at-bookmarks"], [(1, 4), (5, 8), (9, 12)], password)
                self.assertParts(source, ["--at-bookmarks=2"], [(1, 2), (3, 12)], password)
                self.assertParts(source, ["--parts", "1-3,7,9-"], [(1, 3), (7, 7), (9, 12)], password)
                # The section without its chapter's page: the chapter stays
                # as a title; the pages limit comes before the parts.
                self.assertParts(source, ["--parts", "3-4,6-", "--pages", "2-11"], [(3, 4), (6, 11)], password)

    def test_names_from_pattern(self):
        self.split("--at-bookmarks", "--name", "%t %d-%e.pdf", "--pages", "2-", self.plain)
        self.assertEqual(self.pageFiles(), [" 02-04.pdf", "Chapter 2 05-08.pdf", "Chapter 3_ A_B 09-12.pdf", "book.pdf"])
        # Exact names: a second run finds them taken and writes nothing.
        r = pdftest.brisel("--at-bookmarks", "--name", "%t %d-%e.pdf", "--pages", "2-", self.plain)
        self.assertEqual(r.returncode, 4, r.stderr)
        self.assertEqual(len(self.pageFiles()), 4)

    def test_names_from_titles_in_every_text_encoding_are_safe(self):
        with pikepdf.open(self.plain, allow_overwriting_input=True) as pdf:
            chapter = pdf.Root.Outlines.First
            for title in (b"Q\x85A \x92 \xa0",  # PDFDocEncoding: en dash, trade mark, euro
                          "\ufeff.hidden\u202eevil".encode("utf-16-be"),  # a dot first, a right-to-left override
                          b"\xef\xbb\xbf\xc3\x9cbersicht"):  # UTF-8 after its mark
                chapter.Title = String(title)
                chapter = chapter.get("/Next")
            pdf.save(self.plain)
        self.split("-q", "--at-bookmarks", "--name", "%t-%d.pdf", self.plain)
        self.assertEqual(self.pageFiles(), sorted(["_hiddenevil-05.pdf", "book.pdf", "Q\u2013A \u2122 \u20ac-01.pdf",
                                                   "\u00dcbersicht-09.pdf"]))
        # The dry run shows the titles as they are, and writes nothing.
        r = self.split("--dry-run", "--at-bookmarks", "--pages", "2-", self.plain)
        self.assertEqual(r.stdout.splitlines(), [self.path("book-02-04.pdf") + "\t2-4",
                                                 self.path("book-05-08.pdf") + "\t5-8\t.hidden\u202eevil",
                                                 self.path("book-09-12.pdf") + "\t9-12\t\u00dcbersicht"])
        self.assertEqual(len(self.pageFiles()), 4)

    def test_refusals(self):
        for args, status, message in ((["--parts", "1-3,2-4"], 2, "no page in two ranges"),
                                      (["--parts", "1-x"], 2, "such as 1-3,7,9-"),
                                      (["--every", "0"], 2, "--every needs"),
                                      (["--every", "2", "--parts", "1-3"], 2, "choose one of"),
                                      (["--parts", "3-13"], 5, "page 13 is past the last page (12)")):
            r = pdftest.brisel(*args, self.plain)
            self.assertEqual(r.returncode, status, r.stderr)
            self.assertIn(message, r.stderr)
        self.assertEqual(self.pageFiles(), ["book.pdf"])


class SizeTest(SplitTestCase):
    """--max-size on the benchmark's image document (each page its own
    large image) and on its tagged document and its form (structure and
    fields shared by every page): every part under the size but a page
    larger alone, pages in order, none lost or doubled, every part passing
    qpdf --check and rendering like its pages."""

    def assertSized(self, src, args, limit, count, expect_parts=None):
        r = self.split("--max-size", *args, "--yes", src)
        stem = os.path.basename(src)[:-4]
        names = [n for n in self.pageFiles() if n.startswith(stem + "-")]
        pages = []
        for name in names:
            numbers = [int(x) for x in re.findall(r"-(\d+)", name[len(stem):])]
            path = self.path(name)
            n = pdftest.page_count(path)
            self.assertEqual(n, numbers[-1] - numbers[0] + 1, name)
            size = os.path.getsize(path)
            if size > limit:
                self.assertEqual(n, 1, "%s: %d bytes over %d" % (name, size, limit))
                self.assertIn("page %d alone is larger than" % numbers[0], r.stderr)
            ok, report = qpdf_check(path)
            self.assertTrue(ok, "qpdf --check failed for %s:\n%s" % (name, report))
            for k in sorted({1, n}):
                self.assertEqual(render(path, k), render(src, numbers[0] + k - 1), (name, k))
            pages += list(range(numbers[0], numbers[-1] + 1))
            os.remove(path)
        self.assertEqual(pages, list(range(1, count + 1)))
        if expect_parts:
            self.assertEqual(len(names), expect_parts)
        return names

    def test_images_tagged_pages_and_forms_under_a_size(self):
        images = self.path("image.pdf")
        bench.image_pages_pdf(images, 12, size=160)  # about 75 KB a page, nothing shared
        names = self.assertSized(images, ["200K"], 200 << 10, 12)
        self.assertLess(len(names), 7)  # two pages or more a part
        # A page larger alone than the size is a part of its own.
        self.assertSized(images, ["50K"], 50 << 10, 12, expect_parts=12)
        tagged = self.path("tagged.pdf")
        bench.tagged_pages_pdf(tagged, 60)
        self.assertSized(tagged, ["20K"], 20 << 10, 60)
        form = self.path("form.pdf")
        bench.form_pages_pdf(form, 60)
        self.assertSized(form, ["12K", "--every", "25"], 12 << 10, 60)

    def test_size_combines_with_bookmarks_and_pages(self):
        book = book_pdf(self.path("book.pdf"))
        # Parts at chapters, each cut before it grows past the size; --pages
        # limits the pages first.
        r = self.split("--dry-run", "--json", "--at-bookmarks", "--max-size", "2700", "--pages", "2-", book)
        import json
        plan = json.loads(r.stdout)["plan"]
        self.assertEqual([p["pages"][0] for p in plan][:1], [2])
        self.assertIn(5, [p["pages"][0] for p in plan])
        self.assertIn(9, [p["pages"][0] for p in plan])
        self.assertEqual(sum((p["pages"] for p in plan), []), list(range(2, 13)))
        self.assertGreater(len(plan), 3)
        self.split("-q", "--at-bookmarks", "--max-size", "2700", "--pages", "2-", book)
        for p in plan:
            self.assertLessEqual(os.path.getsize(p["file"]), 2700, p)


if __name__ == "__main__":
    pdftest.main()
