#!/usr/bin/python3
"""The Dask example on a real cluster: a `dask scheduler` and two `dask
worker` processes on 127.0.0.1, started here and stopped at the end (also
on failure), split a set of inputs through examples/dask_split.py. Every
page file must pass qpdf --check with one page, and the bad inputs must
come back with their failures. Bounded in time: no step may take longer
than a few minutes.

Usage: tests/dask/dask_cluster_test.py BUILD_DIR
"""

import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import pdftest  # noqa: E402

LIMIT = 240  # seconds for the whole cluster run


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for_workers(address, count, env, deadline):
    code = ("from dask.distributed import Client\n"
            "c = Client(%r, timeout=30)\n"
            "c.wait_for_workers(%d, timeout=%d)\n"
            "c.close()\n" % (address, count, max(5, int(deadline - time.time()))))
    subprocess.run([sys.executable, "-c", code], env=env, check=True, timeout=max(10, deadline - time.time()))


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "release"))
    env = dict(os.environ, PYTHONPATH=os.path.join(build, "python"), DASK_DISTRIBUTED__WORKER__DAEMON="False")
    deadline = time.time() + LIMIT
    work = tempfile.mkdtemp(prefix="brisel-dask-")
    processes = []
    try:
        inputs = os.path.join(work, "in")
        os.makedirs(inputs)
        counts = {}
        for i, pages in enumerate((3, 7, 12, 5)):
            path = pdftest.ghostscript_pdf(os.path.join(inputs, "doc%d.pdf" % i), pdftest.text_pages_ps(pages))
            counts[path] = pages
        bad = {os.path.join(inputs, "junk.pdf"): b"%PDF-1.4\nnothing here\n%%EOF\n",
               os.path.join(inputs, "one.pdf"): None}
        with open(os.path.join(inputs, "junk.pdf"), "wb") as f:
            f.write(bad[os.path.join(inputs, "junk.pdf")])
        pdftest.ghostscript_pdf(os.path.join(inputs, "one.pdf"), pdftest.text_pages_ps(1))

        port = free_port()
        address = "tcp://127.0.0.1:%d" % port
        logs = open(os.path.join(work, "cluster.log"), "w")
        start = dict(stdout=logs, stderr=subprocess.STDOUT, env=env, cwd=work, start_new_session=True)
        processes.append(subprocess.Popen(["dask", "scheduler", "--host", "127.0.0.1", "--port", str(port),
                                           "--no-dashboard", "--no-show"], **start))
        for i in range(2):
            processes.append(subprocess.Popen(["dask", "worker", address, "--host", "127.0.0.1", "--nworkers", "1",
                                               "--nthreads", "1", "--no-dashboard", "--name", "w%d" % i,
                                               "--local-directory", os.path.join(work, "w%d" % i)], **start))
        wait_for_workers(address, 2, env, deadline)

        out = os.path.join(work, "out")
        r = subprocess.run([sys.executable, os.path.join(ROOT, "examples", "dask_split.py"), inputs,
                            "--scheduler", address, "--out", out],
                           capture_output=True, text=True, env=env, timeout=max(10, deadline - time.time()))
        records = {rec["file"]: rec for rec in map(json.loads, r.stdout.splitlines())}
        assert r.returncode != 0, "bad inputs must make the run fail"
        assert len(records) == 6, r.stdout + r.stderr
        for path, pages in counts.items():
            rec = records[path]
            assert rec["status"] == 0 and rec["pages"] == pages and rec["reason"] is None, rec
            assert len(rec["written"]) == pages, rec
            for page, name in enumerate(rec["written"], 1):
                assert os.path.dirname(name) == out, name
                ok, report = pdftest.qpdf_check(name)
                assert ok, report
                assert pdftest.page_count(name) == 1, name
        junk = records[os.path.join(inputs, "junk.pdf")]
        assert junk["status"] == 1 and junk["written"] == [] and junk["reason"], junk
        one = records[os.path.join(inputs, "one.pdf")]
        assert one["status"] == 3 and one["pages"] == 1 and one["written"] == [], one

        # The same inputs in memory: the page files come back as bytes.
        r = subprocess.run([sys.executable, os.path.join(ROOT, "examples", "dask_split.py"),
                            *sorted(counts), "--scheduler", address, "--bytes"],
                           capture_output=True, text=True, env=env, timeout=max(10, deadline - time.time()))
        assert r.returncode == 0, r.stderr
        sizes = {rec["file"]: rec["sizes"] for rec in map(json.loads, r.stdout.splitlines())}
        assert {p: len(s) for p, s in sizes.items()} == counts, sizes
        print("dask: %d inputs, %d page files checked on a scheduler and two workers" %
              (len(records), sum(counts.values())))
    finally:
        for p in reversed(processes):
            if p.poll() is None:
                os.killpg(p.pid, signal.SIGTERM)
        for p in processes:
            try:
                p.wait(timeout=20)
            except subprocess.TimeoutExpired:
                os.killpg(p.pid, signal.SIGKILL)
                p.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
