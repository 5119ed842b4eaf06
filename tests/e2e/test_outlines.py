"""Bookmarks and viewer settings in page files, on inputs built with pikepdf.

Every page file must pass qpdf --check and render like its page; its outline
tree is read back with pikepdf (titles, nesting, /Count, destinations) and
its page resolution is confirmed by qpdf --json.
"""

import json
import os
import re
import time
import unittest

import pikepdf
from pikepdf import Array, Dictionary, Name, String

import pdftest
from pdftest import SplitTestCase

PAGES = 6


def six_pages(pdf):
    f1 = pdf.make_indirect(Dictionary(Type=Name.Font, Subtype=Name.Type1, BaseFont=Name.Helvetica))
    for i in range(PAGES):
        pdf.add_blank_page(page_size=(300, 400))
        page = pdf.pages[i]
        page.obj.Resources = Dictionary(Font=Dictionary(F1=f1))
        page.obj.Contents = pdf.make_stream(b"BT /F1 24 Tf 40 300 Td (page %d) Tj ET" % (i + 1))
    return [p.obj for p in pdf.pages]


def link_items(pdf, parent, nodes):
    """Builds outline items below parent from (title, entries, children)
    tuples; returns the number of items visible below parent."""
    items = []
    for title, entries, children in nodes:
        item = pdf.make_indirect(Dictionary(Parent=parent, **entries))
        if title is not None:
            item.Title = title
        items.append((item, children))
    for k, (item, _) in enumerate(items):
        if k > 0:
            item.Prev = items[k - 1][0]
        if k + 1 < len(items):
            item.Next = items[k + 1][0]
    visible = len(items)
    for item, children in items:
        if children:
            below = link_items(pdf, item, children)
            closed = item.get("/Count") is not None and int(item.Count) < 0
            item.Count = -below if closed else below
            if not closed:
                visible += below
    if items:
        parent.First = items[0][0]
        parent.Last = items[-1][0]
    return visible


def outlines_pdf(path):
    """Six pages; bookmarks nested three deep, one closed, with destinations
    of every form: explicit arrays, strings of a two-level /Names /Dests tree,
    names of the /Dests dictionary, GoTo actions, and ones that lead nowhere."""
    pdf = pikepdf.new()
    p = six_pages(pdf)
    chap2 = pdf.make_indirect(Dictionary(D=Array([p[3], Name.XYZ, 0, 700, 0])))
    leaf1 = pdf.make_indirect(Dictionary(Names=Array([String("chap1"), pdf.make_indirect(Array([p[2], Name.Fit]))]),
                                         Limits=Array([String("chap1"), String("chap1")])))
    leaf2 = pdf.make_indirect(Dictionary(Names=Array([String("chap2"), chap2]),
                                         Limits=Array([String("chap2"), String("chap2")])))
    middle = pdf.make_indirect(Dictionary(Kids=Array([leaf2]), Limits=Array([String("chap2"), String("chap2")])))
    pdf.Root.Names = Dictionary(Dests=pdf.make_indirect(Dictionary(Kids=Array([leaf1, middle]))))
    pdf.Root.Dests = pdf.make_indirect(Dictionary(
        intro=Dictionary(D=Array([p[0], Name.FitH, 700])),
        appendix=pdf.make_indirect(Array([p[5], Name.Fit]))))
    goto = lambda d: dict(A=Dictionary(S=Name.GoTo, D=d))
    root = pdf.make_indirect(Dictionary(Type=Name.Outlines))
    count = link_items(pdf, root, [
        ("One", dict(Dest=Array([p[0], Name.XYZ, 0, 792, 0])), [
            ("One.A", dict(Dest=String("chap1")), [
                ("One.A.i", dict(Dest=Array([p[0], Name.Fit])), []),
            ]),
            ("One.B", dict(Dest=Name("/intro"), Count=-1), [
                ("One.B.x", goto(Array([p[1], Name.Fit])), []),
            ]),
        ]),
        ("Two", goto(String("chap2")), []),
        ("Three", dict(A=Dictionary(S=Name.URI, URI=String("https://example.invalid/"))), []),
        ("Four", dict(Dest=String("chap")), []),
        ("Five", dict(Dest=Name("/appendix")), []),
        (None, dict(Dest=Array([p[2], Name.FitV, 100]), C=Array([1, 0, 0]), F=2), []),
        ("Seven", dict(Dest=pdf.make_indirect(Array([p[2], Name.FitH, 50]))), []),
    ])
    root.Count = count
    pdf.Root.Outlines = root
    pdf.save(path)
    return path


