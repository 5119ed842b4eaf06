#!/usr/bin/env python3
"""Scenarios of the desktop program Brisel.exe under Wine, run by run.sh
once per interface language. Each scenario starts the program (or several
copies of it) and judges many things in one run of it; page files are
judged with qpdf --check and pdftoppm, viewer settings and bookmarks with
pikepdf."""

import argparse
import os
import subprocess
import sys
import time
import traceback

import pikepdf

import batch  # noqa: F401  (registers the command-line and batch scenarios)
from winlib import EVERY, LEVEL, LEVEL_MODE, PART_COUNT, RANGES, RANGES_MODE, SIZE, SIZE_MODE, VERSION
from winlib import (BREAK, COUNT_LABEL, DISP_PAGE, EXIT, FIRST, LAST, PASSWORD, PATH, REF, SAME_DATE,
                    SAVE_FOLDER, SCENARIOS, FOLDER_TREE, SPLIT_ALL, SPLIT_RANGE, STATUS, WARN_CHECK, WARN_FIELD, App, Fail,
                    Run, barrier, check_pages, deadline_wait, expect, ini_text, make_pdf, page_files, pdfs_in,
                    pdftest, scenario, winpath)

@scenario
def split_all_three_ways(run):
    """Start with a path; Split(All) by button, Ctrl+S and the menu; the
    page files; the settings file written at exit."""
    folder = run.folder("split_all")
    pdf = make_pdf(os.path.join(folder, "report.pdf"), 12)
    app = App(run, folder, args=winpath(pdf))
    expect("path field", app.d.one("text", app.main, PATH), winpath(pdf))
    app.focus(SPLIT_ALL)
    run.screenshot("main", app.main)
    children = {int(c.split("|")[0]): c.split("|") for c in app.d("children", app.main)}
    for control, key in ((REF, "ref"), (SPLIT_ALL, "split_all"), (SPLIT_RANGE, "split_range"), (EXIT, "exit")):
        expect("caption of control %d" % control, children[control][2], run.t(key))
    left, top, _, _ = (int(v) for v in app.d("rect", app.main))
    # Positions of the controls relative to the path field, in pixels.
    field = [int(v) for v in children[PATH][5].split(",")]
    widths = {REF: 50, SPLIT_ALL: 130 if run.ja else 120, SPLIT_RANGE: 144 if run.ja else 160, EXIT: 55}
    for control, (x, y) in ((REF, (330, 30)), (SPLIT_ALL, (15, 105)), (SPLIT_RANGE, (158 if run.ja else 145, 105)),
                            (EXIT, (315, 105))):
        rect = [int(v) for v in children[control][5].split(",")]
        expect("place of control %d" % control, (rect[0] - field[0] + 15, rect[1] - field[1] + 30), (x, y))
        expect("size of control %d" % control, (rect[2] - rect[0], rect[3] - rect[1]), (widths[control], 30))
    right, bottom = (int(v) for v in app.d("rect", app.main)[2:])
    expect("outer size of the main window", (right - left, bottom - top), (400, 198))

    app.d("click", app.main, SPLIT_ALL)
    app.box("done", icon="none", shot="done")
    names = page_files(pdf, 12)
    check_pages(pdf, names)
    app.d("keys", app.main, "ctrl+s")
    app.box("done")
    check_pages(pdf, page_files(pdf, 12, discriminator="0"), render=False)
    app.d("keys", app.main, "alt+o")
    menu = app.d.one("window", app.pid, "#32768", "")
    run.screenshot("menu", app.main, menu)
    app.d("keys", app.main, "s")
    app.box("done")
    check_pages(pdf, page_files(pdf, 12, discriminator="1"), render=False)
    expect("files", len(pdfs_in(folder)), 1 + 36)
    left, top, right, bottom = (int(v) for v in app.d("rect", app.main))
    app.d("keys", app.main, "ctrl+e")
    expect("exit code", app.d.one("wait", app.pid), "0")
    expect("Brisel.ini", app.ini(), ini_text("%d %d" % (left, top), run=run))


@scenario
def split_buttons_follow_the_path(run):
    """The split buttons and menu items are enabled exactly for an
    existing .pdf file; accelerators of greyed items do nothing."""
    folder = run.folder("enable")
    pdf = make_pdf(os.path.join(folder, "x.pdf"), 2)
    upper = os.path.join(folder, "y.PDF")
    os.link(pdf, upper)
    other = os.path.join(folder, "x.pdfa")
    os.link(pdf, other)
    bare = os.path.join(folder, "pdf")
    os.link(pdf, bare)
    app = App(run, folder)
    app.focus(EXIT)
    for control in (SPLIT_ALL, SPLIT_RANGE):
        expect("control %d at start" % control, app.enabled(app.main, control), False)
    cases = [(pdf, True), (upper, True), (other, False), (bare, False), (os.path.join(folder, "missing.pdf"), False),
             (pdf[:-1], False), ("", False), (pdf, True)]
    for path, on in cases:
        app.set_path(path)
        for control in (SPLIT_ALL, SPLIT_RANGE):
            app.d("waitstate", app.main, control, int(on))
    # A missing .pdf: the greyed menu items keep Ctrl+S and Ctrl+P from
    # starting a job (which would fail with a message).
    app.set_path(os.path.join(folder, "missing.pdf"))
    app.d("waitstate", app.main, SPLIT_ALL, 0)
    app.d("keys", app.main, "ctrl+s ctrl+p")
    barrier(app, "shift+tab", REF)
    expect("files", pdfs_in(folder), ["x.pdf", "y.PDF"])
    app.set_path(upper)
    app.d("keys", app.main, "ctrl+s")
    app.box("done")
    check_pages(upper, [os.path.join(folder, "y-1.pdf"), os.path.join(folder, "y-2.pdf")], render=False)
    app.exit()


