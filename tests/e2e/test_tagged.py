"""Tagged page files: each page file and each part keeps the structure
elements whose content lies on its pages, with their ancestors, in order.

The input, made with pikepdf, has three pages: a title, a paragraph in
another language and a link (marked content and a reference to its
annotation) on page 1; a paragraph, a form field and the first two rows of
a table on page 2; the last two rows, a note annotation tagged by its
reference alone and a paragraph on page 3. The table's rows run over pages 2
and 3. The tree has an /IDTree, a /RoleMap and a /ClassMap.

Each file is judged whole: qpdf --check, rendering, poppler's struct text
equal to the input's cut to the texts of the file's pages, and with pikepdf
every element's page, parent and kids, the parent tree against the marked
content of the page, and the IDTree. The same on RC4 and AES-256 inputs, for
parts, with annotations dropped, without document data, and on damaged trees.
"""

import os
import unittest

import pikepdf
from pikepdf import Array, Dictionary, Name, String

import pdftest
from pdftest import SplitTestCase, qpdf_check, render, run

PASSWORD = "pw"
# The marked content of each page: (tag, text), MCIDs in order.
PAGE_TEXTS = [[("Title", "Report"), ("P", "Intro text"), ("Link", "see the site")],
              [("P", "Table follows"), ("TD", "r1c1"), ("TD", "r1c2"), ("TD", "r2c1"), ("TD", "r2c2"),
               ("Form", "name:")],
              [("TD", "r3c1"), ("TD", "r3c2"), ("TD", "r4c1"), ("TD", "r4c2"), ("P", "The end")]]
# The IDTree keys of the elements with content on each page.
PAGE_IDS = [{"h-1"}, {"t-1", "tr-1", "tr-2"}, {"t-1", "tr-3", "tr-4"}]


