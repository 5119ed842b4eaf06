"""The command line as scripts and batch systems use it: names from a
pattern, the list of page files written, JSON results, no questions
without a terminal, passwords kept out of the process list, and one
message line per failure."""

import json
import os
import pty
import subprocess

import pdftest
from pdftest import SplitTestCase


class NamePatternTest(SplitTestCase):

    def test_names_by_pattern_are_exact_and_never_overwrite(self):
        src = pdftest.ghostscript_pdf(self.path("scan.pdf"), pdftest.text_pages_ps(12))
        out = self.path("out")
        self.split("--name", "%s_p%3d%%.pdf", "--out", out, src)
        names = {p: os.path.join(out, "scan_p%03d%%.pdf" % p) for p in range(1, 13)}
        self.assertEqual(self.pageFiles(out), sorted(os.path.basename(n) for n in names.values()))
        self.assertPageFilesMatch(src, names=names)
        # %d pads to the page count's width; the pattern lands beside the input.
        self.split("--name=%d.pdf", "--pages", "9-10", src)
        self.assertEqual(self.pageFiles(), ["09.pdf", "10.pdf", "scan.pdf"])
        # A second run: every name is taken. The first taken one is named,
        # nothing is written, and no other name is invented.
        before = sorted(os.listdir(out))
        r = self.split("--name", "%s_p%3d%%.pdf", "--out", out, src, expect=4)
        self.assertEqual(r.stderr, "brisel: %s: Can't Create New Files (a page file's name is taken: %s)\n"
                         % (src, names[1]))
        self.assertEqual(sorted(os.listdir(out)), before)
        # One name taken in the middle of a range: still nothing written.
        r = self.split("--name", "%d.pdf", src, expect=4)
        self.assertIn("taken: " + self.path("09.pdf"), r.stderr)
        self.assertEqual(self.pageFiles(), ["09.pdf", "10.pdf", "scan.pdf"])
        # A pattern that cannot name every page, or names a folder.
        for pattern in ("%s.pdf", "sub/%d.pdf", "%q%d"):
            r = self.split("--name", pattern, src, expect=2)
            self.assertTrue(r.stderr.startswith("brisel: --name "), r.stderr)


