"""Files whose cross-reference data is damaged in the ways real files are,
and which qpdf and poppler open all the same: entries that point nowhere,
tables that read but place an object wrongly, /Prev chains that loop or mix
classic sections and streams, offsets counted from a header that does not
stand first, trailers without /Root. Each is written byte by byte at test
time; every page file must pass qpdf --check and render like its page (of
an undamaged copy where the tools themselves misread the damage)."""

import re
import unittest

import pikepdf

from pdfbytes import Builder
from pdftest import BuiltFilesCase, output_name


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

    def test_information_dictionary_of_the_newest_trailer(self):
        # The title and author of the newest trailer's /Info, whether that
        # trailer is classic or a cross-reference stream, after updates and
        # after the repair; never an older update's.
        b = self.source()
        # Numbers clear of the object and cross-reference streams.
        old, new = max(b.objects) + 1, max(b.objects) + 20
        b.objects[old] = b"<< /Title (First draft) /Author (vhaporanderr1) >>"
        current = {new: b"<< /Title (Current title) /Author (Department of Veterans Affairs) >>"}
        update = Builder(current, b.root)
        base, _, base_xref = b.classic(trailer=b"/Root %d 0 R /Info %d 0 R" % (b.root, old))
        classic = update.classic(base=base, prev=base_xref, size=new + 1,
                                 trailer=b"/Root %d 0 R /Info %d 0 R" % (b.root, new))[0]
        streams, _, streams_xref = b.streams(trailer=b" /Info %d 0 R" % old)
        size = max(new + 1, int(re.search(rb"/Size (\d+)", streams[streams_xref:]).group(1)))
        whole = Builder(b.objects, b.root)
        whole.objects.update(current)
        files = [("info-classic-update", classic, None),
                 ("info-streams", whole.streams(trailer=b" /Info %d 0 R" % new)[0], None),
                 ("info-streams-update", update.streams(pack=False, base=streams, prev=streams_xref, size=size,
                                                        trailer=b" /Info %d 0 R" % new)[0], None),
                 ("info-classic-over-streams", update.classic(base=streams, prev=streams_xref, size=size,
                                                              trailer=b"/Root %d 0 R /Info %d 0 R" % (b.root, new))[0],
                  None),
                 ("info-repaired", re.sub(rb"startxref\s+\d+\s+%%EOF\s*$", b"startxref\n17\n%%EOF\n", classic),
                  None)]
        self.splitAll(files)
        for name, _, _ in files:
            for page in (1, 2, 3):
                with pikepdf.open(output_name(self.path(name + ".pdf"), page, 3)) as pdf:
                    self.assertEqual((str(pdf.docinfo.Title), str(pdf.docinfo.Author)),
                                     ("Current title", "Department of Veterans Affairs"), name)

    def test_streams_whose_length_is_wrong(self):
        # Each is written with its true length (qpdf --check finds nothing to
        # recover), and the run says which pages it repaired instead of
        # "Done". A stream whose data never ends is left out: its page is
        # incomplete.
        b = self.source()
        first, second = self.pages(b)[:2]
        length = int(re.search(rb"/Contents (\d+) 0 R", b.objects[first]).group(1)) + 1
        good = b.classic()[0]
        files = []
        for name, delta in (("length-short", -40), ("length-long", 57)):
            damaged = Builder(b.objects, b.root)
            damaged.objects[length] = b"%d" % (int(b.objects[length]) + delta)
            files.append((name, damaged.classic()[0], good))
        self.splitAll(files, incomplete="1 of 3 pages were repaired (streams whose stated length was wrong were "
                                        "written with their true length): 1\n")
        for name, _, _ in files:
            r = self.split(self.path(name + ".pdf"))
            self.assertNotIn("Done", r.stdout)
        # An object the second page names but does not draw, whose data runs
        # to the end of the file.
        endless = Builder(b.objects, b.root)
        cut = max(b.objects) + 1
        endless.objects[second] = b.objects[second].replace(b"/Type", b"/PieceInfo %d 0 R /Type" % cut, 1)
        endless.objects[cut] = b"<< /Length 5 >>\nstream\nabcde\nendstrem"
        self.splitAll([("length-endless", endless.classic()[0], good)], expect=6,
                      incomplete="1 of 3 pages are incomplete (the file is damaged or cut short): 2\n")


if __name__ == "__main__":
    unittest.main()
