"""What the command line tells a person: which file failed and why, nothing
but errors with --quiet, an output folder made on demand, and a progress bar
that a slow console can keep up with."""

import os
import pty
import re
import subprocess
import time
import unittest

import pdftest
from pdftest import SplitTestCase


class MessagesTest(SplitTestCase):
    def setUp(self):
        super().setUp()
        self.good = pdftest.ghostscript_pdf(self.path("good.pdf"), pdftest.text_pages_ps(3))
        self.one = pdftest.ghostscript_pdf(self.path("one.pdf"), pdftest.text_pages_ps(1))
        self.damaged = self.path("damaged.pdf")
        with open(self.damaged, "wb") as f:
            f.write(b"%PDF-1.4\n" + b"no objects here " * 300)

    def test_each_failure_names_its_file_and_why(self):
        notes = self.path("notes.pdf")
        with open(notes, "w") as f:
            f.write("not a PDF at all\n" * 100)
        files = [self.good, self.damaged, notes, self.path("gone.pdf")]
        english = ["brisel: %s: Failed (the cross-reference table is damaged and could not be repaired)" % self.damaged,
                   "brisel: %s: not a PDF file" % notes,
                   "brisel: %s: no such file" % self.path("gone.pdf")]
        japanese = ["brisel: %s: 分解操作に失敗しました（相互参照表が壊れていて修復できません）" % self.damaged,
                    "brisel: %s: PDF ファイルではありません" % notes,
                    "brisel: %s: ファイルが見つかりません" % self.path("gone.pdf")]
        for env, quiet, lines, done in (({}, False, english, "Done\n"), ({}, True, english, ""),
                                        ({"LANG": "ja_JP.UTF-8"}, False, japanese, "分解操作完了\n")):
            with self.subTest(env=env, quiet=quiet):
                args = ["--quiet"] if quiet else []
                # The status is the first file's failure: 1 for the damaged one.
                r = self.split(*args, *files, env=env, expect=1)
                self.assertEqual(r.stdout, done)
                if env:
                    # The names of the first run are taken: the third run says
                    # which names it wrote instead.
                    lines = ["brisel: %s: good-1.pdf などの名前は使われていたため、good-11.pdf などの名前で作成しました"
                             % self.good] + lines
                self.assertEqual(r.stderr, "\n".join(lines) + "\n")
        # Three runs over the good file, each with its own names; the second
        # and third say so.
        self.assertEqual(len(self.pageFiles()), 4 + 3 * 3)

    def test_out_makes_the_folder_and_its_parents(self):
        out = self.path(os.path.join("a", "b", "c"))
        r = self.split("--quiet", "--out", out, self.good)
        self.assertEqual((r.stdout, r.stderr), ("", ""))
        self.assertEqual(self.pageFiles(out), ["good-1.pdf", "good-2.pdf", "good-3.pdf"])
        self.assertPageFilesMatch(self.good, out_dir=out)


class ProgressTest(SplitTestCase):
    def test_bar_is_repainted_at_most_ten_times_a_second(self):
        src = pdftest.ghostscript_pdf(self.path("big.pdf"), pdftest.text_pages_ps(3000))
        master, slave = pty.openpty()
        env = dict(os.environ, LANG="C", LC_ALL="", LC_MESSAGES="")
        start = time.time()
        proc = subprocess.Popen([pdftest.BRISEL, "--no-warn", src], stdout=subprocess.PIPE, stderr=slave, env=env)
        os.close(slave)
        shown = b""
        while True:
            try:
                chunk = os.read(master, 65536)
            except OSError:
                break
            if not chunk:
                break
            shown += chunk
        os.close(master)
        self.assertEqual(proc.wait(timeout=600), 0)
        proc.stdout.close()
        elapsed = time.time() - start
        paints = [p.rstrip(b" ").decode() for p in shown.split(b"\r") if p.strip()]
        # One paint per tenth of a second, the last page, and the stages
        # before the page loop that happen to fall into a new tenth.
        self.assertLessEqual(len(paints), int(elapsed * 10) + 4, paints)
        bars = [p for p in paints if p.startswith("Creating Pages [")]
        self.assertEqual(bars[-1], "Creating Pages [%s] 3000/3000 100%%" % ("#" * 24))
        for bar in bars:
            m = re.fullmatch(r"Creating Pages \[(#*)(-*)\] (\d+)/3000 (\d+)%", bar)
            self.assertIsNotNone(m, bar)
            done = int(m.group(3))
            self.assertEqual((len(m.group(1)), len(m.group(2)), int(m.group(4))),
                             (done * 24 // 3000, 24 - done * 24 // 3000, done * 100 // 3000), bar)
        self.assertEqual(len(self.pageFiles()), 3001)


if __name__ == "__main__":
    unittest.main()