class PasswordAndResultTest(SplitTestCase):

    def setUp(self):
        super().setUp()
        self.plain = pdftest.ghostscript_pdf(self.path("plain.pdf"), pdftest.text_pages_ps(3))
        self.locked = self.path("locked.pdf")
        r = pdftest.run(["qpdf", "--encrypt", "s\u00e9same", "owner", "256", "--", self.plain, self.locked])
        self.assertEqual(r.returncode, 0, r.stderr)

    def test_passwords_from_a_file_standard_input_or_the_environment(self):
        pw = self.path("pw")
        with open(pw, "w", encoding="utf-8") as f:
            f.write("s\u00e9same\nwrong\n")
        out = self.path("out")
        runs = [(["--password-file", pw], {}, None),
                (["--password-file", "-"], {}, "s\u00e9same\r\n"),
                ([], {"BRISEL_PASSWORD": "s\u00e9same"}, None),
                # An option beats the environment, and the later option the earlier.
                (["--password", "wrong", "--password-file", pw], {"BRISEL_PASSWORD": "wrong"}, None)]
        for k, (args, env, stdin) in enumerate(runs):
            with self.subTest(args=args, env=env):
                r = self.split(*args, "-q", "--name", "%d-" + str(k) + ".pdf", "-o", out, self.locked,
                               env=env, input=stdin)
                self.assertEqual(r.stderr, "")
        names = {p: os.path.join(out, "%d-0.pdf" % p) for p in (1, 2, 3)}
        self.assertPageFilesMatch(self.locked, password="s\u00e9same", names=names)
        self.assertEqual(len(self.pageFiles(out)), 12)
        # A wrong one fails at once without a terminal, and so does none.
        r = self.split(self.locked, env={"BRISEL_PASSWORD": "wrong"}, expect=10)
        self.assertEqual(r.stderr, "brisel: %s: the password is wrong\n" % self.locked)
        # A password file that is not there is a wrong argument.
        r = self.split("--password-file", self.path("none"), self.locked, expect=2)
        self.assertEqual(r.stderr, "brisel: %s: no such file\n" % self.path("none"))

    def test_json_gives_one_object_per_input_and_nothing_else(self):
        one = pdftest.ghostscript_pdf(self.path("one.pdf"), pdftest.text_pages_ps(1))
        odd = self.path("caf\u00e9 \"x\".pdf")
        os.symlink(self.plain, odd)
        files = [self.plain, self.locked, one, self.path("gone.pdf"), odd]
        for env, reasons in (({}, ["needs a password and there is no terminal to ask for it (give it with "
                                   "--password-file FILE or BRISEL_PASSWORD)",
                                   "Can't Split: This PDF File has Only One Page", "no such file"]),
                             ({"LANG": "ja_JP.UTF-8"}, ["パスワードが必要ですが、入力を求める端末がありません（"
                                                        "--password-file FILE または BRISEL_PASSWORD で指定してください）",
                                                        "これ以上分解できません",
                                                        "ファイルが見つかりません"])):
            with self.subTest(env=env):
                r = self.split("--json", "--verbose", "--name", "%s-%d-" + str(len(env)) + ".pdf", *files,
                               env=env, expect=10)
                results = [json.loads(line) for line in r.stdout.splitlines()]
                written = lambda f: [self.path("%s-%d-%d.pdf" % (f, p, len(env))) for p in (1, 2, 3)]
                self.assertEqual(results, [
                    {"file": self.plain, "status": 0, "pages": 3, "written": written("plain"), "reason": None,
                     "warnings": []},
                    {"file": self.locked, "status": 10, "pages": None, "written": [], "reason": reasons[0],
                     "warnings": []},
                    {"file": one, "status": 3, "pages": 1, "written": [], "reason": reasons[1], "warnings": []},
                    {"file": self.path("gone.pdf"), "status": 1, "pages": None, "written": [], "reason": reasons[2],
                     "warnings": []},
                    {"file": odd, "status": 0, "pages": 3, "written": written('caf\u00e9 "x"'), "reason": None,
                     "warnings": []}])
                # Each failure is also its one line on stderr.
                self.assertEqual(r.stderr.splitlines(), ["brisel: %s: %s" % (f, reason) for f, reason
                                                         in zip(files[1:4], reasons)])
        self.assertPageFilesMatch(self.plain, names={p: self.path("plain-%d-0.pdf" % p) for p in (1, 2, 3)})


class TerminalTest(SplitTestCase):

    def test_on_a_terminal_the_warn_limit_still_asks(self):
        src = pdftest.ghostscript_pdf(self.path("t.pdf"), pdftest.text_pages_ps(4))
        env = dict(os.environ, LANG="C", LC_ALL="", LC_MESSAGES="")
        for answer, status, files in (("n", 10, 1), ("y", 0, 5)):
            master, slave = pty.openpty()
            proc = subprocess.Popen([pdftest.BRISEL, "--warn-limit", "4", src], stdin=slave, stdout=subprocess.PIPE,
                                    stderr=slave, env=env)
            os.close(slave)
            shown = b""
            while b"[y/N]" not in shown:
                chunk = os.read(master, 4096)
                self.assertTrue(chunk, shown)
                shown += chunk
            os.write(master, answer.encode() + b"\n")
            self.assertEqual(proc.wait(timeout=60), status)
            proc.stdout.close()
            os.close(master)
            self.assertIn(b"4 files are created newly. [y/N] ", shown)
            self.assertEqual(len(self.pageFiles()), files)


if __name__ == "__main__":
    pdftest.main()
