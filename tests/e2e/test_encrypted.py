"""Encrypted inputs: qpdf encrypts a Ghostscript document at test time in
every revision the program opens; each page file must open with the input's
passwords, carry its permissions, render like its page and hold nothing
plain."""

import os
import re
import unittest

import pdftest
from pdfbytes import rc4_encrypted
from pdftest import SplitTestCase, ghostscript_pdf, output_name, qpdf_check, run, text_pages_ps

# qpdf arguments after the two passwords, and whether they give object streams.
VARIANTS = {
    "r2_rc4_40": ["40"],
    "r3_rc4_128": ["128", "--use-aes=n"],
    "r4_rc4": ["128", "--use-aes=n", "--force-V4"],
    "r4_aes": ["128", "--use-aes=y"],
    "r4_aes_clear_metadata": ["128", "--use-aes=y", "--cleartext-metadata"],
    "r5_aes256": ["256", "--force-R5"],
    "r6_aes256": ["256"],
    "r6_aes256_clear_metadata": ["256", "--cleartext-metadata"],
}


OWNER_NEEDED = ("its permissions forbid splitting without the owner password (give the owner password with "
                "--password, --password-file FILE or BRISEL_PASSWORD)")


def encryption_report(path, password):
    """The lines of `qpdf --show-encryption` that describe the protection."""
    r = run(["qpdf", "--password=" + password, "--show-encryption", path])
    lines = [l for l in r.stdout.splitlines() if not l.startswith(("User password", "Supplied password"))]
    return lines


