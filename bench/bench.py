#!/usr/bin/python3
"""Times brisel against peer page splitters on documents made at run time.

For each document: the median wall time of several alternating runs of each
tool, brisel's speed-up over each, the time per page, and the peak memory of
each tool. Every run writes into a fresh folder and starts alike: the output
of the run before flushed and let go from the page cache, the input read into
it. Old outputs are removed only after all timed runs, since
removing thousands of files slows the file system for a while afterwards.

Usage: bench/bench.py [--runs N] [--brisel PATH] [--against PATH] [--only NAME ...] [--keep]

--against times another build of brisel (brisel-before) in the same
rotation, so that a change is measured side by side with what it changes.
"""

import argparse
import os
import platform
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import pdftest  # noqa: E402


def image_pages_pdf(path, count, size=500):
    """Pages that each hold their own large image (random RGB, Flate)."""
    import pikepdf
    import zlib
    pdf = pikepdf.new()
    for i in range(count):
        data = zlib.compress(os.urandom(size * size * 3), 1)
        image = pdf.make_stream(data, Type=pikepdf.Name.XObject, Subtype=pikepdf.Name.Image, Width=size,
                                Height=size, ColorSpace=pikepdf.Name.DeviceRGB, BitsPerComponent=8,
                                Filter=pikepdf.Name.FlateDecode)
        content = pdf.make_stream(b"q 450 0 0 450 72 100 cm /Im0 Do Q")
        pdf.pages.append(pikepdf.Page(pikepdf.Dictionary(
            Type=pikepdf.Name.Page, MediaBox=[0, 0, 612, 792], Contents=content,
            Resources=pikepdf.Dictionary(XObject=pikepdf.Dictionary(Im0=image)))))
    pdf.save(path)
    return path


def form_pages_pdf(path, count):
    """count pages, each with a text field of its own and a button of one
    radio group that spans every page: a page file's form must cost what
    its own page holds, although the group's /Kids name every page."""
    import pikepdf
    from pikepdf import Array, Dictionary, Name, String
    pdf = pikepdf.new()
    font = pdf.make_indirect(Dictionary(Type=Name.Font, Subtype=Name.Type1, BaseFont=Name.Helvetica))
    resources = Dictionary(Font=Dictionary(Helv=font))
    group = pdf.make_indirect(Dictionary(FT=Name.Btn, Ff=49152, T=String("group"), V=Name("/b0"), Kids=Array()))
    fields = [group]
    for i in range(count):
        content = pdf.make_stream(b"BT /Helv 12 Tf 20 260 Td (page %d) Tj ET" % i)
        page = pdf.make_indirect(Dictionary(Type=Name.Page, MediaBox=[0, 0, 300, 300], Contents=content,
                                            Resources=resources))
        text = pdf.make_indirect(Dictionary(Type=Name.Annot, Subtype=Name.Widget, FT=Name.Tx, T=String("t%d" % i),
                                            V=String("value %d" % i), Rect=[20, 200, 200, 220], P=page))
        button = pdf.make_indirect(Dictionary(Type=Name.Annot, Subtype=Name.Widget, Parent=group, P=page,
                                              Rect=[20, 100, 40, 120], AS=Name("/b%d" % i)))
        group.Kids.append(button)
        page.Annots = Array([text, button])
        fields.append(text)
        pdf.pages.append(pikepdf.Page(page))
    pdf.Root.AcroForm = Dictionary(Fields=Array(fields), DR=resources, DA=String("/Helv 0 Tf 0 g"))
    pdf.save(path)


