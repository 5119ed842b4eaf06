#!/usr/bin/python3
"""Splits many PDF files on a Dask cluster, one task per input, and prints
the command line's --json record of each, one per line.

    dask_split.py a.pdf b.pdf folder/ --out /shared/pages
    dask_split.py folder/ --scheduler tcp://host:8786 --out /shared/pages
    dask_split.py folder/ --bytes              # page files come back as bytes

Without --scheduler a local cluster is started. With --out every worker
writes into that folder, which all of them must reach (a shared file
system); the inputs are read by the workers from their paths too. A worker
that dies takes its task with it and Dask runs the task again elsewhere:
page files appear under their names only when whole, so a retried split
finds the names of the files already written taken and writes the rest
under new ones, never leaving a cut-short file. With --bytes the inputs are
read here and shipped to the workers, and the page files come back in
memory.
"""

import argparse
import json
import os
import sys


def split_one(path, out_dir, options):
    """One task: the split_to record of one input, failures included."""
    import brisel

    try:
        return brisel.split_to(path, out_dir, **options)
    except brisel.Error as e:
        if e.record is not None:
            return e.record
        return {"file": path, "status": e.code, "pages": None, "written": [], "reason": e.reason}


def split_bytes(name, data, options):
    """One task: the bytes of each file of one input, or its failure."""
    import brisel

    try:
        return {"file": name, "status": 0, "files": brisel.split(data, **options)}
    except brisel.Error as e:
        return {"file": name, "status": e.code, "files": [], "reason": e.reason}


def inputs_of(paths):
    """The PDF files named, and those of the folders named, in order."""
    found = []
    for path in paths:
        if os.path.isdir(path):
            for root, _, names in sorted(os.walk(path)):
                found.extend(os.path.join(root, n) for n in sorted(names) if n.lower().endswith(".pdf"))
        else:
            found.append(path)
    return found


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("inputs", nargs="+", help="PDF files and folders of PDF files")
    parser.add_argument("--scheduler", help="address of a Dask scheduler, e.g. tcp://host:8786")
    parser.add_argument("--workers", type=int, default=2, help="workers of the local cluster (default 2)")
    where = parser.add_mutually_exclusive_group(required=True)
    where.add_argument("--out", help="folder, reachable by every worker, for the page files")
    where.add_argument("--bytes", action="store_true", help="return the page files as bytes")
    parser.add_argument("--password")
    parser.add_argument("--every", type=int)
    parser.add_argument("--at-bookmarks", type=int)
    parser.add_argument("--parts")
    parser.add_argument("--pages")
    args = parser.parse_args(argv)

    from dask.distributed import Client, LocalCluster

    options = {k: v for k, v in (("password", args.password), ("every", args.every),
                                 ("at_bookmarks", args.at_bookmarks), ("parts", args.parts),
                                 ("pages", args.pages)) if v is not None}
    paths = inputs_of(args.inputs)
    cluster = None
    if args.scheduler:
        client = Client(args.scheduler)
    else:
        cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True,
                               dashboard_address=None, host="127.0.0.1")
        client = Client(cluster)
    status = 0
    try:
        if args.bytes:
            futures = []
            for path in paths:
                with open(path, "rb") as f:
                    futures.append(client.submit(split_bytes, path, f.read(), options, pure=False))
            for result in client.gather(futures):
                sizes = [len(b) for b in result.pop("files")]
                result["sizes"] = sizes
                status = status or result["status"]
                print(json.dumps(result, ensure_ascii=False))
        else:
            out = os.path.abspath(args.out)
            futures = [client.submit(split_one, os.path.abspath(p), out, options, pure=False) for p in paths]
            for record in client.gather(futures):
                status = status or record["status"]
                print(json.dumps(record, ensure_ascii=False))
    finally:
        client.close()
        if cluster is not None:
            cluster.close()
    return status


if __name__ == "__main__":
    sys.exit(main())
