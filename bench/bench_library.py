#!/usr/bin/python3
"""Times the Python module against peer libraries splitting in memory, on
documents made at run time, and the Dask example with one and two workers.

Each library takes the input as bytes and makes one bytes object per page,
all held in memory, in a process of its own, so that its peak memory (the
process's maximum resident size) is its own. The figure is the median of
several runs, without the import and the reading of the input (the peak
memory includes the input's bytes and every page file). The command
line's figure (the same pages written to files) sits beside them.

Usage: bench/bench_library.py [--runs N] [--only NAME ...] [--module DIR]
                              [--brisel PATH] [--skip TOOL ...] [--no-dask]
"""

import argparse
import io
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))


def split_brisel(data):
    import brisel
    return brisel.split(data)


def split_pikepdf(data):
    import pikepdf
    out = []
    with pikepdf.open(io.BytesIO(data)) as pdf:
        for page in pdf.pages:
            one = pikepdf.new()
            one.pages.append(page)
            buffer = io.BytesIO()
            one.save(buffer)
            out.append(buffer.getvalue())
    return out


def split_pymupdf(data):
    import fitz
    out = []
    doc = fitz.open(stream=data, filetype="pdf")
    for i in range(doc.page_count):
        one = fitz.open()
        one.insert_pdf(doc, from_page=i, to_page=i)
        out.append(one.tobytes())
        one.close()
    return out


def split_pypdf(data):
    import pypdf
    out = []
    reader = pypdf.PdfReader(io.BytesIO(data))
    for page in reader.pages:
        writer = pypdf.PdfWriter()
        writer.add_page(page)
        buffer = io.BytesIO()
        writer.write(buffer)
        out.append(buffer.getvalue())
    return out


TOOLS = {"brisel": split_brisel, "pikepdf": split_pikepdf, "pymupdf": split_pymupdf, "pypdf": split_pypdf}


def one_run(tool, path):
    """In a child process: the seconds of one split and the peak memory (KB)."""
    split = TOOLS[tool]
    # Imported before the clock starts.
    __import__({"pymupdf": "fitz"}.get(tool, tool))
    with open(path, "rb") as f:
        data = f.read()
    start = time.perf_counter()
    pages = split(data)
    seconds = time.perf_counter() - start
    assert pages and all(p.startswith(b"%PDF-") for p in pages)
    print(seconds, len(pages), peak_kb())


def peak_kb():
    """This process's peak resident memory. Not ru_maxrss: Linux carries
    that over from the parent across fork and exec."""
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss


def child(tool, path, module, timeout):
    env = dict(os.environ)
    if module:
        env["PYTHONPATH"] = module + os.pathsep + env.get("PYTHONPATH", "")
    try:
        r = subprocess.run([sys.executable, __file__, "--one", tool, path], capture_output=True, text=True,
                           env=env, timeout=timeout)
    except subprocess.TimeoutExpired:
        return None
    if r.returncode != 0:
        sys.stderr.write("%s failed on %s:\n%s" % (tool, path, r.stderr[-2000:]))
        return None
    seconds, pages, peak = r.stdout.split()
    return float(seconds), int(pages), int(peak)


def command_line(brisel, path, runs, timeout):
    """The command line writing the same pages to files: median seconds, peak KB."""
    times, peaks = [], []
    for _ in range(runs):
        with tempfile.TemporaryDirectory(dir=os.path.dirname(path)) as out:
            start = time.perf_counter()
            r = subprocess.run(["/usr/bin/time", "-f", "%M", brisel, "--quiet", "--yes", "--out", out, path],
                               capture_output=True, text=True, timeout=timeout)
            times.append(time.perf_counter() - start)
            peaks.append(int(r.stderr.strip().splitlines()[-1]))
    return statistics.median(times), max(peaks)


def dask_rate(module, path, pages, workers, copies):
    """Pages per second of the Dask example's task (split to bytes) over
    copies of the input on a local cluster of that many workers."""
    env = dict(os.environ)
    if module:
        env["PYTHONPATH"] = module + os.pathsep + env.get("PYTHONPATH", "")
    code = r"""
import sys, time
sys.path.insert(0, %r)
from dask.distributed import Client, LocalCluster
import dask_split
data = open(%r, "rb").read()
with LocalCluster(n_workers=%d, threads_per_worker=1, processes=True, dashboard_address=None,
                  host="127.0.0.1") as cluster, Client(cluster) as client:
    client.run(lambda: __import__("brisel"))
    shipped = client.scatter([data] * %d, broadcast=False)
    start = time.perf_counter()
    futures = [client.submit(lambda d: len(dask_split.split_bytes("x", d, {})["files"]), d, pure=False)
               for d in shipped]
    done = sum(client.gather(futures))
    print(time.perf_counter() - start, done)
""" % (os.path.join(ROOT, "examples"), path, workers, copies)
    r = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, env=env, timeout=600)
    if r.returncode != 0:
        sys.stderr.write(r.stderr[-2000:])
        return None
    seconds, done = r.stdout.split()[-2:]
    return int(done) / float(seconds)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--one", nargs=2, help=argparse.SUPPRESS)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--only", nargs="*", default=["text-2000", "image-200", "form-2000"])
    parser.add_argument("--module", default=os.path.join(ROOT, "build", "release", "python"))
    parser.add_argument("--brisel", default=os.path.join(ROOT, "build", "release", "brisel"))
    parser.add_argument("--skip", nargs="*", default=[], help="libraries not to run")
    parser.add_argument("--timeout", type=int, default=300)
    parser.add_argument("--no-dask", action="store_true")
    args = parser.parse_args()
    if args.one:
        one_run(*args.one)
        return

    import bench
    work = tempfile.mkdtemp(prefix="brisel-bench-library-")
    docs = bench.make_documents(work, args.only)
    print("| document | tool | pages/s | x brisel slower | peak memory |")
    print("|---|---|---:|---:|---:|")
    for doc in docs:
        name, path, pages = doc[:3]
        rates = {}
        rows = []
        for tool in TOOLS:
            if tool in args.skip:
                continue
            results = [child(tool, path, args.module, args.timeout) for _ in range(args.runs)]
            if any(r is None for r in results):
                rows.append((name, tool, None, None))
                continue
            seconds = statistics.median(r[0] for r in results)
            rates[tool] = pages / seconds
            rows.append((name, tool, pages / seconds, max(r[2] for r in results)))
        seconds, peak = command_line(args.brisel, path, args.runs, args.timeout)
        rows.append((name, "brisel command line (to files)", pages / seconds, peak))
        for name_, tool, rate, peak in rows:
            if rate is None:
                print("| %s | %s | failed or over %d s | | |" % (name_, tool, args.timeout))
                continue
            ratio = rates.get("brisel", 0) / rate if rate else 0
            print("| %s | %s | %.0f | %s | %.0f MB |" % (name_, tool, rate,
                                                        "%.1f" % ratio if tool in TOOLS and tool != "brisel" else "",
                                                        peak / 1024))
        sys.stdout.flush()
    if not args.no_dask and docs:
        name, path, pages = docs[0][:3]
        for workers in (1, 2):
            rate = dask_rate(args.module, path, pages, workers, 8)
            print("| %s x 8 on Dask | %d worker%s | %s | | |" % (name, workers, "s" if workers > 1 else "",
                                                                "%.0f" % rate if rate else "failed"))


if __name__ == "__main__":
    main()