@scenario
def keyboard_rules(run):
    """Tab, Shift+Tab, the arrows and Enter on the five controls, with the
    split buttons enabled and disabled."""
    folder = run.folder("keys")
    pdf = make_pdf(os.path.join(folder, "k.pdf"), 3)
    app = App(run, folder)
    app.focus(EXIT)
    # Split buttons disabled: "Split(All) or Exit" is Exit, "Split(Page) or Ref" is Ref.
    moves_off = [("tab", PATH), ("tab", REF), ("tab", EXIT), ("shift+tab", REF), ("shift+tab", PATH),
                 ("shift+tab", EXIT), ("left", REF), ("right", EXIT), ("up", REF), ("down", EXIT),
                 ("down", REF), ("up", EXIT)]
    for key, where in moves_off:
        app.d("keys", app.main, key)
        app.focus(where)
    # Tab into the path field selects its text.
    app.set_path(pdf)
    app.d("waitstate", app.main, SPLIT_ALL, 1)
    app.d("keys", app.main, "tab")
    app.focus(PATH)
    expect("selection after the focus came", app.d("sel", app.main, PATH), ["0", str(len(winpath(pdf)))])
    moves_on = [("tab", REF), ("tab", SPLIT_ALL), ("tab", SPLIT_RANGE), ("tab", EXIT), ("tab", PATH),
                ("shift+tab", EXIT), ("shift+tab", SPLIT_RANGE), ("shift+tab", SPLIT_ALL), ("shift+tab", REF),
                ("right", SPLIT_ALL), ("down", SPLIT_RANGE), ("right", EXIT), ("down", REF), ("left", EXIT),
                ("up", SPLIT_RANGE), ("left", SPLIT_ALL), ("up", REF), ("up", EXIT), ("right", REF),
                ("shift+tab", PATH), ("left", PATH)]
    for key, where in moves_on:
        app.d("keys", app.main, key)
        app.focus(where)
    # Enter in the path field does nothing of its own.
    app.d("keys", app.main, "return")
    barrier(app, "tab", REF)
    # Enter on each button runs its command.
    app.d("keys", app.main, "return")
    ref = app.dialog(run.t("open_title"))
    run.screenshot("open", ref)
    app.d("click", ref, 2)
    app.d("gone", ref)
    app.focus(REF)
    app.d("keys", app.main, "tab return")
    app.box("done")
    app.focus(SPLIT_ALL)
    app.d("keys", app.main, "tab return")
    page = app.dialog(run.t("page_title"))
    app.d("click", page, 2)
    app.d("gone", page)
    app.focus(SPLIT_RANGE)
    app.d("keys", app.main, "tab return")
    expect("exit code", app.d.one("wait", app.pid), "0")


@scenario
def page_range_dialog(run):
    """The page fields' rules, Disp Page, the page count remembered, the
    folder choice off and on, time stamps, a range past the end."""
    folder = run.folder("range")
    out = os.path.join(folder, "out")
    os.makedirs(out)
    pdf = make_pdf(os.path.join(folder, "r.pdf"), 12)
    old = 1_000_000_000  # 2001-09-09
    os.utime(pdf, (old, old))
    app = App(run, folder, args=winpath(pdf), ini=ini_text(save_folder=winpath(out), run=run))
    app.d("click", app.main, SPLIT_RANGE)
    dlg = app.dialog(run.t("page_title"))
    app.focus(FIRST, dlg)
    expect("count label before Disp Page", app.d("state", dlg, COUNT_LABEL)[0], "0")
    expect("Disp Page before", app.d("state", dlg, DISP_PAGE)[0:2], ["1", "1"])
    app.has_texts(dlg, "range_prompt", "dash", "default_range", "disp_page", "save_folder", "same_date", "ok_page",
                  "cancel")
    run.screenshot("page-range", dlg)
    for first, last in (("0", ""), ("-3", ""), ("3a", ""), ("1 2", ""), ("00", ""), ("2", "0"), ("", "x"),
                        ("+1", "")):
        app.d("settext", dlg, FIRST, first)
        app.d("settext", dlg, LAST, last)
        app.d("click", dlg, 1)
        app.box("bad", icon="icon", shot="bad" if first == "0" else None)
        app.dialog(run.t("page_title"))
    app.d("click", dlg, DISP_PAGE)
    deadline_wait("page count label", lambda: app.d("state", dlg, COUNT_LABEL)[0] == "1")
    expect("count label", app.d.one("text", dlg, COUNT_LABEL), run.t("page_label", 12))
    expect("Disp Page after", app.d("state", dlg, DISP_PAGE)[0], "0")
    # Pages 3 to 5, here, with the input's time stamps; 5 - 3 is read as 3 - 5.
    app.d("settext", dlg, FIRST, " 005 ")
    app.d("settext", dlg, LAST, "3")
    if app.d("state", dlg, SAME_DATE)[2] != "1":
        app.d("click", dlg, SAME_DATE)
    app.d("click", dlg, 1)
    app.box("done")
    names = page_files(pdf, 12, 3, 5)
    check_pages(pdf, names, first=3)
    for name in names:
        expect("time stamp of " + name, int(os.stat(name).st_mtime), old)
    expect("files", len(pdfs_in(folder)), 4)
    # The count is remembered for the same file; pages 10 to the end go
    # into the chosen folder, with their own time stamps.
    app.d("click", app.main, SPLIT_RANGE)
    dlg = app.dialog(run.t("page_title"))
    expect("count label shown at once", app.d("state", dlg, COUNT_LABEL)[0], "1")
    expect("time stamp box kept", app.d("state", dlg, SAME_DATE)[2], "1")
    app.d("click", dlg, SAME_DATE)
    app.d("click", dlg, SAVE_FOLDER)
    app.d("settext", dlg, FIRST, "10")
    app.d("settext", dlg, LAST, "")
    app.d("click", dlg, 1)
    # Cancel keeps the page dialog open; OK takes the preselected folder.
    browser = app.dialog_with(FOLDER_TREE)
    app.d("click", browser, 2)
    app.d("gone", browser)
    app.dialog(run.t("page_title"))
    app.d("click", dlg, 1)
    browser = app.dialog_with(FOLDER_TREE)
    run.screenshot("folder", browser)
    app.d("click", browser, 1)
    app.box("done")
    names = page_files(pdf, 12, 10, 12, folder=out)
    check_pages(pdf, names, first=10, render=False)
    for name in names:
        if int(os.stat(name).st_mtime) == old:
            raise Fail("time stamp copied without being asked: " + name)
    # A range past the end.
    app.d("click", app.main, SPLIT_RANGE)
    dlg = app.dialog(run.t("page_title"))
    app.d("click", dlg, SAVE_FOLDER)
    app.d("settext", dlg, FIRST, "11")
    app.d("settext", dlg, LAST, "13")
    app.d("click", dlg, 1)
    app.box("bad_page_input", icon="icon")
    # Cancel does nothing.
    app.d("click", app.main, SPLIT_RANGE)
    dlg = app.dialog(run.t("page_title"))
    app.d("click", dlg, 2)
    app.d("gone", dlg)
    app.focus(SPLIT_RANGE)
    app.no_box()
    # A one-page file: Disp Page says so and ends the dialog; the count is
    # remembered, so the next opening says it at once; Split(All) too.
    one = make_pdf(os.path.join(folder, "one.pdf"), 1)
    app.set_path(one)
    app.d("click", app.main, SPLIT_RANGE)
    dlg = app.dialog(run.t("page_title"))
    app.d("click", dlg, DISP_PAGE)
    app.box("one_page_dialog", icon="icon")
    app.d("gone", dlg)
    app.d("click", app.main, SPLIT_RANGE)
    app.box("one_page_dialog")
    app.d("click", app.main, SPLIT_ALL)
    app.box("one_page", icon="icon")
    expect("files of the one-page file", [f for f in pdfs_in(folder) if f.startswith("one")], ["one.pdf"])
    app.exit()
    ini = app.ini()
    if "SaveFolder=%s\r\nIsSaveFolder=FALSE\r\nIsSameDate=FALSE\r\n" % winpath(out) not in ini:
        raise Fail("Brisel.ini after the page dialogs: %r" % ini)


