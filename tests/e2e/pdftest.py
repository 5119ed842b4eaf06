"""Shared helpers of the end-to-end tests.

Inputs are made at test time by peer tools (Ghostscript, qpdf, pikepdf) and
every output is judged by tools nobody here wrote: `qpdf --check` must pass
and each page file must render pixel-identical to its page of the input
(`pdftoppm -hide-annotations`).
"""

import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

from pdfbytes import Builder, objects_of

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
BRISEL = os.environ.get("BRISEL") or os.path.join(ROOT, "build", "release", "brisel")
WORK = os.environ.get("BRISEL_WORK") or os.path.join(tempfile.gettempdir(), "brisel-e2e")


def run(cmd, **kwargs):
    # Tools may echo a password's bytes, which need not be UTF-8.
    return subprocess.run(cmd, capture_output=True, text=True, errors="replace", **kwargs)


def brisel(*args, cwd=None, input=None, env=None):
    """Runs the command line; returns the CompletedProcess."""
    full_env = dict(os.environ, LANG="C", LC_ALL="", LC_MESSAGES="")
    full_env.update(env or {})
    # Without input, standard input is no terminal, as in a script.
    stdin = {"input": input} if input is not None else {"stdin": subprocess.DEVNULL}
    return subprocess.run([BRISEL, *args], capture_output=True, text=True, cwd=cwd,
                          env=full_env, timeout=600, **stdin)


def ghostscript_pdf(path, postscript, extra=()):
    """Makes a PDF from PostScript text with Ghostscript's pdfwrite."""
    ps = path + ".ps"
    with open(ps, "w") as f:
        f.write(postscript)
    r = run(["gs", "-q", "-dBATCH", "-dNOPAUSE", "-dSAFER", "-sDEVICE=pdfwrite",
             *extra, "-sOutputFile=" + path, ps])
    if r.returncode != 0:
        raise RuntimeError("gs failed: " + r.stderr)
    os.remove(ps)
    return path


def text_pages_ps(count, title="Page", fonts=("Helvetica", "Times-Roman"), image=False):
    """PostScript for count pages of text in shared fonts, each page different."""
    lines = ["%!PS-Adobe-3.0"]
    for i in range(1, count + 1):
        font = fonts[i % len(fonts)]
        lines.append("/%s findfont 24 scalefont setfont 72 700 moveto (%s %d) show" % (font, title, i))
        lines.append("/%s findfont 12 scalefont setfont" % fonts[0])
        for k in range(3):
            lines.append("72 %d moveto (Line %d of page %d: the quick brown fox.) show" % (650 - 20 * k, k, i))
        lines.append("%g %g %g setrgbcolor 72 300 %d 100 rectfill 0 setgray" % (
            (i * 37 % 100) / 100.0, (i * 61 % 100) / 100.0, (i * 13 % 100) / 100.0, 50 + i % 300))
        if image:
            lines.append("gsave 300 300 translate 120 120 scale 16 16 8 [16 0 0 16 0 0] "
                         "{<%s>} image grestore" % "".join("%02x" % ((i * 7 + j) % 256) for j in range(256)))
        lines.append("showpage")
    return "\n".join(lines) + "\n"


def qpdf_check(path, password=None):
    """Returns (ok, output) of qpdf --check."""
    cmd = ["qpdf", "--check", path]
    if password is not None:
        cmd.insert(1, "--password=" + password)
    r = run(cmd)
    # Exit 0: no problems; 3: warnings only. Warnings count as failures here.
    return r.returncode == 0, r.stdout + r.stderr


def render(path, page=1, password=None, resolution=40, annotations=False):
    """The page rendered by pdftoppm as raw PPM bytes; annotations drawn only
    when asked for."""
    out = tempfile.mkdtemp(dir=WORK)
    try:
        cmd = ["pdftoppm", "-r", str(resolution), "-f", str(page), "-l", str(page)]
        if not annotations:
            cmd.insert(1, "-hide-annotations")
        if password is not None:
            cmd += ["-upw", password]
        r = run(cmd + [path, os.path.join(out, "p")])
        if r.returncode != 0:
            raise AssertionError("pdftoppm failed on %s: %s" % (path, r.stderr))
        files = glob.glob(os.path.join(out, "p*.ppm"))
        if len(files) != 1:
            raise AssertionError("pdftoppm gave %d images for %s" % (len(files), path))
        with open(files[0], "rb") as f:
            return f.read()
    finally:
        shutil.rmtree(out, ignore_errors=True)


