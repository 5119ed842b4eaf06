"""Scenarios of Brisel.exe's command line: the batch interface driven by
the test driver in the companion tool's part, the settings-only start, the
language switches, the refused automatic starts, the hand-over to a running
copy and the path rules."""

import os

import pikepdf

from winlib import (PATH, SPLIT_ALL, WARN_FIELD, App, Fail, check_pages, deadline_wait, expect, make_pdf, page_files,
                    pdfs_in, scenario, winpath)


class Companion:
    """The companion tool: writes the option file into its TMP folder and
    starts the program with a batch command line."""

    def __init__(self, run, folder):
        self.run, self.d = run, run.d
        self.tmp = os.path.join(folder, "tmp")
        os.makedirs(self.tmp, exist_ok=True)
        self.hwnd = self.d.one("hwnd")
        self.d("env", "TMP", winpath(self.tmp))

    def option_file(self, options, pdf, name="opt.txt", encoding=None, raw=None):
        path = os.path.join(self.tmp, name)
        encoding = encoding or ("cp932" if self.run.ja else "cp1252")
        with open(path, "wb") as f:
            if raw is not None:
                f.write(raw)
            else:
                f.write(("%s\n%s\n" % (options, winpath(pdf))).encode(encoding, errors="strict"))
        return path

    def start(self, app_folder, args, main=False):
        return App(self.run, app_folder, args=args, main=main)

    def batch(self, app_folder, options, pdf, mode=None, boxes=(), **kw):
        """One batch run in mode c: returns the result codes received."""
        opt = self.option_file(options, pdf, **kw)
        app = self.start(app_folder, "%s %s" % (mode or "-Bc%s" % self.hwnd, os.path.basename(opt)))
        seen = self.d("watch", app.pid, 120000)
        expect("message boxes of the batch run", seen[1:], [self.run.t(b) for b in boxes])
        expect("option file left", os.path.exists(opt), False)
        return [int(v) for v in self.d("results")]


def described(array):
    """An open action as texts, "page" standing for the page object."""
    return ["page" if isinstance(v, pikepdf.Dictionary) else str(v) for v in array]


def outline_tree(doc):
    """The outline as nested (title, page index or None, [children])."""
    pages = [p.objgen for p in doc.pages]

    def walk(items):
        out = []
        for item in items:
            dest = item.destination
            page = None
            if isinstance(dest, pikepdf.Array) and len(dest) and isinstance(dest[0], pikepdf.Dictionary):
                page = pages.index(dest[0].objgen)
            out.append((item.title, page, walk(item.children)))
        return out

    with doc.open_outline() as outline:
        return walk(outline.root)


def make_outlined(path):
    """Four pages; bookmarks A(p1) > [B(p2), C(p1) > [D(p1)]], E(p3)."""
    make_pdf(path, 4)
    with pikepdf.open(path, allow_overwriting_input=True) as doc:
        with doc.open_outline() as outline:
            a = pikepdf.OutlineItem("A", 0)
            b = pikepdf.OutlineItem("B", 1)
            c = pikepdf.OutlineItem("C", 0)
            c.children.append(pikepdf.OutlineItem("D", 0, "XYZ", left=0, top=700, zoom=0))
            a.children.extend([b, c])
            outline.root.extend([a, pikepdf.OutlineItem("E", 2)])
        doc.save(path)
    return path


