"""Splitting classic PDFs made by other tools, judged by qpdf and pdftoppm."""

import json
import os
import shutil
import signal
import subprocess
import time
import unittest

import pikepdf

import pdfbytes
import pdftest
from pdftest import SplitTestCase


def content(pdf, text, x=72, y=700):
    return pdf.make_stream(("BT /F1 18 Tf %d %d Td (%s) Tj ET 0 0 1 rg 50 50 40 40 re f" % (x, y, text)).encode())


def font(pdf):
    return pdf.make_indirect(pikepdf.Dictionary(Type=pikepdf.Name.Font, Subtype=pikepdf.Name.Type1,
                                                BaseFont=pikepdf.Name.Helvetica))


def page(pdf, **entries):
    d = pikepdf.Dictionary(Type=pikepdf.Name.Page, **entries)
    return pdf.make_indirect(d)


def build_tree(pdf, kids, **entries):
    node = pdf.make_indirect(pikepdf.Dictionary(Type=pikepdf.Name.Pages, Kids=pikepdf.Array(kids),
                                                Count=len(kids), **entries))
    for kid in kids:
        kid.Parent = node
    return node


def inherited_tree_pdf(path):
    """Pages inherit /Resources, /MediaBox, /CropBox and /Rotate at several
    levels; a later subtree carries none of the first subtree's values."""
    pdf = pikepdf.new()
    f1 = font(pdf)
    resources = pikepdf.Dictionary(Font=pikepdf.Dictionary(F1=f1))
    p1 = page(pdf, Contents=content(pdf, "one"))
    p2 = page(pdf, Contents=content(pdf, "two"), Rotate=0, MediaBox=[0, 0, 300, 400])
    p3 = page(pdf, Contents=content(pdf, "three", 20, 100))
    p4 = page(pdf, Contents=content(pdf, "four", 20, 100), Resources=pikepdf.Dictionary(
        Font=pikepdf.Dictionary(F1=font(pdf))))
    p5 = page(pdf, Contents=content(pdf, "five", 20, 100))
    inner = build_tree(pdf, [p1, p2], Rotate=90, CropBox=[10, 10, 250, 350])
    second = build_tree(pdf, [p3, p4], Resources=pdf.make_indirect(resources), MediaBox=[0, 0, 200, 200])
    middle = build_tree(pdf, [inner], Resources=resources)
    root = build_tree(pdf, [middle, second, p5], MediaBox=[0, 0, 400, 500], Resources=resources)
    root.Count = 5
    middle.Count = 2
    pdf.Root.Pages = root
    pdf.save(path)
    return path


def links_pdf(path):
    """Every page has link annotations to the other pages and article beads."""
    pdf = pikepdf.new()
    f1 = font(pdf)
    pages = [page(pdf, Contents=content(pdf, "page %d" % i), MediaBox=[0, 0, 300, 300],
                  Resources=pikepdf.Dictionary(Font=pikepdf.Dictionary(F1=f1))) for i in range(4)]
    root = build_tree(pdf, pages)
    pdf.Root.Pages = root
    thread = pdf.make_indirect(pikepdf.Dictionary(Type=pikepdf.Name.Thread))
    beads = []
    for i, p in enumerate(pages):
        links = [pdf.make_indirect(pikepdf.Dictionary(Type=pikepdf.Name.Annot, Subtype=pikepdf.Name.Link,
                                                      Rect=[0, 0, 50, 50], Dest=[other, pikepdf.Name.Fit]))
                 for other in pages if other is not p]
        p.Annots = pikepdf.Array(links)
        bead = pdf.make_indirect(pikepdf.Dictionary(Type=pikepdf.Name.Bead, T=thread, P=p, R=[0, 0, 10, 10]))
        beads.append(bead)
        p.B = pikepdf.Array([bead])
    for i, bead in enumerate(beads):
        bead.N = beads[(i + 1) % len(beads)]
        bead.V = beads[i - 1]
    thread.F = beads[0]
    pdf.Root.Threads = pikepdf.Array([thread])
    pdf.save(path)
    return path