def read_outline(path, password=""):
    """The outline tree of a file as nested (title, count, dest, kids) tuples,
    with a page reference written as "page", after checking every link."""
    with pikepdf.open(path, password=password) as pdf:
        if "/Outlines" not in pdf.Root:
            return None
        pages = [p.obj.objgen for p in pdf.pages]

        def dest(item):
            d = item.get("/Dest")
            if not isinstance(d, Array):
                return None
            d = list(d)
            return ["page%d" % (pages.index(d[0].objgen) + 1)] + [str(v) if isinstance(v, Name) else float(v)
                                                                    for v in d[1:]]

        def kids(node):
            out, prev, item = [], None, node.get("/First")
            while item is not None:
                assert item.Parent.objgen == node.objgen
                assert (item.get("/Prev").objgen if "/Prev" in item else None) == (prev.objgen if prev else None)
                out.append((str(item.Title), int(item.get("/Count", 0)), dest(item), kids(item)))
                prev, item = item, item.get("/Next")
            if out:
                assert node.Last.objgen == prev.objgen
            return out

        root = pdf.Root.Outlines
        return int(root.get("/Count", 0)), kids(root)


class BookmarksTest(SplitTestCase):
    def setUp(self):
        super().setUp()
        self.src = outlines_pdf(self.path("book.pdf"))

    def page_file(self, page):
        return self.path("book-%d.pdf" % page)

    def test_each_page_carries_its_bookmarks(self):
        self.split("--bookmarks", "keep", "--mode", "outlines-or-thumbs", self.src)
        self.assertPageFilesMatch(self.src)
        placeholder = lambda kids, count: ("", count, None, kids)
        expected = {
            # One, a placeholder for One.A, One.A.i below it, and One.B: closed
            # in the input, but none of its children leads here.
            1: (4, [("One", 3, ["page1", "/XYZ", 0, 792, 0], [
                placeholder([("One.A.i", 0, ["page1", "/Fit"], [])], 1),
                ("One.B", 0, ["page1", "/FitH", 700], [])])]),
            # One.B.x alone, two levels of placeholders above it.
            2: (3, [placeholder([placeholder([("One.B.x", 0, ["page1", "/Fit"], [])], 1)], 2)]),
            3: (4, [placeholder([("One.A", 0, ["page1", "/Fit"], [])], 1),
                    ("", 0, ["page1", "/FitV", 100], []),
                    ("Seven", 0, ["page1", "/FitH", 50], [])]),
            4: (1, [("Two", 0, ["page1", "/XYZ", 0, 700, 0], [])]),
            5: None,
            6: (1, [("Five", 0, ["page1", "/Fit"], [])]),
        }
        for page, outline in expected.items():
            self.assertEqual(read_outline(self.page_file(page)), outline, "page %d" % page)
            with pikepdf.open(self.page_file(page)) as pdf:
                self.assertEqual(str(pdf.Root.PageMode), "/UseThumbs" if outline is None else "/UseOutlines")
        # The untitled bookmark keeps its colour and flags.
        with pikepdf.open(self.page_file(3)) as pdf:
            untitled = pdf.Root.Outlines.First.Next
            self.assertEqual([int(v) for v in untitled.C], [1, 0, 0])
            self.assertEqual(int(untitled.F), 2)

    def test_qpdf_resolves_the_destinations_to_the_page(self):
        self.split("--bookmarks", "keep", self.src)
        r = pdftest.run(["qpdf", "--json", "--json-key=outlines", self.page_file(3)])
        self.assertEqual(r.returncode, 0, r.stderr)

        def walk(items):
            for item in items:
                yield item
                yield from walk(item["kids"])
        titles = [(item["title"], item["destpageposfrom1"]) for item in walk(json.loads(r.stdout)["outlines"])]
        self.assertEqual(titles, [("", None), ("One.A", 1), ("", 1), ("Seven", 1)])

    def test_flat_bookmarks(self):
        self.split("--options", "/okt", self.src)
        self.assertPageFilesMatch(self.src)
        self.assertEqual(read_outline(self.page_file(1)), (3, [
            ("One", 0, ["page1", "/XYZ", 0, 792, 0], []),
            ("One.A.i", 0, ["page1", "/Fit"], []),
            ("One.B", 0, ["page1", "/FitH", 700], [])]))
        self.assertEqual(read_outline(self.page_file(2)), (1, [("One.B.x", 0, ["page1", "/Fit"], [])]))
        self.assertIsNone(read_outline(self.page_file(5)))

    def test_closed_bookmark_counts_the_children_it_hides(self):
        # One.B's child moves to One.B's own page: One.B is closed with -1.
        with pikepdf.open(self.src, allow_overwriting_input=True) as pdf:
            child = pdf.Root.Outlines.First.First.Next.First
            child.A.D = Array([pdf.pages[0].obj, Name.Fit])
            pdf.save(self.src)
        self.split("--bookmarks", "keep", self.src)
        count, items = read_outline(self.page_file(1))
        one_b = items[0][3][1]
        self.assertEqual(one_b[:2], ("One.B", -1))
        self.assertEqual(one_b[3], [("One.B.x", 0, ["page1", "/Fit"], [])])
        self.assertEqual(count, 4)
        ok, report = pdftest.qpdf_check(self.page_file(1))
        self.assertTrue(ok, report)

    def test_encrypted_input(self):
        # Titles pass through the decryption of the input and the encryption
        # of the page file.
        src = self.path("enc.pdf")
        r = pdftest.run(["qpdf", "--encrypt", "user", "owner", "128", "--use-aes=y", "--", self.src, src])
        self.assertEqual(r.returncode, 0, r.stderr)
        self.split("--password", "user", "--bookmarks", "keep", src)
        self.assertPageFilesMatch(src, password="user")
        self.assertEqual(read_outline(self.path("enc-4.pdf"), "user"),
                         (1, [("Two", 0, ["page1", "/XYZ", 0, 700, 0], [])]))

    def test_without_the_option_no_bookmarks(self):
        self.split(self.src)
        for page in range(1, PAGES + 1):
            self.assertIsNone(read_outline(self.page_file(page)))


