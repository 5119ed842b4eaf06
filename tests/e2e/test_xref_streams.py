"""Splitting files that keep their cross-reference data in streams and their
objects in object streams, made by peer tools at test time."""

import re
import struct
import unittest
import zlib

import pikepdf

import pdftest
from pdfbytes import runs_of
from pdftest import SplitTestCase, ghostscript_pdf, qpdf_check, run, text_pages_ps


def qpdf(*args):
    r = run(["qpdf", *args])
    if r.returncode not in (0, 3):
        raise RuntimeError("qpdf failed: " + r.stderr)


def startxref(data):
    return int(re.search(rb"startxref\s+(\d+)\s+%%EOF\s*$", data).group(1))


def xref_stream(number, entries, size, extra):
    """An uncompressed cross-reference stream object with W [1 4 2] for
    entries {object number: (type, field 2, field 3)}."""
    numbers = sorted(entries)
    runs = runs_of(numbers)
    data = b"".join(struct.pack(">BIH", *entries[n]) for n in numbers)
    index = " ".join("%d %d" % (a, b) for a, b in runs)
    return (b"%d 0 obj\n<< /Type /XRef /Size %d /W [1 4 2] /Index [%s] %s /Length %d >>\nstream\n"
            % (number, size, index.encode(), extra, len(data)) + data + b"\nendstream\nendobj\n")


