"""Page files keep their page's comments, highlights, stamps, filled form
fields and outside links; links into the document and beads go, and nothing
in an annotation can pull another page into a page file. Layers that the
input hides stay hidden."""

import os
import unittest

import pikepdf
from pikepdf import Array, Dictionary, Name, String

import pdftest
from pdftest import SplitTestCase

PAGES = 7


def form(pdf, width, height, ops, resources=None):
    """An appearance stream."""
    stream = pdf.make_stream(ops.encode())
    stream.Type = Name.XObject
    stream.Subtype = Name.Form
    stream.BBox = [0, 0, width, height]
    if resources is not None:
        stream.Resources = resources
    return stream


class AnnotatedDocument:
    """Seven pages with every kind of annotation the page files keep or drop.
    Each annotation has a name (/NM); kept[i] holds the names that page i's
    file must hold, and no other."""

    def __init__(self, path):
        pdf = pikepdf.new()
        self.pdf = pdf
        helv = pdf.make_indirect(Dictionary(Type=Name.Font, Subtype=Name.Type1, BaseFont=Name.Helvetica))
        self.fonts = Dictionary(Font=Dictionary(F1=helv, Helv=helv))
        pages = []
        for i in range(PAGES):
            content = pdf.make_stream(("BT /F1 16 Tf 30 260 Td (page %d) Tj ET 0 0.5 %.1f rg 30 30 %d 40 re f"
                                       % (i + 1, i / PAGES, 40 + 20 * i)).encode())
            pages.append(pdf.make_indirect(Dictionary(Type=Name.Page, MediaBox=[0, 0, 300, 300],
                                                      Contents=content, Resources=self.fonts)))
        root = pdf.make_indirect(Dictionary(Type=Name.Pages, Kids=Array(pages), Count=PAGES))
        for p in pages:
            p.Parent = root
        pdf.Root.Pages = root
        self.pages, self.root = pages, root
        self.kept = [set() for _ in range(PAGES)]
        self.dropped = [set() for _ in range(PAGES)]
        # Named destinations, through the name tree and the old /Dests dictionary.
        pdf.Root.Names = Dictionary(Dests=Dictionary(Names=Array([String("chapter2"), Array([pages[1], Name.Fit])])))
        pdf.Root.Dests = pdf.make_indirect(Dictionary(Chap3=Array([pages[2], Name.Fit])))

        self.page_one()
        self.page_two()
        fields = self.page_three_and_four()
        self.shared_arrays()
        pdf.Root.AcroForm = Dictionary(Fields=Array(fields), DA=String("/Helv 0 Tf 0 g"), DR=self.fonts)
        pdf.save(path)

    def annot(self, page, name, keep, subtype, indirect=True, **entries):
        d = Dictionary(Type=Name.Annot, Subtype=getattr(Name, subtype), NM=String(name), **entries)
        if "/Rect" not in d:
            d.Rect = [0, 0, 20, 20]
        (self.kept if keep else self.dropped)[page].add(name)
        return self.pdf.make_indirect(d) if indirect else d

    def link(self, page, name, keep, x, **entries):
        return self.annot(page, name, keep, "Link", Rect=[x, 100, x + 20, 120], Border=[0, 0, 0], **entries)

    def page_one(self):
        pdf, p = self.pdf, self.pages
        note = self.annot(0, "note", True, "Text", Rect=[20, 250, 40, 270], Contents=String("A note"),
                          Name=Name.Comment, C=[1, 1, 0], T=String("Ann"), P=p[0])
        popup = self.annot(0, "popup", True, "Popup", Rect=[60, 200, 200, 280], Parent=note, Open=False)
        note.Popup = popup
        highlight = self.annot(0, "highlight", True, "Highlight", Rect=[28, 255, 100, 280], C=[1, 1, 0],
                               QuadPoints=[28, 280, 100, 280, 28, 255, 100, 255],
                               AP=Dictionary(N=form(pdf, 72, 25, "1 1 0 rg 0 0 72 25 re f")))
        goto_action = pdf.make_indirect(Dictionary(S=Name.GoTo, D=Name.Chap3))
        annots = [
            note, popup, highlight,
            self.link(0, "dest-page", False, 10, Dest=Array([p[2], Name.Fit])),
            self.link(0, "dest-named", False, 40, Dest=String("chapter2")),
            self.link(0, "goto-page", False, 70, A=Dictionary(S=Name.GoTo, D=Array([p[3], Name.XYZ, None, None, None]))),
            self.link(0, "goto-name", False, 100, A=goto_action),
            self.link(0, "dest-inline", False, 130, indirect=False, Dest=Array([p[1], Name.Fit])),
            self.link(0, "web", True, 160, A=Dictionary(S=Name.URI, URI=String("https://example.org/"))),
            self.link(0, "launch", True, 190, A=Dictionary(S=Name.Launch, F=String("notes.txt"))),
            self.link(0, "remote", True, 220, A=Dictionary(S=Name.GoToR, F=String("other.pdf"),
                                                          D=Array([0, Name.Fit]))),
        ]
        p[0].Annots = Array(annots)
        thread = pdf.make_indirect(Dictionary(Type=Name.Thread))
        bead = pdf.make_indirect(Dictionary(Type=Name.Bead, T=thread, P=p[0], R=[0, 0, 10, 10]))
        bead.N = bead.V = bead
        thread.F = bead
        p[0].B = Array([bead])
        pdf.Root.Threads = Array([thread])

    def page_two(self):
        pdf, p = self.pdf, self.pages
        stamp = self.annot(1, "stamp", True, "Stamp", Rect=[150, 150, 280, 200], Name=Name.Approved, P=p[1],
                           AP=Dictionary(N=form(pdf, 130, 50, "1 0 0 RG 4 w 2 2 126 46 re S BT /F1 18 Tf 1 0 0 rg "
                                                "12 16 Td (APPROVED) Tj ET", self.fonts)))
        note = self.annot(1, "question", True, "Text", Rect=[20, 200, 40, 220], Contents=String("Why?"))
        reply = self.annot(1, "reply", True, "Text", Rect=[20, 170, 40, 190], Contents=String("Because."),
                           IRT=note, RT=Name.R)
        free = self.annot(1, "freetext", True, "FreeText", Rect=[150, 220, 290, 250], DA=String("/Helv 12 Tf 0 g"),
                          Contents=String("Free text"),
                          AP=Dictionary(N=form(pdf, 140, 30, "BT /F1 12 Tf 0 g 4 10 Td (Free text) Tj ET",
                                                self.fonts)))
        # Annotations that name other pages and the page tree directly: the
        # references become null, the annotations stay.
        wrong = self.annot(1, "wrong-page", True, "Square", Rect=[200, 20, 230, 50], C=[0, 0, 1], P=p[4])
        tree = self.annot(1, "tree", True, "Circle", Rect=[240, 20, 270, 50], C=[0, 1, 0])
        tree.Tree = self.root
        tree.Other = Array([p[6], p[1]])
        inline = self.annot(1, "inline-square", True, "Square", indirect=False, Rect=[100, 20, 130, 50], C=[1, 0, 1])
        p[1].Annots = Array([stamp, note, reply, free, wrong, tree, inline])

    def widget(self, page, name, rect, ap, **entries):
        w = self.annot(page, name, True, "Widget", Rect=rect, F=4, P=self.pages[page], AP=ap, **entries)
        return w

    def page_three_and_four(self):
        pdf, p = self.pdf, self.pages
        w, h = 180, 24
        text = self.widget(2, "field-name", [20, 200, 200, 224],
                           Dictionary(N=form(pdf, w, h, "/Tx BMC BT /Helv 12 Tf 0 g 2 7 Td (Alice) Tj ET EMC",
                                             self.fonts)),
                           FT=Name.Tx, T=String("name"), V=String("Alice"), DA=String("/Helv 12 Tf 0 g"))
        on = form(pdf, 20, 20, "0 g 4 4 12 12 re f")
        off = form(pdf, 20, 20, "")
        check = self.widget(2, "field-agree", [20, 150, 40, 170], Dictionary(N=Dictionary(Yes=on, Off=off)),
                            FT=Name.Btn, T=String("agree"), V=Name.Yes, AS=Name.Yes,
                            MK=Dictionary(BC=[0, 0, 0]))
        # One field, a widget on each of two pages: the field holds the value
        # and its kids, so following its widgets' /Parent would reach page 4.
        shared = pdf.make_indirect(Dictionary(FT=Name.Tx, T=String("both"), V=String("Bob"),
                                              DA=String("/Helv 12 Tf 0 g")))
        kid3 = self.widget(2, "field-both-3", [20, 100, 200, 124],
                           Dictionary(N=form(pdf, w, h, "/Tx BMC BT /Helv 12 Tf 0 g 2 7 Td (Bob) Tj ET EMC",
                                             self.fonts)), Parent=shared)
        kid4 = self.widget(3, "field-both-4", [20, 100, 200, 124],
                           Dictionary(N=form(pdf, w, h, "/Tx BMC BT /Helv 12 Tf 0 g 2 7 Td (Bob) Tj ET EMC",
                                             self.fonts)), Parent=shared)
        shared.Kids = Array([kid3, kid4])
        p[2].Annots = Array([text, check, kid3])
        # An /Annots array in an object of its own.
        p[3].Annots = pdf.make_indirect(Array([kid4]))
        return [text, check, shared]

    def shared_arrays(self):
        pdf, p = self.pdf, self.pages
        # Pages 5 and 6 share one array: a web link stays, a link into the
        # document goes, for both pages alike.
        web = self.link(4, "shared-web", True, 20, A=Dictionary(S=Name.URI, URI=String("https://example.org/5")))
        inner = self.link(4, "shared-inner", False, 60, Dest=Array([p[0], Name.Fit]))
        square = self.annot(4, "shared-square", True, "Square", Rect=[100, 100, 140, 140], C=[1, 0, 0])
        for name in ("shared-web", "shared-square"):
            self.kept[5].add(name)
        self.dropped[5].add("shared-inner")
        shared = pdf.make_indirect(Array([web, inner, square]))
        p[4].Annots = shared
        p[5].Annots = shared
        # Page 7: every annotation is an internal link, the whole entry goes.
        p[6].Annots = pdf.make_indirect(Array([
            self.link(6, "only-link-1", False, 20, Dest=Array([p[0], Name.Fit])),
            self.link(6, "only-link-2", False, 60, A=Dictionary(S=Name.GoTo, D=String("chapter2")))]))