class OutlineCycleTest(SplitTestCase):
    def build(self, name, make_cycle):
        pdf = pikepdf.new()
        p = six_pages(pdf)
        root = pdf.make_indirect(Dictionary(Type=Name.Outlines))
        link_items(pdf, root, [("A", dict(Dest=Array([p[0], Name.Fit])), [("A1", dict(Dest=String("x")), [])]),
                               ("B", dict(Dest=Array([p[1], Name.Fit])), [])])
        pdf.Root.Outlines = root
        make_cycle(pdf, root)
        path = self.path(name)
        pdf.save(path)
        return path

    def assertEndsCleanly(self, path):
        start = time.time()
        r = self.split("--bookmarks", "keep", "--no-warn", path, expect=1)
        self.assertEqual(r.stderr, "brisel: %s: Failed (the bookmarks are damaged)\n" % path)
        self.assertLess(time.time() - start, 30)
        # Without bookmarks the same file splits.
        self.split(path)

    def assertCutWhereItLoops(self, path):
        # The link that leads back is cut: the bookmarks before it stay,
        # in the page files and as the parts' bounds.
        start = time.time()
        self.split("--bookmarks", "keep", "--no-warn", path)
        self.assertLess(time.time() - start, 30)
        # The cut is told, with the object that led back (the summary follows
        # on stderr, the file list being alone on stdout).
        verbose = self.path("verbose")
        os.mkdir(verbose)
        r = self.split("--bookmarks", "keep", "--verbose", "--out", verbose, path)
        self.assertRegex(r.stderr, r"^brisel: %s: warning: bookmark loop cut \d+\nDone\n$" % re.escape(path))
        for option in ("--bookmarks", "--at-bookmarks"):
            out = self.path("json" + option)
            os.mkdir(out)
            args = ["--bookmarks", "keep"] if option == "--bookmarks" else [option]
            r = self.split(*args, "--json", "--out", out, path)
            self.assertEqual([w["kind"] for w in json.loads(r.stdout)["warnings"]], ["bookmark-loop-cut"])
        base = path[:-4]
        self.assertEqual([(t, d) for t, _, d, _ in read_outline(base + "-1.pdf")[1]], [("A", ["page1", "/Fit"])])
        self.assertEqual([(t, d) for t, _, d, _ in read_outline(base + "-2.pdf")[1]], [("B", ["page1", "/Fit"])])
        pdftest.SplitTestCase.assertPageFilesMatch(self, path)
        parts = self.path("parts")
        os.mkdir(parts)
        self.split("--at-bookmarks", "--no-warn", "--out", parts, path)
        self.assertEqual(len(self.pageFiles(parts)), 2)

    def test_next_leading_back(self):
        def cycle(pdf, root):
            root.Last.Next = root.First
        self.assertCutWhereItLoops(self.build("next.pdf", cycle))

    def test_first_leading_back(self):
        def cycle(pdf, root):
            root.First.First.First = root.First
        self.assertCutWhereItLoops(self.build("first.pdf", cycle))

    def test_name_tree_leading_back(self):
        def cycle(pdf, root):
            node = pdf.make_indirect(Dictionary())
            node.Kids = Array([node])
            pdf.Root.Names = Dictionary(Dests=pdf.make_indirect(Dictionary(Kids=Array([node]))))
        self.assertEndsCleanly(self.build("names.pdf", cycle))