def tagged_pdf(path, damage=None):
    """The three-page tagged file; damage breaks one part of its tree."""
    pdf = pikepdf.new()
    font = pdf.make_indirect(Dictionary(Type=Name.Font, Subtype=Name.Type1, BaseFont=Name.Helvetica))
    pages = []
    for i, items in enumerate(PAGE_TEXTS):
        ops = b"BT /F1 14 Tf 20 360 Td "
        for mcid, (tag, text) in enumerate(items):
            ops += b"/%s <</MCID %d>> BDC (%s) Tj EMC 0 -24 Td " % (tag.encode(), mcid, text.encode())
        pages.append(pdf.make_indirect(Dictionary(Type=Name.Page, MediaBox=[0, 0, 300, 400], StructParents=i,
                                                  Contents=pdf.make_stream(ops + b"ET"), Annots=Array(),
                                                  Resources=Dictionary(Font=Dictionary(F1=font)))))
    tree = pdf.make_indirect(Dictionary(Type=Name.Pages, Kids=Array(pages), Count=3))
    for p in pages:
        p.Parent = tree
    pdf.Root.Pages = tree

    root = pdf.make_indirect(Dictionary(Type=Name.StructTreeRoot))
    document = pdf.make_indirect(Dictionary(Type=Name.StructElem, S=Name.Document, P=root, K=Array()))
    root.K = Array([document])

    def element(tag, parent, page=None, kids=None, **extra):
        e = pdf.make_indirect(Dictionary(Type=Name.StructElem, S=Name("/" + tag), P=parent,
                                         K=kids if kids is not None else Array(), **extra))
        if page is not None:
            e.Pg = pages[page]
        parent.K.append(e)
        return e

    def annotation(page, key, **entries):
        a = pdf.make_indirect(Dictionary(Type=Name.Annot, StructParent=key, P=pages[page], F=4, **entries))
        pages[page].Annots.append(a)
        return a

    link = annotation(0, 3, Subtype=Name.Link, Rect=[20, 300, 200, 320], Border=[0, 0, 0],
                      A=Dictionary(S=Name.URI, URI=String("https://example.org/")))
    widget = annotation(1, 4, Subtype=Name.Widget, FT=Name.Tx, T=String("name"), V=String("Ada"),
                        Rect=[120, 230, 250, 250], DA=String("/F1 12 Tf 0 g"))
    note = annotation(2, 5, Subtype=Name.Text, Rect=[250, 20, 270, 40], Contents=String("a note"))
    pdf.Root.AcroForm = Dictionary(Fields=Array([widget]), DR=Dictionary(Font=Dictionary(F1=font)))

    title = element("Title", document, 0, 0, ID=String("h-1"))
    intro = element("P", document, 0, 1, Lang=String("de-DE"))
    link_element = element("Link", document, 0, Array([2, Dictionary(Type=Name.OBJR, Obj=link, Pg=pages[0])]))
    follows = element("P", document, 1, 0)
    table = element("Table", document, C=Name.grid, ID=String("t-1"))
    cells = {1: [], 2: []}
    for r in range(4):
        page = 1 if r < 2 else 2
        row = element("TR", table, ID=String("tr-%d" % (r + 1)))
        for c in range(2):
            mcid = 1 + r * 2 + c if page == 1 else (r - 2) * 2 + c
            # The first cell of a page as a marked-content reference.
            kid = Dictionary(Type=Name.MCR, MCID=mcid, Pg=pages[page]) if c == 0 else mcid
            cells[page].append(element("TD", row, page, kid))
    form = element("Form", document, 1, Array([5, Dictionary(Type=Name.OBJR, Obj=widget)]))
    annot_element = element("Annot", document, 2, Array([Dictionary(Type=Name.OBJR, Obj=note)]))
    end = element("P", document, 2, 4)
    parents = [0, Array([title, intro, link_element]), 1, Array([follows] + cells[1] + [form]),
               2, Array(cells[2] + [end]), 3, link_element, 4, form, 5, annot_element]
    root.ParentTree = Dictionary(Nums=Array(parents))
    root.ParentTreeNextKey = 6
    ids = [(String("h-1"), title), (String("t-1"), table)] + [(String("tr-%d" % (r + 1)), table.K[r])
                                                               for r in range(4)]
    root.IDTree = Dictionary(Names=Array([x for pair in ids for x in pair]))
    root.RoleMap = Dictionary(Title=Name.H1)
    root.ClassMap = Dictionary(grid=pdf.make_indirect(Dictionary(O=Name.Table, Summary=String("a grid"))))
    pdf.Root.StructTreeRoot = root
    pdf.Root.MarkInfo = Dictionary(Marked=True)
    pdf.Root.Lang = String("en-GB")

    if damage == "root not a dictionary":
        pdf.Root.StructTreeRoot = pdf.make_indirect(Array([document]))
    elif damage == "parent tree broken":
        root.ParentTree = Dictionary(Kids=Array([pdf.make_indirect(Dictionary(Nums=String("x"))), 7]),
                                     Nums=Array([0, String("x"), 1]))
    elif damage == "kids loop":
        # A row lists the table and the document above it; the table lists itself.
        table.K[0].K.append(table)
        table.K[0].K.append(document)
        table.K.append(table)
    elif damage == "parents disagree":
        title.P = table
        table.K[2].P = document
        cells[2][0].P = cells[1][0]
    elif damage == "attribute without end":
        title.A = pdf.make_indirect(Dictionary(O=Name.Layout, Placement=Name.Block))
    pdf.save(path)
    if damage == "attribute without end":
        # An update that puts the title's attribute object last, without
        # "endobj": reading it runs to the end of the file.
        with pikepdf.open(path) as saved:
            number = saved.Root.StructTreeRoot.K[0].K[0].A.objgen[0]
            size, catalog = int(saved.trailer.Size), saved.Root.objgen[0]
        data = open(path, "rb").read()
        prev = int(data[data.rindex(b"startxref") + 9:].split()[0])
        update = b"%d 0 obj\n<< /O /Layout /Placement /Block >>\n" % number
        xref = len(data) + len(update)
        update += (b"xref\n%d 1\n%010d 00000 n \ntrailer\n<< /Size %d /Root %d 0 R /Prev %d >>\nstartxref\n%d\n%%%%EOF\n"
                   % (number, len(data), size, catalog, prev, xref))
        open(path, "wb").write(data + update)


def struct_text(path, password=None):
    """pdfinfo -struct-text as a tree of (line, kids), with the object
    numbers of object references left out (they differ from file to file)
    and the nodes that then hold nothing."""
    r = run(["pdfinfo"] + (["-upw", password] if password else []) + ["-struct-text", path])
    assert r.returncode == 0, r.stderr
    top = []
    stack = [(-1, top)]
    for line in r.stdout.splitlines():
        if not line.strip() or line.strip().startswith("Object "):
            continue
        depth = len(line) - len(line.lstrip())
        while stack[-1][0] >= depth:
            stack.pop()
        kids = []
        stack[-1][1].append((line.strip(), kids))
        stack.append((depth, kids))

    def drop_empty(tree):
        kept = []
        for line, kids in tree:
            kids = drop_empty(kids)
            if line.startswith(('"', "/")) or any(not k[0].startswith("/") for k in kids):
                kept.append((line, kids))
        return kept
    return drop_empty(top)