@scenario
def companion_tool(run):
    """Mode c: the result reaches the caller's window, no message box, the
    option file is gone, and the page files carry the viewer settings and
    bookmarks the option line asked for."""
    folder = run.folder("companion")
    tool = Companion(run, folder)
    pdf = make_outlined(os.path.join(folder, "book.pdf"))
    names = page_files(pdf, 4)

    expect("results", tool.batch(folder, "/d150f /p2r /nt /ir /ok", pdf), [0])
    check_pages(pdf, names)
    tree = {}
    for k, name in enumerate(names):
        with pikepdf.open(name) as doc:
            root = doc.Root
            expect("open action of " + name, described(root.OpenAction), ["page", "/XYZ", "None", "None", "1.50"])
            expect("viewer preferences", (bool(root.ViewerPreferences.FitWindow),
                                          str(root.ViewerPreferences.Direction)), (True, "/R2L"))
            expect("page layout", str(root.PageLayout), "/TwoColumnRight")
            expect("page mode", str(root.PageMode), "/UseThumbs")
            if k == 3 and "/Outlines" in root:
                raise Fail("a page without bookmarks has /Outlines")
            tree[k] = outline_tree(doc)
    expect("bookmarks of page 1", tree[0], [("A", 0, [("C", 0, [("D", 0, [])])])])
    expect("bookmarks of page 2", tree[1], [("", None, [("B", 0, [])])])
    expect("bookmarks of page 3", tree[2], [("E", 0, [])])
    expect("bookmarks of page 4", tree[3], [])

    for name in names:
        os.remove(name)
    expect("results", tool.batch(folder, "/da /p1 /nf /okt", pdf), [0])
    for k, name in enumerate(names):
        with pikepdf.open(name) as doc:
            root = doc.Root
            expect("open action", described(root.OpenAction), ["page", "/Fit"])
            expect("no viewer preferences", "/ViewerPreferences" in root, False)
            expect("page layout", str(root.PageLayout), "/OneColumn")
            expect("page mode", str(root.PageMode), "/FullScreen")
            tree[k] = outline_tree(doc)
    expect("flat bookmarks of page 1", tree[0], [("A", 0, []), ("C", 0, []), ("D", 0, [])])
    expect("flat bookmarks of page 2", tree[1], [("B", 0, [])])

    for name in names:
        os.remove(name)
    expect("results", tool.batch(folder, "/dw /ps /not /il /ok", pdf), [0])
    for k, name in enumerate(names):
        with pikepdf.open(name) as doc:
            root = doc.Root
            expect("open action", described(root.OpenAction), ["page", "/FitH", "None"])
            expect("page layout", str(root.PageLayout), "/SinglePage")
            expect("page mode of page %d" % (k + 1), str(root.PageMode),
                   "/UseThumbs" if k == 3 else "/UseOutlines")
            expect("bookmarks of page %d" % (k + 1), "/Outlines" in root, k != 3)
    # Bookmarks panel only where there are bookmarks, and without keeping
    # them there are none.
    for name in names:
        os.remove(name)
    expect("results", tool.batch(folder, "/dh /non /on", pdf), [0])
    for name in names:
        with pikepdf.open(name) as doc:
            expect("open action", described(doc.Root.OpenAction), ["page", "/FitV", "None"])
            expect("page mode", str(doc.Root.PageMode), "/UseNone")
            expect("no bookmarks", "/Outlines" in doc.Root, False)

    # Without options: plain page files, no open action.
    for name in names:
        os.remove(name)
    expect("results", tool.batch(folder, "", pdf), [0])
    with pikepdf.open(names[0]) as doc:
        for key in ("/OpenAction", "/ViewerPreferences", "/PageLayout", "/PageMode", "/Outlines"):
            expect(key + " without options", key in doc.Root, False)


@scenario
def companion_result_codes(run):
    """Codes 0, 3, 4, 5 and a failure reach the caller."""
    folder = run.folder("codes")
    tool = Companion(run, folder)
    one = make_pdf(os.path.join(folder, "one.pdf"), 1)
    expect("one page", tool.batch(folder, "", one), [3])
    two = make_pdf(os.path.join(folder, "two.pdf"), 2)
    # Every name the job could choose for page 1 is taken by a folder.
    digits = [""] + [str(i) for i in range(10)] + ["%02d" % i for i in range(100)] + ["%03d" % i for i in range(1000)]
    for dis in digits:
        os.mkdir(os.path.join(folder, "two-%s1.pdf" % dis))
    expect("no output possible", tool.batch(folder, "", two), [4])
    expect("missing input", tool.batch(folder, "", os.path.join(folder, "gone.pdf")), [5])
    bad = os.path.join(folder, "bad.pdf")
    with open(bad, "wb") as f:
        f.write(b"%PDF-1.4\nthis is no document at all\n%%EOF\n")
    codes = tool.batch(folder, "", bad)
    if len(codes) != 1 or codes[0] in (0, 3, 4, 5, 10):
        raise Fail("a damaged file gave %r" % codes)
    expect("files", pdfs_in(folder), ["bad.pdf", "one.pdf", "two.pdf"])


