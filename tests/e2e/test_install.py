"""The installed command line: `cmake --install` into a fresh prefix gives
the program, a manual page that renders and documents every option --help
lists, bash completion that offers them, the README and the licence; the
installed program then runs as a script would run it."""

import json
import os
import re
import subprocess
import zlib

import pdftest
from pdftest import SplitTestCase

BUILD = os.environ.get("BRISEL_BUILD") or os.path.dirname(pdftest.BRISEL)
OPTION = re.compile(r"(?<![\w-])(--?[A-Za-z][\w-]*|--)(?![\w-])")


def help_options(text):
    """The option names of --help's option lines."""
    names = set()
    for line in text.splitlines():
        if re.match(r"  (-\w,|    --)", line):
            names.update(OPTION.findall(line[:24]))
    return names


def man_options(text):
    """The option names of the OPTIONS section's tagged paragraphs."""
    section = text.split("\nOPTIONS\n", 1)[1].split("\nENVIRONMENT\n", 1)[0]
    names = set()
    for line in section.splitlines():
        if re.match(r" {7}-", line):
            names.update(OPTION.findall(line))
    return names


class InstallTest(SplitTestCase):

    def setUp(self):
        super().setUp()
        self.prefix = self.path("prefix")
        r = pdftest.run(["cmake", "--install", BUILD, "--prefix", self.prefix])
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.program = os.path.join(self.prefix, "bin", "brisel")

    def test_an_installation_is_complete_and_its_manual_documents_every_option(self):
        for part in ("bin/brisel", "share/man/man1/brisel.1", "share/bash-completion/completions/brisel",
                     "share/zsh/site-functions/_brisel", "share/doc/brisel/README.md", "share/doc/brisel/LICENSE"):
            self.assertTrue(os.path.isfile(os.path.join(self.prefix, part)), part)
        usage = pdftest.run([self.program, "-h"]).stdout
        self.assertEqual(pdftest.run([self.program, "--help"]).stdout, usage)
        self.assertEqual([line for line in usage.splitlines() if len(line) > 80], [])
        for heading in ("Which pages", "Questions and passwords:", "What is printed:", "Exit status:"):
            self.assertIn(heading, usage)
        listed = help_options(usage)
        self.assertEqual(len(listed), 36)
        # The manual renders and lists the same options as --help.
        env = dict(os.environ, MANWIDTH="100", LANG="C.UTF-8", MAN_KEEP_FORMATTING="")
        man = subprocess.run(["man", "-l", os.path.join(self.prefix, "share/man/man1/brisel.1")],
                             capture_output=True, text=True, env=env)
        self.assertEqual(man.returncode, 0, man.stderr)
        for section in ("SYNOPSIS", "OPTIONS", "EXIT STATUS", "EXAMPLES", "FILES", "ENVIRONMENT"):
            self.assertIn("\n" + section + "\n", man.stdout)
        self.assertEqual(man_options(man.stdout), listed)
        # Every status of the help's table is in the manual's.
        statuses = re.findall(r"^  (\d+) ", usage.split("Exit status:")[1], re.M)
        manual_statuses = re.findall(r"^ {7}(\d+) ", man.stdout.split("\nEXIT STATUS\n")[1], re.M)
        self.assertEqual(sorted(statuses), sorted(manual_statuses))
        # Every option (but the end of options) and only PDF files are
        # offered, in a plain bash (no extglob) and for names with spaces,
        # however the word being completed is quoted.
        for name in ("a.pdf", "B.PDF", "notes.txt", "my file.pdf", "my notes.txt"):
            open(self.path(name), "w").close()
        os.mkdir(self.path("my folder"))
        script = ('source "%s"; COMP_WORDS=(brisel "$1"); COMP_CWORD=1; _brisel; printf "%%s\\n" "${COMPREPLY[@]}"'
                  % os.path.join(self.prefix, "share/bash-completion/completions/brisel"))
        offered = lambda word: set(subprocess.run(["bash", "--norc", "-c", script, "-", word], cwd=self.dir,
                                                  capture_output=True, text=True).stdout.splitlines()) - {""}
        self.assertEqual(offered("-"), listed)
        self.assertEqual(offered(""), {"a.pdf", "B.PDF", "prefix", "my file.pdf", "my folder"})
        for word in ("my", "my\\ f", "'my f", '"my f'):
            self.assertEqual(offered(word), {"my file.pdf", "my folder"}, word)
        # The version names the zlib the program runs with.
        version = pdftest.run([self.program, "-V"])
        self.assertEqual(version.stdout, "Brisel Ver 2.22\nzlib %s\n" % zlib.ZLIB_RUNTIME_VERSION)

    def test_the_installed_program_runs_from_a_script(self):
        src = pdftest.ghostscript_pdf(self.path("report.pdf"), pdftest.text_pages_ps(60))
        env = dict(os.environ, LANG="C", LC_ALL="", LC_MESSAGES="")
        run = lambda *args, **kw: subprocess.run([self.program, *args], capture_output=True, text=True, env=env,
                                                 stdin=kw.pop("stdin", subprocess.DEVNULL), **kw)
        # Sixty pages with standard input from /dev/null: the warn limit is
        # passed, said once, and the run goes on.
        with open(os.devnull) as null:
            r = run("--verbose", src, stdin=null)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(r.stderr, "brisel: %s: 60 page files, past the warn limit: going on without asking "
                                   "(no terminal)\nDone\n" % src)
        names = [pdftest.output_name(src, page, 60) for page in range(1, 61)]
        self.assertEqual(r.stdout, "".join(n + "\n" for n in names))
        self.assertPageFilesMatch(src)
        # A missing file, a folder: one line each, status 1.
        os.mkdir(self.path("folder.pdf"))
        r = run(self.path("missing.pdf"), self.path("folder.pdf"))
        self.assertEqual((r.returncode, r.stdout), (1, ""))
        self.assertEqual(r.stderr, "brisel: %s: no such file\nbrisel: %s: is a folder, not a file\n"
                         % (self.path("missing.pdf"), self.path("folder.pdf")))
        # An encrypted input opened with --password-file, named by --name.
        locked = self.path("locked.pdf")
        r = pdftest.run(["qpdf", src, "--pages", ".", "1-3", "--", "--encrypt", "secret", "owner", "256", "--", locked])
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(self.path("pw.txt"), "w") as f:
            f.write("secret\r\nnot this line\n")
        out = self.path("out")
        r = run("--password-file", self.path("pw.txt"), "--name", "%s-page%2d.pdf", "-o", out, "-q", locked)
        self.assertEqual((r.returncode, r.stdout, r.stderr), (0, "", ""))
        self.assertEqual(sorted(os.listdir(out)), ["locked-page01.pdf", "locked-page02.pdf", "locked-page03.pdf"])
        self.assertPageFilesMatch(locked, password="secret",
                                  names={p: os.path.join(out, "locked-page%02d.pdf" % p) for p in (1, 2, 3)})


    def test_the_library_serves_programs_built_against_the_installation(self):
        with open(os.path.join(BUILD, "CMakeCache.txt")) as f:
            sanitized = "BRISEL_SANITIZE:BOOL=ON" in f.read()
        if sanitized:
            # Programs built without the sanitizers cannot load this library.
            return
        for part in ("include/brisel/brisel.hpp", "include/brisel/brisel.h", "lib/pkgconfig/brisel.pc",
                     "lib/cmake/Brisel/BriselConfig.cmake", "lib/libbrisel.so"):
            self.assertTrue(os.path.exists(os.path.join(self.prefix, part)), part)
        src = pdftest.ghostscript_pdf(self.path("lib.pdf"), pdftest.text_pages_ps(3))
        # The example is its own CMake project and finds only the installed package.
        example = self.path("example")
        r = pdftest.run(["cmake", "-S", os.path.join(pdftest.ROOT, "examples"), "-B", example, "-G", "Ninja",
                         "-DCMAKE_PREFIX_PATH=" + self.prefix, "-DCMAKE_BUILD_TYPE=Release"])
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        r = pdftest.run(["cmake", "--build", example])
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        env = dict(os.environ, LD_LIBRARY_PATH=os.path.join(self.prefix, "lib"))
        out = self.path("out")
        r = pdftest.run([os.path.join(example, "split_example"), src, out], env=env)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(r.stdout.count(" bytes\n"), 3)
        self.assertEqual(len(json.loads(r.stdout.splitlines()[-1])["written"]), 3)
        self.assertPageFilesMatch(src, out_dir=out)
        r = pdftest.run([os.path.join(example, "page_count_c"), src], env=env)
        self.assertEqual(r.stdout, src + ": 3\n", r.stderr)
        # pkg-config gives what a C compiler needs.
        flags = pdftest.run(["pkg-config", "--cflags", "--libs", "brisel"],
                            env=dict(os.environ, PKG_CONFIG_PATH=os.path.join(self.prefix, "lib", "pkgconfig")))
        self.assertEqual(flags.returncode, 0, flags.stderr)
        program = self.path("count")
        r = pdftest.run(["cc", os.path.join(pdftest.ROOT, "examples", "page_count.c"), "-o", program,
                         *flags.stdout.split()])
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(pdftest.run([program, src], env=env).stdout, src + ": 3\n")
        # The Python module and its stub lie where Debian's Python looks.
        python = [d for d in os.listdir(os.path.join(self.prefix, "lib")) if d.startswith("python3")]
        self.assertEqual(len(python), 1)
        folder = os.path.join(self.prefix, "lib", python[0], "dist-packages")
        self.assertTrue(os.path.exists(os.path.join(folder, "brisel.pyi")))
        r = pdftest.run(["/usr/bin/python3", "-c", "import brisel, sys; print(brisel.page_count(sys.argv[1]))", src],
                        env=dict(os.environ, PYTHONPATH=folder))
        self.assertEqual(r.stdout, "3\n", r.stderr)


if __name__ == "__main__":
    pdftest.main()
