"""Writing PDF files byte by byte from the objects of a classic file, in the
cross-reference forms and with the damage that real files show: streams
filtered and predicted in every way the PDF standard allows, entries that
point nowhere, /Prev chains that mix forms or loop, offsets counted from a
header that does not stand first."""

import re
import struct
import zlib

HEADER = b"%PDF-1.5\n%\xe2\xe3\xcf\xd3\n"


def objects_of(path):
    """({number: body}, root number) of a classic file with one subsection,
    such as Ghostscript writes: each body is everything between "N 0 obj"
    and "endobj"."""
    with open(path, "rb") as f:
        data = f.read()
    at = int(re.search(rb"startxref\s+(\d+)\s+%%EOF\s*$", data).group(1))
    m = re.compile(rb"xref\s+0\s+(\d+)\s+").match(data, at)
    count, pos = int(m.group(1)), m.end()
    offsets = {}
    for n in range(1, count):
        offset, _, kind = data[pos + 20 * n:pos + 20 * n + 18].split()
        if kind == b"n":
            offsets[n] = int(offset)
    # Each object runs up to the next one (or the table): its last "endobj"
    # there ends it, whatever its stream data holds.
    bounds = sorted(offsets.values()) + [at]
    objects = {}
    for n, start in offsets.items():
        chunk = data[start:bounds[bounds.index(start) + 1]]
        head = re.compile(rb"%d 0 obj\s*" % n).match(chunk)
        objects[n] = chunk[head.end():chunk.rindex(b"endobj")].rstrip()
    root = int(re.search(rb"/Root\s+(\d+)\s+0\s+R", data[at:]).group(1))
    return objects, root


def is_stream(body):
    return re.search(rb">>\s*stream\r?\n", body) is not None


def flate(data, predictor=None, columns=None, sync_cut=False):
    """zlib data of the bytes, with a PNG or TIFF predictor applied first.
    sync_cut: stop after a sync flush, without final block and checksum."""
    if predictor is not None:
        data = predict(data, predictor, columns)
    if sync_cut:
        c = zlib.compressobj()
        out = c.compress(data) + c.flush(zlib.Z_SYNC_FLUSH)
        assert out.endswith(b"\x00\x00\xff\xff")
        return out
    return zlib.compress(data)


def predict(data, predictor, columns):
    """Encodes rows of `columns` bytes: predictor 2 (TIFF, byte differences)
    or a PNG predictor; "png" cycles the row tags None, Sub, Up, Average,
    Paeth, as an encoder choosing per row would."""
    rows = [data[i:i + columns] for i in range(0, len(data), columns)]
    if predictor == 2:
        return b"".join(bytes([r[0]] + [(r[i] - r[i - 1]) & 255 for i in range(1, len(r))]) for r in rows)
    out, above = [], bytes(columns)
    for k, row in enumerate(rows):
        # 15 is the encoder's free choice per row.
        tag = k % 5 if predictor in ("png", 15) else predictor - 10
        enc = []
        for i, x in enumerate(row):
            a = row[i - 1] if i else 0
            b = above[i]
            c = above[i - 1] if i else 0
            if tag == 0:
                p = 0
            elif tag == 1:
                p = a
            elif tag == 2:
                p = b
            elif tag == 3:
                p = (a + b) // 2
            else:
                pa, pb, pc = abs(b - c), abs(a - c), abs(a + b - 2 * c)
                p = a if pa <= pb and pa <= pc else b if pb <= pc else c
            enc.append((x - p) & 255)
        out.append(bytes([tag]) + bytes(enc))
        above = row
    return b"".join(out)


def with_length(dictionary, length):
    """The stream dictionary with a direct /Length."""
    return re.sub(rb"/Length\s+\d+(\s+\d+\s+R)?", b"/Length %d" % length, dictionary, count=1)


def runs_of(numbers):
    """Sorted object numbers as [first, count] runs of consecutive numbers."""
    runs = []
    for n in numbers:
        if runs and runs[-1][0] + runs[-1][1] == n:
            runs[-1][1] += 1
        else:
            runs.append([n, 1])
    return runs


