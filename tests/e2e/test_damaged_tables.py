"""Files whose cross-reference data is damaged in the ways real files are,
and which qpdf and poppler open all the same: entries that point nowhere,
tables that read but place an object wrongly, /Prev chains that loop or mix
classic sections and streams, offsets counted from a header that does not
stand first, trailers without /Root. Each is written byte by byte at test
time; every page file must pass qpdf --check and render like its page (of
an undamaged copy where the tools themselves misread the damage)."""

import re
import unittest

from pdfbytes import Builder
from pdftest import BuiltFilesCase


class DamagedTables(BuiltFilesCase):

    def test_entries_that_point_at_no_object(self):
        b = self.source()
        first = self.pages(b)[0]
        # Two objects the first page refers to but does not need to show.
        extra = max(b.objects) + 10
        b.objects[extra] = b"<< /Note (never found) >>"
        b.objects[extra + 1] = b"<< /Note (not where the table says) >>"
        b.objects[first] = b.objects[first].replace(
            b"/Type", b"/PieceInfo << /A %d 0 R /B %d 0 R >> /Type" % (extra, extra + 1), 1)
        files = []
        for pack in (True, False):
            data, rows, _ = b.streams(pack=pack)
            # The second entry points into the middle of another object.
            wrong = {extra: (1, 0, 0), extra + 1: (1, rows[first][1] + 5 if not pack else 20, 0)}
            files.append(("streams-packed" if pack else "streams", b.streams(pack=pack, entries=wrong)[0], data))
        data, offsets, _ = b.classic()
        files.append(("classic", b.classic(entries={extra: 0, extra + 1: offsets[first] + 5})[0], data))
        # The repair finds both objects where they stand in the file. Packed
        # in an object stream whose entries are wrong, they stay lost: the
        # first page's file is written all the same, and reported.
        self.splitAll(files[1:])
        self.splitAll(files[:1], expect=6,
                      incomplete="1 of 3 pages are incomplete (the file is damaged or cut short): 1\n")

    def test_an_object_a_page_needs_is_not_where_the_table_says(self):
        b = self.source()
        first, second = self.pages(b)[:2]
        good, offsets, _ = b.classic()
        # The table reads without error; the second page's entry names the
        # first page's header.
        files = [("classic", b.classic(entries={second: offsets[first]})[0], good)]
        good, rows, _ = b.streams(pack=False)
        files.append(("streams", b.streams(pack=False, entries={second: (1, rows[first][1], 0)})[0], good))
        files.append(("streams-at-0", b.streams(pack=False, entries={second: (1, 0, 0)})[0], good))
        self.splitAll(files)

    def test_prev_chains(self):
        b = self.source()
        first = self.pages(b)[0]
        base, _, base_xref = b.classic()
        update = Builder({first: b.objects[first].replace(b"/Type", b"/Updated true /Type", 1)}, b.root)
        # An update whose /Prev names itself: the base's objects are not
        # read, the chain loops.
        data = update.classic(base=base, prev=base_xref, size=max(b.objects) + 1)[0]
        at = data.rindex(b"startxref")
        own = int(data[at + 9:].split()[0])
        looped = data.replace(b"/Prev %d" % base_xref, b"/Prev %d" % own)
        files = [("loop", looped, data)]
        # A classic update over a file of streams, and a stream update over
        # a classic file.
        streams, _, streams_xref = b.streams()
        size = int(re.search(rb"/Size (\d+)", streams[streams_xref:]).group(1))
        files.append(("classic-over-streams", update.classic(base=streams, prev=streams_xref, size=size)[0], None))
        files.append(("streams-over-classic",
                      update.streams(pack=False, base=base, prev=base_xref, size=max(b.objects) + 1)[0], None))
        self.splitAll(files)

    def test_offsets_counted_from_a_header_that_does_not_stand_first(self):
        b = self.source()
        junk = b"GARBAGE written in front of the file by a mail gateway\r\n" * 3
        files = []
        for name, (data, _, _) in (("classic", b.classic()), ("streams", b.streams())):
            files.append(("shifted-" + name, junk + data, data))
        self.splitAll(files)

    def test_stream_files_whose_cross_reference_stream_is_lost(self):
        # The objects, packed in object streams, are found by the repair.
        b = self.source()
        good, _, xref = b.streams()
        data = bytearray(good)
        start = data.index(b"stream\n", xref) + 7
        for i in range(start + 2, start + 12):
            data[i] ^= 0x5A
        self.splitAll([("damaged-stream", bytes(data), good), ("truncated", good[:xref], good)])

    def test_catalog_found_without_root_in_any_trailer(self):
        b = self.source()
        good = b.classic()[0]
        intact = b.classic(trailer=b"")[0]
        damaged = re.sub(rb"startxref\s+\d+", b"startxref\n17", intact)
        # A trailer names /Root but the catalog lacks /Type: the repair
        # takes the trailer's word.
        untyped = Builder(b.objects, b.root)
        untyped.objects[b.root] = b.objects[b.root].replace(b"/Type /Catalog", b"")
        named = re.sub(rb"startxref\s+\d+", b"startxref\n17", untyped.classic()[0])
        self.splitAll([("no-root", intact, good), ("no-root-damaged", damaged, good), ("untyped-catalog", named, good)])


if __name__ == "__main__":
    unittest.main()