def append_update(path, replacements, root, size):
    """Appends an incremental update that replaces objects ({number: body})."""
    with open(path, "rb") as f:
        data = f.read()
    prev = int(data[data.rindex(b"startxref") + 9:].split()[0])
    out = bytearray(data)
    offsets = {}
    for number, body in sorted(replacements.items()):
        offsets[number] = len(out)
        out += b"%d 0 obj\n%s\nendobj\n" % (number, body)
    xref = len(out)
    out += b"xref\n"
    for number in sorted(offsets):
        out += b"%d 1\n%010d 00000 n \n" % (number, offsets[number])
    out += b"trailer\n<< /Size %d /Root %d %d R /Prev %d >>\nstartxref\n%d\n%%%%EOF\n" % (
        size, root[0], root[1], prev, xref)
    with open(path, "wb") as f:
        f.write(out)


def shared_images_pdf(path, count=10, side=48):
    """count pages that share one resource dictionary of count images (noise,
    so that each costs its size), two fonts, graphics states and a form; page
    k draws image k, the last one through the form, page 4 through a colour
    space and a graphics state of the dictionary too, page 6 with content in
    a filter whose names are not read. Then a page whose own dictionary holds
    two images of which it draws one. Returns the size of one image's data."""
    import random
    rng = random.Random(7)
    pdf = pikepdf.new()
    N = pikepdf.Name
    images = {}
    for k in range(count):
        data = bytes(rng.randrange(256) for _ in range(side * side * 3))
        images["/Im%d" % k] = pdf.make_stream(data, Type=N.XObject, Subtype=N.Image, Width=side, Height=side,
                                              ColorSpace=N.DeviceRGB, BitsPerComponent=8)
    shared = pdf.make_indirect(pikepdf.Dictionary(
        Font=pikepdf.Dictionary(F1=font(pdf), F2=font(pdf)),
        ExtGState=pikepdf.Dictionary(GS0=pikepdf.Dictionary(CA=0.5, ca=0.5), GS1=pikepdf.Dictionary(LW=3)),
        ColorSpace=pikepdf.Dictionary(CS0=N.DeviceRGB, DefaultRGB=N.DeviceRGB),
        XObject=pikepdf.Dictionary(images)))
    form = pdf.make_stream(b"q 100 0 0 100 0 0 cm /Im%d Do Q" % (count - 1), Type=N.XObject, Subtype=N.Form,
                           BBox=[0, 0, 100, 100], Resources=shared)
    shared.XObject.Fm0 = form
    pages = []
    for k in range(count):
        draw = b"q 200 0 0 200 50 300 cm /Im%d Do Q BT /F1 18 Tf 72 700 Td (image %d) Tj ET" % (k, k)
        if k == count - 1:
            draw = b"q 2 0 0 2 50 300 cm /Fm0 Do Q BT /F1 18 Tf 72 700 Td (form) Tj ET"
        if k == 3:
            draw += b" /GS0 gs /CS0 cs 1 0 0 sc 50 50 100 100 re f"
        stream = pdf.make_stream(draw)
        if k == 5:
            stream = pdf.make_stream(draw.hex().encode() + b">", Filter=N.ASCIIHexDecode)
        pages.append(page(pdf, MediaBox=[0, 0, 612, 792], Contents=stream, Resources=shared))
    own = pikepdf.Dictionary(XObject=pikepdf.Dictionary({"/Im0": images["/Im0"], "/Im1": images["/Im1"]}))
    pages.append(page(pdf, MediaBox=[0, 0, 612, 792], Contents=pdf.make_stream(b"q 200 0 0 200 50 300 cm /Im1 Do Q"),
                      Resources=own))
    for p in pages:
        pdf.pages.append(pikepdf.Page(p))
    pdf.save(path, compress_streams=False)
    return side * side * 3