def tagged_pages_pdf(path, count, per_page=10, tagged=True):
    """count pages of per_page tagged paragraphs each: a structure tree of
    count * per_page paragraphs under one Document element (whose /K names
    them all), a parent tree and an IDTree. Without tagged, the same pages
    and content without the tree: the cost of the tree is the difference."""
    import pikepdf
    from pikepdf import Array, Dictionary, Name, String
    pdf = pikepdf.new()
    font = pdf.make_indirect(Dictionary(Type=Name.Font, Subtype=Name.Type1, BaseFont=Name.Helvetica))
    root = pdf.make_indirect(Dictionary(Type=Name.StructTreeRoot))
    document = pdf.make_indirect(Dictionary(Type=Name.StructElem, S=Name.Document, P=root))
    paragraphs, nums, ids = [], [], []
    for i in range(count):
        ops = b"BT /F1 12 Tf 40 740 Td "
        for k in range(per_page):
            ops += b"/P <</MCID %d>> BDC (page %d paragraph %d) Tj EMC 0 -20 Td " % (k, i + 1, k + 1)
        page = pikepdf.Page(Dictionary(Type=Name.Page, MediaBox=[0, 0, 612, 792], Contents=pdf.make_stream(ops + b"ET"),
                                       Resources=Dictionary(Font=Dictionary(F1=font))))
        pdf.pages.append(page)
        if not tagged:
            continue
        page = pdf.pages[-1]
        page.obj.StructParents = i
        mine = []
        for k in range(per_page):
            p = pdf.make_indirect(Dictionary(Type=Name.StructElem, S=Name.P, P=document, Pg=page.obj, K=k))
            mine.append(p)
            if k == 0:
                ids += [String("p%06d" % i), p]
        paragraphs += mine
        nums += [i, Array(mine)]
    if tagged:
        document.K = Array(paragraphs)
        root.K = Array([document])
        root.ParentTree = Dictionary(Nums=Array(nums))
        root.ParentTreeNextKey = count
        root.IDTree = Dictionary(Names=Array(ids))
        pdf.Root.StructTreeRoot = root
        pdf.Root.MarkInfo = Dictionary(Marked=True)
    pdf.save(path)


def make_documents(folder, only):
    docs = []

    def want(name):
        return not only or name in only

    text2000 = os.path.join(folder, "text-2000.pdf")
    if want("text-2000") or want("objstm-2000") or want("aes-2000") or want("aes256-2000"):
        pdftest.ghostscript_pdf(text2000, pdftest.text_pages_ps(2000))
    if want("text-2000"):
        docs.append(("text-2000", text2000, 2000))
    if want("objstm-2000"):
        path = os.path.join(folder, "objstm-2000.pdf")
        subprocess.run(["qpdf", "--object-streams=generate", text2000, path], check=True)
        docs.append(("objstm-2000", path, 2000))
    if want("aes-2000"):
        path = os.path.join(folder, "aes-2000.pdf")
        subprocess.run(["qpdf", "--encrypt", "", "owner", "128", "--use-aes=y", "--", text2000, path], check=True)
        docs.append(("aes-2000", path, 2000))
    if want("aes256-2000"):
        path = os.path.join(folder, "aes256-2000.pdf")
        subprocess.run(["qpdf", "--encrypt", "", "owner", "256", "--", text2000, path], check=True)
        docs.append(("aes256-2000", path, 2000))
    if want("image-200"):
        path = os.path.join(folder, "image-200.pdf")
        image_pages_pdf(path, 200)
        docs.append(("image-200", path, 200))
    if want("form-2000"):
        path = os.path.join(folder, "form-2000.pdf")
        form_pages_pdf(path, 2000)
        docs.append(("form-2000", path, 2000))
    for name, tagged in (("tagged-2000", True), ("untagged-2000", False)):
        if want(name):
            path = os.path.join(folder, name + ".pdf")
            tagged_pages_pdf(path, 2000, tagged=tagged)
            docs.append((name, path, 2000))
    text20000 = os.path.join(folder, "text-20000.pdf")
    if want("text-20000") or want("every100-20000"):
        pdftest.ghostscript_pdf(text20000, pdftest.text_pages_ps(20000))
    if want("text-20000"):
        docs.append(("text-20000", text20000, 20000))
    if want("every100-20000"):
        # The same document split into parts of 100 pages.
        docs.append(("every100-20000", text20000, 20000, 100))
    return docs


