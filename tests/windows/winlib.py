"""The pieces the Windows scenarios share: the test driver running under
Wine, one running copy of Brisel.exe, the texts of both interface
languages, fixtures and the checks of page files."""

import os
import re
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "e2e"))
import pdftest  # noqa: E402  (fixtures and page checks shared with the end-to-end tests)

# The version, as the build takes it from CMakeLists.txt.
with open(os.path.join(ROOT, "CMakeLists.txt")) as _f:
    VERSION = re.search(r"project\(Brisel VERSION ([0-9.]+)", _f.read()).group(1)

# Every text the program shows, English and Japanese.
TEXTS = {
    "done": ("Done", "分解操作完了"),
    "done_remembered": ("Done\n(The password input last time was used)", "分解操作完了\n（前回入力パスワードを使用）"),
    "one_page": ("Can't Split\nThis PDF File has Only One Page", "これ以上分解できません"),
    "one_page_dialog": ("Can't Split\nThis PDF File has Only One Page", "１ページからなるファイルです\nこれ以上分解できません"),
    "cannot_create": ("Can't Create New Files", "分解ファイルを作成できません"),
    "bad_page_input": ("Bad Page Input", "ページ指定に誤りがあります"),
    "break": ("Break", "分解操作が中断されました"),
    "failed": ("Failed", "分解操作に失敗しました"),
    "bad": ("Bad", "入力値に誤りがあります"),
    "input_right": ("Input right password", "正しいパスワードを入力してください"),
    "drop_one": ("Only One PDF File is Available", "一度にドラッグ 分解できるファイルは一つです"),
    "drop_not_pdf": ("Not PDF File", "ドラッグされたファイルはＰＤＦファイルではありません"),
    "cmd_one": ("Only One PDF File is Available", "一度に処理できるファイルは一つです"),
    "cmd_not_pdf": ("Not PDF File", "ＰＤＦファイルではありません"),
    "not_found": ("File Not Found\n- NOT Available Character in Filename ? -\n\n\"%s\"",
                  "ファイルが見つかりません\n（本ソフトで使用できない文字をファイル名中に用いている可能性）\n\n\"%s\""),
    "quilvo": ("Use Quilvo Ver1.71-", "Quilvo Ver1.71 以上をご使用ください"),
    "no_help": ("Can't Find Help File", "ヘルプファイルの起動に失敗しました"),
    "warn": ("%s files are created newly.", "%s個のファイルが新規作成されます。\nよろしいですか？"),
    "warn_box": ("Warning is displayed", "警告表示する"),
    "page_label": ("/ Page %d", "/ %dページ"),
    "page_title": ("Brisel Page(Range) Input", "Brisel ページ等指定分解"),
    "setting_title": ("Brisel Setting", "Brisel 設定"),
    "open_title": ("Refer to a file", "ファイルを参照"),
    "ref": ("Ref", "参照"),
    "split_all": ("Split(All)", "全ページ分解"),
    "split_range": ("Split(Page etc Input)", "ページ等指定分解"),
    "exit": ("Exit", "終了"),
    "break_button": ("Break", "中断"),
    "ok": ("Ok", "Ｏｋ"),
    "cancel": ("Cancel", "キャンセル"),
    "ok_page": ("Ok", "Ok"),
    "dash": (" - ", " - "),
    "default_range": (" ( default   1     -   last page  )", " ( 未入力時   1       -   最終ページ )"),
    "input_password": ("Input password", "パスワードを入力してください"),
    "range_prompt": ("Please Input Page Number (Range)", "分解抽出するページ範囲を入力してください"),
    "disp_page": ("Disp Page", "ページ数表示"),
    "save_folder": ("Select Save Folder", "保存先フォルダを指定"),
    "same_date": ("Adjust Time Stamp to Source File", "更新日時を元ファイルに合わせる"),
    "warn_setting": ("Warn, if too many files are created newly.", "分解後のファイル数が多いと警告表示"),
    "limit_label": ("Upper limit of number:", "警告ファイル数上限："),
    "parts_title": ("Brisel Split into Parts", "Brisel パート単位で分解"),
    "parts_every": ("&Every", "一定ページ数ごと(&E)"),
    "parts_level": ("At &bookmarks of level", "しおりのレベル(&B)"),
    "parts_ranges": ("By page &ranges", "ページ範囲(&R)"),
    "parts_size": ("By &size of at most", "サイズの上限(&S)"),
    "parts_done": ("Done\n%d parts written.", "分解操作完了\n%d 個のパートを作成しました。"),
    "parts_count": ("(%d parts of %d pages)", "（%d パート／%d ページ）"),
    "no_bookmarks": ("(no bookmarks)", "（しおりなし）"),
    "more_files": ("%s (+ %d more)", "%s （他 %d 件）"),
    "file_k_of_n": ("Brisel - file %d of %d", "Brisel - %d / %d ファイル目"),
    "summary": ("Files split: %d of %d\nPage files written: %d", "分解したファイル：%d 件（全 %d 件中）\n作成したファイル：%d 個"),
    "summary_failed": ("\n\nNot split or incomplete:", "\n\n分解できなかったファイル："),
    "stop": ("Stop", "中止"),
}