class ClassicSplitTest(SplitTestCase):
    def test_shared_resources_hold_only_what_the_page_uses(self):
        src = self.path("shared.pdf")
        image = shared_images_pdf(src)
        r = self.split(src)
        self.assertEqual(r.stderr, "brisel: %s: 1 of 11 pages keep every shared resource (their content could "
                                   "not be read): 6\n" % src)
        self.assertNotIn("Done", r.stdout)
        self.assertPageFilesMatch(src)
        for k in range(11):
            name = pdftest.output_name(src, k + 1, 11)
            with pikepdf.open(name) as pdf:
                resources = pdf.pages[0].obj.Resources
                names = sorted(resources.XObject.keys())
                if k == 5:
                    self.assertEqual(len(names), 11, name)
                    continue
                # The form draws with the page's dictionary.
                expected = {9: ["/Fm0", "/Im9"], 10: ["/Im0", "/Im1"]}.get(k, ["/Im%d" % k])
                self.assertEqual(names, expected, name)
                if k < 10:
                    self.assertEqual(sorted(resources.Font.keys()), ["/F1"], name)
                    self.assertEqual(sorted(resources.ExtGState.keys()), ["/GS0"] if k == 3 else [], name)
                    self.assertEqual(sorted(resources.ColorSpace.keys()),
                                     ["/CS0", "/DefaultRGB"] if k == 3 else ["/DefaultRGB"], name)
            limit = (2 if k == 10 else 1) * image + 4000
            self.assertLess(os.path.getsize(name), limit, name)
        # Kept whole when asked for.
        self.split("--resources", "keep", src)
        for k in range(10):
            self.assertGreater(os.path.getsize(pdftest.output_name(src, k + 1, 11, "0")), 10 * image)

        # Pages with dictionaries of their own, each drawing a form; the
        # forms share the images: forms 0 and 1 one resource dictionary,
        # form 2 its category dictionary of images. Each page file holds
        # its own image alone.
        import random
        rng = random.Random(8)
        pdf = pikepdf.new()
        N = pikepdf.Name
        side = 48
        images = pdf.make_indirect(pikepdf.Dictionary({"/Im%d" % k: pdf.make_stream(
            bytes(rng.randrange(256) for _ in range(side * side * 3)), Type=N.XObject, Subtype=N.Image,
            Width=side, Height=side, ColorSpace=N.DeviceRGB, BitsPerComponent=8) for k in range(3)}))
        held = pdf.make_indirect(pikepdf.Dictionary(XObject=images))
        for k in range(3):
            form = pdf.make_stream(b"q 100 0 0 100 0 0 cm /Im%d Do Q" % k, Type=N.XObject, Subtype=N.Form,
                                   BBox=[0, 0, 100, 100], Resources=held if k < 2 else pikepdf.Dictionary(XObject=images))
            draw = pdf.make_stream(b"q 2 0 0 2 50 300 cm /Fm Do Q")
            pdf.pages.append(pikepdf.Page(page(pdf, MediaBox=[0, 0, 612, 792], Contents=draw,
                                               Resources=pikepdf.Dictionary(XObject=pikepdf.Dictionary(Fm=form)))))
        forms = self.path("forms.pdf")
        pdf.save(forms, compress_streams=False)
        self.split(forms)
        self.assertPageFilesMatch(forms)
        for k in range(3):
            name = pdftest.output_name(forms, k + 1, 3)
            with pikepdf.open(name) as out:
                drawn = out.pages[0].obj.Resources.XObject.Fm.Resources.XObject
                self.assertEqual(sorted(drawn.keys()), ["/Im%d" % k], name)
            self.assertLess(os.path.getsize(name), image + 4000, name)

    def test_plain_streams_are_compressed_and_metadata_stays_plain(self):
        # Content, an image and XMP left without a filter, in a plain file,
        # an RC4 and an AES-256 one: the page file holds the content and
        # image compressed and the XMP plain; --streams keep copies them all.
        N = pikepdf.Name
        text = b"".join(b"BT /F1 12 Tf 40 %d Td (line %d) Tj ET\n" % (780 - 12 * i, i) for i in range(60))
        grey = bytes(range(256)) * 64
        xmp = b'<?xpacket begin="" id="W5M0MpCehiHzreSzNTczkc9d"?><x:xmpmeta xmlns:x="adobe:ns:meta/"/>' * 4
        for name, encryption in (("plain", None), ("rc4", pikepdf.Encryption(owner="o", user="", R=3, aes=False, metadata=False)),
                                 ("aes", pikepdf.Encryption(owner="o", user="", R=6))):
            pdf = pikepdf.new()
            image = pdf.make_stream(grey, Type=N.XObject, Subtype=N.Image, Width=128, Height=128,
                                    ColorSpace=N.DeviceGray, BitsPerComponent=8)
            for k in range(2):
                pdf.pages.append(pikepdf.Page(page(pdf, MediaBox=[0, 0, 612, 792], Contents=pdf.make_stream(text),
                                                   Resources=pikepdf.Dictionary(Font=pikepdf.Dictionary(F1=font(pdf)),
                                                                                XObject=pikepdf.Dictionary(Im0=image)))))
            pdf.Root.Metadata = pdf.make_stream(xmp, Type=N.Metadata, Subtype=N.XML)
            src = self.path("%s.pdf" % name)
            pdf.save(src, compress_streams=False, fix_metadata_version=False,
                     **({"encryption": encryption} if encryption else {}))
            for streams in ("compress", "keep"):
                r = self.split("--streams", streams, src)
                self.assertEqual(r.stdout, "Done\n")
                self.assertPageFilesMatch(src)
                out = pdftest.output_name(src, 1, 2)
                with pikepdf.open(out) as pdf:
                    contents, drawn = pdf.pages[0].obj.Contents, pdf.pages[0].obj.Resources.XObject.Im0
                    filters = [s.get("/Filter") for s in (contents, drawn)]
                    self.assertEqual(filters, [N.FlateDecode] * 2 if streams == "compress" else [None] * 2, out)
                    self.assertEqual(contents.read_bytes(), text)
                    self.assertEqual(drawn.read_bytes(), grey)
                    self.assertNotIn("/Filter", pdf.Root.Metadata)
                    self.assertEqual(pdf.Root.Metadata.read_bytes(), xmp)
                if streams == "compress":
                    self.assertLess(os.path.getsize(out), os.path.getsize(src) / 3, out)
                    with open(out, "rb") as f, open(src, "rb") as g:
                        marker = b"W5M0MpCehiHzreSzNTczkc9d"
                        self.assertEqual(marker in f.read(), marker in g.read(), out)
                self.assertEqual(subprocess.run(["qpdf", "--check", out], capture_output=True).returncode, 0, out)
                for k in (1, 2):
                    os.remove(pdftest.output_name(src, k, 2))

    def test_ghostscript_document_with_shared_fonts_and_images(self):
        src = pdftest.ghostscript_pdf(self.path("doc.pdf"), pdftest.text_pages_ps(12, image=True))
        r = self.split(src)
        self.assertEqual(r.stdout, "Done\n")
        self.assertEqual(len(self.pageFiles()), 13)
        self.assertPageFilesMatch(src)

    def test_inherited_attributes_at_several_levels(self):
        src = inherited_tree_pdf(self.path("tree.pdf"))
        self.split(src)
        self.assertPageFilesMatch(src)
        # Each page file holds its boxes and rotation itself.
        with pikepdf.open(self.path("tree-1.pdf")) as first:
            self.assertEqual(int(first.pages[0].obj.Rotate), 90)
            self.assertEqual([int(v) for v in first.pages[0].obj.CropBox], [10, 10, 250, 350])
        with pikepdf.open(self.path("tree-5.pdf")) as fifth:
            self.assertNotIn("/Rotate", fifth.pages[0].obj)

    def test_dictionaries_that_end_in_a_hexadecimal_string(self):
        # "<0A>>>": the string's ">" is no part of the ">>" that ends the
        # dictionary. Inherited resources, a page dictionary and an
        # annotation end so, with and without white space before the string;
        # a reference glued to ">>" and one of another generation than the
        # table's stand beside them. The third page's dictionary goes on after
        # a stray ">" behind such a string, as readers take it: its own
        # resources (an empty string and one with white space before its ">"
        # end them) are the only ones its file has.
        text = b"BT /F1 24 Tf 20 100 Td (Hello) Tj ET"
        objects = {
            1: b"<< /Type /Catalog /Pages 2 0 R >>",
            2: b"<< /Type /Pages /Kids [3 0 R 6 0 R 8 0 R] /Count 3 /MediaBox [0 0 200 200] "
               b"/Resources << /Font <</F1 4 0 R>> /X<0A>>> >>",
            3: b"<< /Type /Page /Parent 2 0 R /Contents 5 0 R /Annots [7 0 R] /Thumb 4 1 R /ID <0B>>>",
            4: b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
            5: b"<< /Length %d >>\nstream\n%s\nendstream" % (len(text), text),
            6: b"<< /Type /Page /Parent 2 0 R /Contents 5 0 R /Rotate 90 /PieceInfo <</A<0C0D>>>>>",
            7: b"<< /Type /Annot /Subtype /Square /Rect [10 10 90 90] /C [1 0 0] /NM <0E>>>",
            8: b"<< /Type /Page /Parent 2 0 R /PieceInfo <</A<0C0D>>>> /Resources <</Font <</F1 9 0 R>> "
               b"/Properties <</E<>>> /Z <0F >>> /Contents 5 0 R >>",
            9: b"<< /Type /Font /Subtype /Type1 /BaseFont /Courier >>",
        }
        data, _, _ = pdfbytes.Builder(objects, 1).classic()
        src = self.path("hex.pdf")
        with open(src, "wb") as f:
            f.write(data)
        self.split(src)
        self.assertPageFilesMatch(src, last=2)
        # The stray ">" stays, and readers warn of it as they do in the input.
        third = self.path("hex-3.pdf")
        self.assertEqual(pdftest.render(third), pdftest.render(src, 3))
        self.assertEqual(pdftest.qpdf_check(third)[1].count("WARNING"), pdftest.qpdf_check(src)[1].count("WARNING"))
        with pikepdf.open(third) as pdf:
            self.assertEqual(pdf.pages[0].obj.Resources.Font.F1.BaseFont, pikepdf.Name.Courier)
        with pikepdf.open(self.path("hex-1.pdf")) as first:
            page = first.pages[0].obj
            self.assertEqual(bytes(page.ID), b"\x0b")
            self.assertEqual(bytes(page.Resources.X), b"\x0a")
            self.assertEqual(bytes(page.Annots[0].NM), b"\x0e")
            # A reference with another generation than the table's is null.
            self.assertNotIn("/Thumb", page)
        with pikepdf.open(self.path("hex-2.pdf")) as second:
            self.assertEqual(int(second.pages[0].obj.Rotate), 90)
            # A reference right before ">>" takes the font's new number.
            self.assertEqual(second.pages[0].obj.Resources.Font.F1.BaseFont, pikepdf.Name.Helvetica)

    def test_indirect_lengths_and_qdf_layout(self):
        gs = pdftest.ghostscript_pdf(self.path("gs.pdf"), pdftest.text_pages_ps(4))
        src = self.path("qdf.pdf")
        subprocess.run(["qpdf", "--qdf", gs, src], check=True)
        self.split(src)
        self.assertPageFilesMatch(src)

    def test_links_and_beads_do_not_pull_in_other_pages(self):
        src = links_pdf(self.path("links.pdf"))
        self.split(src)
        self.assertPageFilesMatch(src)
        whole = os.path.getsize(src)
        for name in self.pageFiles():
            if name == "links.pdf":
                continue
            with pikepdf.open(self.path(name)) as part:
                pages = [o for o in part.objects if isinstance(o, pikepdf.Dictionary) and o.get("/Type") == "/Page"]
                self.assertEqual(len(pages), 1, name)
                self.assertNotIn("/Annots", part.pages[0].obj)
            self.assertLess(os.path.getsize(self.path(name)), whole / 2)

    def test_incremental_update_replacing_a_page(self):
        src = pdftest.ghostscript_pdf(self.path("upd.pdf"), pdftest.text_pages_ps(3))
        with pikepdf.open(src) as pdf:
            number = pdf.pages[1].obj.objgen[0]
            parent = pdf.pages[1].obj.Parent.objgen
            root = pdf.trailer.Root.objgen
            size = int(pdf.trailer.Size)
        text = b"BT /F9 30 Tf 100 100 Td (replaced) Tj ET"
        append_update(src, {
            number: b"<< /Type /Page /Parent %d %d R /MediaBox [0 0 612 792] /Contents %d 0 R"
                    b" /Resources << /Font << /F9 %d 0 R >> >> >>" % (parent[0], parent[1], size, size + 1),
            size: b"<< /Length %d >>\nstream\n%s\nendstream" % (len(text), text),
            size + 1: b"<< /Type /Font /Subtype /Type1 /BaseFont /Courier >>"}, root, size + 2)
        ok, report = pdftest.qpdf_check(src)
        self.assertTrue(ok, report)
        self.split(src)
        self.assertPageFilesMatch(src)
        with open(self.path("upd-2.pdf"), "rb") as f:
            self.assertIn(b"(replaced)", f.read())

    def test_one_page_document(self):
        # The command line writes its one page, as other split tools do, so
        # that a second run over a folder of page files goes through.
        src = pdftest.ghostscript_pdf(self.path("one.pdf"), pdftest.text_pages_ps(1))
        r = self.split(src)
        self.assertEqual((r.stdout, r.stderr), ("Done\n", ""))
        self.assertEqual(self.pageFiles(), ["one-1.pdf", "one.pdf"])
        self.assertPageFilesMatch(src)