def closure_size(page, dropped):
    """Indirect objects a page file holds for `page`: the page and what it
    reaches, not through /Parent, dropped annotations (and an array of
    nothing else), other pages or the page tree."""
    seen = set()
    stack = [page]
    while stack:
        obj = stack.pop()
        if isinstance(obj, (pikepdf.Dictionary, pikepdf.Stream, pikepdf.Array)) and obj.is_indirect:
            if obj.objgen in seen:
                continue
            if obj.objgen != page.objgen and isinstance(obj, pikepdf.Dictionary) and \
                    obj.get("/Type") in (Name.Page, Name.Pages):
                continue
            if isinstance(obj, pikepdf.Dictionary) and str(obj.get("/NM", "")) in dropped:
                continue
            if isinstance(obj, pikepdf.Array) and len(obj) and all(str(a.get("/NM")) in dropped for a in obj):
                continue
            seen.add(obj.objgen)
        if isinstance(obj, pikepdf.Stream):
            obj = obj.stream_dict
        if isinstance(obj, pikepdf.Dictionary):
            stack.extend(v for k, v in obj.items() if k not in ("/Parent", "/B"))
        elif isinstance(obj, pikepdf.Array):
            stack.extend(obj)
    return len(seen)


class AnnotationTest(SplitTestCase):
    def test_page_files_keep_their_annotations_and_nothing_else(self):
        src = self.path("annots.pdf")
        doc = AnnotatedDocument(src)
        self.split(src)
        self.assertPageFilesMatch(src)
        with pikepdf.open(src) as whole:
            sizes = [closure_size(page.obj, doc.dropped[i]) for i, page in enumerate(whole.pages)]
        for i in range(PAGES):
            name = self.path("annots-%d.pdf" % (i + 1))
            with self.subTest(page=i + 1):
                # Drawn with their annotations, page file and page look alike.
                self.assertEqual(pdftest.render(name, annotations=True),
                                 pdftest.render(src, i + 1, annotations=True))
                with pikepdf.open(name) as part:
                    page = part.pages[0].obj
                    names = {str(a.NM) for a in page.get("/Annots", [])}
                    self.assertEqual(names, doc.kept[i])
                    self.assertNotIn("/B", page)
                    # The catalog, the Pages object, the information
                    # dictionary and the page's own closure: no other page;
                    # on pages 3 and 4 also the field "both", the parent of
                    # a widget there, which the form of the page file holds.
                    self.assertEqual(int(part.trailer.Size) - 1, sizes[i] + 3 + (1 if i in (2, 3) else 0))
                    kinds = [o.get("/Type") for o in part.objects if isinstance(o, pikepdf.Dictionary)]
                    self.assertEqual((kinds.count(Name.Page), kinds.count(Name.Pages)), (1, 1))
                    for a in page.get("/Annots", []):
                        # /P, /Popup, /IRT and a popup's /Parent lead to this
                        # page and its annotations; other pages became null.
                        if "/P" in a and str(a.NM) != "wrong-page":
                            self.assertEqual(a.P.objgen, page.objgen)
                        for key in ("/Popup", "/IRT"):
                            if key in a:
                                self.assertIn(str(a[key].NM), doc.kept[i])
                        if a.Subtype == Name.Popup:
                            self.assertEqual(str(a.Parent.NM), "note")
                    if i == 1:
                        tree = next(a for a in page.Annots if str(a.NM) == "tree")
                        self.assertIsNone(tree.get("/Tree"))
                        self.assertEqual([tree.Other[0], tree.Other[1].objgen], [None, page.objgen])
                        wrong = next(a for a in page.Annots if str(a.NM) == "wrong-page")
                        self.assertIsNone(wrong.get("/P"))
                    if i == 2:
                        values = {str(a.NM): a for a in page.Annots}
                        self.assertEqual(str(values["field-name"].V), "Alice")
                        self.assertEqual(values["field-agree"].AS, Name.Yes)

    def test_drop_removes_every_annotation(self):
        src = self.path("drop.pdf")
        AnnotatedDocument(src)
        self.split("--annotations", "drop", src)
        self.assertPageFilesMatch(src)
        for i in range(PAGES):
            with pikepdf.open(self.path("drop-%d.pdf" % (i + 1))) as part:
                self.assertNotIn("/Annots", part.pages[0].obj)
        r = self.split("--annotations", "some", src, expect=2)
        self.assertEqual(r.stderr, "brisel: --annotations needs keep or drop\nTry 'brisel --help'.\n")