class Builder:
    """A file of these objects. Streams stay in the file; with pack, every
    other object goes into one object stream."""

    def __init__(self, objects, root, header=HEADER):
        self.objects = dict(objects)
        self.root = root
        self.header = header

    def classic(self, trailer=None, entries=None, prev=None, base=b"", size=None):
        """A classic file (or, with a base, an update appended to it; size
        is then the whole file's /Size)."""
        out = bytearray(base + (b"" if base else self.header))
        offsets = {}
        for n in sorted(self.objects):
            offsets[n] = len(out)
            out += b"%d 0 obj\n%s\nendobj\n" % (n, self.objects[n])
        offsets.update(entries or {})
        size = size or max(self.objects) + 1
        xref = len(out)
        out += b"xref\n"
        for first, count in runs_of(sorted(offsets) if base else [0] + sorted(offsets)):
            out += b"%d %d\n" % (first, count)
            for n in range(first, first + count):
                out += b"0000000000 65535 f \n" if n == 0 else b"%010d 00000 n \n" % offsets[n]
        if trailer is None:
            trailer = b"/Root %d 0 R" % self.root
        out += b"trailer\n<< /Size %d %s%s >>\nstartxref\n%d\n%%%%EOF\n" % (
            size, trailer, b" /Prev %d" % prev if prev is not None else b"", xref)
        return bytes(out), offsets, xref

    def streams(self, pack=True, widths=(1, 4, 2), xref_filter=b"/FlateDecode", xref_predictor=12,
                objstm_filter=b"/FlateDecode", objstm_predictor=None, objstm_sync_cut=False,
                objstm_length_after=False, objstm_type=b"/ObjStm", objstm_self=False, objstm_reverse=False,
                xref_bad_adler=False,
                entries=None, trailer=b"", prev=None, base=b"", size=None):
        """A file whose cross-reference data is one stream (or an update so
        made, appended to base). Filters: b"/FlateDecode", b"/Fl", b"[/FlateDecode]",
        b"null" (data not compressed) or None (no /Filter). Predictors:
        None, 2, 10..15 (one tag for all rows) or "png" (tags by row).
        entries replaces rows: {number: (type, field 2, field 3)}. With a
        base, size is the whole file's /Size, and the stream takes that
        number.
        objstm_length_after: the object stream's /Length is an object written
        after it, its value indented, as a cairo-made file has it.
        objstm_type: the object stream's /Type value (None: no /Type).
        objstm_self: the object stream also lists its own number, last (True)
        or "first".
        objstm_reverse: objects packed from the highest number down.
        Indexes wider than the third field (2 bytes by default) wrap, as
        some writers let them."""
        out = bytearray(base + (b"" if base else self.header))
        rows = {}
        inner = sorted((n for n in self.objects if pack and not is_stream(self.objects[n])), reverse=objstm_reverse)
        packed = set(inner)
        for n in sorted(self.objects):
            if n in packed:
                continue
            rows[n] = (1, len(out), 0)
            out += b"%d 0 obj\n%s\nendobj\n" % (n, self.objects[n])
        top = max(self.objects)
        if inner:
            stm = top + 1
            head, body = [], bytearray()
            if objstm_self == "first":
                # Listed first, while the rows count their indexes without it.
                head.append(b"%d 0" % stm)
                body += b"<< /Inside true >>\n"
            for k, n in enumerate(inner):
                head.append(b"%d %d" % (n, len(body)))
                body += self.objects[n] + b"\n"
                rows[n] = (2, stm, k)
            if objstm_self is True:
                head.append(b"%d %d" % (stm, len(body)))
                body += b"<< /Inside true >>\n"
            head = b" ".join(head) + b"\n"
            data = head + bytes(body)
            parms = b""
            if objstm_predictor is not None:
                parms = b" /DecodeParms << /Predictor %d /Columns 16 >>" % (
                    15 if objstm_predictor == "png" else objstm_predictor)
            data = self._filtered(data, objstm_filter, objstm_predictor, 16, objstm_sync_cut)
            length = b"%d" % len(data)
            if objstm_length_after:
                length = b"%d 0 R" % (stm + 1)
            filt = b"" if objstm_filter is None else b" /Filter " + objstm_filter
            rows[stm] = (1, len(out), 0)
            kind = b"" if objstm_type is None else b"/Type " + objstm_type + b" "
            out += (b"%d 0 obj\n<< %s/N %d /First %d%s%s /Length %s >>\nstream\n"
                    % (stm, kind, len(inner) + bool(objstm_self), len(head), filt, parms, length)) + data + b"\nendstream\nendobj\n"
            if objstm_length_after:
                rows[stm + 1] = (1, len(out), 0)
                out += b"%d 0 obj\n   %d\nendobj\n" % (stm + 1, len(data))
            top = max(rows)
        xref_number = max(top + 1, size or 0)
        rows[xref_number] = (1, len(out), 0)
        rows.update(entries or {})
        size = max(rows) + 1
        numbers = sorted(rows) if base else list(range(0 if widths[0] else 1, max(rows) + 1))
        w = widths
        raw = bytearray()
        for n in numbers:
            t, f2, f3 = rows.get(n, (0, 0, 0 if n else 65535))
            if w[0]:
                raw += t.to_bytes(w[0], "big")
            raw += f2.to_bytes(w[1], "big")
            if w[2]:
                raw += (f3 & ((1 << (8 * w[2])) - 1)).to_bytes(w[2], "big")
        columns = sum(w)
        data = self._filtered(bytes(raw), xref_filter, xref_predictor, columns, False)
        if xref_bad_adler:
            data = data[:-4] + bytes(b ^ 0x5A for b in data[-4:])
        parms = b""
        if xref_predictor is not None and xref_filter is not None and xref_filter != b"null":
            parms = b"<< /Columns %d /Predictor %d >>" % (columns, 15 if xref_predictor == "png" else xref_predictor)
            # Parameters go with their filter: an array for an array.
            parms = b" /DecodeParms " + (b"[%s]" % parms if xref_filter.startswith(b"[") else parms)
        filt = b"" if xref_filter is None else b" /Filter " + xref_filter
        index = b" ".join(b"%d %d" % (a, c) for a, c in runs_of(numbers))
        out += (b"%d 0 obj\n<< /Type /XRef /Size %d /W [%d %d %d] /Index [%s] /Root %d 0 R%s%s%s%s /Length %d >>\n"
                b"stream\n" % (xref_number, size, w[0], w[1], w[2], index, self.root, trailer,
                               b" /Prev %d" % prev if prev is not None else b"", filt, parms, len(data))) + \
            data + b"\nendstream\nendobj\nstartxref\n%d\n%%%%EOF\n" % rows[xref_number][1]
        return bytes(out), rows, rows[xref_number][1]

    @staticmethod
    def _filtered(data, filt, predictor, columns, sync_cut):
        if filt is None or filt == b"null":
            return data
        return flate(data, predictor, columns, sync_cut)