@scenario
def settings_and_warn_limit(run):
    """The settings dialog's rules; the warn-limit dialog's OK, Cancel and
    untick; both saved in Brisel.ini."""
    folder = run.folder("warn")
    pdf = make_pdf(os.path.join(folder, "w.pdf"), 12)
    app = App(run, folder, args=winpath(pdf))
    app.d("keys", app.main, "ctrl+t")
    dlg = app.dialog(run.t("setting_title"))
    expect("box", app.d("state", dlg, WARN_CHECK)[2], "1")
    expect("limit", app.d.one("text", dlg, WARN_FIELD), "50")
    expect("field enabled", app.enabled(dlg, WARN_FIELD), True)
    app.has_texts(dlg, "warn_setting", "limit_label", "ok", "cancel")
    run.screenshot("settings", dlg)
    # Centred over the main window.
    ml, mt, mr, mb = (int(v) for v in app.d("rect", app.main))
    dl, dt, dr, db = (int(v) for v in app.d("rect", dlg))
    expect("settings dialog place", (dl, dt), (ml + int((mr - ml) / 2) - int((dr - dl) / 2),
                                               mt + int((mb - mt) / 2) - int((db - dt) / 2)))
    app.d("click", dlg, WARN_CHECK)
    app.d("waitstate", dlg, WARN_FIELD, 0)
    app.d("click", dlg, 1)
    app.d("gone", dlg)
    # Off: the old limit is shown greyed; ticking selects it.
    app.d("keys", app.main, "ctrl+t")
    dlg = app.dialog(run.t("setting_title"))
    expect("box after untick", app.d("state", dlg, WARN_CHECK)[2], "0")
    expect("limit kept", app.d.one("text", dlg, WARN_FIELD), "50")
    expect("field greyed", app.enabled(dlg, WARN_FIELD), False)
    app.d("click", dlg, WARN_CHECK)
    app.d("waitstate", dlg, WARN_FIELD, 1)
    app.focus(WARN_FIELD, dlg)
    expect("selection", app.d("sel", dlg, WARN_FIELD), ["0", "2"])
    app.d("settext", dlg, WARN_FIELD, "12")
    app.d("click", dlg, 1)
    app.d("gone", dlg)
    # Cancel changes nothing.
    app.d("keys", app.main, "ctrl+t")
    dlg = app.dialog(run.t("setting_title"))
    expect("limit", app.d.one("text", dlg, WARN_FIELD), "12")
    app.d("settext", dlg, WARN_FIELD, "99")
    app.d("click", dlg, 2)
    app.d("gone", dlg)
    app.d("keys", app.main, "ctrl+t")
    dlg = app.dialog(run.t("setting_title"))
    expect("limit after Cancel", app.d.one("text", dlg, WARN_FIELD), "12")
    app.d("click", dlg, 2)
    app.d("gone", dlg)
    # An empty limit accepted: every split asks, and the box shows unticked.
    os.makedirs(os.path.join(folder, "small"))
    small = make_pdf(os.path.join(folder, "small", "small.pdf"), 2)
    app.set_path(small)
    app.d("keys", app.main, "ctrl+t")
    dlg = app.dialog(run.t("setting_title"))
    app.d("settext", dlg, WARN_FIELD, "")
    app.d("click", dlg, 1)
    app.d("gone", dlg)
    app.d("keys", app.main, "ctrl+t")
    dlg = app.dialog(run.t("setting_title"))
    expect("box after an empty limit", (app.d("state", dlg, WARN_CHECK)[2], app.enabled(dlg, WARN_FIELD),
                                         app.d.one("text", dlg, WARN_FIELD)), ("0", False, ""))
    app.d("click", dlg, 2)
    app.d("gone", dlg)
    app.d("click", app.main, SPLIT_ALL)
    warn = app.dialog_with(WARN_CHECK)
    expect("warning for 2 files", app.d.one("text", warn, WARN_FIELD), run.t("warn", "2"))
    app.d("click", warn, 2)
    app.d("gone", warn)
    app.set_path(pdf)
    app.d("keys", app.main, "ctrl+t")
    dlg = app.dialog(run.t("setting_title"))
    app.d("click", dlg, WARN_CHECK)
    app.d("settext", dlg, WARN_FIELD, "12")
    app.d("click", dlg, 1)
    app.d("gone", dlg)

    def warn_dialog():
        return app.dialog_with(WARN_CHECK)

    # 12 pages reach the limit of 12. Cancel: no message, no files.
    app.d("click", app.main, SPLIT_ALL)
    warn = warn_dialog()
    expect("warn-limit caption", app.d.one("text", warn), "Brisel")
    expect("warning", app.d.one("text", warn, WARN_FIELD), run.t("warn", "12"))
    expect("warning box", app.d("state", warn, WARN_CHECK)[2], "1")
    app.has_texts(warn, "warn_box", "ok", "cancel")
    run.screenshot("warn-limit", warn)
    app.d("click", warn, WARN_CHECK)  # unticked, but Cancel ignores it
    app.d("click", warn, 2)
    app.d("gone", warn)
    barrier(app, "tab", SPLIT_RANGE)
    expect("files after Cancel", pdfs_in(folder), ["w.pdf"])
    # OK goes on.
    app.d("click", app.main, SPLIT_ALL)
    warn = warn_dialog()
    app.d("click", warn, 1)
    app.box("done")
    expect("files after OK", len(pdfs_in(folder)), 13)
    # Unticked and OK: this job goes on, later ones do not ask.
    app.d("click", app.main, SPLIT_ALL)
    warn = warn_dialog()
    app.d("click", warn, WARN_CHECK)
    app.d("click", warn, 1)
    app.box("done")
    app.d("click", app.main, SPLIT_ALL)
    app.box("done")
    expect("files", len(pdfs_in(folder)), 37)
    app.exit()
    ini = app.ini()
    if "IsWarnLimit=FALSE\r\nWarnLimitN=12\r\n" not in ini:
        raise Fail("Brisel.ini after the warnings: %r" % ini)