class NamingTest(SplitTestCase):
    def test_zeros_follow_the_page_count(self):
        for pages, names in ((9, ["n-1.pdf", "n-9.pdf"]), (10, ["n-01.pdf", "n-10.pdf"])):
            folder = self.path(str(pages))
            os.makedirs(folder)
            src = pdftest.ghostscript_pdf(os.path.join(folder, "n.pdf"), pdftest.text_pages_ps(pages))
            self.split(src)
            files = self.pageFiles(folder)
            self.assertEqual(len(files), pages + 1)
            for name in names:
                self.assertIn(name, files)

    def test_repeated_splits_take_the_next_discriminator(self):
        src = pdftest.ghostscript_pdf(self.path("r.pdf"), pdftest.text_pages_ps(12))
        for _ in range(3):
            self.split(src)
        files = self.pageFiles()
        for name in ("r-01.pdf", "r-12.pdf", "r-001.pdf", "r-012.pdf", "r-101.pdf", "r-112.pdf"):
            self.assertIn(name, files)
        self.assertEqual(len(files), 37)
        self.assertPageFilesMatch(src, discriminator="1")

    def test_only_the_names_of_the_range_count(self):
        src = pdftest.ghostscript_pdf(self.path("g.pdf"), pdftest.text_pages_ps(12))
        open(self.path("g-01.pdf"), "w").close()
        self.split("--pages", "2-5", src)
        self.assertIn("g-02.pdf", self.pageFiles())
        self.assertPageFilesMatch(src, first=2, last=5)

    def test_names_beyond_the_path_limit_are_refused(self):
        # The input's name fits; the page file names in the long folder do not.
        src = pdftest.ghostscript_pdf(self.path("x" * 240 + ".pdf"), pdftest.text_pages_ps(3))
        out = self.dir
        while len(out) < 3900:
            out = os.path.join(out, "d" * 200)
        os.makedirs(out)
        r = self.split("--out", out, src, expect=4)
        self.assertEqual(r.stderr, "brisel: %s: Can't Create New Files (no free names are left for the page files, "
                                   "or they would be too long)\n" % src)
        self.assertEqual(os.listdir(out), [])