class XrefStreamSplit(SplitTestCase):

    def source(self, pages=4, image=True):
        return ghostscript_pdf(self.path("gs.pdf"), text_pages_ps(pages, image=image))

    def splitAndCheck(self, path):
        self.split(path)
        self.assertPageFilesMatch(path)

    def test_qpdf_object_streams_compressed_and_uncompressed(self):
        source = self.source()
        for name, extra in (("compressed", []), ("uncompressed", ["--stream-data=uncompress"]),
                            ("no-streams-compressed", ["--compress-streams=n"])):
            with self.subTest(name):
                path = self.path(name + ".pdf")
                qpdf("--object-streams=generate", *extra, source, path)
                with open(path, "rb") as f:
                    self.assertIn(b"/ObjStm", f.read())
                self.splitAndCheck(path)

    def test_pikepdf_object_streams(self):
        path = self.path("pikepdf.pdf")
        with pikepdf.open(self.source(5)) as pdf:
            pdf.save(path, object_stream_mode=pikepdf.ObjectStreamMode.generate)
        self.splitAndCheck(path)

    def test_cross_reference_stream_without_object_streams(self):
        # qpdf writes every object in the file; its classic table is replaced
        # by a compressed cross-reference stream with a PNG predictor, as
        # writers that use no object streams leave it.
        base = self.path("plain.pdf")
        qpdf("--object-streams=disable", self.source(3), base)
        with open(base, "rb") as f:
            data = f.read()
        listing = run(["qpdf", "--show-xref", base]).stdout
        offsets = {int(n): int(o) for n, o in re.findall(r"^(\d+)/0: uncompressed; offset = (\d+)", listing, re.M)}
        with pikepdf.open(base) as pdf:
            root = pdf.trailer.Root.objgen[0]
        body = data[:data.rindex(b"\nxref\n") + 1]
        self.assertNotIn(b"trailer", body)
        size = max(offsets) + 2
        offsets[size - 1] = len(body)
        rows = b"".join(b"\x02" + struct.pack(">BIH", 1, offsets[n], 0) if n in offsets
                        else b"\x02" + struct.pack(">BIH", 0, 0, 0) for n in range(size))
        # PNG "Up": each row holds the difference to the row above.
        width, previous, encoded = 7, bytes(7), b""
        for k in range(size):
            row = rows[k * 8 + 1:k * 8 + 8]
            encoded += b"\x02" + bytes((a - b) & 0xFF for a, b in zip(row, previous))
            previous = row
        packed = zlib.compress(encoded)
        path = self.path("xrefstream.pdf")
        with open(path, "wb") as f:
            f.write(body + b"%d 0 obj\n<< /Type /XRef /Size %d /W [1 4 2] /Root %d 0 R /Filter /FlateDecode "
                    b"/DecodeParms << /Columns %d /Predictor 12 >> /Length %d >>\nstream\n"
                    % (size - 1, size, root, width, len(packed)) + packed + b"\nendstream\nendobj\n"
                    b"startxref\n%d\n%%%%EOF\n" % len(body))
        with open(path, "rb") as f:
            self.assertNotIn(b"\nxref\n", f.read())
        ok, report = qpdf_check(path)
        self.assertTrue(ok, report)
        self.splitAndCheck(path)

    def test_hybrid_file(self):
        # A classic section for the objects in the file, whose trailer names
        # qpdf's cross-reference stream with /XRefStm for the compressed ones.
        base = self.path("objstm.pdf")
        qpdf("--object-streams=generate", self.source(), base)
        with open(base, "rb") as f:
            data = f.read()
        stream_offset = startxref(data)
        listing = run(["qpdf", "--show-xref", base]).stdout
        uncompressed = {int(n): int(o) for n, o in re.findall(r"^(\d+)/0: uncompressed; offset = (\d+)",
                                                              listing, re.M)}
        size = max(int(n) for n in re.findall(r"^(\d+)/", listing, re.M)) + 1
        with pikepdf.open(base) as pdf:
            root = pdf.trailer.Root.objgen[0]
            file_id = bytes(pdf.trailer.ID[0]).hex()
        # One subsection per run of objects in the file; the compressed ones
        # are left out for the stream to supply.
        section = [b"xref\n0 1\n0000000000 65535 f \n"]
        numbers = sorted(uncompressed)
        while numbers:
            run_end = 1
            while run_end < len(numbers) and numbers[run_end] == numbers[0] + run_end:
                run_end += 1
            section.append(b"%d %d\n" % (numbers[0], run_end))
            section += [b"%010d 00000 n \n" % uncompressed[n] for n in numbers[:run_end]]
            numbers = numbers[run_end:]
        path = self.path("hybrid.pdf")
        with open(path, "wb") as f:
            f.write(data + b"".join(section) + b"trailer\n<< /Size %d /Root %d 0 R /ID [<%s><%s>] /XRefStm %d >>\n"
                    b"startxref\n%d\n%%%%EOF\n" % (size, root, file_id.encode(), file_id.encode(), stream_offset,
                                                 len(data)))
        ok, report = qpdf_check(path)
        self.assertTrue(ok, report)
        self.splitAndCheck(path)

    def test_incremental_update_over_object_streams(self):
        # Page 2's dictionary sits in an object stream; an update writes a
        # rotated copy in the file. The newer copy must win.
        base = self.path("objstm.pdf")
        qpdf("--object-streams=generate", self.source(3), base)
        with pikepdf.open(base) as pdf:
            page = pdf.pages[1].obj
            number = page.objgen[0]
            body = page.unparse(resolved=True).replace(b"/Rotate 0", b"")
            size = int(pdf.trailer.Size)
            root = pdf.trailer.Root.objgen[0]
        listing = run(["qpdf", "--show-xref", base]).stdout
        self.assertRegex(listing, r"(?m)^%d/0: compressed" % number)
        with open(base, "rb") as f:
            data = f.read()
        update = b"\n%d 0 obj\n%s\nendobj\n" % (number, body[:-2] + b" /Rotate 90 >>")
        page_offset = len(data) + 1
        xref_offset = len(data) + len(update)
        update += xref_stream(size, {number: (1, page_offset, 0), size: (1, xref_offset, 0)}, size + 1,
                              b"/Root %d 0 R /Prev %d" % (root, startxref(data)))
        update += b"startxref\n%d\n%%%%EOF\n" % xref_offset
        path = self.path("updated.pdf")
        with open(path, "wb") as f:
            f.write(data + update)
        with pikepdf.open(path) as pdf:
            self.assertEqual(int(pdf.pages[1].Rotate), 90)
        self.splitAndCheck(path)

    def test_damaged_object_stream_that_holds_the_catalog(self):
        path = self.path("objstm.pdf")
        qpdf("--object-streams=generate", self.source(3), path)
        with open(path, "rb") as f:
            data = bytearray(f.read())
        header = data.index(b"/ObjStm")
        start = data.index(b"stream\n", header) + 7
        for i in range(start + 8, start + 24):
            data[i] ^= 0x55
        with open(path, "wb") as f:
            f.write(data)
        # Its objects are missing, the catalog among them.
        r = self.split(path, expect=1)
        self.assertEqual(r.stderr, "brisel: %s: Failed (the catalog is missing or damaged)\n" % path)
        self.assertEqual([f for f in self.pageFiles() if f.startswith("objstm-")], [])


if __name__ == "__main__":
    pdftest.main()