# Control ids.
PATH, REF, SPLIT_ALL, SPLIT_RANGE, EXIT = 2060, 2020, 2030, 2035, 2010
FIRST, LAST, DISP_PAGE, COUNT_LABEL, SAVE_FOLDER, SAME_DATE = 5000, 5010, 5020, 5030, 5040, 5050
BREAK, STATUS = 2, 4000
WARN_CHECK, WARN_FIELD = 6500, 6510
PASSWORD = 6000
EVERY_MODE, EVERY, LEVEL_MODE, LEVEL, PART_COUNT, RANGES_MODE, RANGES = 5100, 5105, 5110, 5115, 5118, 5120, 5125
SIZE_MODE, SIZE = 5130, 5135
FOLDER_TREE = 0x3741  # the tree of the shell's folder browser


class Fail(Exception):
    pass


def escape(text):
    return text.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n").replace("\r", "\\r")


def unescape(text):
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            i += 1
            c = {"n": "\n", "r": "\r", "t": "\t"}.get(text[i], text[i])
        out.append(c)
        i += 1
    return "".join(out)


def winpath(path):
    """The Wine name of a Linux path (drive Z: is the root)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Driver:
    """The Win32 test driver, one process for a whole run."""

    def __init__(self, exe, log):
        self.log = log
        self.proc = subprocess.Popen(["wine", exe], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, text=True, encoding="utf-8")
        first = self.proc.stdout.readline()
        if not first.startswith("ok"):
            raise Fail("the test driver did not start: %r" % first)

    def __call__(self, *args):
        line = "\t".join(escape(str(a)) for a in args)
        self.proc.stdin.write(line + "\n")
        self.proc.stdin.flush()
        answer = self.proc.stdout.readline().rstrip("\n")
        while answer and not answer.startswith(("ok", "err")):
            answer = self.proc.stdout.readline().rstrip("\n")
        self.log.append("> %s\n< %s" % (line, answer))
        if not answer:
            raise Fail("the test driver ended at: " + line)
        fields = answer.split("\t")
        if fields[0] != "ok":
            raise Fail("%s: %s" % (line, unescape(fields[1] if len(fields) > 1 else "")))
        return [unescape(f) for f in fields[1:]]

    def one(self, *args):
        values = self(*args)
        return values[0] if values else ""

    def close(self):
        try:
            self.proc.stdin.write("quit\n")
            self.proc.stdin.flush()
            self.proc.wait(timeout=20)
        except Exception:
            self.proc.kill()


class Run:
    """What one language's run shares: the driver, the language, folders."""

    def __init__(self, args):
        self.lang = args.lang
        self.ja = args.lang == "ja"
        self.exe = args.exe
        self.work = os.path.abspath(args.work)
        self.shots = args.screenshots
        self.log = []
        self.d = Driver(args.driver, self.log)
        os.makedirs(self.work, exist_ok=True)
        # Drive T: is the work folder, for paths short enough to fit the
        # path field in either interface's font.
        drive = os.path.join(os.environ["WINEPREFIX"], "dosdevices", "t:")
        if os.path.islink(drive):
            os.remove(drive)
        os.symlink(self.work, drive)
        metrics = self.d("metrics")
        self.desktop = (int(metrics[0]), int(metrics[1]))
        self.caption_button = int(metrics[2])
        self.taskbar = (int(metrics[3]), tuple(int(v) for v in metrics[4:8]))
        self.langid = int(metrics[8])
        # The display's DPI: sizes given in pixels at 96 DPI scale by it.
        self.dpi = int(metrics[10]) if len(metrics) > 10 else 96
        want = 1041 if self.ja else 1033
        if self.langid != want:
            raise Fail("the user language is %d, not %d" % (self.langid, want))

    def px(self, pixels):
        """A length in pixels at 96 DPI at the display's DPI, rounded as the
        program rounds it."""
        return (pixels * self.dpi + 48) // 96

    def whole(self, hwnd):
        """Every visible control starts inside the window's client area and
        overlaps no other by more than a touch."""
        faults = self.d("whole", hwnd)
        if faults and faults != [""]:
            raise Fail("window %r at %d DPI: %s" % (self.d.one("text", hwnd), self.dpi, ", ".join(faults)))

    def grab(self, left, top, right, bottom):
        """The screen's pixels in a rectangle, as rows of (r, g, b)."""
        r = subprocess.run(["import", "-silent", "-window", "root", "-crop",
                            "%dx%d+%d+%d" % (right - left, bottom - top, left, top), "+repage", "-depth", "8",
                            "ppm:-"], capture_output=True)
        if r.returncode != 0:
            raise Fail("import failed: " + r.stderr.decode())
        data = r.stdout
        fields, pos = [], 0
        while len(fields) < 4:  # P6, width, height, maximum
            while data[pos:pos + 1].isspace():
                pos += 1
            end = pos
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[pos:end])
            pos = end
        pos += 1
        width, height = int(fields[1]), int(fields[2])
        return [[tuple(data[pos + 3 * (y * width + x):pos + 3 * (y * width + x) + 3]) for x in range(width)]
                for y in range(height)]

    def ink(self, left, top, right, bottom):
        """The bounding box (relative to left, top) of the dark pixels in a
        rectangle of the screen: where text was drawn. None when blank."""
        rows = self.grab(left, top, right, bottom)
        xs = [x for row in rows for x, c in enumerate(row) if sum(c) < 3 * 100]
        ys = [y for y, row in enumerate(rows) if any(sum(c) < 3 * 100 for c in row)]
        return (min(xs), min(ys), max(xs) + 1, max(ys) + 1) if xs else None

    def t(self, key, *args):
        text = TEXTS[key][1 if self.ja else 0]
        return text % args if args else text

    def folder(self, name):
        """A fresh folder for one scenario, with its own copy of the program."""
        path = os.path.join(self.work, name)
        shutil.rmtree(path, ignore_errors=True)
        os.makedirs(path)
        return path

    def screenshot(self, name, *hwnds, settle=True):
        """The screen cropped to the windows given. A window that keeps
        changing (the progress window) is taken as it is."""
        if not self.shots:
            return
        os.makedirs(self.shots, exist_ok=True)
        rects = [[int(v) for v in self.d("rect", hwnd)] for hwnd in hwnds]
        left, top = max(min(r[0] for r in rects), 0), max(min(r[1] for r in rects), 0)
        right, bottom = max(r[2] for r in rects), max(r[3] for r in rects)
        out = os.path.join(self.shots, "%s-%s.png" % (name, self.lang))
        # Repaint, then grab until five grabs in a row agree (at most for
        # a few seconds): some dialogs of the system paint late.
        for hwnd in hwnds:
            self.d("paint", hwnd)
        last, same = None, 0
        end = time.monotonic() + 5
        while (same < 5 if settle else last is None) and time.monotonic() < end:
            r = subprocess.run(["import", "-silent", "-window", "root", "-crop",
                                "%dx%d+%d+%d" % (right - left, bottom - top, left, top), "+repage", "-depth", "8",
                                "ppm:-"], capture_output=True)
            if r.returncode != 0:
                raise Fail("import failed: " + r.stderr.decode())
            same = same + 1 if r.stdout == last else 0
            last = r.stdout
        r = subprocess.run(["convert", "ppm:-", "-strip", out], input=last, capture_output=True)
        if r.returncode != 0:
            raise Fail("convert failed: " + r.stderr.decode())