@scenario
def passwords(run):
    """Three tries, the remembered password, a remembered password that
    does not fit, Cancel."""
    folder = run.folder("password")
    plain = make_pdf(os.path.join(folder, "plain.pdf"), 3)
    files = {}
    for name, user in (("a.pdf", "secret"), ("b.pdf", "secret"), ("c.pdf", "other")):
        files[name] = os.path.join(folder, name)
        r = pdftest.run(["qpdf", "--allow-weak-crypto", "--encrypt", user, "owner-" + user, "128", "--", plain,
                          files[name]])
        if r.returncode != 0:
            raise Fail("qpdf --encrypt: " + r.stderr)
    app = App(run, folder, args=winpath(files["a.pdf"]))

    def password_dialog():
        hwnd = app.dialog_with(PASSWORD)
        expect("password dialog caption", app.d.one("text", hwnd), "Brisel")
        return hwnd

    app.d("click", app.main, SPLIT_ALL)
    for wrong in ("wrong", "still wrong"):
        dlg = password_dialog()
        app.d("settext", dlg, PASSWORD, wrong)
        app.d("click", dlg, 1)
        app.box("input_right", icon="icon")
    dlg = password_dialog()
    app.has_texts(dlg, "input_password", "ok", "cancel")
    run.screenshot("password", dlg)
    app.d("settext", dlg, PASSWORD, "secret")
    app.d("click", dlg, 1)
    app.box("done")
    check_pages(plain, page_files(files["a.pdf"], 3), password="secret")
    # The same password opens b.pdf without asking.
    app.set_path(files["b.pdf"])
    app.d("click", app.main, SPLIT_ALL)
    app.box("done_remembered")
    check_pages(plain, page_files(files["b.pdf"], 3), password="secret", render=False)
    # It does not fit c.pdf: the dialog comes at once; Cancel ends quietly.
    app.set_path(files["c.pdf"])
    app.d("click", app.main, SPLIT_ALL)
    dlg = password_dialog()
    app.no_box()
    app.d("click", dlg, 2)
    app.d("gone", dlg)
    barrier(app, "tab", SPLIT_RANGE)
    # Three wrong passwords end quietly too.
    app.d("click", app.main, SPLIT_ALL)
    for k in range(3):
        dlg = password_dialog()
        app.d("settext", dlg, PASSWORD, "nope%d" % k)
        app.d("click", dlg, 1)
        if k < 2:
            app.box("input_right")
    app.d("gone", dlg)
    barrier(app, "tab", SPLIT_RANGE)
    expect("files of c.pdf", [f for f in pdfs_in(folder) if f.startswith("c-")], [])
    # The right one: "Done", since the remembered text did not fit.
    app.d("click", app.main, SPLIT_ALL)
    dlg = password_dialog()
    app.d("settext", dlg, PASSWORD, "other")
    app.d("click", dlg, 1)
    app.box("done")
    app.exit()


@scenario
def break_long_split(run):
    """Break during a split of a few thousand pages: the finished files
    stay and each is a valid one-page file."""
    folder = run.folder("break")
    unit = make_pdf(os.path.join(folder, "unit.pdf"), 10)
    pdf = os.path.join(folder, "long.pdf")
    r = pdftest.run(["qpdf", "--empty", "--pages"] + [unit] * 300 + ["--", pdf])
    if r.returncode not in (0, 3):
        raise Fail("qpdf: " + r.stderr)
    os.remove(unit)
    total = 3000
    app = App(run, folder, args=winpath(pdf), ini=ini_text(warn=False, run=run))
    app.d("click", app.main, SPLIT_ALL)
    progress = app.dialog_with(STATUS)
    expect("progress window caption", app.d.one("text", progress), "Brisel")
    app.has_texts(progress, "break_button")
    deadline_wait("the first page files", lambda: len(pdfs_in(folder)) > 3, timeout=60)
    run.screenshot("progress", progress, settle=False)
    status = app.d.one("text", progress, STATUS)
    if not status.startswith(("Creating Pages", "ページ作成中")):
        raise Fail("status line " + repr(status))
    # Escape and Break both ask to stop; asking twice changes nothing.
    app.d("keys", progress, "escape")
    app.d("click", progress, BREAK)
    app.box("break", icon="icon", shot="break")
    names = pdfs_in(folder)
    done = len(names) - 1
    if not 0 < done < total:
        raise Fail("%d page files after Break" % done)
    expect("page files", names[:-1], [os.path.basename(n) for n in page_files(pdf, total, 1, done)])
    written = [os.path.join(folder, n) for n in names[:-1]]
    check_pages(pdf, written[:2] + written[-2:], render=False)
    import pikepdf
    for name in written:
        with pikepdf.open(name) as doc:
            if len(doc.pages) != 1:
                raise Fail(name + " does not hold one page")
    app.exit()


@scenario
def program_ends_during_a_split(run):
    """Closing the main window and the end of the session during a long
    split: the job stops after the pages in flight, every page file is
    whole, no unfinished file is left, and closing says nothing."""
    folder = run.folder("end")
    unit = make_pdf(os.path.join(folder, "unit.pdf"), 10)
    pdf = os.path.join(folder, "long.pdf")
    r = pdftest.run(["qpdf", "--empty", "--pages"] + [unit] * 400 + ["--", pdf])
    if r.returncode not in (0, 3):
        raise Fail("qpdf: " + r.stderr)
    os.remove(unit)
    total = 4000
    import pikepdf
    for how in ("close", "endsession"):
        for name in pdfs_in(folder):
            if name != "long.pdf":
                os.remove(os.path.join(folder, name))
        app = App(run, folder, args=winpath(pdf), ini=ini_text(warn=False, run=run))
        app.d("click", app.main, SPLIT_ALL)
        app.dialog_with(STATUS)
        deadline_wait("the first page files", lambda: len(pdfs_in(folder)) > 3, timeout=60)
        if how == "close":
            app.d("close", app.main)
            code = app.d("watch", app.pid, 60000)
            if code != ["0"]:
                raise Fail("closing during a split: exit code and boxes %r" % code)
        else:
            if app.d.one("endsession", app.main) != "1":
                raise Fail("the program refuses the end of the session")
            # Windows may end the process as soon as the answer came: the
            # job has stopped by then.
            stopped = len(pdfs_in(folder))
            time.sleep(1)
            if len(pdfs_in(folder)) != stopped:
                raise Fail("the split goes on after the end of the session")
            app.kill()
        names = pdfs_in(folder)[:-1]
        done = len(names)
        if not 0 < done < total:
            raise Fail("%s: %d page files" % (how, done))
        expect(how + ": page files", names, [os.path.basename(n) for n in page_files(pdf, total, 1, done)])
        left = [n for n in os.listdir(folder) if n.endswith(".tmp")]
        if left:
            raise Fail("%s: unfinished files left: %r" % (how, left))
        for name in names:
            with pikepdf.open(os.path.join(folder, name)) as doc:
                if len(doc.pages) != 1:
                    raise Fail(name + " does not hold one page")
        check_pages(pdf, [os.path.join(folder, n) for n in names[-2:]], first=done - 1, render=False)