def cut(tree, texts):
    """The tree with only the text leaves in texts, and the nodes above them
    (a node's attribute lines stay with it)."""
    kept = []
    for line, kids in tree:
        if line.startswith('"'):
            if line.strip('"') in texts:
                kept.append((line, []))
        elif line.startswith("/"):
            kept.append((line, kids))
        else:
            sub = cut(kids, texts)
            if any(not k[0].startswith("/") for k in sub):
                kept.append((line, sub))
    return kept


def leaves(tree):
    """The texts of a struct text tree, in order."""
    return [t for line, kids in tree for t in ([line.strip('"')] if line.startswith('"') else leaves(kids))]


class Tagged(SplitTestCase):
    def judge(self, source, name, page_numbers, password=None, annotations=True):
        """One file that holds the input's pages page_numbers (1-based)."""
        ok, report = qpdf_check(name, password)
        self.assertTrue(ok, report)
        texts = {text for p in page_numbers for _, text in PAGE_TEXTS[p - 1]}
        self.assertEqual(struct_text(name, password), cut(struct_text(source, password), texts), name)
        with pikepdf.open(name, password=password or "") as pdf:
            root = pdf.Root.StructTreeRoot
            self.assertEqual(bool(pdf.Root.MarkInfo.Marked), True)
            self.assertEqual(str(pdf.Root.Lang), "en-GB")
            self.assertEqual(str(root.RoleMap.Title), "/H1")
            self.assertEqual(str(root.ClassMap.grid.Summary), "a grid")
            file_pages = {p.objgen for p in pdf.pages}
            # Every element: its /P is the node whose /K lists it, its /Pg
            # and those of its content references are pages of the file, its
            # object references lead to the file's annotations.
            annots = {a.objgen for p in pdf.pages for a in p.get("/Annots", [])}
            elements, objects, stack = {}, set(), [(k, root) for k in root.K]
            while stack:
                e, parent = stack.pop()
                self.assertNotIn(e.objgen, elements, "an element listed twice")
                elements[e.objgen] = e
                self.assertEqual(e.P.objgen, parent.objgen)
                if "/Pg" in e:
                    self.assertIn(e.Pg.objgen, file_pages)
                kids = e.K if isinstance(e.K, Array) else [e.K]
                self.assertTrue(len(kids) > 0, "an empty element")
                for k in kids:
                    if isinstance(k, Dictionary) and k.get("/Type") == Name.OBJR:
                        self.assertIn(k.Obj.objgen, annots)
                        objects.add(k.Obj.objgen)
                    elif isinstance(k, Dictionary) and k.get("/Type") == Name.MCR:
                        self.assertIn(k.Pg.objgen, file_pages)
                    elif isinstance(k, Dictionary):
                        stack.append((k, e))
            # The parent tree: each MCID of a page names the element holding
            # it, each tagged annotation the element that refers to it.
            nums = list(root.ParentTree.Nums)
            tree = dict(zip([int(k) for k in nums[0::2]], nums[1::2]))
            for p in pdf.pages:
                for mcid, e in enumerate(tree[int(p.StructParents)]):
                    if e is None:
                        continue
                    kids = e.K if isinstance(e.K, Array) else [e.K]
                    self.assertIn(mcid, [int(k) if not isinstance(k, Dictionary) else int(k.get("/MCID", -1))
                                         for k in kids])
                for a in p.get("/Annots", []):
                    if "/StructParent" in a:
                        self.assertIn(a.objgen, objects)
                        e = tree[int(a.StructParent)]
                        self.assertTrue(any(isinstance(k, Dictionary) and k.get("/Obj") == a for k in e.K))
            self.assertEqual(len(objects), sum(1 for n in tree.values() if isinstance(n, Dictionary)))
            self.assertEqual(len(objects) > 0, annotations)
            self.assertGreaterEqual(int(root.ParentTreeNextKey), 6)
            names = list(root.IDTree.Names)
            self.assertEqual({str(k) for k in names[0::2]}, set().union(*(PAGE_IDS[p - 1] for p in page_numbers)))
            self.assertTrue(all(v.objgen in elements for v in names[1::2]))

    def test_page_files_plain_and_encrypted(self):
        plain = self.path("tagged.pdf")
        tagged_pdf(plain)
        inputs = [(plain, None)]
        for method in (["40"], ["256"]):
            encrypted = self.path("tagged-%s.pdf" % method[0])
            r = run(["qpdf", "--allow-weak-crypto", "--encrypt", PASSWORD, PASSWORD + "o", *method, "--", plain,
                     encrypted])
            self.assertIn(r.returncode, (0, 3), r.stderr)
            inputs.append((encrypted, PASSWORD))
        for source, password in inputs:
            with self.subTest(source):
                self.split("--yes", *(["--password=" + password] if password else []), source)
                self.assertPageFilesMatch(source, password=password)
                for k in range(3):
                    self.judge(source, pdftest.output_name(source, k + 1, 3), [k + 1], password)

    def test_parts(self):
        source = self.path("tagged.pdf")
        tagged_pdf(source)
        for options, parts in ((["--every", "2"], [(1, 2), (3, 3)]), (["--parts", "1,2-3"], [(1, 1), (2, 3)])):
            with self.subTest(options):
                for f in self.pageFiles():
                    if f != "tagged.pdf":
                        os.remove(self.path(f))
                self.split("--yes", *options, source)
                for first, last in parts:
                    name = (pdftest.output_name(source, first, 3) if first == last
                            else self.path("tagged-%d-%d.pdf" % (first, last)))
                    self.judge(source, name, list(range(first, last + 1)))
                    for k in range(first, last + 1):
                        self.assertEqual(render(name, k - first + 1), render(source, k))
                    with pikepdf.open(name) as pdf:
                        form = [str(f.T) for f in pdf.Root.AcroForm.Fields] if "/AcroForm" in pdf.Root else []
                        self.assertEqual(form, ["name"] if first <= 2 <= last else [])

    def test_annotations_and_document_data_dropped(self):
        source = self.path("tagged.pdf")
        tagged_pdf(source)
        self.split("--yes", "--annotations", "drop", source)
        self.assertPageFilesMatch(source)
        for k in range(3):
            # The link keeps its text; the note's element, tagged only by its
            # annotation, goes.
            self.judge(source, pdftest.output_name(source, k + 1, 3), [k + 1], annotations=False)
        with pikepdf.open(pdftest.output_name(source, 3, 3)) as pdf:
            self.assertNotIn("/Annot", [str(e.S) for e in pdf.Root.StructTreeRoot.K[0].K])
        for k in range(3):
            os.remove(pdftest.output_name(source, k + 1, 3))
        self.split("--yes", "--document-data", "drop", source)
        for k in range(3):
            with pikepdf.open(pdftest.output_name(source, k + 1, 3)) as pdf:
                self.assertNotIn("/StructTreeRoot", pdf.Root)
                self.assertNotIn("/MarkInfo", pdf.Root)

    def test_damaged_trees(self):
        """Each file is written with the sound part of its tree, or none."""
        # Which page files keep a tree.
        expected = {"root not a dictionary": [False] * 3, "parent tree broken": [False] * 3,
                    "kids loop": [True] * 3, "parents disagree": [True] * 3,
                    "attribute without end": [False, True, True]}
        for damage, tagged_pages in expected.items():
            with self.subTest(damage):
                source = self.path(damage.replace(" ", "-") + ".pdf")
                tagged_pdf(source, damage)
                # A page whose tree could not be read is written, reported incomplete.
                r = self.split("--yes", source, expect=0 if all(tagged_pages) or not any(tagged_pages) else 6)
                if r.returncode:
                    self.assertIn("1 of 3 pages are incomplete", r.stderr)
                self.assertPageFilesMatch(source)
                for k, tagged in enumerate(tagged_pages):
                    name = pdftest.output_name(source, k + 1, 3)
                    with pikepdf.open(name) as pdf:
                        self.assertEqual("/StructTreeRoot" in pdf.Root, tagged, name)
                        self.assertEqual("/MarkInfo" in pdf.Root, tagged, name)
                    if tagged:
                        # The tree as its kids lists make it: every text of the page once, in order.
                        self.assertEqual(leaves(struct_text(name)), [t for _, t in PAGE_TEXTS[k]], name)

if __name__ == "__main__":
    pdftest.main()
