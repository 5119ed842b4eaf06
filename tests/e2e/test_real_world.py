"""Files that qpdf and the browsers open although they bend the format:
hostile numbers in cross-reference streams, damage only a rebuild mends,
page dictionaries written straight into /Kids, object streams of many
thousand objects. Each is written at test time; every page file must pass
qpdf --check and render like its page of an intact twin."""

import re
import unittest

from pdfbytes import Builder, objects_of
from pdftest import BuiltFilesCase, brisel


def replace_same_length(data, old, new):
    """data with the first old replaced by new padded with spaces to old's
    length, so that every offset stays right."""
    assert len(new) <= len(old) and old in data, old
    return data.replace(old, new + b" " * (len(old) - len(new)), 1)


class RealWorldReading(BuiltFilesCase):

    def test_hostile_numbers_in_cross_reference_streams(self):
        # Widths and parameters that overflow 32-bit sums: the stream is
        # damage, the repair finds the objects.
        b = self.source(2)
        good, _, xref = b.streams()
        files = []
        for name, old, new in (("widths", b"/W [1 4 2]", b"/W [1 2 2147483647]"),
                               ("width-sum", b"/W [1 4 2]", b"/W [2147483647 2147483647 2]"),
                               ("wide-field", b"/W [1 4 2]", b"/W [1 9 2]"),
                               ("bits", b"/Predictor 12", b"/Predictor 12 /BitsPerComponent 2147483647 /Colors 32")):
            head = good[xref:]
            data = good[:xref] + head.replace(old, new, 1)
            # The table is now wrong by the length change: so much the better,
            # the repair has to find every object.
            files.append((name, data, good))
        self.splitAll(files)

    def test_damage_that_only_a_rebuild_mends(self):
        b = self.source(2)
        good = b.classic()[0]
        files = []
        # A trailer /Prev that is not a number, no startxref, a /Size below
        # the table's, a table that is not where startxref says.
        at = good.rindex(b"trailer")
        files.append(("prev-not-integer", good[:at] + good[at:].replace(b"/Root", b"/Prev /None /Root", 1), good))
        files.append(("no-startxref", re.sub(rb"startxref\s+\d+\s+", b"", good), good))
        files.append(("size-too-small", good[:at] + re.sub(rb"/Size \d+", b"/Size 2", good[at:], 1), good))
        moved = good.replace(b"\nxref\n", b"\n\n\n\n\nxref\n", 1)
        files.append(("table-moved", moved, good))
        # Objects without "endobj", the table lost: each ends where the
        # next begins.
        pages = int(re.search(rb"/Pages (\d+) 0 R", b.objects[b.root]).group(1))
        unended = re.sub(rb"(\n(%d|%d) 0 obj\n.*?)endobj\n" % (pages, b.root), rb"\1", good, flags=re.S)
        files.append(("no-endobj", re.sub(rb"startxref\s+\d+", b"startxref\n9", unended), good))
        # The same in a file of streams.
        packed, _, xref = b.streams()
        head, tail = packed[:xref], packed[xref:]
        files.append(("streams-prev-not-integer", head + tail.replace(b"/Root", b"/Prev (7) /Root", 1), packed))
        files.append(("streams-no-startxref", re.sub(rb"startxref\s+\d+\s+", b"", packed), packed))
        files.append(("streams-size-too-small", head + re.sub(rb"/Size \d+", b"/Size 3", tail, 1), packed))
        files.append(("streams-moved", head + b"\n\n\n" + tail, packed))
        # Object streams whose /Type is wrong or missing, or which list
        # themselves; catalog and pages are inside.
        packed = b.streams()[0]
        files.append(("objstm-type-wrong", b.streams(objstm_type=b"/XRef")[0], packed))
        files.append(("objstm-untyped", b.streams(objstm_type=None)[0], packed))
        files.append(("objstm-lists-itself", b.streams(objstm_self=True)[0], packed))
        files.append(("objstm-lists-itself-first", b.streams(objstm_self="first")[0], packed))
        stm = max(b.objects) + 1
        files.append(("objstm-row-names-itself", b.streams(entries={stm: (2, stm, 0)})[0], packed))
        # The same with the cross-reference stream lost as well: only the
        # repair's unpacking finds the catalog.
        for name, data in (("untyped-lost", b.streams(objstm_type=None)[0]),
                           ("wrong-type-lost", b.streams(objstm_type=b"/Foo")[0])):
            files.append((name, data[:data.rindex(b"startxref")].rsplit(b"\n%d 0 obj" % (stm + 1), 1)[0], packed))
        self.splitAll(files)


    def test_page_dictionaries_written_into_kids(self):
        b = self.source()
        good = b.classic()[0]
        pages = int(re.search(rb"/Pages (\d+) 0 R", b.objects[b.root]).group(1))
        numbers = self.pages(b)
        direct = Builder(b.objects, b.root)
        # The first and last pages go into /Kids, the second stays a reference.
        for n in (numbers[0], numbers[-1]):
            body = direct.objects.pop(n)
            direct.objects[pages] = re.sub(rb"(?<![0-9])%d 0 R" % n, lambda m: body, direct.objects[pages], 1)
        self.splitAll([("direct-classic", direct.classic()[0], good),
                       ("direct-streams", direct.streams()[0], good)])

    def test_object_stream_of_sixty_five_thousand_objects(self):
        # Catalog and pages after 65 540 other objects in one object
        # stream, whose /Length is an object written after it: /First lies
        # near 1 MB, and their indexes wrap in the rows' 2-byte field.
        b = self.source(2)
        good = b.classic()[0]
        many = Builder(b.objects, b.root)
        top = max(b.objects)
        packed = [n for n in b.objects if not re.search(rb"stream\r?\n", b.objects[n])]
        for n in range(top + 1, top + 1 + 65542 - len(packed)):
            many.objects[n] = b"<< /Filler %d >>" % n
        data = many.streams(objstm_length_after=True, objstm_reverse=True)[0]
        self.assertIn(b"/N 65542 ", data)
        self.splitAll([("many-objects", data, good)])

if __name__ == "__main__":
    unittest.main()