class App:
    """One running copy of Brisel.exe, started from its own folder."""

    def __init__(self, run, folder, args="", ini=None, main=True, help_files=True):
        self.run, self.d = run, run.d
        self.folder = os.path.join(folder, "app")
        os.makedirs(self.folder, exist_ok=True)
        self.exe = os.path.join(self.folder, "Brisel.exe")
        if not os.path.exists(self.exe):
            shutil.copy(run.exe, self.exe)
            for name in ("Help.htm", "HelpE.htm"):
                source = os.path.join(ROOT, "resources", "help", name)
                target = os.path.join(self.folder, name)
                if help_files and os.path.exists(source):
                    shutil.copy(source, target)
                elif not help_files and os.path.exists(target):
                    os.remove(target)
        if ini is not None:
            with open(self.ini_path, "wb") as f:
                f.write(ini.encode("cp932" if run.ja else "cp1252"))
        self.pid = self.d.one("start", winpath(self.exe), args, winpath(folder))
        self.main = self.d.one("window", self.pid, "Brisel", "Brisel") if main else None

    @property
    def ini_path(self):
        return os.path.join(self.folder, "Brisel.ini")

    def ini(self):
        with open(self.ini_path, "rb") as f:
            return f.read().decode("cp932" if self.run.ja else "cp1252")

    def box(self, key_or_text, *args, icon=None, button=None, shot=None):
        """Waits for a message box, judges it and closes it."""
        hwnd, caption, text, shown_icon, front = self.d("msgbox", self.pid)
        if shot:
            self.run.screenshot(shot, hwnd)
        want = self.run.t(key_or_text, *args) if key_or_text in TEXTS else key_or_text
        if caption != "Brisel":
            raise Fail("message box caption %r (text %r)" % (caption, text))
        if text != want:
            raise Fail("message box says %r, expected %r" % (text, want))
        if front != "1":
            raise Fail("message box %r is not in the foreground" % text)
        if icon is not None and shown_icon != icon:
            raise Fail("message box %r shows %s, expected %s" % (text, shown_icon, icon))
        self.d("click", hwnd, button or 1)
        self.d("gone", hwnd)
        return hwnd

    def dialog(self, title):
        return self.d.one("window", self.pid, "#32770", title)

    def has_texts(self, hwnd, *keys):
        """The dialog shows the texts of its template in this language."""
        shown = {c.split("|")[2] for c in self.d("children", hwnd)}
        missing = [self.run.t(k) for k in keys if self.run.t(k) not in shown]
        if missing:
            raise Fail("dialog %r lacks %r; it shows %r" % (self.d.one("text", hwnd), missing, sorted(shown)))

    def no_box(self):
        if self.d.one("boxes", self.pid) != "0":
            raise Fail("an unexpected message box: " + self.d("msgbox", self.pid)[2])

    def set_path(self, path):
        self.d("settext", self.main, PATH, winpath(path) if path.startswith("/") else path)

    def dialog_with(self, control):
        """The dialog of this program that holds the control."""
        return self.d.one("dialogwith", self.pid, control)

    def enabled(self, hwnd, control):
        return self.d("state", hwnd, control)[1] == "1"

    def focus(self, control, hwnd=None):
        self.d("waitfocus", hwnd or self.main, control)

    def exit(self, how="button"):
        if how == "button":
            self.d("click", self.main, EXIT)
        else:
            self.d("close", self.main)
        code = self.d.one("wait", self.pid)
        return int(code)

    def kill(self):
        self.d("kill", self.pid)