def latex_style(path, count=4, links=3):
    """count pages, each with `links` links by name to places on its own
    page and one to the next page, as hyperref writes them: GoTo actions
    whose /D is a string, a name tree of two levels with /Limits, and a
    bookmark per page by name."""
    pdf = pikepdf.new()
    font = pdf.make_indirect(Dictionary(Type=Name.Font, Subtype=Name.Type1, BaseFont=Name.Helvetica))
    pages = []
    for i in range(count):
        content = pdf.make_stream(b"BT /F1 12 Tf 30 260 Td (section %d) Tj ET" % (i + 1))
        pages.append(pdf.make_indirect(Dictionary(Type=Name.Page, MediaBox=[0, 0, 300, 300], Contents=content,
                                                  Resources=Dictionary(Font=Dictionary(F1=font)))))
    pdf.Root.Pages = pdf.make_indirect(Dictionary(Type=Name.Pages, Kids=Array(pages), Count=count))
    for p in pages:
        p.Parent = pdf.Root.Pages
    names = {}
    for i, page in enumerate(pages):
        for k in range(links):
            names["section.%d.%d" % (i + 1, k)] = Array([page, Name.XYZ, 30, 200 - 40 * k, None])
        annots = [pdf.make_indirect(Dictionary(Type=Name.Annot, Subtype=Name.Link, Rect=[30, 20 + 30 * k, 90, 40 + 30 * k],
                                               Border=[0, 0, 0], A=Dictionary(S=Name.GoTo,
                                                                             D=String("section.%d.%d" % (i + 1, k)))))
                  for k in range(links)]
        if i + 1 < count:
            annots.append(pdf.make_indirect(Dictionary(Type=Name.Annot, Subtype=Name.Link, Rect=[200, 20, 260, 40],
                                                       Border=[0, 0, 0], Dest=String("section.%d.0" % (i + 2)))))
        page.Annots = Array(annots)
    keys = sorted(names)
    half = len(keys) // 2
    leaves = []
    for part in (keys[:half], keys[half:]):
        flat = Array()
        for key in part:
            flat.append(String(key))
            flat.append(pdf.make_indirect(Dictionary(D=names[key])))
        leaves.append(pdf.make_indirect(Dictionary(Names=flat, Limits=Array([String(part[0]), String(part[-1])]))))
    pdf.Root.Names = Dictionary(Dests=pdf.make_indirect(Dictionary(Kids=Array(leaves))))
    pdf.save(path)