def settle(src, previous):
    """Starts every run alike: the output of the run before flushed and its
    pages let go from the page cache (it would otherwise crowd memory run
    after run), the input read into the cache."""
    os.sync()
    if previous:
        for name in os.listdir(previous):
            fd = os.open(os.path.join(previous, name), os.O_RDONLY)
            os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
            os.close(fd)
    with open(src, "rb") as f:
        while f.read(1 << 20):
            pass


def timed(cmd, cwd, timeout):
    """Runs a command; returns (seconds, peak KiB) or None when it fails."""
    start = time.perf_counter()
    # A session of its own, so that a tool given up is stopped with its
    # timer and does not run on beside the next measurements.
    proc = subprocess.Popen(["/usr/bin/time", "-f", "%M", *cmd], cwd=cwd, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, text=True, start_new_session=True)
    try:
        _, err = proc.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.communicate()
        return None
    seconds = time.perf_counter() - start
    if proc.returncode != 0:
        sys.stderr.write("%s failed: %s\n" % (cmd[0], err.strip()[-300:]))
        return None
    return seconds, int(err.strip().splitlines()[-1])


def tools(brisel, floor, pack, every=None, against=None):
    """The splitters, and the floor: brisel's own page files written by a
    program that already holds their bytes (bench/floor.c), created at once
    and, as brisel creates them, each whole under its name (floor-whole).
    With every, each file holds that many pages (pdfseparate writes single
    pages only)."""
    before = []
    if against and every:
        before = [("brisel-before", lambda src, out: [against, "--yes", "--every", str(every), "--out", out, src])]
    elif against:
        before = [("brisel-before", lambda src, out: [against, "--yes", "--out", out, src])]
    if every:
        return before + [
            ("brisel", lambda src, out: [brisel, "--yes", "--every", str(every), "--out", out, src]),
            ("qpdf", lambda src, out: ["qpdf", "--split-pages=%d" % every, src, os.path.join(out, "part-%d.pdf")]),
            ("floor", lambda src, out: [floor, pack, out]),
            ("floor-whole", lambda src, out: [floor, "--whole", pack, out]),
            ("no-sync", lambda src, out: [brisel, "--yes", "--no-sync", "--every", str(every), "--out", out, src]),
        ]
    return before + [
        ("brisel", lambda src, out: [brisel, "--yes", "--out", out, src]),
        ("qpdf", lambda src, out: ["qpdf", "--split-pages", src, os.path.join(out, "page-%d.pdf")]),
        ("pdfseparate", lambda src, out: ["pdfseparate", src, os.path.join(out, "page-%d.pdf")]),
        ("floor", lambda src, out: [floor, pack, out]),
        ("floor-whole", lambda src, out: [floor, "--whole", pack, out]),
        # brisel without flushing its page files to the disk: what the
        # guarantee after "Done" costs.
        ("no-sync", lambda src, out: [brisel, "--yes", "--no-sync", "--out", out, src]),
    ]


def build_floor(work):
    path = os.path.join(work, "floor")
    subprocess.run(["cc", "-O2", "-o", path, os.path.join(HERE, "floor.c")], check=True)
    return path


