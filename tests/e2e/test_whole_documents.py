"""Page files are whole documents: each keeps the form fields whose widgets
are on its page (full names, values, the form's resources), the input's
language, title, author, XMP metadata, output intents and the label its page
had; on plain and encrypted inputs alike."""

import os
import unittest

import pikepdf
from pikepdf import Array, Dictionary, Name, String

import pdftest
from pdftest import SplitTestCase, run

PASSWORD = "pw"
XMP = (b'<?xpacket begin="" id="W5M0MpCehiHzreSzNTczkc9d"?><x:xmpmeta xmlns:x="adobe:ns:meta/">'
       b'<rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#"/></x:xmpmeta><?xpacket end="w"?>')


def appearance(pdf, ops):
    stream = pdf.make_stream(ops.encode())
    stream.Type, stream.Subtype, stream.BBox = Name.XObject, Name.Form, [0, 0, 100, 20]
    return stream


def make_form(path):
    """Three pages: a text field person.name on page 1 and person.city on
    page 2 (one parent, kids on two pages), a check box on page 2, a radio
    group whose buttons sit on pages 1 and 3, and an unrelated text field on
    page 3. Returns the (full name, value) pairs each page's file must hold."""
    pdf = pikepdf.new()
    helv = pdf.make_indirect(Dictionary(Type=Name.Font, Subtype=Name.Type1, BaseFont=Name.Helvetica))
    resources = Dictionary(Font=Dictionary(Helv=helv))
    pages = []
    for i in range(3):
        content = pdf.make_stream(b"BT /Helv 14 Tf 20 260 Td (page %d) Tj ET" % (i + 1))
        pages.append(pdf.make_indirect(Dictionary(Type=Name.Page, MediaBox=[0, 0, 300, 300], Contents=content,
                                                  Resources=resources, Annots=Array())))
    root = pdf.make_indirect(Dictionary(Type=Name.Pages, Kids=Array(pages), Count=3))
    for p in pages:
        p.Parent = root
    pdf.Root.Pages = root

    def widget(page, rect, **entries):
        w = pdf.make_indirect(Dictionary(Type=Name.Annot, Subtype=Name.Widget, Rect=rect, P=pages[page], F=4,
                                         **entries))
        pages[page].Annots.append(w)
        return w

    person = pdf.make_indirect(Dictionary(T=String("person"), Kids=Array()))
    for page, name, value in ((0, "name", "Ada"), (1, "city", "Paris")):
        kid = widget(page, [20, 200, 120, 220], FT=Name.Tx, T=String(name), V=String(value), Parent=person,
                     DA=String("/Helv 12 Tf 0 g"),
                     AP=Dictionary(N=appearance(pdf, "BT /Helv 12 Tf 2 5 Td (%s) Tj ET" % value)))
        kid.AP.N.Resources = resources
        person.Kids.append(kid)
    on, off = appearance(pdf, "0 0 1 rg 0 0 20 20 re f"), appearance(pdf, "")
    agree = widget(1, [20, 150, 40, 170], FT=Name.Btn, T=String("agree"), V=Name.Yes, AS=Name.Yes,
                   AP=Dictionary(N=Dictionary(Yes=on, Off=off)))
    choice = pdf.make_indirect(Dictionary(FT=Name.Btn, Ff=49152, T=String("choice"), V=Name.B, Kids=Array()))
    for page, state in ((0, "A"), (2, "B")):
        button = widget(page, [20, 100, 40, 120], Parent=choice, AS=Name("/" + (state if state == "B" else "Off")),
                        AP=Dictionary(N=Dictionary({"/" + state: on, "/Off": off})))
        choice.Kids.append(button)
    notes = widget(2, [20, 50, 220, 70], FT=Name.Tx, T=String("notes"), V=String("third"))
    # A link to its own page stays, one to another page goes.
    for target in (1, 0):
        pages[1].Annots.append(pdf.make_indirect(Dictionary(Type=Name.Annot, Subtype=Name.Link, Rect=[200, 20, 280, 40],
                                                            Border=[0, 0, 0], Dest=Array([pages[target], Name.Fit]))))
    fields = [person, agree, choice, notes]
    pdf.Root.AcroForm = Dictionary(Fields=Array(fields), DA=String("/Helv 0 Tf 0 g"), DR=resources,
                                   NeedAppearances=True, CO=Array([notes, agree]),
                                   XFA=pdf.make_stream(b"<xdp/>"))
    # Document data.
    pdf.Root.Lang = String("fr-FR")
    pdf.Root.MarkInfo = Dictionary(Marked=True)
    pdf.Root.ViewerPreferences = Dictionary(DisplayDocTitle=True, HideToolbar=True)
    pdf.Root.PageLabels = Dictionary(Nums=Array([0, Dictionary(S=Name.r), 2, Dictionary(S=Name.D, P=String("A-"))]))
    metadata = pdf.make_stream(XMP)
    metadata.Type, metadata.Subtype = Name.Metadata, Name.XML
    pdf.Root.Metadata = metadata
    profile = pdf.make_stream(b"not a real profile")
    profile.N = 3
    pdf.Root.OutputIntents = Array([Dictionary(Type=Name.OutputIntent, S=Name.GTS_PDFA1,
                                               OutputConditionIdentifier=String("sRGB"), DestOutputProfile=profile)])
    pdf.docinfo[Name.Title] = String("Forms and labels")
    pdf.docinfo[Name.Author] = String("Brisel tests")
    pdf.save(path)
    return [{("person.name", "Ada"), ("choice", "/B")},
            {("person.city", "Paris"), ("agree", "/Yes")},
            {("choice", "/B"), ("notes", "third")}], ["i", "ii", "A-1"]