@scenario
def drops_and_tooltip(run):
    """Drops of one, three (two of them PDF files, queued) and a non-PDF
    file; the tooltip on a long path;
    the help file missing."""
    folder = run.folder("drop")
    deep = os.path.join(folder, "a-rather-long-folder-name-for-the-tooltip", "and-one-more-level-below-it")
    os.makedirs(deep)
    one = make_pdf(os.path.join(folder, "one.pdf"), 2)
    two = make_pdf(os.path.join(deep, "two.PDF"), 2)
    text = os.path.join(folder, "notes.txt")
    open(text, "w").write("text\n")
    app = App(run, folder, help_files=False)
    expect("tooltip at start", app.d.one("tooltip", app.main, PATH), "")
    short = "T:\\drop\\one.pdf"
    app.d("drop", app.main, short)
    deadline_wait("dropped path", lambda: app.d.one("text", app.main, PATH) == short)
    app.focus(SPLIT_ALL)
    app.no_box()
    expect("tooltip of a short path", app.d.one("tooltip", app.main, PATH), "")
    # Several files: the PDF files are queued, the others left out.
    app.d("drop", app.main, winpath(two), winpath(one), winpath(text))
    queued = run.t("more_files", winpath(two), 1)
    deadline_wait("two of three", lambda: app.d.one("text", app.main, PATH) == queued)
    app.focus(SPLIT_ALL)
    app.no_box()
    app.d("drop", app.main, winpath(two))
    deadline_wait("one file", lambda: app.d.one("text", app.main, PATH) == winpath(two))
    app.focus(SPLIT_ALL)
    expect("tooltip of a long path", app.d.one("tooltip", app.main, PATH), winpath(two))
    # The pointer resting on the field shows it just above the field.
    left, top = (int(v) for v in app.d("rect", app.main, PATH)[:2])
    app.d("front", app.main)
    app.d("mouse", left + 40, top + 8)
    app.d("mouse", left + 50, top + 10)
    tip = app.d.one("window", app.pid, "tooltips_class32", winpath(two))
    tip_left, tip_top = (int(v) for v in app.d("rect", tip)[:2])
    if not (abs(tip_left - (left + 4)) <= 4 and abs(tip_top - (top - 18)) <= 4):
        raise Fail("tooltip at %d,%d for a field at %d,%d" % (tip_left, tip_top, left, top))
    run.screenshot("tooltip", app.main, tip)
    app.d("mouse", 1000, 700)
    app.d("drop", app.main, winpath(text))
    app.box("drop_not_pdf", icon="icon")
    app.d("drop", app.main, winpath(one) + "a")
    app.box("drop_not_pdf")
    missing = os.path.join(folder, "missing.pdf")
    app.d("drop", app.main, winpath(missing))
    app.box("not_found", winpath(missing), icon="icon")
    expect("path after refused drops", app.d.one("text", app.main, PATH), winpath(two))
    app.set_path(short)
    expect("tooltip after typing a short path", app.d.one("tooltip", app.main, PATH), "")
    app.d("keys", app.main, "f1")
    app.box("no_help", icon="icon")
    app.exit()


@scenario
def window_position_and_settings_file(run):
    """The stored position is clamped to the work area; a changed screen
    size moves it; Brisel.ini is read at start and written at exit."""
    folder = run.folder("position")
    right, bottom = run.desktop
    s = run.caption_button
    has_bar, (bl, bt, br, bb) = run.taskbar
    # The usable area as the program works it out from the taskbar.
    use_l, use_t, use_r, use_b = 0, 0, right, bottom
    if has_bar:
        bl, bt = (0 if abs(bl) < s else bl), (0 if abs(bt) < s else bt)
        br, bb = (right if abs(right - br) < s else br), (bottom if abs(bottom - bb) < s else bb)
        if bl != 0:
            use_r = bl
        elif br != right:
            use_l = br
        if bt != 0:
            use_b = bt
        elif bb != bottom:
            use_t = bb
    use_r, use_b = use_r - 2 * s, use_b - s
    cases = [("5000 5000", None, (use_r, use_b)), ("-300 -40", None, (use_l, use_t)), ("100 120", None, (100, 120)),
             ("1500 300", (1920, 1080), (min(1500, right - 400), 300))]
    for position, size, want in cases:
        app = App(run, folder, ini=ini_text(position, size=size, save_folder="C:\\out", same_date=True,
                                            limit=7, run=run))
        got = tuple(int(v) for v in app.d("rect", app.main)[:2])
        expect("window for Position=%s" % position, got, want)
        app.exit()
        ini = app.ini()
        expect("Brisel.ini written at exit", ini, ini_text("%d %d" % want, save_folder="C:\\out", same_date=True,
                                                           limit=7, run=run))
    # Without a settings file: the defaults, and a file written at exit.
    os.remove(app.ini_path)
    app = App(run, folder)
    left, top = (int(v) for v in app.d("rect", app.main)[:2])
    app.exit(how="close")
    expect("default Brisel.ini", app.ini(), ini_text("%d %d" % (left, top), run=run))


@scenario
def foreign_file_name(run):
    """A file whose name holds Japanese and accented characters splits."""
    folder = run.folder("names")
    pdf = make_pdf(os.path.join(folder, "資料-café-Größe.pdf"), 3)
    app = App(run, folder, args='"%s"' % winpath(pdf))
    expect("path field", app.d.one("text", app.main, PATH), winpath(pdf))
    app.d("click", app.main, SPLIT_ALL)
    app.box("done")
    check_pages(pdf, page_files(pdf, 3))
    app.d("drop", app.main, winpath(pdf))
    app.d("click", app.main, SPLIT_RANGE)
    dlg = app.dialog(run.t("page_title"))
    app.d("click", dlg, DISP_PAGE)
    deadline_wait("page count label", lambda: app.d("state", dlg, COUNT_LABEL)[0] == "1")
    app.d("settext", dlg, FIRST, "2")
    app.d("click", dlg, 1)
    app.box("done")
    check_pages(pdf, page_files(pdf, 3, 2, 3, discriminator="0"), first=2, render=False)
    app.exit()