def page_count(path, password=None):
    cmd = ["qpdf", "--show-npages", path]
    if password is not None:
        cmd.insert(1, "--password=" + password)
    r = run(cmd)
    if r.returncode not in (0, 3):
        raise AssertionError("qpdf --show-npages failed: " + r.stderr)
    return int(r.stdout.strip())


def output_name(input_path, page, pages, discriminator=""):
    """The page file name Brisel gives page `page` of a `pages`-page input."""
    base = input_path[:-4] + "-" + discriminator
    return base + str(page).zfill(len(str(pages))) + ".pdf"


class SplitTestCase(unittest.TestCase):
    """A test case with a fresh folder per test and the split checks."""

    def setUp(self):
        os.makedirs(WORK, exist_ok=True)
        self.dir = tempfile.mkdtemp(prefix=self.id().split(".")[-1] + "-", dir=WORK)

    def tearDown(self):
        if not getattr(self, "_keep", False):
            shutil.rmtree(self.dir, ignore_errors=True)

    def path(self, name):
        return os.path.join(self.dir, name)

    def split(self, *args, expect=0, **kwargs):
        r = brisel(*args, **kwargs)
        if r.returncode != expect:
            self._keep = True
            self.fail("brisel %s exited %d (expected %d)\nstdout: %s\nstderr: %s"
                      % (" ".join(args), r.returncode, expect, r.stdout, r.stderr))
        return r

    def assertPageFilesMatch(self, input_path, pages=None, password=None, output_password=None,
                             first=1, last=None, discriminator="", out_dir=None, reference=None, names=None):
        """Every page file exists, passes qpdf --check, has one page and
        renders like its page of the input (or of a reference file that
        holds the same pages, for an input that the tools misread). names
        maps a page number to its file when the names are not the usual."""
        reference = reference or input_path
        total = page_count(reference, password)
        last = last or total
        if output_password is None:
            output_password = password
        for page in range(first, last + 1):
            name = names[page] if names else output_name(input_path, page, total, discriminator)
            if out_dir:
                name = os.path.join(out_dir, os.path.basename(name))
            self.assertTrue(os.path.exists(name), "missing page file " + name)
            ok, report = qpdf_check(name, output_password)
            if not ok:
                self._keep = True
            self.assertTrue(ok, "qpdf --check failed for %s:\n%s" % (name, report))
            self.assertEqual(page_count(name, output_password), 1, name)
            if render(name, 1, output_password) != render(reference, page, password):
                self._keep = True
                self.fail("page file %s renders differently from page %d of %s" % (name, page, input_path))

    def pageFiles(self, folder=None):
        return sorted(f for f in os.listdir(folder or self.dir) if f.endswith(".pdf"))


class BuiltFilesCase(SplitTestCase):
    """Files written byte by byte from the objects of a three-page
    Ghostscript document, made once per run."""

    made = {}

    def source(self, pages=3):
        if pages not in BuiltFilesCase.made:
            path = ghostscript_pdf(self.path("gs.pdf"), text_pages_ps(pages, image=True))
            BuiltFilesCase.made[pages] = objects_of(path)
        objects, root = BuiltFilesCase.made[pages]
        return Builder(objects, root)

    def pages(self, b):
        """The page objects' numbers, in order."""
        pages = int(re.search(rb"/Pages (\d+) 0 R", b.objects[b.root]).group(1))
        return [int(n) for n in re.findall(rb"(\d+) 0 R", b.objects[pages].split(b"/Kids")[1].split(b"]")[0])]

    def splitAll(self, files, expect=0, incomplete=None):
        """Writes and splits each (name, damaged bytes, undamaged bytes or
        None); every one must split, with the status expect and, when given,
        the text that names the incomplete pages."""
        for name, data, good in files:
            with self.subTest(name):
                path = self.path(name + ".pdf")
                with open(path, "wb") as f:
                    f.write(data)
                reference = None
                if good is not None:
                    reference = self.path(name + "-good.pdf.ref")
                    with open(reference, "wb") as f:
                        f.write(good)
                r = self.split(path, expect=expect)
                if incomplete:
                    self.assertIn(incomplete, r.stderr)
                self.assertPageFilesMatch(path, reference=reference)


# CTest shows a run that exits with this code as skipped, not passed.
SKIP_EXIT_STATUS = 77


def main():
    """Runs the module's tests. A skipped test makes the run count as
    skipped; under CI=true it fails, so that a regression cannot hide as a
    skip."""
    program = unittest.main(exit=False)
    result = program.result
    if not result.wasSuccessful():
        sys.exit(1)
    if result.skipped:
        for test, reason in result.skipped:
            print("skipped: %s: %s" % (test.id(), reason), file=sys.stderr)
        sys.exit(1 if os.environ.get("CI") == "true" else SKIP_EXIT_STATUS)