class PageRangeTest(SplitTestCase):
    def setUp(self):
        super().setUp()
        self.src = pdftest.ghostscript_pdf(self.path("p.pdf"), pdftest.text_pages_ps(12))

    def test_ranges(self):
        for arg, pages in (("3-5", [3, 4, 5]), ("7", [7]), ("11-", [11, 12]), ("-2", [1, 2]), ("9-", [9, 10, 11, 12])):
            out = self.path("out" + arg)
            os.makedirs(out)
            self.split("--pages", arg, "--out", out, self.src)
            self.assertEqual(self.pageFiles(out), ["p-%02d.pdf" % p for p in pages])
        self.assertPageFilesMatch(self.src, first=3, last=5, out_dir=self.path("out3-5"))

    def test_bad_ranges(self):
        r = self.split("--pages", "5-13", self.src, expect=5)
        self.assertEqual(r.stderr, "brisel: %s: page 13 is past the last page (12)\n" % self.src)
        for bad in ("0", "1 2", "a-3", "-3-"):
            r = self.split("--pages", bad, self.src, expect=2)
            self.assertEqual(r.stderr, 'brisel: --pages: "%s" is not a page or a range of pages; pages or ranges '
                                       'separated by commas, such as 3-5, 3-, -5, 7, 1,3,7-9, r3-z or 1-z:odd (z is '
                                       'the last page, rN the N-th from the end; a range never runs backwards)\n'
                                       'Try \'brisel --help\'.\n' % bad)
        self.assertEqual(self.pageFiles(), ["p.pdf"])

    def test_same_date(self):
        os.utime(self.src, (1000000000, 1100000000))
        self.split("--pages", "2-3", "--same-date", self.src)
        for name in ("p-02.pdf", "p-03.pdf"):
            st = os.stat(self.path(name))
            self.assertEqual(int(st.st_mtime), 1100000000)
            self.assertEqual(int(st.st_atime), 1000000000)
        self.split("--pages", "4", self.src)
        self.assertGreater(os.stat(self.path("p-04.pdf")).st_mtime, 1100000000)


