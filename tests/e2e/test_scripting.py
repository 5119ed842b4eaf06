"""The command line as scripts and batch systems use it: names from a
pattern, the list of page files written, JSON results, no questions
without a terminal, passwords kept out of the process list, and one
message line per failure."""

import json
import os
import pty
import subprocess
import time

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


    def test_reruns_rename_replace_skip_or_fail_and_dry_runs_write_nothing(self):
        src = pdftest.ghostscript_pdf(self.path("doc12.pdf"), pdftest.text_pages_ps(12))
        other = pdftest.ghostscript_pdf(self.path("other.pdf"), pdftest.text_pages_ps(12, title="Other"))
        names = ["doc12-%02d.pdf" % p for p in range(1, 13)]
        # A dry run lists the plan and writes nothing, not even its folder.
        r = self.split("--dry-run", "--every", "5", "-o", self.path("out"), src)
        self.assertEqual(r.stdout, "".join("%s\t%s\n" % (self.path("out/doc12-%s.pdf" % n), p) for n, p in
                                           (("01-05", "1-5"), ("06-10", "6-10"), ("11-12", "11-12"))))
        self.assertFalse(os.path.exists(self.path("out")))
        self.split("-q", src)
        # rename (the default) is never silent.
        r = self.split(src)
        self.assertEqual(r.stderr, "brisel: %s: the names doc12-01.pdf... were taken: wrote doc12-001.pdf... "
                                   "instead\n" % src)
        self.assertEqual(len(self.pageFiles()), 2 + 24)
        for name in [n for n in self.pageFiles() if n.startswith("doc12-0") and len(n) == 13]:
            os.remove(self.path(name))
        # fail writes nothing when a name is taken, naming it.
        os.remove(self.path("doc12-05.pdf"))
        r = self.split("--if-exists", "fail", src, expect=4)
        self.assertIn("taken: " + self.path("doc12-01.pdf"), r.stderr)
        # skip writes only the missing page: a resumed run.
        before = os.stat(self.path("doc12-01.pdf")).st_ino
        r = self.split("--if-exists", "skip", "--json", src)
        self.assertEqual(json.loads(r.stdout)["written"], [self.path("doc12-05.pdf")])
        self.assertEqual(r.stderr, "brisel: %s: 11 page files exist and were left as they are\n" % src)
        self.assertEqual(os.stat(self.path("doc12-01.pdf")).st_ino, before)
        self.assertEqual(self.pageFiles(), sorted(names + ["doc12.pdf", "other.pdf"]))
        # replace puts whole files in place of the old ones, through a link
        # never; the dry run says which names exist.
        os.symlink(self.path("elsewhere.pdf"), self.path("o-03.pdf"))
        r = self.split("--dry-run", "--json", "--if-exists", "replace", "--name", "o-%d.pdf", "--pages", "2-3", src)
        self.assertEqual(json.loads(r.stdout)["plan"], [
            {"file": self.path("o-02.pdf"), "pages": [2], "title": None, "exists": False},
            {"file": self.path("o-03.pdf"), "pages": [3], "title": None, "exists": True}])
        os.remove(self.path("doc12-03.pdf"))
        for name in names[:2] + names[3:]:
            os.rename(self.path(name), self.path("o-" + name[6:]))
        self.split("-q", "--if-exists", "replace", "--name", "o-%d.pdf", other)
        self.assertFalse(os.path.lexists(self.path("elsewhere.pdf")))
        self.assertFalse(os.path.islink(self.path("o-03.pdf")))
        self.assertPageFilesMatch(other, names={p: self.path("o-%02d.pdf" % p) for p in range(1, 13)})
        self.assertEqual([f for f in os.listdir(self.dir) if f.startswith(".")], [])


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
        text = self.path("text.pdf")
        with open(text, "w") as f:
            f.write("plain text\n")
        odd = self.path("caf\u00e9 \"x\".pdf")
        os.symlink(self.plain, odd)
        # A name that is not UTF-8 comes back exact through surrogateescape.
        latin = os.path.join(os.fsencode(self.dir), b"r\xe9sum\xe9.pdf")
        os.symlink(self.plain, latin)
        files = [self.plain, self.locked, text, self.path("gone.pdf"), odd, one, os.fsdecode(latin)]
        for env, reasons in (({}, ["needs a password and there is no terminal to ask for it (give it with "
                                   "--password-file FILE or BRISEL_PASSWORD)",
                                   "not a PDF file", "no such file"]),
                             ({"LANG": "ja_JP.UTF-8"}, ["パスワードが必要ですが、入力を求める端末がありません（"
                                                        "--password-file FILE または BRISEL_PASSWORD で指定してください）",
                                                        "PDF ファイルではありません",
                                                        "ファイルが見つかりません"])):
            with self.subTest(env=env):
                r = self.split("--json", "--verbose", "--name", "%s-%d-" + str(len(env)) + ".pdf", *files,
                               env=env, expect=10)
                results = [json.loads(line) for line in r.stdout.splitlines()]
                written = lambda f, pages=(1, 2, 3): [self.path("%s-%d-%d.pdf" % (f, p, len(env))) for p in pages]
                done = {"status": 0, "pages": 3, "error": None, "reason": None, "warnings": []}
                self.assertEqual(results, [
                    dict(done, file=self.plain, written=written("plain")),
                    {"file": self.locked, "status": 10, "pages": None, "written": [], "error": "password-needed",
                     "reason": reasons[0], "warnings": []},
                    {"file": text, "status": 1, "pages": None, "written": [], "error": "not-pdf",
                     "reason": reasons[1], "warnings": []},
                    {"file": self.path("gone.pdf"), "status": 1, "pages": None, "written": [], "error": "missing",
                     "reason": reasons[2], "warnings": []},
                    dict(done, file=odd, written=written('caf\u00e9 "x"')),
                    dict(done, file=one, pages=1, written=written("one", (1,))),
                    dict(done, file=os.fsdecode(latin), written=written(os.fsdecode(b"r\xe9sum\xe9")))])
                self.assertEqual(os.fsencode(results[-1]["written"][0]),
                                 os.path.join(os.fsencode(self.dir), b"r\xe9sum\xe9-1-%d.pdf" % len(env)))
                # Each failure is also its one line on stderr.
                self.assertEqual(r.stderr.splitlines(), ["brisel: %s: %s" % (f, reason) for f, reason
                                                         in zip(files[1:4], reasons)])
        # --verbose alone: the list of page files is all there is on stdout.
        r = self.split("--verbose", "--name", "v-%d.pdf", self.plain)
        self.assertEqual((r.stdout, r.stderr), ("".join(self.path("v-%d.pdf\n" % p) for p in (1, 2, 3)), "Done\n"))
        # A run stopped by SIGTERM: the JSON status is the exit status.
        big = pdftest.ghostscript_pdf(self.path("big.pdf"), pdftest.text_pages_ps(2000))
        run = subprocess.Popen([pdftest.BRISEL, "--json", "--yes", big], stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, text=True)
        time.sleep(0.3)
        run.terminate()
        out, _ = run.communicate(timeout=60)
        if run.returncode != 0:
            self.assertEqual((run.returncode, json.loads(out)["status"], json.loads(out)["error"]),
                             (143, 143, "stopped"))
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