def resolve(pdf, dest):
    """The page object a destination leads to in pdf, by name or explicit."""
    if isinstance(dest, pikepdf.Dictionary):
        dest = dest.D
    if isinstance(dest, (pikepdf.String, pikepdf.Name)):
        if isinstance(dest, pikepdf.Name):
            dest = pdf.Root.Dests[dest]
        else:
            dest = pikepdf.NameTree(pdf.Root.Names.Dests)[str(dest)]
        if isinstance(dest, pikepdf.Dictionary):
            dest = dest.D
    return dest[0].objgen


class NamedLinkTest(SplitTestCase):
    def test_links_by_name_that_stay_in_the_file(self):
        # One rule for single pages and parts: a link whose destination is
        # in the file stays (by name too, with the names it needs), one
        # whose destination is not goes.
        src = self.path("latex.pdf")
        latex_style(src)
        for args, files in (([], [[1], [2], [3], [4]]), (["--parts", "1-2,3-4"], [[1, 2], [3, 4]])):
            with self.subTest(args=args):
                self.split(*args, src)
                for pages in files:
                    name = (pdftest.output_name(src, pages[0], 4) if len(pages) == 1
                            else self.path("latex-%d-%d.pdf" % (pages[0], pages[-1])))
                    with pikepdf.open(name) as part:
                        objgens = [p.objgen for p in part.pages]
                        for k, page in enumerate(part.pages):
                            kept = [a.get("/A", a.get("/Dest")) for a in page.get("/Annots", [])]
                            # Its three own links, and the one to the next page
                            # where that page is in the file.
                            self.assertEqual(len(kept), 3 + (k + 1 < len(pages)), name)
                            for dest in kept:
                                self.assertIn(resolve(part, dest), objgens[k:k + 2], name)
                    for page in pages:
                        self.assertEqual(pdftest.render(name, pages.index(page) + 1, annotations=True),
                                         pdftest.render(src, page, annotations=True), name)


