"""Writes the real-world reading cases into a seed folder: hostile /W
widths, object streams with a wrong or missing /Type or that list
themselves, objects without "endobj", page dictionaries written into /Kids,
wrapped object-stream indexes, bytes before the header of an encrypted file,
and RC4 files with an empty owner password or a PDFDocEncoding password.
Usage: real_world_seeds.py GHOSTSCRIPT_PDF OUT_DIR"""

import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from pdfbytes import Builder, objects_of, rc4_encrypted  # noqa: E402

objects, root = objects_of(sys.argv[1])
out = sys.argv[2]
b = Builder(objects, root)


def write(name, data):
    with open(os.path.join(out, "real-" + name + ".pdf"), "wb") as f:
        f.write(data)


packed, _, xref = b.streams()
write("widths", packed[:xref] + packed[xref:].replace(b"/W [1 4 2]", b"/W [1 2 2147483647]", 1))
write("objstm-untyped", b.streams(objstm_type=None)[0])
write("objstm-wrong-type", b.streams(objstm_type=b"/XRef")[0])
write("objstm-lists-itself", b.streams(objstm_self="first")[0])
classic = b.classic()[0]
pages = int(re.search(rb"/Pages (\d+) 0 R", objects[root]).group(1))
write("no-endobj", re.sub(rb"(\n%d 0 obj\n.*?)endobj\n" % pages, rb"\1", classic, flags=re.S))
kids = [int(n) for n in re.findall(rb"(\d+) 0 R", objects[pages].split(b"/Kids")[1].split(b"]")[0])]
direct = Builder(objects, root)
body = direct.objects.pop(kids[0])
direct.objects[pages] = re.sub(rb"(?<![0-9])%d 0 R" % kids[0], lambda m: body, direct.objects[pages], 1)
write("direct-kids", direct.classic()[0])
small = {1: b"<< /Type /Catalog /Pages 2 0 R >>", 2: b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
         3: b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Contents 4 0 R >>",
         4: b"<< /Length 16 >>\nstream\n0 0 1 rg 9 9 99 re f\nendstream"}
write("rc4-empty-owner", rc4_encrypted(small, 1, b"user", b""))
write("rc4-pdfdoc", rc4_encrypted(small, 1, b"r\xa0sum\xe9", b"owner"))
write("rc4-open-junk", b"J" + rc4_encrypted(small, 1, b"", b"owner"))