def make_pack(folder, pack):
    """Packs the files of a folder for the floor program: name, NUL, 8-byte
    little-endian size, bytes."""
    with open(pack, "wb") as f:
        for name in sorted(os.listdir(folder)):
            data = open(os.path.join(folder, name), "rb").read()
            f.write(name.encode() + b"\0" + len(data).to_bytes(8, "little") + data)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--brisel", default=os.path.join(ROOT, "build", "release", "brisel"))
    parser.add_argument("--against", help="another build of brisel, timed beside it as brisel-before")
    parser.add_argument("--only", nargs="*", default=[])
    parser.add_argument("--timeout", type=int, default=120, help="seconds before a tool is given up")
    parser.add_argument("--keep", action="store_true", help="keep the work folder")
    parser.add_argument("--skip", nargs="*", default=[], help="peer tools not to run (qpdf, pdfseparate)")
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="brisel-bench-")
    os.environ["BRISEL_WORK"] = work
    pdftest.WORK = work
    print("machine: %s, %d cores, %s" % (platform.processor() or platform.machine(), os.cpu_count(),
                                          platform.platform()))
    print("making documents in %s ..." % work, flush=True)
    floor = build_floor(work)
    docs = make_documents(work, set(args.only))
    # Let the file system finish writing the documents before timing.
    os.sync()
    time.sleep(10)
    outputs = []
    # The slowest time per page each tool has shown so far: a tool that
    # would need longer than the timeout on a larger document is not run on it.
    per_page = {}
    header = "%-12s %6s %9s  %-12s %9s %8s %9s %10s" % ("document", "pages", "size", "tool", "median s",
                                                       "ms/page", "peak MiB", "brisel is")
    print(header)
    print("-" * len(header))
    for name, src, pages, *every in docs:
        every = every[0] if every else None
        results = {}
        given_up = set(args.skip)
        skipped = {tool: per_page[tool] * pages for tool in per_page if per_page[tool] * pages > args.timeout}
        given_up.update(skipped)
        # One untimed run of the fast tools first: the first writes after the
        # documents were made are slowed by the file system's own work.
        pack = os.path.join(work, name + ".pack")
        for tool, command in [t for t in tools(args.brisel, floor, pack, every, args.against)
                              if t[0] in ("brisel", "qpdf")]:
            out = tempfile.mkdtemp(prefix="%s-%s-warm-" % (name, tool), dir=work)
            outputs.append(out)
            settle(src, outputs[-2] if len(outputs) > 1 else None)
            timed(command(src, out), work, args.timeout)
            if tool == "brisel":
                make_pack(out, pack)
        for run in range(args.runs):
            # The order of the tools turns from run to run, so that none
            # always follows the same one.
            order = tools(args.brisel, floor, pack, every, args.against)
            order = order[run % len(order):] + order[:run % len(order)]
            for tool, command in order:
                if tool in given_up:
                    continue
                out = tempfile.mkdtemp(prefix="%s-%s-" % (name, tool), dir=work)
                outputs.append(out)
                settle(src, outputs[-2] if len(outputs) > 1 else None)
                r = timed(command(src, out), work, args.timeout)
                if r is None:
                    given_up.add(tool)
                    results.pop(tool, None)
                    continue
                results.setdefault(tool, []).append(r)
                per_page[tool] = max(per_page.get(tool, 0), r[0] / pages)
                if tool == "pdfseparate" and r[0] > 60:
                    given_up.add(tool)
        base = statistics.median(t for t, _ in results["brisel"]) if "brisel" in results else None
        for tool, _ in tools(args.brisel, floor, pack, every, args.against):
            if tool in args.skip:
                continue
            if tool not in results:
                if tool in skipped:
                    state = "not run: about %d s" % skipped[tool]
                else:
                    state = "gave up" if tool in given_up else "failed"
                print("%-12s %6d %8.1fM  %-12s %9s" % (name, pages, os.path.getsize(src) / 2**20, tool, state))
                continue
            median = statistics.median(t for t, _ in results[tool])
            peak = max(m for _, m in results[tool]) / 1024
            if tool == "brisel" or base is None:
                ratio = ""
            elif tool == "brisel-before":
                ratio = "%+.1f%% time" % (100 * (base / median - 1))
            elif tool == "floor":
                ratio = "%.2fx floor" % (base / median)
            elif tool == "floor-whole":
                # What writing each file whole costs over creating it at once.
                plain = statistics.median(t for t, _ in results["floor"]) if "floor" in results else median
                ratio = "%+.0f%% floor" % (100 * (median / plain - 1))
            elif tool == "no-sync":
                ratio = "sync %+.0f%%" % (100 * (base / median - 1))
            else:
                ratio = "%.1fx faster" % (median / base)
            print("%-12s %6d %8.1fM  %-12s %9.3f %8.3f %9.1f %10s" % (
                name, pages, os.path.getsize(src) / 2**20, tool, median, 1000 * median / pages, peak, ratio),
                flush=True)
    if args.keep:
        print("kept", work)
    else:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