@scenario
def batch_modes(run):
    """Modes u and p with their messages, c with window 0 as u, unknown
    letters, a missing option file, "-Bs" with more text."""
    folder = run.folder("modes")
    tool = Companion(run, folder)
    pdf = make_pdf(os.path.join(folder, "m.pdf"), 4)
    expect("mode u", tool.batch(folder, "/d100", pdf, mode="-Bu", boxes=("done",)), [])
    check_pages(pdf, page_files(pdf, 4), render=False)
    expect("mode c with window 0", tool.batch(folder, "", pdf, mode="-Bc0", boxes=("done",)), [])
    check_pages(pdf, page_files(pdf, 4, discriminator="0"), render=False)
    for mode in ("-Bx", "-Bs"):
        before = pdfs_in(folder)
        expect("mode " + mode, tool.batch(folder, "", pdf, mode=mode), [])
        expect("files after " + mode, pdfs_in(folder), before)
    # A missing option file: silent, nothing sent.
    app = tool.start(folder, "-Bc%s missing.txt" % tool.hwnd)
    expect("missing option file", tool.d("watch", app.pid)[1:], [])
    expect("results", tool.d("results"), [])
    # TMP not set: the same silent end, the option file stays.
    opt = tool.option_file("", pdf)
    tool.d("env", "TMP")
    app = tool.start(folder, "-Bc%s opt.txt" % tool.hwnd)
    expect("without TMP", tool.d("watch", app.pid)[1:], [])
    expect("results without TMP", tool.d("results"), [])
    expect("option file kept", os.path.exists(opt), True)
    tool.d("env", "TMP", winpath(tool.tmp))
    # Mode p: the page dialog, then "Done".
    opt = tool.option_file("", pdf)
    app = tool.start(folder, "-Bp opt.txt")
    dlg = app.dialog(run.t("page_title"))
    app.d("settext", dlg, 5000, "2")
    app.d("settext", dlg, 5010, "3")
    app.d("click", dlg, 1)
    app.box("done")
    expect("exit", app.d.one("wait", app.pid), "0")
    expect("option file", os.path.exists(opt), False)
    check_pages(pdf, page_files(pdf, 4, 2, 3, discriminator="1"), first=2, render=False)


@scenario
def settings_only_and_switches(run):
    """"-Bs" opens only the settings dialog, centred, and saves; /US and
    /jp switch the language; the refused automatic starts."""
    folder = run.folder("switches")
    pdf = make_pdf(os.path.join(folder, "s.pdf"), 2)
    app = App(run, folder, args="-Bs", main=False)
    dlg = app.dialog(run.t("setting_title"))
    left, top, right, bottom = (int(v) for v in app.d("rect", dlg))
    w, h = right - left, bottom - top
    expect("settings dialog centred", (left, top), (int(run.desktop[0] / 2) - int(w / 2),
                                                    int(run.desktop[1] / 2) - int(h / 2)))
    app.d("settext", dlg, WARN_FIELD, "33")
    app.d("click", dlg, 1)
    expect("exit", app.d.one("wait", app.pid), "0")
    if "IsWarnLimit=TRUE\r\nWarnLimitN=33\r\n" not in app.ini():
        raise Fail("Brisel.ini after -Bs: %r" % app.ini())
    english, japanese = ("Split(All)", "Exit"), ("全ページ分解", "終了")
    for args, want, path in (("/US", english, ""), ("/us " + winpath(pdf), english, winpath(pdf)),
                             ("/Us   " + winpath(pdf), english, winpath(pdf)), ("/jp", japanese, ""),
                             ("/JP" + winpath(pdf), japanese, winpath(pdf)),
                             ('/jP "%s"' % winpath(pdf), japanese, winpath(pdf))):
        app = App(run, folder, args=args)
        expect("captions after " + args, (app.d.one("text", app.main, SPLIT_ALL), app.d.one("text", app.main, 2010)),
               want)
        expect("path after " + args, app.d.one("text", app.main, PATH), path)
        app.exit()
    for args in ("-Ac", "-Ac x", "-Auto x", "-Autop x"):
        app = App(run, folder, args=args, main=False)
        app.box("quilvo", icon="none")
        expect("exit after " + args, app.d.one("wait", app.pid), "0")
    # "-Auto" without a space is a path: not a PDF.
    app = App(run, folder, args="-Autox", main=False)
    app.box("cmd_not_pdf", icon="icon")
    app.main = app.d.one("window", app.pid, "Brisel", "Brisel")
    app.exit()


