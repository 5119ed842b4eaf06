"""Splits PDF files into page files or parts, in memory or to disk."""

import os
from typing import TypedDict, Union

Source = Union[bytes, bytearray, memoryview, str, "os.PathLike[str]"]

__version__: str

class Warning(TypedDict):
    kind: str
    object: int | None
    offset: int | None
    pages: list[int] | None

class Record(TypedDict):
    file: str
    status: int
    pages: int | None
    written: list[str]
    error: str | None
    reason: str | None
    warnings: list[Warning]

class Error(Exception):
    """A split failed."""
    code: int
    """The command line's exit status for the failure."""
    reason: str
    path: str
    record: Record | None
    """For split_to: the --json record of the failed split."""

class PasswordError(Error):
    """The input is encrypted and the password is wrong or missing."""

def split(
    source: Source,
    *,
    password: str | None = None,
    pages: str | None = None,
    every: int | None = None,
    at_bookmarks: int | None = None,
    parts: str | None = None,
    annotations: str = "keep",
    document_data: str = "keep",
) -> list[bytes]:
    """One PDF file's bytes per output file, in order."""

def split_to(
    source: Source,
    out_dir: Union[str, "os.PathLike[str]"],
    *,
    name: str | None = None,
    password: str | None = None,
    pages: str | None = None,
    every: int | None = None,
    at_bookmarks: int | None = None,
    parts: str | None = None,
    annotations: str = "keep",
    document_data: str = "keep",
) -> Record:
    """Writes the files into out_dir as the command line does; returns its --json record."""

def page_count(source: Source, *, password: str | None = None) -> int: ...