class LayerTest(SplitTestCase):
    def test_hidden_layers_stay_hidden(self):
        pdf = pikepdf.new()
        hidden = pdf.make_indirect(Dictionary(Type=Name.OCG, Name=String("Hidden")))
        shown = pdf.make_indirect(Dictionary(Type=Name.OCG, Name=String("Shown")))
        unused = pdf.make_indirect(Dictionary(Type=Name.OCG, Name=String("Unused")))
        resources = Dictionary(Properties=Dictionary(H=hidden, S=shown))
        pages = []
        for i in range(3):
            ops = ("/OC /H BDC 1 0 0 rg 20 20 100 100 re f EMC /OC /S BDC 0 0 1 rg %d 150 100 100 re f EMC"
                   % (20 + 40 * i))
            pages.append(pdf.make_indirect(Dictionary(Type=Name.Page, MediaBox=[0, 0, 300, 300],
                                                      Contents=pdf.make_stream(ops.encode()),
                                                      Resources=resources)))
        root = pdf.make_indirect(Dictionary(Type=Name.Pages, Kids=Array(pages), Count=3))
        for p in pages:
            p.Parent = root
        pdf.Root.Pages = root
        pdf.Root.OCProperties = Dictionary(
            OCGs=Array([hidden, shown, unused]),
            D=Dictionary(Name=String("Default"), OFF=Array([hidden, unused]), Order=Array([hidden, shown, unused])))
        # Plain, and encrypted: the catalog's strings are encrypted with it.
        for name, encryption in (("layers", None), ("locked", pikepdf.Encryption(owner="o", user="", R=4))):
            src = self.path(name + ".pdf")
            pdf.save(src, encryption=encryption or False)
            self.split(src)
            self.assertPageFilesMatch(src)
            for i in range(3):
                path = self.path("%s-%d.pdf" % (name, i + 1))
                with pikepdf.open(path) as part:
                    self.assertEqual(part.is_encrypted, encryption is not None)
                    self.assertEqual(str(part.Root.OCProperties.D.Name), "Default")
                    off = part.Root.OCProperties.D.OFF
                    self.assertEqual([str(g.Name) for g in off], ["Hidden", "Unused"])
                    self.assertEqual(off[0].objgen, part.pages[0].Resources.Properties.H.objgen)
                with open(path, "rb") as f:
                    self.assertEqual(b"(Default)" in f.read(), encryption is None)


if __name__ == "__main__":
    unittest.main()