PADDING = bytes.fromhex("28bf4e5e4e758a4164004e56fffa01082e2e00b6d0683e802f0ca9fe6453697a")


def rc4(key, data):
    s = list(range(256))
    j = 0
    for i in range(256):
        j = (j + s[i] + key[i % len(key)]) & 255
        s[i], s[j] = s[j], s[i]
    out, i, j = bytearray(), 0, 0
    for byte in data:
        i = (i + 1) & 255
        j = (j + s[i]) & 255
        s[i], s[j] = s[j], s[i]
        out.append(byte ^ s[(s[i] + s[j]) & 255])
    return bytes(out)


def rc4_encrypted(objects, root, user, owner, permissions=-4, revision=3):
    """A classic file of these objects under the standard security handler
    with RC4 (revision 2, 40-bit, or 3, 128-bit), passwords as bytes. Any
    owner password goes in as given, also an empty one (writers that follow
    the standard's advice put the user password there instead). Streams are
    encrypted; the objects must hold no strings outside streams."""
    import hashlib
    n = 5 if revision == 2 else 16
    file_id = hashlib.md5(b"".join(objects.values())).digest()

    def padded(password):
        return (password + PADDING)[:32]

    def rounds(key, data, downward=False):
        for i in (range(19, -1, -1) if downward else range(20)):
            data = rc4(bytes(b ^ i for b in key), data)
        return data

    digest = hashlib.md5(padded(owner)).digest()
    if revision >= 3:
        for _ in range(50):
            digest = hashlib.md5(digest[:n]).digest()
    o = rc4(digest[:n], padded(user)) if revision == 2 else rounds(digest[:n], padded(user))
    p = struct.pack("<i", permissions)
    key = hashlib.md5(padded(user) + o + p + file_id).digest()
    if revision >= 3:
        for _ in range(50):
            key = hashlib.md5(key[:n]).digest()
    key = key[:n]
    if revision == 2:
        u = rc4(key, PADDING)
    else:
        u = rounds(key, hashlib.md5(PADDING + file_id).digest()) + bytes(16)
    encrypted = {}
    for number, body in objects.items():
        m = re.search(rb">>\s*stream\r?\n", body)
        if m:
            object_key = hashlib.md5(key + struct.pack("<i", number)[:3] + b"\0\0").digest()[:min(n + 5, 16)]
            data = body[m.end():body.rindex(b"endstream")].rstrip(b"\r\n")
            body = with_length(body[:m.end()], len(data)) + rc4(object_key, data) + b"\nendstream"
        encrypted[number] = body
    crypt = max(objects) + 1
    encrypted[crypt] = b"<< /Filter /Standard /V %d /R %d /Length %d /P %d /O <%s> /U <%s> >>" % (
        1 if revision == 2 else 2, revision, 8 * n, permissions, o.hex().encode(), u.hex().encode())
    trailer = b"/Root %d 0 R /Encrypt %d 0 R /ID [<%s> <%s>]" % (root, crypt, file_id.hex().encode(),
                                                                 file_id.hex().encode())
    return Builder(encrypted, root).classic(trailer=trailer)[0]