@scenario
def hand_over_and_paths(run):
    """A second start hands its file to the running copy; the path rules of
    the command line."""
    folder = run.folder("handover")
    spaced = make_pdf(os.path.join(folder, "with some spaces.pdf"), 2)
    other = make_pdf(os.path.join(folder, "other.pdf"), 2)
    long_name = make_pdf(os.path.join(folder, "Long File Name Here.PDF"), 2)
    first = App(run, folder)
    # A file: the first copy's field takes it and runs its own checks.
    second = App(run, folder, args='"%s"' % winpath(spaced), main=False)
    expect("second copy", second.d.one("wait", second.pid), "0")
    deadline_wait("handed-over path", lambda: first.d.one("text", first.main, PATH) == winpath(spaced))
    first.d("waitstate", first.main, SPLIT_ALL, 1)
    # Without a file the first copy only comes to the front.
    decoy = first.d.one("decoy")
    second = App(run, folder, main=False)
    expect("second copy", second.d.one("wait", second.pid), "0")
    deadline_wait("first copy in front", lambda: first.d.one("foreground") == first.main)
    first.d("close", decoy)
    expect("path kept", first.d.one("text", first.main, PATH), winpath(spaced))
    # A refused path is reported by the second copy; the field keeps its text.
    second = App(run, folder, args=winpath(os.path.join(folder, "notes.txt")), main=False)
    second.box("cmd_not_pdf", icon="icon")
    second.d("wait", second.pid)
    expect("path kept", first.d.one("text", first.main, PATH), winpath(spaced))
    first.exit()

    def start(args, *boxes, path=""):
        app = App(run, folder, args=args, main=False)
        for key, *fill in boxes:
            app.box(key, *fill)
        app.main = app.d.one("window", app.pid, "Brisel", "Brisel")
        expect("path field after %r" % args, app.d.one("text", app.main, PATH), path)
        app.exit()

    start('"%s"' % winpath(spaced), path=winpath(spaced))
    start('"%s' % winpath(spaced), ("cmd_one",), path=winpath(spaced))
    start('%s %s' % (winpath(other), winpath(spaced)), ("cmd_one",), path=winpath(other))
    start(winpath(spaced), ("cmd_not_pdf",))
    start(winpath(os.path.join(folder, "nothing.pdf")), ("not_found", winpath(os.path.join(folder, "nothing.pdf"))))
    short = first.d.one("shortname", winpath(long_name))
    if short == winpath(long_name):
        raise Fail("no short name to test with")
    # Only the last component takes its stored name and letter case.
    for name in (short, short.lower()):
        start(name, path=name.rsplit("\\", 1)[0] + "\\" + os.path.basename(long_name))


@scenario
def foreign_names_in_batch(run):
    """Names outside the ANSI code page on the command line, and in an
    option file written in UTF-8 with a byte-order mark."""
    folder = run.folder("foreign_batch")
    tool = Companion(run, folder)
    pdf = make_pdf(os.path.join(folder, "資料-café.pdf"), 2)
    app = App(run, folder, args=winpath(pdf))
    expect("path field", app.d.one("text", app.main, PATH), winpath(pdf))
    app.exit()
    raw = ("\ufeff/d100\n%s\n" % winpath(pdf)).encode("utf-8")
    expect("results", tool.batch(folder, "", pdf, raw=raw), [0])
    check_pages(pdf, page_files(pdf, 2), render=False)
    # A name the ANSI code page holds, written in it.
    local = make_pdf(os.path.join(folder, ("日本語.pdf" if run.ja else "façade.pdf")), 2)
    expect("results", tool.batch(folder, "", local), [0])
    check_pages(local, page_files(local, 2), render=False)