class ViewerSettingsTest(SplitTestCase):
    def test_settings_chosen_on_the_command_line(self):
        src = outlines_pdf(self.path("v.pdf"))
        self.split("--zoom", "150f", "--direction", "r2l", "--layout", "single", "--mode", "fullscreen", src)
        self.assertPageFilesMatch(src)
        with open(self.path("v-2.pdf"), "rb") as f:
            data = f.read()
        self.assertIn(b"1 0 obj\n<<\n/Type /Catalog\n/Pages 2 0 R\n/OpenAction [ 3 0 R /XYZ null null 1.50 ]\n"
                      b"/ViewerPreferences << /FitWindow true \n/Direction /R2L >>\n/PageLayout /SinglePage\n"
                      b"/PageMode /FullScreen\n>>\nendobj\n", data)

    def test_settings_kept_from_the_input(self):
        pdf = pikepdf.new()
        p = six_pages(pdf)
        pdf.Root.OpenAction = Dictionary(S=Name.GoTo, D=pdf.make_indirect(Array([p[4], Name.XYZ, 10, 500, 2])))
        pdf.Root.ViewerPreferences = Dictionary(FitWindow=True, Direction=Name.R2L)
        pdf.Root.PageLayout = Name.TwoColumnRight
        pdf.Root.PageMode = Name.UseOutlines
        src = self.path("keep.pdf")
        pdf.save(src)
        self.split("--options", "/do /io /po /norg", src)
        self.assertPageFilesMatch(src)
        with pikepdf.open(self.path("keep-1.pdf")) as out:
            root = out.Root
            self.assertEqual(root.OpenAction[0].objgen, out.pages[0].obj.objgen)
            view = list(root.OpenAction)[1:]
            self.assertEqual([str(view[0])] + [int(v) for v in view[1:]], ["/XYZ", 10, 500, 2])
            self.assertEqual(bool(root.ViewerPreferences.FitWindow), True)
            self.assertEqual(str(root.ViewerPreferences.Direction), "/R2L")
            self.assertEqual(str(root.PageLayout), "/TwoColumnRight")
            self.assertEqual(str(root.PageMode), "/UseOutlines")

    def test_bad_viewer_options(self):
        src = self.path("none.pdf")
        zoom = "--zoom needs a percentage N or Nf, or fit, width, height, keep or none"
        for args, line in ((("--zoom", "12x"), zoom), (("--zoom", "f"), zoom),
                           (("--layout", "two"), "--layout needs one, left, right, single, keep or none"),
                           (("--mode",), "--mode needs outlines, outlines-or-thumbs, thumbs, fullscreen, keep, "
                                         "outlines-or-none or none"),
                           (("--bookmarks", "all"), "--bookmarks needs keep, flat or none")):
            r = self.split(*args, src, expect=2) if len(args) > 1 else self.split(src, *args, expect=2)
            self.assertEqual(r.stderr, "brisel: %s\nTry 'brisel --help'.\n" % line)


if __name__ == "__main__":
    pdftest.main()