# The scenarios, in the order they run.
SCENARIOS = []


def scenario(fn):
    SCENARIOS.append(fn)
    return fn


def expect(what, seen, want):
    if seen != want:
        raise Fail("%s: %r, expected %r" % (what, seen, want))


def ini_text(position="", size=None, save_folder="", is_save_folder=False, same_date=False, warn=True,
             limit=50, run=None, parts=(0, 10, 1, "", 10)):
    """The settings file: the seven keys, then the parts dialog's five
    (mode, every, level, ranges, size in MB)."""
    size = size or (run.desktop if run else (1024, 768))
    lines = ["Position=%s" % position, "WindowSize=%d %d" % size, "SaveFolder=%s" % save_folder,
             "IsSaveFolder=%s" % ("TRUE" if is_save_folder else "FALSE"),
             "IsSameDate=%s" % ("TRUE" if same_date else "FALSE"),
             "IsWarnLimit=%s" % ("TRUE" if warn else "FALSE"), "WarnLimitN=%d" % limit,
             "PartMode=%d" % parts[0], "PartEvery=%d" % parts[1], "PartLevel=%d" % parts[2],
             "PartRanges=%s" % parts[3], "PartMaxMB=%d" % parts[4]]
    return "".join(line + "\r\n" for line in lines)


