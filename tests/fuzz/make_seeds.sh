#!/usr/bin/env bash
# Writes the seed corpus of the fuzz targets into $1: PDFs made by peer tools
# (Ghostscript, qpdf, pikepdf) in their several cross-reference forms, and
# damaged copies of them.
set -euo pipefail
out=$1
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
gs -q -dBATCH -dNOPAUSE -dSAFER -sDEVICE=pdfwrite -sOutputFile="$tmp/gs.pdf" "$here/../../samples/sample.ps"
cp "$tmp/gs.pdf" "$out/classic.pdf"
# Inputs that once found a fault.
cp "$here/../fixtures/"*.pdf "$out/"
qpdf --object-streams=generate "$tmp/gs.pdf" "$out/objstm.pdf"
qpdf --object-streams=generate --compress-streams=n "$tmp/gs.pdf" "$out/objstm-plain.pdf"
qpdf --qdf "$tmp/gs.pdf" "$out/qdf.pdf"
qpdf --encrypt user owner 128 --use-aes=y -- "$tmp/gs.pdf" "$out/aes.pdf"
# The fuzz targets' silent host gives no password: an empty user password
# lets AES and RC4 decryption be fuzzed, in classic and object-stream files.
qpdf --encrypt "" owner 128 --use-aes=y -- "$tmp/gs.pdf" "$out/aes-open.pdf"
qpdf --object-streams=generate --encrypt "" owner 128 --use-aes=y -- "$tmp/gs.pdf" "$out/aes-open-objstm.pdf"
qpdf --allow-weak-crypto --encrypt "" owner 40 -- "$tmp/gs.pdf" "$out/rc4.pdf"
# AES-256: revision 6 with an empty user password (the fuzzers' silent host
# opens only those), as a classic and an object-stream file, and revision 5.
qpdf --object-streams=disable --encrypt "" owner 256 -- "$tmp/gs.pdf" "$out/aes256.pdf"
qpdf --object-streams=generate --encrypt "" owner 256 --cleartext-metadata -- "$tmp/gs.pdf" "$out/aes256-objstm.pdf"
qpdf --object-streams=disable --encrypt "" owner 256 --force-R5 -- "$tmp/gs.pdf" "$out/aes256-r5.pdf"
# For the security target: a password, a line feed and an encryption
# dictionary, of every revision, with right and wrong passwords.
qpdf --object-streams=disable --encrypt $'gr\xc3\xbc\xc3\x9fe' owner 256 --modify=none -- "$tmp/gs.pdf" "$tmp/locked.pdf"
qpdf --object-streams=disable --encrypt user owner 256 --force-R5 -- "$tmp/gs.pdf" "$tmp/r5.pdf"
qpdf --object-streams=disable --encrypt user owner 128 --use-aes=y -- "$tmp/gs.pdf" "$tmp/r4.pdf"
/usr/bin/python3 -c 'import re, sys
out = sys.argv[1]
for name, path, password in (("r6", out + "/aes256.pdf", b""), ("r6-owner", sys.argv[2], b"owner"),
                             ("r6-user", sys.argv[2], "gr\u00fc\u00dfe".encode()), ("r5", sys.argv[3], b"user"),
                             ("r4", sys.argv[4], b"wrong")):
    data = open(path, "rb").read()
    number = re.search(rb"/Encrypt (\d+) 0 R", data).group(1)
    body = re.search(rb"\n" + number + rb" 0 obj\s*(<<.*?)endobj", data, re.S).group(1)
    open("%s/dict-%s" % (out, name), "wb").write(password + b"\n" + body)' \
  "$out" "$tmp/locked.pdf" "$tmp/r5.pdf" "$tmp/r4.pdf"
qpdf --object-streams=generate --stream-data=uncompress "$tmp/gs.pdf" "$out/objstm-uncompressed.pdf"
/usr/bin/python3 -c 'import pikepdf, sys
pdf = pikepdf.open(sys.argv[1])
pdf.save(sys.argv[2], object_stream_mode=pikepdf.ObjectStreamMode.generate)' "$tmp/gs.pdf" "$out/pikepdf-objstm.pdf" ||
  true
# Damaged copies: every classic offset wrong; an object-stream file whose
# startxref is off by a few bytes.
sed 's/^\(00000[0-9]*\)[0-9] 00000 n/\17 00000 n/' "$tmp/gs.pdf" > "$out/wrong-offsets.pdf"
/usr/bin/python3 -c 'import sys
data = open(sys.argv[1], "rb").read()
at = data.rindex(b"startxref") + 10
end = data.index(b"\n", at)
open(sys.argv[2], "wb").write(data[:at] + str(int(data[at:end]) + 3).encode() + data[end:])' \
  "$out/objstm.pdf" "$out/objstm-bad-startxref.pdf"
# A damaged copy: the startxref offset points nowhere.
sed 's/^startxref$/startxref/' "$tmp/gs.pdf" | head -c -20 > "$out/truncated.pdf"
# Files that bend the format as real ones do.
/usr/bin/python3 "$here/real_world_seeds.py" "$tmp/gs.pdf" "$out"
# Tagged files, one whose structure tree loops, for the split target.
/usr/bin/python3 -c 'import sys
sys.path.insert(0, sys.argv[1])
import test_tagged
test_tagged.tagged_pdf(sys.argv[2] + "/tagged.pdf")
test_tagged.tagged_pdf(sys.argv[2] + "/tagged-loops.pdf", "kids loop")' "$here/../e2e" "$out"
# Bookmarks, a named destination and an open action, for the outline target.
printf '%s\n' '[/Title (One) /Page 1 /View [/XYZ 0 792 0] /Count -1 /OUT pdfmark' \
  '[/Title (One.A) /Page 2 /OUT pdfmark' '[/Dest /d2 /Page 2 /View [/Fit] /DEST pdfmark' \
  '[/Title (Two) /Dest /d2 /OUT pdfmark' '[/PageMode /UseOutlines /Page 2 /View [/FitH 700] /DOCVIEW pdfmark' \
  | cat "$here/../../samples/sample.ps" - > "$tmp/outlined.ps"
gs -q -dBATCH -dNOPAUSE -dSAFER -sDEVICE=pdfwrite -sOutputFile="$out/outlined.pdf" "$tmp/outlined.ps"