class WarnLimitTest(SplitTestCase):
    def test_many_files_without_a_terminal_go_on_and_say_so(self):
        src = pdftest.ghostscript_pdf(self.path("w.pdf"), pdftest.text_pages_ps(50))
        r = self.split(src)
        self.assertEqual(r.stderr, "brisel: %s: 50 page files, past the warn limit: going on without asking "
                                   "(no terminal)\n" % src)
        self.assertEqual(r.stdout, "Done\n")
        self.assertEqual(len(self.pageFiles()), 51)
        # Later runs only say which names they wrote instead of the taken ones.
        r = self.split("--pages", "1-49", src)
        self.assertNotIn("warn limit", r.stderr)
        self.assertEqual(len(self.pageFiles()), 51 + 49)
        for args in (["--warn-limit", "51"], ["--yes"], ["--no-warn"], ["--quiet"]):
            r = self.split(*args, src)
            self.assertEqual(r.stderr.count("\n"), 0 if "--quiet" in args else 1)
            self.assertNotIn("warn limit", r.stderr)
        self.assertEqual(len(self.pageFiles()), 1 + 49 + 5 * 50)


class FailureTest(SplitTestCase):
    def test_a_failing_page_leaves_no_partial_file(self):
        src = pdftest.ghostscript_pdf(self.path("f.pdf"), pdftest.text_pages_ps(4))
        with pikepdf.open(src) as pdf:
            second, third = pdf.pages[1].obj.objgen[0], pdf.pages[2].obj.objgen[0]
            size = int(pdf.trailer.Size)
        with open(src, "rb") as f:
            data = f.read()

        def page_with(number, entry):
            at = data.index(b"%d 0 obj" % number)
            page = data[data.index(b"<<", at):data.index(b"endobj", at)].rstrip()
            return b"%d 0 obj\n%s %s >>\nendobj\n" % (number, page[:-2], entry)

        # An update makes the third page refer to an object that never ends
        # (no "endobj" follows it before the end of the file), and the second
        # to an object the file does not hold.
        update = page_with(third, b"/PieceInfo %d 0 R" % size)
        second_at = len(data) + len(update)
        update += page_with(second, b"/Thumb %d 0 R" % (size + 1))
        unfinished = len(data) + len(update)
        update += b"%d 0 obj\n<< /Unfinished (object) >>\n" % size
        xref = len(data) + len(update)
        prev = int(data[data.rindex(b"startxref") + 9:].split()[0])
        rows = sorted([(third, len(data)), (second, second_at), (size, unfinished)])
        update += b"xref\n" + b"".join(b"%d 1\n%010d 00000 n \n" % row for row in rows)
        update += (b"trailer\n<< /Size %d /Root 1 0 R /Prev %d >>\nstartxref\n%d\n%%%%EOF\n"
                   % (size + 1, prev, xref))
        with open(src, "wb") as f:
            f.write(data + update)
        # The third page alone is lost: no file of it; the second's file is
        # kept with what it lacks told.
        r = self.split("--json", src, expect=6)
        self.assertEqual(r.stderr, "brisel: %s: 1 of 4 pages could not be read and were not written (the file is "
                         "damaged): 3; 1 of 4 pages are incomplete (the file is damaged or cut short): 2\n" % src)
        self.assertEqual(self.pageFiles(), ["f-1.pdf", "f-2.pdf", "f-4.pdf", "f.pdf"])
        warnings = json.loads(r.stdout)["warnings"]
        self.assertEqual(warnings, [{"kind": "missing-object", "object": size + 1, "offset": None, "pages": [2, 2]},
                                    {"kind": "unreadable-page", "object": None, "offset": None, "pages": [3, 3]}])

    def test_content_at_a_wrong_offset_is_found_by_the_repair(self):
        src = pdftest.ghostscript_pdf(self.path("w.pdf"), pdftest.text_pages_ps(4))
        good = self.path("good.pdf")
        shutil.copy(src, good)
        with pikepdf.open(src) as pdf:
            contents = pdf.pages[2].obj.Contents.objgen[0]
        # The third page's content stream is listed at an offset where it is
        # not: the repair finds it, and the page keeps its content.
        with open(src, "rb") as f:
            data = bytearray(f.read())
        xref = data.rindex(b"\nxref") + 1
        line = xref + data[xref:].index(b"\n", 5) + 1 + 20 * contents
        data[line:line + 10] = b"%010d" % 3
        with open(src, "wb") as f:
            f.write(data)
        self.split(src)
        self.assertPageFilesMatch(src, reference=good)

    def test_page_files_that_cannot_be_created(self):
        src = pdftest.ghostscript_pdf(self.path("u.pdf"), pdftest.text_pages_ps(3))
        # A file stands where the output folder would be made.
        open(self.path("taken"), "w").close()
        r = self.split("--out", self.path("taken"), src, expect=4)
        self.assertEqual(r.stderr, "brisel: %s: u-1.pdf: a part of the path is a file, not a folder "
                                   "(0 of 3 pages written)\n" % src)

    def test_cycle_in_kids_ends(self):
        pdf = pikepdf.new()
        p1 = page(pdf, MediaBox=[0, 0, 100, 100])
        p2 = page(pdf, MediaBox=[0, 0, 100, 100])
        node = pdf.make_indirect(pikepdf.Dictionary(Type=pikepdf.Name.Pages, Count=2))
        node.Kids = pikepdf.Array([p1, node, p2])
        root = build_tree(pdf, [node])
        root.Count = 2
        pdf.Root.Pages = root
        src = self.path("cycle.pdf")
        pdf.save(src, fix_metadata_version=False)
        start = time.time()
        r = self.split(src, expect=1)
        self.assertEqual(r.stderr, "brisel: %s: Failed (the page tree is too deep, or loops back on itself)\n" % src)
        self.assertLess(time.time() - start, 30)
        # Two nodes that list each other.
        other = pdf.make_indirect(pikepdf.Dictionary(Type=pikepdf.Name.Pages, Count=1, Parent=node))
        other.Kids = pikepdf.Array([node])
        node.Kids = pikepdf.Array([p1, other, p2])
        src2 = self.path("cycle2.pdf")
        pdf.save(src2, fix_metadata_version=False)
        r = self.split(src2, expect=1)
        self.assertEqual(r.stderr, "brisel: %s: Failed (the page tree is too deep, or loops back on itself)\n" % src2)
        self.assertEqual(self.pageFiles(), ["cycle.pdf", "cycle2.pdf"])

    def test_not_a_pdf_name_and_missing_file(self):
        # A PDF is known by its header, not its name.
        with open(self.path("notes.pdf"), "w") as f:
            f.write("Dear diary,\n" * 200)
        r = self.split(self.path("notes.pdf"), expect=1)
        self.assertEqual(r.stderr, "brisel: %s: not a PDF file\n" % self.path("notes.pdf"))
        r = self.split(self.path("notes.txt"), expect=1)
        self.assertEqual(r.stderr, "brisel: %s: no such file\n" % self.path("notes.txt"))
        missing = self.path("missing.PDF")
        r = self.split(missing, expect=1)
        self.assertEqual(r.stderr, "brisel: %s: no such file\n" % missing)

    def test_break_keeps_completed_files(self):
        src = pdftest.ghostscript_pdf(self.path("b.pdf"), pdftest.text_pages_ps(1500))
        env = dict(os.environ, LANG="C", LC_ALL="", LC_MESSAGES="")
        proc = subprocess.Popen([pdftest.BRISEL, "--no-warn", src], stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True, env=env)
        # Interrupt once the first page files exist.
        deadline = time.time() + 60
        while len(self.pageFiles()) < 5 and time.time() < deadline and proc.poll() is None:
            time.sleep(0.005)
        proc.send_signal(signal.SIGINT)
        out, err = proc.communicate(timeout=120)
        files = [f for f in self.pageFiles() if f != "b.pdf"]
        if len(files) == 1500:
            self.skipTest("the split finished before the interrupt")
        self.assertEqual(proc.returncode, 130, err)
        self.assertEqual(err.strip().splitlines()[-1], "brisel: %s: Break" % src)
        for name in files:
            ok, report = pdftest.qpdf_check(self.path(name))
            self.assertTrue(ok, name + report)


class LanguageTest(SplitTestCase):
    def test_japanese_locale(self):
        src = pdftest.ghostscript_pdf(self.path("j.pdf"), pdftest.text_pages_ps(2))
        r = self.split(src, env={"LANG": "ja_JP.UTF-8"})
        self.assertEqual(r.stdout, "分解操作完了\n")
        r = self.split("--pages", "3", src, env={"LC_ALL": "ja_JP.UTF-8"}, expect=5)
        self.assertEqual(r.stderr, "brisel: %s: ページ 3 は最終ページ（2）より後です\n" % src)


if __name__ == "__main__":
    pdftest.main()