def barrier(app, key, control_after):
    """Input is handled in order: once a key typed after some other input
    has moved the focus, the earlier input has been handled too, and no
    modal window took it. The main window must be enabled first: while it
    is disabled a job or a dialog still runs."""
    app.d("waitstate", app.main, "-", 1)
    app.d("keys", app.main, key)
    app.focus(control_after)
    app.no_box()


def make_pdf(path, pages, title="Page"):
    pdftest.WORK = os.path.dirname(path)
    return pdftest.ghostscript_pdf(path, pdftest.text_pages_ps(pages, title))


def page_files(input_path, pages, first=1, last=None, discriminator="", folder=None):
    last = last or pages
    names = [pdftest.output_name(input_path, p, pages, discriminator) for p in range(first, last + 1)]
    if folder:
        names = [os.path.join(folder, os.path.basename(n)) for n in names]
    return names


def check_pages(input_path, names, first=1, render=True, password=None):
    """Each page file passes qpdf --check, holds one page and, when asked,
    renders like its page of the input."""
    pdftest.WORK = os.path.dirname(names[0])
    for k, name in enumerate(names):
        if not os.path.exists(name):
            raise Fail("missing page file " + name)
        ok, report = pdftest.qpdf_check(name, password)
        if not ok:
            raise Fail("qpdf --check fails on %s: %s" % (name, report))
        if render:
            if pdftest.render(name, 1, password) != pdftest.render(input_path, first + k, password):
                raise Fail("%s does not render like page %d" % (name, first + k))


def pdfs_in(folder):
    return sorted(f for f in os.listdir(folder)
                  if f.lower().endswith(".pdf") and os.path.isfile(os.path.join(folder, f)))


def deadline_wait(what, ready, timeout=20):
    end = time.monotonic() + timeout
    while not ready():
        if time.monotonic() > end:
            raise Fail("timed out waiting for " + what)
        time.sleep(0.02)