@scenario
def scaled_windows(run):
    """At the display's DPI: the main window's outer size, its controls and
    the painted label and hint at their 96-DPI places scaled; the tooltip
    just above the field; every window of the program whole (inside its
    window, texts uncut, nothing overlapping), with a screenshot of each
    when the display is scaled."""
    px = run.px
    folder = run.folder("scaled")
    deep = os.path.join(folder, "a-folder-name-long-enough-for-the-tooltip", "at-any-scale-of-the-display")
    os.makedirs(deep)
    pdf = make_pdf(os.path.join(deep, "s.pdf"), 3)
    locked = os.path.join(folder, "locked.pdf")
    r = pdftest.run(["qpdf", "--allow-weak-crypto", "--encrypt", "pw", "owner-pw", "128", "--", pdf, locked])
    if r.returncode != 0:
        raise Fail("qpdf --encrypt: " + r.stderr)
    app = App(run, folder, args=winpath(pdf), ini=ini_text(limit=2, run=run))
    app.focus(SPLIT_ALL)
    shot = (lambda name, *hwnds, **kw: run.screenshot("%s-%d" % (name, run.dpi * 100 // 96), *hwnds, **kw)) \
        if run.dpi != 96 else (lambda *a, **kw: None)
    expect("DPI of the main window", int(app.d.one("dpi", app.main)), run.dpi)
    left, top, right, bottom = (int(v) for v in app.d("rect", app.main))
    expect("outer size of the main window", (right - left, bottom - top), (px(400), px(198)))
    field = [int(v) for v in app.d("rect", app.main, PATH)]
    x0, y0 = field[0] - px(15), field[1] - px(30)  # the client area's origin
    widths = {PATH: 310, REF: 50, SPLIT_ALL: 130 if run.ja else 120, SPLIT_RANGE: 144 if run.ja else 160, EXIT: 55}
    places = {PATH: (15, 30), REF: (330, 30), SPLIT_ALL: (15, 105), SPLIT_RANGE: (158 if run.ja else 145, 105),
              EXIT: (315, 105)}
    for control, (x, y) in places.items():
        want = (px(x), px(y), px(x + widths[control]), px(y + 30))
        rect = [int(v) for v in app.d("rect", app.main, control)]
        expect("control %d in the client area" % control, (rect[0] - x0, rect[1] - y0, rect[2] - x0, rect[3] - y0),
               want)
    run.whole(app.main)
    # The label between the client's top and the field: its ink starts at
    # (15, 9) scaled, below the cell's top by at most the font's leading.
    app.d("paint", app.main)
    label = run.ink(x0, y0, x0 + px(310), field[1])
    if not label or not (px(15) <= label[0] <= px(20) and px(9) <= label[1] <= px(15)) or label[2] < px(80):
        raise Fail("label ink at %r, expected from (%d, %d)" % (label, px(15), px(9)))
    hint = run.ink(x0, field[3], x0 + px(380), y0 + px(104))
    if not hint or not (px(30) <= hint[0] <= px(34) and px(66) <= hint[1] + (field[3] - y0) <= px(75)):
        raise Fail("hint ink at %r below the field, expected from (%d, %d)" % (hint, px(30), px(66)))
    shot("main", app.main)
    # The tooltip of the long path sits just above the field.
    app.d("front", app.main)
    app.d("mouse", field[0] + px(40), field[1] + px(8))
    app.d("mouse", field[0] + px(50), field[1] + px(10))
    tip = app.d.one("window", app.pid, "tooltips_class32", winpath(pdf))
    tip_left, tip_top, tip_right, _ = (int(v) for v in app.d("rect", tip))
    # Moved left as far as needed to stay on the screen.
    want_left = max(0, min(field[0] + px(4), run.desktop[0] - (tip_right - tip_left)))
    if not (abs(tip_left - want_left) <= px(4) and abs(tip_top - (field[1] - px(18))) <= px(4)):
        raise Fail("tooltip at %d,%d for a field at %d,%d" % (tip_left, tip_top, field[0], field[1]))
    shot("tooltip", app.main, tip)
    app.d("mouse", 1000, 700)
    # The dialogs, each whole.
    app.d("keys", app.main, "ctrl+t")
    dlg = app.dialog(run.t("setting_title"))
    run.whole(dlg)
    shot("settings", dlg)
    app.d("click", dlg, 2)
    app.d("gone", dlg)
    app.d("click", app.main, SPLIT_RANGE)
    dlg = app.dialog(run.t("page_title"))
    app.d("click", dlg, DISP_PAGE)
    deadline_wait("page count label", lambda: app.d("state", dlg, COUNT_LABEL)[0] == "1")
    run.whole(dlg)
    shot("page-range", dlg)
    app.d("click", dlg, 2)
    app.d("gone", dlg)
    # An encrypted file of three pages with a limit of two: the password,
    # then the warning over the progress window; Cancel ends the job quietly.
    app.set_path(locked)
    app.d("waitstate", app.main, SPLIT_ALL, 1)
    app.d("click", app.main, SPLIT_ALL)
    dlg = app.dialog_with(PASSWORD)
    run.whole(dlg)
    shot("password", dlg)
    app.d("settext", dlg, PASSWORD, "pw")
    app.d("click", dlg, 1)
    warn = app.dialog_with(WARN_CHECK)
    progress = app.dialog_with(STATUS)
    run.whole(warn)
    run.whole(progress)
    shot("warn-limit", warn)
    shot("progress", progress)
    app.d("click", warn, 2)
    app.d("gone", progress)
    app.no_box()
    app.d("keys", app.main, "ctrl+a")
    app.box("Brisel Ver " + VERSION, shot="about-%d" % (run.dpi * 100 // 96) if run.dpi != 96 else None)
    app.exit()


def scaled_shot(run):
    """Screenshots named with the display's scale, at every DPI."""
    return lambda name, *hwnds, **kw: run.screenshot("%s-%d" % (name, run.dpi * 100 // 96), *hwnds, **kw)


def page_counts(folder, names):
    counts = []
    for name in names:
        path = os.path.join(folder, name)
        ok, report = pdftest.qpdf_check(path)
        if not ok:
            raise Fail("qpdf --check fails on %s: %s" % (name, report))
        with pikepdf.open(path) as doc:
            counts.append(len(doc.pages))
    return counts


@scenario
def parts_dialog(run):
    """Split into Parts from the menu and Ctrl+D: every N pages, at the
    bookmarks of a level with the number of parts shown, by page ranges, by
    size; a bad field; the choices kept in Brisel.ini."""
    folder = run.folder("parts")
    pdf = make_pdf(os.path.join(folder, "book.pdf"), 12)
    # Level 1 at pages 1, 5 and 9; level 2 at 1, 3, 5, 7, 9 and 11.
    with pikepdf.open(pdf, allow_overwriting_input=True) as doc:
        with doc.open_outline() as outline:
            for first in (0, 4, 8):
                chapter = pikepdf.OutlineItem("Chapter %d" % (first // 4 + 1), first)
                chapter.children.extend([pikepdf.OutlineItem("S", first), pikepdf.OutlineItem("T", first + 2)])
                outline.root.append(chapter)
        doc.save(pdf)
    shot = scaled_shot(run)
    app = App(run, folder, args=winpath(pdf))
    app.focus(SPLIT_ALL)

    def split(how, want_parts, want_pages):
        before = set(pdfs_in(folder))
        dlg = app.dialog(run.t("parts_title"))
        how(dlg)
        app.d("click", dlg, 1)
        app.box("parts_done", want_parts, icon="none")
        new = sorted(set(pdfs_in(folder)) - before)
        expect("pages of the parts", page_counts(folder, new), want_pages)
        return new

    app.d("keys", app.main, "ctrl+d")
    dlg = app.dialog(run.t("parts_title"))
    app.has_texts(dlg, "parts_every", "parts_level", "parts_ranges", "parts_size", "save_folder", "same_date",
                  "cancel")
    run.whole(dlg)
    shot("parts-dialog", dlg)
    expect("every N at first", app.d.one("text", dlg, EVERY), "10")
    expect("level field greyed", app.enabled(dlg, LEVEL), False)
    app.d("settext", dlg, EVERY, "5")
    names = split(lambda d: None, 3, [5, 5, 2])
    expect("part names", names, ["book-01-05.pdf", "book-06-10.pdf", "book-11-12.pdf"])

    def at_level(dlg):
        expect("every N kept", app.d.one("text", dlg, EVERY), "5")
        app.d("click", dlg, LEVEL_MODE)
        deadline_wait("part count (it shows %r)" % app.d.one("text", dlg, PART_COUNT),
                      lambda: app.d.one("text", dlg, PART_COUNT) == run.t("parts_count", 3, 12))
        app.d("settext", dlg, LEVEL, "2")
        expect("count at level 2", app.d.one("text", dlg, PART_COUNT), run.t("parts_count", 6, 12))
        app.d("settext", dlg, LEVEL, "3")
        expect("count at level 3", app.d.one("text", dlg, PART_COUNT), run.t("parts_count", 1, 12))
        app.d("settext", dlg, LEVEL, "1")
        shot("parts-bookmarks", dlg)

    app.d("command", app.main, 2037)
    split(at_level, 3, [4, 4, 4])

    def by_ranges(dlg):
        app.d("click", dlg, RANGES_MODE)
        app.d("waitstate", dlg, RANGES, 1)
        for bad in ("3-1", "1,1", "x", ""):
            app.d("settext", dlg, RANGES, bad)
            app.d("click", dlg, 1)
            app.box("bad", icon="icon")
        app.d("settext", dlg, RANGES, "1-2,5-")

    app.d("keys", app.main, "ctrl+d")
    split(by_ranges, 2, [2, 8])
    # Ranges past the end: the page-range message.
    app.d("keys", app.main, "ctrl+d")
    dlg = app.dialog(run.t("parts_title"))
    expect("ranges kept", app.d.one("text", dlg, RANGES), "1-2,5-")
    app.d("settext", dlg, RANGES, "11-13")
    app.d("click", dlg, 1)
    app.box("bad_page_input", icon="icon")

    def by_size(dlg):
        app.d("click", dlg, SIZE_MODE)
        app.d("waitstate", dlg, SIZE, 1)
        expect("size at first", app.d.one("text", dlg, SIZE), "10")
        app.d("settext", dlg, SIZE, "0")
        app.d("click", dlg, 1)
        app.box("bad", icon="icon")
        app.d("settext", dlg, SIZE, "1")

    # Twelve small pages fit in one part of 1 MB.
    app.d("keys", app.main, "ctrl+d")
    expect("part under a size", split(by_size, 1, [12]), ["book-01-12.pdf"])
    # Cancel does nothing.
    app.d("keys", app.main, "ctrl+d")
    dlg = app.dialog(run.t("parts_title"))
    app.d("click", dlg, 2)
    app.d("gone", dlg)
    app.no_box()
    left, top = (int(v) for v in app.d("rect", app.main)[:2])
    app.exit()
    expect("Brisel.ini", app.ini(), ini_text("%d %d" % (left, top), run=run, parts=(3, 5, 1, "11-13", 1)))


@scenario
def several_files(run):
    """Three dropped files split in one run: the progress window counts
    them, the password and the warn-limit questions come up on the way,
    the damaged one is listed in the summary."""
    folder = run.folder("several")
    a = make_pdf(os.path.join(folder, "a.pdf"), 3)
    locked = os.path.join(folder, "locked.pdf")
    r = pdftest.run(["qpdf", "--allow-weak-crypto", "--encrypt", "pw", "owner-pw", "128", "--", a, locked])
    if r.returncode != 0:
        raise Fail("qpdf --encrypt: " + r.stderr)
    broken = os.path.join(folder, "broken.pdf")
    with open(broken, "wb") as f:
        f.write(b"%PDF-1.4\nnothing of a PDF follows\n")
    shot = scaled_shot(run)
    app = App(run, folder, ini=ini_text(limit=3, run=run))
    app.d("drop", app.main, winpath(a), winpath(locked), winpath(broken), winpath(os.path.join(folder, "x.txt")))
    shown = run.t("more_files", winpath(a), 2)
    deadline_wait("the queue in the path field", lambda: app.d.one("text", app.main, PATH) == shown)
    app.focus(SPLIT_ALL)
    app.no_box()
    expect("tooltip of the queue", app.d.one("tooltip", app.main, PATH), shown)
    shot("several", app.main)
    app.d("click", app.main, SPLIT_ALL)
    # a.pdf: three files reach the limit of three.
    warn = app.dialog_with(WARN_CHECK)
    progress = app.dialog_with(STATUS)
    expect("progress caption", app.d.one("text", progress), run.t("file_k_of_n", 1, 3))
    expect("question", app.d.one("text", warn, WARN_FIELD), run.t("warn", "3"))
    app.d("click", warn, 1)
    app.d("gone", warn)
    # locked.pdf: the password, then the warning.
    dlg = app.dialog_with(PASSWORD)
    expect("progress caption", app.d.one("text", progress), run.t("file_k_of_n", 2, 3))
    app.d("settext", dlg, PASSWORD, "pw")
    app.d("click", dlg, 1)
    app.d("gone", dlg)
    warn = app.dialog_with(WARN_CHECK)
    app.d("click", warn, 1)
    hwnd, caption, text, icon, front = app.d("msgbox", app.pid)
    shot("summary", hwnd)
    want = run.t("summary", 2, 3, 6) + run.t("summary_failed") + "\nbroken.pdf: " + run.t("failed")
    if not text.startswith(want):
        raise Fail("summary %r, expected it to begin with %r" % (text, want))
    expect("summary icon", icon, "icon")
    expect("summary in front", front, "1")
    app.d("click", hwnd, 1)
    app.d("gone", hwnd)
    check_pages(a, page_files(a, 3))
    check_pages(a, page_files(locked, 3), password="pw", render=False)
    expect("files of the damaged one", [f for f in pdfs_in(folder) if f.startswith("broken")], ["broken.pdf"])
    # Typing a path ends the queue: one file behaves as before.
    app.set_path(a)
    app.d("click", app.main, SPLIT_ALL)
    warn = app.dialog_with(WARN_CHECK)
    progress = app.dialog_with(STATUS)
    expect("caption of a single file's progress window", app.d.one("text", progress), "Brisel")
    app.d("click", warn, 2)
    app.d("gone", progress)
    app.no_box()
    app.exit()


def slow_to_count(path, pages):
    """A file of many pages whose cross-reference table is lost, so that
    counting its pages means rebuilding it by scanning."""
    out = [b"%PDF-1.4\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"]
    kids = b" ".join(b"%d 0 R" % (4 + k) for k in range(pages))
    out.append(b"2 0 obj\n<< /Type /Pages /Count %d /Kids [%s] >>\nendobj\n" % (pages, kids))
    out.append(b"3 0 obj\n<< /Length 0 >>\nstream\n\nendstream\nendobj\n")
    for k in range(pages):
        out.append(b"%d 0 obj\n<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 3 0 R >>\nendobj\n"
                   % (4 + k))
    out.append(b"trailer\n<< /Root 1 0 R /Size %d >>\nstartxref\n999999999\n%%%%EOF\n" % (4 + pages))
    with open(path, "wb") as f:
        f.write(b"".join(out))
    return path


@scenario
def page_count_on_a_worker(run):
    """Disp Page reads a large file on a worker: the dialog answers
    messages meanwhile, the button stops the query, Cancel ends the dialog
    at once."""
    folder = run.folder("count")
    pages = 200000
    big = slow_to_count(os.path.join(folder, "big.pdf"), pages)
    other = os.path.join(folder, "other.pdf")
    os.link(big, other)
    app = App(run, folder, args=winpath(big))
    app.d("click", app.main, SPLIT_RANGE)
    dlg = app.dialog(run.t("page_title"))
    app.d("click", dlg, DISP_PAGE)
    deadline_wait("the query", lambda: app.d.one("text", dlg, DISP_PAGE) == run.t("stop"))
    # The dialog answers while the query still runs.
    answered = int(app.d.one("ping", dlg, 2000))
    running = app.d.one("text", dlg, DISP_PAGE) == run.t("stop") and app.d("state", dlg, COUNT_LABEL)[0] == "0"
    expect("query still running after the dialog answered in %d ms" % answered, running, True)
    app.d("settext", dlg, FIRST, "2")
    deadline_wait("page count label", lambda: app.d("state", dlg, COUNT_LABEL)[0] == "1", timeout=120)
    expect("count label", app.d.one("text", dlg, COUNT_LABEL), run.t("page_label", pages))
    app.d("click", dlg, 2)
    app.d("gone", dlg)
    # Another file: the button stops the query, and Cancel ends a second
    # one at once.
    app.set_path(other)
    app.d("waitstate", app.main, SPLIT_RANGE, 1)
    app.d("click", app.main, SPLIT_RANGE)
    dlg = app.dialog(run.t("page_title"))
    app.d("click", dlg, DISP_PAGE)
    deadline_wait("the query", lambda: app.d.one("text", dlg, DISP_PAGE) == run.t("stop"))
    app.d("click", dlg, DISP_PAGE)
    deadline_wait("the query stopped", lambda: app.d.one("text", dlg, DISP_PAGE) == run.t("disp_page"))
    app.d("click", dlg, DISP_PAGE)
    deadline_wait("the query", lambda: app.d.one("text", dlg, DISP_PAGE) == run.t("stop"))
    start = time.monotonic()
    app.d("click", dlg, 2)
    app.d("gone", dlg, 5000)
    if time.monotonic() - start > 3:
        raise Fail("Cancel took %.1f s during the query" % (time.monotonic() - start))
    app.no_box()
    app.exit()


@scenario
def long_paths_and_read_only_folder(run):
    """A PDF in a folder whose path runs past 300 characters splits by
    Ctrl+S into that folder. From a program folder that cannot be written,
    a changed setting lands in %APPDATA%\\Brisel and is there at the next
    start; the program's folder stays untouched."""
    folder = run.folder("long")
    deep = folder
    while len(winpath(deep)) <= 300:
        deep = os.path.join(deep, "a-folder-with-a-rather-long-name-%d" % len(deep))
    os.makedirs(deep)
    pdf = make_pdf(os.path.join(deep, "long.pdf"), 3)
    app = App(run, folder, args='"%s"' % winpath(pdf))
    expect("path field", app.d.one("text", app.main, PATH), winpath(pdf))
    app.focus(SPLIT_ALL)
    app.d("keys", app.main, "ctrl+s")
    app.box("done")
    check_pages(pdf, page_files(pdf, 3))
    app.exit()

    user_ini = os.path.join(os.environ["WINEPREFIX"], "drive_c", "users", os.environ.get("USER", "root"),
                            "AppData", "Roaming", "Brisel", "Brisel.ini")
    if os.path.exists(user_ini):
        os.remove(user_ini)
    app_folder = app.folder
    os.remove(app.ini_path)
    locked = lock_folder(app_folder)
    try:
        app = App(run, folder)
        app.d("keys", app.main, "ctrl+t")
        dlg = app.dialog(run.t("setting_title"))
        app.d("settext", dlg, WARN_FIELD, "7")
        app.d("click", dlg, 1)
        app.d("gone", dlg)
        app.exit()
        expect("files beside the program", sorted(os.listdir(app_folder)), sorted(locked))
        with open(user_ini, "rb") as f:
            if b"WarnLimitN=7\r\n" not in f.read():
                raise Fail("the settings in the profile lack the limit")
        app = App(run, folder)
        app.d("keys", app.main, "ctrl+t")
        dlg = app.dialog(run.t("setting_title"))
        expect("limit at the next start", app.d.one("text", dlg, WARN_FIELD), "7")
        app.d("click", dlg, 2)
        app.d("gone", dlg)
        app.exit()
    finally:
        unlock_folder(app_folder)
        os.remove(user_ini)


def lock_folder(path):
    """Makes a folder read-only for the program (immutable for root, whom
    permissions do not stop); returns its file names."""
    os.chmod(path, 0o555)
    if os.geteuid() == 0:
        subprocess.run(["chattr", "+i", path], check=True)
    return os.listdir(path)


def unlock_folder(path):
    if os.geteuid() == 0:
        subprocess.run(["chattr", "-i", path], check=False)
    os.chmod(path, 0o755)


# The scenarios that run once more on a scaled display.
SCALED = ("scaled_windows", "parts_dialog", "several_files", "page_count_on_a_worker")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--lang", choices=("en", "ja"), required=True)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--driver", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--screenshots", default=os.environ.get("BRISEL_SCREENSHOTS"))
    parser.add_argument("--scaled", action="store_true", help="only the scenarios that judge a scaled display")
    parser.add_argument("names", nargs="*")
    args = parser.parse_args()
    if args.screenshots is None:
        args.screenshots = os.path.join(args.work, "screenshots")
    run = Run(args)
    failed = []
    for fn in SCENARIOS:
        if args.names and fn.__name__ not in args.names:
            continue
        if args.scaled and fn.__name__ not in SCALED:
            continue
        start = time.monotonic()
        mark = len(run.log)
        try:
            fn(run)
            print("windows %s: %-40s ok (%.1fs)" % (run.lang, fn.__name__, time.monotonic() - start), flush=True)
        except Exception as e:
            failed.append(fn.__name__)
            print("windows %s: %-40s FAILED (%.1fs): %s" % (run.lang, fn.__name__, time.monotonic() - start, e),
                  flush=True)
            if not isinstance(e, Fail):
                traceback.print_exc()
            print("  last driver exchanges:\n    " + "\n    ".join(run.log[mark:][-12:]), flush=True)
        finally:
            # Leave no copy of the program behind for the next scenario.
            run.d("stopall")
    run.d.close()
    if failed:
        print("windows %s: %d scenario(s) failed: %s" % (run.lang, len(failed), " ".join(failed)))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