def field_values(pdf):
    """(full name, value) of every terminal field the form reaches, and the
    pages of their widgets, walking /Fields down /Kids."""
    found, widget_pages = set(), set()
    stack = [(f, "") for f in pdf.Root.AcroForm.Fields]
    while stack:
        field, prefix = stack.pop()
        name = prefix + ("." if prefix and "/T" in field else "") + (str(field.T) if "/T" in field else "")
        kids = field.get("/Kids")
        if kids is not None and any("/T" in k for k in kids):
            stack += [(k, name) for k in kids]
            continue
        value = field.get("/V")
        if value is None and "/Parent" in field:
            value = field.Parent.get("/V")
        found.add((name, str(value)))
        for w in (kids if kids is not None else [field]):
            widget_pages.add(w.P.objgen if "/P" in w else None)
    return found, widget_pages


class WholeDocuments(SplitTestCase):
    def split_and_judge(self, source, password, expected_fields, labels):
        with pikepdf.open(source, password=password or "") as pdf:
            xmp = pdf.Root.Metadata.read_bytes()
        self.split("--yes", *(["--password=" + password] if password else []), source)
        self.assertPageFilesMatch(source, password=password)
        for k in range(3):
            name = pdftest.output_name(source, k + 1, 3)
            # Drawn with their annotations, the fields look as they did.
            self.assertEqual(pdftest.render(name, 1, password, annotations=True),
                             pdftest.render(source, k + 1, password, annotations=True), name)
            with pikepdf.open(name, password=password or "") as pdf:
                form = pdf.Root.AcroForm
                values, widget_pages = field_values(pdf)
                self.assertEqual(values, expected_fields[k], name)
                self.assertEqual(widget_pages, {pdf.pages[0].objgen}, name)
                self.assertNotIn("/XFA", form)
                self.assertEqual(bool(form.NeedAppearances), True)
                self.assertEqual(str(form.DA), "/Helv 0 Tf 0 g")
                self.assertEqual(str(form.DR.Font.Helv.BaseFont), "/Helvetica")
                calculated = [str(f.T) for f in form.get("/CO", [])]
                self.assertEqual(calculated, [["agree"], ["notes"]][k - 1] if k else [], name)
                self.assertEqual(str(pdf.Root.Lang), "fr-FR")
                self.assertNotIn("/MarkInfo", pdf.Root)  # no structure tree, so not tagged
                self.assertEqual(dict(pdf.Root.ViewerPreferences.items()), {"/DisplayDocTitle": True})
                self.assertEqual(pdf.Root.Metadata.read_bytes(), xmp)
                self.assertEqual(str(pdf.Root.OutputIntents[0].OutputConditionIdentifier), "sRGB")
                self.assertEqual(str(pdf.docinfo.Title), "Forms and labels")
                self.assertEqual(str(pdf.docinfo.Author), "Brisel tests")
                self.assertEqual(pdf.pages[0].label, labels[k], name)
                links = [a for a in pdf.pages[0].get("/Annots", []) if a.Subtype == Name.Link]
                self.assertEqual([a.Dest[0].objgen for a in links], [pdf.pages[0].objgen] if k == 1 else [], name)
        # The poppler tools read the same title and fields.
        info = run(["pdfinfo"] + (["-upw", password] if password else []) +
                   [pdftest.output_name(source, 2, 3)]).stdout
        self.assertIn("Forms and labels", info)

    def test_form_and_document_data_plain_and_encrypted(self):
        plain = self.path("form.pdf")
        expected, labels = make_form(plain)
        self.split_and_judge(plain, None, expected, labels)
        for method in (["40"], ["256"]):
            encrypted = self.path("form-%s.pdf" % method[0])
            r = run(["qpdf", "--allow-weak-crypto", "--encrypt", PASSWORD, PASSWORD + "o", *method, "--", plain,
                     encrypted])
            self.assertIn(r.returncode, (0, 3), r.stderr)
            self.split_and_judge(encrypted, PASSWORD, expected, labels)

    def test_dropping_annotations_and_document_data(self):
        source = self.path("form.pdf")
        make_form(source)
        self.split("--yes", "--annotations", "drop", "--document-data", "drop", source)
        self.assertPageFilesMatch(source)
        for k in range(3):
            with pikepdf.open(pdftest.output_name(source, k + 1, 3)) as pdf:
                for key in ("/AcroForm", "/Lang", "/Metadata", "/PageLabels", "/OutputIntents", "/ViewerPreferences"):
                    self.assertNotIn(key, pdf.Root)
                self.assertNotIn("/Title", pdf.docinfo)

    def test_fields_spread_over_many_pages(self):
        # A poll of two radio groups whose buttons alternate over 400 pages:
        # each page file holds the poll, with the one group and the one
        # button of its page (each /Kids cut at its own level).
        count, pdf = 400, pikepdf.new()
        poll = pdf.make_indirect(Dictionary(T=String("poll"), Kids=Array()))
        for name in ("even", "odd"):
            poll.Kids.append(pdf.make_indirect(Dictionary(FT=Name.Btn, Ff=49152, T=String(name), V=Name("/b1"),
                                                          Kids=Array(), Parent=poll)))
        for i in range(count):
            page = pdf.make_indirect(Dictionary(Type=Name.Page, MediaBox=[0, 0, 300, 300]))
            button = pdf.make_indirect(Dictionary(Type=Name.Annot, Subtype=Name.Widget, Parent=poll.Kids[i % 2],
                                                  P=page, Rect=[20, 100, 40, 120], AS=Name("/b%d" % i)))
            poll.Kids[i % 2].Kids.append(button)
            page.Annots = Array([button])
            pdf.pages.append(pikepdf.Page(page))
        pdf.Root.AcroForm = Dictionary(Fields=Array([poll]))
        source = self.path("poll.pdf")
        pdf.save(source)
        self.split("--yes", source)
        for i in range(count):
            name = pdftest.output_name(source, i + 1, count)
            self.assertTrue(pdftest.qpdf_check(name)[0], name)
            with pikepdf.open(name) as page_file:
                (field,) = page_file.Root.AcroForm.Fields
                (group,) = field.Kids
                (button,) = group.Kids
                self.assertEqual((str(field.T), str(group.T), str(group.V), str(button.AS)),
                                 ("poll", ("even", "odd")[i % 2], "/b1", "/b%d" % i))
                self.assertEqual(group.Parent.objgen, field.objgen)
                self.assertEqual(button.objgen, page_file.pages[0].Annots[0].objgen)

if __name__ == "__main__":
    pdftest.main()