class EncryptedSplitTest(SplitTestCase):
    PAGES = 3

    def make_input(self, name, user, owner, args, object_streams=False):
        plain = ghostscript_pdf(self.path(name + "-plain.pdf"), text_pages_ps(self.PAGES, title=name, image=True))
        path = self.path(name + ".pdf")
        layout = ["--object-streams=generate"] if object_streams else ["--object-streams=disable"]
        r = run(["qpdf", "--allow-weak-crypto", *layout, "--encrypt", user, owner, *args, "--", plain, path])
        self.assertIn(r.returncode, (0, 3), r.stderr)
        os.remove(plain)
        return path

    def assertProtectedLikeInput(self, path, user, owner, reference=None):
        """Every page file opens with both passwords, reports the input's
        protection (or that of an intact twin), and neither its content nor
        its strings are plain."""
        expected = encryption_report(reference or path, owner)
        for page in range(1, self.PAGES + 1):
            name = output_name(path, page, self.PAGES)
            self.assertEqual(encryption_report(name, owner), expected, name)
            for password in (user, owner):
                ok, report = qpdf_check(name, password)
                self.assertTrue(ok, report)
            with open(name, "rb") as f:
                data = f.read()
            # A plain page file holds its creation date and producer as
            # "(D:20261208...)" and "(\\376\\377\\0\\102\\0\\162...)"; encrypted,
            # neither is left.
            self.assertNotRegex(data, rb"/CreationDate \(D:\d{14}\)", name + ": the creation date is plain")
            self.assertNotIn(rb"(\376\377\0\102\0\162\0\151", data, name + ": the producer string is plain")
            if user:
                ok, _ = qpdf_check(name)
                self.assertFalse(ok, name + " opens without a password")

    def split_and_check(self, path, user, owner):
        args = ["--password", user] if user else []
        self.split(*args, path)
        self.assertPageFilesMatch(path, password=user)
        self.assertProtectedLikeInput(path, user, owner)

    def test_every_revision_with_and_without_user_password(self):
        for variant, args in VARIANTS.items():
            for user in ("", "user"):
                with self.subTest(variant=variant, user=user):
                    path = self.make_input("%s-%s" % (variant, user or "open"), user, "owner", args)
                    self.split_and_check(path, user, "owner")

    def test_object_stream_files(self):
        for variant in ("r3_rc4_128", "r4_aes", "r5_aes256", "r6_aes256", "r6_aes256_clear_metadata"):
            with self.subTest(variant=variant):
                path = self.make_input(variant + "-objstm", "user", "owner", VARIANTS[variant], object_streams=True)
                self.split_and_check(path, "user", "owner")
        for variant in ("r4_aes", "r6_aes256"):
            with self.subTest(variant=variant, locked=True):
                locked = self.make_input(variant + "-locked-objstm", "user", "owner",
                                         VARIANTS[variant] + ["--modify=none"], object_streams=True)
                r = self.split("--password", "user", locked, expect=10)
                self.assertEqual(r.stderr, "brisel: %s: %s\n" % (locked, OWNER_NEEDED))
                self.assertEqual(r.stdout, "")
                self.split("--password", "owner", locked)
                self.assertPageFilesMatch(locked, password="user")
                self.assertProtectedLikeInput(locked, "user", "owner")

    def test_trailer_information_that_is_not_a_reference(self):
        # /Info null or an empty dictionary in the trailer, before or after
        # /ID: the file opens without a password, and the key comes from /ID.
        for variant in ("r3_rc4_128", "r4_aes"):
            path = self.make_input(variant + "-info", "", "owner", VARIANTS[variant])
            with open(path, "rb") as f:
                data = f.read()
            at = data.rindex(b"trailer")
            trailer = data[at:]
            file_id = re.search(rb"/ID\s*\[[^\]]*\]", trailer).group(0)
            trailer = trailer.replace(file_id, b"")
            for info in (b"null", b"<<>>"):
                for id_first in (True, False):
                    with self.subTest(variant=variant, info=info, id_first=id_first):
                        entries = [file_id, b"/Info " + info] if id_first else [b"/Info " + info, file_id]
                        edited = re.sub(rb"/Info\s+\d+\s+\d+\s+R", b" ".join(entries), trailer)
                        name = "%s-info-%s-%s.pdf" % (variant, info.decode().strip("<>") or "empty",
                                                      "id-first" if id_first else "id-last")
                        case = self.path(name)
                        with open(case, "wb") as f:
                            f.write(data[:at] + edited)
                        self.split(case)
                        self.assertPageFilesMatch(case, password="")

    def test_owner_password_opens_a_file_that_forbids_splitting(self):
        for variant, restrict in (("r2_rc4_40", ["--modify=n"]), ("r4_aes", ["--modify=none"]),
                                  ("r5_aes256", ["--modify=none"]), ("r6_aes256", ["--assemble=n", "--modify=none"])):
            with self.subTest(variant=variant):
                path = self.make_input(variant + "-locked", "user", "owner", VARIANTS[variant] + restrict)
                # The user password is not enough, and the message says why.
                r = self.split("--password", "user", path, expect=10)
                self.assertEqual(r.stderr, "brisel: %s: %s\n" % (path, OWNER_NEEDED))
                self.assertFalse(os.path.exists(output_name(path, 1, self.PAGES)))
                self.split("--password", "owner", path)
                self.assertPageFilesMatch(path, password="user")
                self.assertProtectedLikeInput(path, "user", "owner")

    def test_permissions(self):
        for variant in ("r2_rc4_40", "r4_aes", "r5_aes256", "r6_aes256"):
            restrict = ["--modify=n"] if variant == "r2_rc4_40" else ["--modify=none", "--assemble=n"]
            with self.subTest(variant=variant):
                # An empty owner password is tried first: its rights apply,
                # and a file that forbids splitting splits without a question.
                open_owner = self.make_input(variant + "-empty-owner", "", "", VARIANTS[variant] + restrict)
                self.split_and_check(open_owner, "", "")
                # With a user password as well, no password is asked for.
                # Before revision 5 an empty owner password is written as
                # the user password: that one is then the owner's.
                aes256 = VARIANTS[variant][0] == "256"
                with_user = self.make_input(variant + "-user-empty-owner", "user", "",
                                            VARIANTS[variant] + restrict + (["--allow-insecure"] if aes256 else []))
                self.split(*([] if aes256 else ["--password", "user"]), with_user)
                self.assertPageFilesMatch(with_user, password="user")
                # So does a password that is both passwords.
                same = self.make_input(variant + "-same", "same", "same", VARIANTS[variant] + restrict)
                self.split_and_check(same, "same", "same")
                # Opens without a password, forbids splitting, owner unknown:
                # refused, saying so; the owner password lifts it.
                locked = self.make_input(variant + "-locked-open", "", "owner", VARIANTS[variant] + restrict)
                r = self.split(locked, expect=10)
                self.assertEqual(r.stderr, "brisel: %s: %s\n" % (locked, OWNER_NEEDED))
                self.assertFalse(os.path.exists(output_name(locked, 1, self.PAGES)))
                self.split("--password", "owner", locked)
                self.assertPageFilesMatch(locked)
                self.assertProtectedLikeInput(locked, "", "owner")
                # Without a terminal a password prompt fails at once.
                needs = self.make_input(variant + "-needs", "user", "owner", VARIANTS[variant])
                r = self.split(needs, expect=10)
                self.assertEqual(r.stderr, "brisel: %s: needs a password and there is no terminal to ask for it "
                                           "(give it with --password-file FILE or BRISEL_PASSWORD)\n" % needs)
                self.assertFalse(os.path.exists(output_name(needs, 1, self.PAGES)))

    def test_non_ascii_passwords_in_any_normal_form(self):
        user, owner = "gr\u00fc\u00dfe", "\u03a9mega\u5bc6\u7801"
        for variant in ("r5_aes256", "r6_aes256"):
            with self.subTest(variant=variant):
                path = self.make_input(variant + "-utf8", user, owner, VARIANTS[variant] + ["--modify=none"])
                r = self.split("--password", user, path, expect=10)
                self.assertEqual(r.stderr, "brisel: %s: %s\n" % (path, OWNER_NEEDED))
                # The owner password typed with a soft hyphen, which
                # preparation maps to nothing, and the user password typed
                # decomposed, which preparation composes: both are the
                # passwords qpdf was given.
                typed = "\u03a9me\u00adga\u5bc6\u7801"
                self.split("--password", typed, path)
                self.assertPageFilesMatch(path, password=user)
                self.assertProtectedLikeInput(path, user, owner)
                open_path = self.make_input(variant + "-utf8-open", user, owner, VARIANTS[variant])
                self.split("--password", "gru\u0308\u00dfe", open_path)
                self.assertPageFilesMatch(open_path, password=user)
                self.assertProtectedLikeInput(open_path, user, owner)

    def test_passwords_that_readers_try_or_convert(self):
        # An empty owner password beside a user password: readers open the
        # file without a prompt, with the owner's rights, even where the
        # user may not split. Made here by hand for RC4 (qpdf puts the user
        # password in place of an empty owner password), by qpdf for AES-256.
        objects = {1: b"<< /Type /Catalog /Pages 2 0 R >>", 2: b"<< /Type /Pages /Kids [3 0 R 6 0 R] /Count 2 >>",
                   5: b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"}
        for page, content in ((3, b"BT /F1 24 Tf 30 100 Td (Protected) Tj ET 0 0 1 rg 30 30 100 40 re f"),
                              (6, b"1 0 0 rg 100 50 150 90 re f BT /F1 18 Tf 20 20 Td (Second) Tj ET")):
            objects[page] = (b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Contents %d 0 R "
                             b"/Resources << /Font << /F1 5 0 R >> >> >>" % (page + 1))
            objects[page + 1] = b"<< /Length %d >>\nstream\n%s\nendstream" % (len(content), content)
        files = []
        for revision in (2, 3):
            for permissions in (-4, -64):
                files.append(("rc4-r%d-p%d" % (revision, -permissions),
                              rc4_encrypted(objects, 1, b"user", b"", permissions, revision), "user"))
        # Passwords of revisions 2 to 4 are PDFDocEncoding bytes: typed as
        # UTF-8 they are converted, and the bytes as typed still work.
        typed = "r\u20acsum\u00e9\u2013"
        stored = b"r\xa0sum\xe9\x85"
        # pdftoppm takes the stored bytes as they are.
        files.append(("pdfdoc", rc4_encrypted(objects, 1, stored, b"owner"), os.fsdecode(stored)))
        files.append(("utf8-bytes", rc4_encrypted(objects, 1, typed.encode(), b"owner"), typed))
        for name, data, user in files:
            with self.subTest(name):
                path = self.path(name + ".pdf")
                with open(path, "wb") as f:
                    f.write(data)
                self.split(*(["--password", typed] if user != "user" else []), path)
                self.assertPageFilesMatch(path, password=user)
        aes = self.make_input("r6-empty-owner", "user", "", VARIANTS["r6_aes256"] + ["--modify=none", "--allow-insecure"])
        self.split(aes)
        self.assertPageFilesMatch(aes, password="user")
        # A V4 crypt filter that gives its /Length in bytes (16), in a
        # dictionary that gives none: a 128-bit key, opened with the empty
        # password.
        v4 = self.make_input("v4-length16", "", "owner", VARIANTS["r4_rc4"])
        with open(v4, "rb") as f:
            data = f.read()
        self.assertIn(b"/CFM /V2 /Length 16", data)
        with open(v4, "wb") as f:
            f.write(data.replace(b"/Filter /Standard /Length 128 ", b"/Filter /Standard " + b" " * 12, 1))
        self.split(v4)
        self.assertPageFilesMatch(v4)
        # A /Perms that holds no seal (a writer's slip that readers pass
        # over): /P holds, and the page files carry a seal that agrees.
        slip = self.make_input("r6-perms-slip", "", "owner", VARIANTS["r6_aes256"])
        with open(slip, "rb") as f:
            data = f.read()
        at = data.index(b"/Perms <") + len(b"/Perms <")
        with open(slip, "wb") as f:
            f.write(data[:at] + (b"0" if data[at:at + 1] != b"0" else b"1") + data[at + 1:])
        self.split(slip)
        self.assertPageFilesMatch(slip)
        for page in range(1, self.PAGES + 1):
            r = run(["qpdf", "--check", output_name(slip, page, self.PAGES)])
            self.assertEqual((r.returncode, r.stderr), (0, ""))

    def test_bytes_before_the_header(self):
        # Offsets count from the header; one byte in front leaves each a
        # byte short, and white space before every section hides that.
        plain = ghostscript_pdf(self.path("thirty.pdf"), text_pages_ps(30, title="Thirty"))
        intact = self.path("intact.pdf.ref")
        r = run(["qpdf", "--allow-weak-crypto", "--object-streams=disable", "--encrypt", "user", "owner",
                 *VARIANTS["r3_rc4_128"], "--", plain, intact])
        self.assertIn(r.returncode, (0, 3), r.stderr)
        with open(intact, "rb") as f:
            data = f.read()
        for junk in (b"J", b"Received: by a mail gateway\r\n"):
            with self.subTest(junk=junk):
                path = self.path("junk%d.pdf" % len(junk))
                with open(path, "wb") as f:
                    f.write(junk + data)
                self.split("--yes", "--password", "user", path)
                self.assertPageFilesMatch(path, password="user", reference=intact)

    def test_repair_of_encrypted_stream_files(self):
        # The cross-reference stream's data is damaged: the repair finds the
        # objects, decrypts what it carries over and the object streams it
        # unpacks.
        for variant in ("r3_rc4_128", "r4_aes", "r6_aes256"):
            with self.subTest(variant=variant):
                intact = self.make_input(variant + "-intact", "user", "owner", VARIANTS[variant], object_streams=True)
                with open(intact, "rb") as f:
                    data = bytearray(f.read())
                at = int(re.search(rb"startxref\s+(\d+)", bytes(data[-64:])).group(1))
                start = data.index(b"stream", at) + 8
                for i in range(start + 2, start + 12):
                    data[i] ^= 0x5A
                path = self.path(variant + "-damaged.pdf")
                with open(path, "wb") as f:
                    f.write(data)
                self.split("--password", "user", path)
                self.assertPageFilesMatch(path, password="user", reference=intact)
                self.assertProtectedLikeInput(path, "user", "owner", reference=intact)

    def test_cut_short_and_misplaced(self):
        # Cut before the trailer, an encrypted file has lost its /Encrypt
        # entry and its identifier (and, cut earlier, the dictionary too):
        # the run fails and says why, or writes page files that hold their
        # text, never ciphertext under "Done".
        self.PAGES = 30
        for variant in ("r2_rc4_40", "r4_aes", "r6_aes256"):
            intact = self.make_input(variant + "-whole", "", "owner", VARIANTS[variant])
            with open(intact, "rb") as f:
                data = f.read()
            for percent in (30, 70, 85, 95, 99):
                with self.subTest(variant=variant, percent=percent):
                    path = self.path("%s-cut%d.pdf" % (variant, percent))
                    with open(path, "wb") as f:
                        f.write(data[:len(data) * percent // 100])
                    r = pdftest.brisel(path)
                    self.assertIn(r.returncode, (0, 1, 6), r.stderr)
                    if r.returncode == 1:
                        self.assertRegex(r.stderr, r"^brisel: .*: Failed \(the file is encrypted, and its "
                                                   r"(key was lost with its trailer|encryption dictionary is lost): "
                                                   r"the file is damaged or cut short\)\n$")
                        stem = os.path.basename(path)[:-4] + "-"
                        self.assertEqual([n for n in self.pageFiles() if n.startswith(stem)], [])
                        os.remove(path)
                        continue
                    incomplete = set()
                    m = re.search(r"are incomplete \(the file is damaged or cut short\): ([\d, -]+)\n", r.stderr)
                    for part in (m.group(1).split(", ") if m else ()):
                        a, _, b = part.partition("-")
                        incomplete.update(range(int(a), int(b or a) + 1))
                    self.assertEqual(bool(incomplete), r.returncode == 6, r.stderr)
                    for page in range(1, 31):
                        name = output_name(path, page, 30)
                        ok, report = qpdf_check(name)
                        self.assertTrue(ok, report)
                        if page not in incomplete:
                            text = run(["pdftotext", name, "-"]).stdout
                            self.assertIn("%s-whole %d" % (variant, page), text, name)
                        os.remove(name)
                    os.remove(path)
            os.remove(intact)
        self.PAGES = 3
        # The table's entry for the first page's content points 7 bytes
        # past it: the object is found nearby, before decryption, as in a
        # plain file.
        for variant in ("r2_rc4_40", "r3_rc4_128", "r4_aes", "r6_aes256"):
            with self.subTest(variant=variant, entry="off"):
                intact = self.make_input(variant + "-entry", "", "owner", VARIANTS[variant])
                with open(intact, "rb") as f:
                    data = f.read()
                number = int(re.search(rb"/Contents (\d+) 0 R", data).group(1))
                table = data.rindex(b"\nxref\n0 ") + 1
                at = data.index(b"\n", data.index(b"\n", table) + 1) + 1 + 20 * number
                offset = int(data[at:at + 10])
                path = self.path(variant + "-off.pdf")
                with open(path, "wb") as f:
                    f.write(data[:at] + b"%010d" % (offset + 7) + data[at + 10:])
                self.split(path)
                self.assertPageFilesMatch(path, reference=intact)
                self.assertProtectedLikeInput(path, "", "owner", reference=intact)

    def test_remembered_password_opens_the_next_file(self):
        first = self.make_input("first", "user", "owner", VARIANTS["r4_aes"])
        second = self.make_input("second", "user", "owner", VARIANTS["r3_rc4_128"])
        third = self.make_input("third", "user", "owner", VARIANTS["r6_aes256"])
        r = self.split("--password", "user", first, second, third)
        self.assertEqual(r.stdout, "Done\nDone (The password input last time was used)\n"
                                   "Done (The password input last time was used)\n")
        self.assertPageFilesMatch(second, password="user")
        self.assertPageFilesMatch(third, password="user")


if __name__ == "__main__":
    pdftest.main()
