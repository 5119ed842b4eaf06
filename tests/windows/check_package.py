#!/usr/bin/env python3
"""Checks what the Windows zip and the Brisel.exe in it carry:
  check_package.py ZIP
the manifest (per-monitor DPI awareness, common controls 6, long paths),
every icon size in the icon file and its 256-pixel PNG image in the
program, the version texts of both languages, and the zip's files."""

import os
import re
import struct
import sys
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
ICON_SIZES = [16, 20, 24, 32, 40, 48, 64, 256]


def icon_images(path):
    """(size, bytes) of each image of an .ico file."""
    data = open(path, "rb").read()
    _, kind, count = struct.unpack_from("<HHH", data)
    if kind != 1:
        raise SystemExit("%s is no icon file" % path)
    images = []
    for i in range(count):
        w, _, _, _, _, _, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        images.append((w or 256, data[offset:offset + size]))
    return images


def main(archive):
    faults = []
    program = zipfile.ZipFile(archive).read("Brisel.exe")
    for needle in ('<dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">PerMonitorV2',
                   '<longPathAware xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">true',
                   'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"'):
        if needle.encode() not in program:
            faults.append("the manifest lacks " + needle)
    images = icon_images(os.path.join(ROOT, "resources", "brisel.ico"))
    if [size for size, _ in images] != ICON_SIZES:
        faults.append("icon sizes %r, expected %r" % ([size for size, _ in images], ICON_SIZES))
    for size, blob in images:
        png = blob.startswith(b"\x89PNG\r\n\x1a\n")
        if png != (size == 256):
            faults.append("the %d-pixel icon is %s" % (size, "PNG" if png else "a bitmap"))
        if blob not in program:
            faults.append("the program lacks the %d-pixel icon" % size)
    # The version texts come from project(VERSION) of the build.
    with open(os.path.join(ROOT, "CMakeLists.txt")) as f:
        version = re.search(r"project\(Brisel VERSION ([0-9.]+)", f.read()).group(1)
    for text in ("CompanyName", "The Brisel developers", "LegalCopyright", "ProductName", "FileDescription",
                 "Brisel 開発者", "Brisel: PDF ファイルを 1 ページずつの PDF ファイルに分解", "Ver " + version):
        if text.encode("utf-16-le") not in program:
            faults.append("the version resource lacks %r" % text)
    names = set(zipfile.ZipFile(archive).namelist())
    want = {"Brisel.exe", "brisel-cli.exe", "Help.htm", "HelpE.htm", "README.md"}
    if os.path.exists(os.path.join(ROOT, "LICENSE")):
        want.add("LICENSE")
    if names != want:
        faults.append("the zip holds %s, expected %s" % (sorted(names), sorted(want)))
    for fault in faults:
        print("windows package: " + fault)
    print("windows package: %s" % ("FAILED" if faults else "passed"))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
