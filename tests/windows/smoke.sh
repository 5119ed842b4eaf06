#!/usr/bin/env bash
# Runs the cross-compiled brisel.exe under Wine: it must report its version,
# refuse a file that is not a PDF, write the page of a one-page PDF, split
# the sample into page files that qpdf accepts, and into a folder it makes.
set -euo pipefail
exe=$(realpath "$1")
work=$(realpath "${2:-$(dirname "$exe")/wine-smoke}")
rm -rf "$work/files"
mkdir -p "$work/files"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all
fail() { echo "windows smoke test: $*" >&2; exit 1; }

out=$(wine "$exe" -V 2>/dev/null | tr -d '\r')
[[ "$out" == $'Brisel Ver 2.22\nzlib '[0-9]* ]] || fail "--version printed '$out'"

printf 'just some notes\n' > "$work/files/notes.txt"
set +e
out=$(cd "$work/files" && wine "$exe" notes.txt 2>&1 >/dev/null | tr -d '\r')
status=$?
set -e
[ "$out" = "brisel: notes.txt: not a PDF file" ] && [ $status -eq 1 ] || fail "a text file gave '$out' ($status)"

printf '%%!PS\n/Helvetica findfont 20 scalefont setfont 72 700 moveto (one page) show showpage\n' > "$work/files/one.ps"
gs -q -dBATCH -dNOPAUSE -dSAFER -sDEVICE=pdfwrite -sOutputFile="$work/files/one.pdf" "$work/files/one.ps"
set +e
out=$(cd "$work/files" && wine "$exe" one.pdf 2>/dev/null | tr -d '\r')
status=$?
set -e
[ "$out" = "Done" ] && [ $status -eq 0 ] && qpdf --check "$work/files/one-1.pdf" >/dev/null ||
  fail "a one-page PDF gave '$out' ($status)"
gs -q -dBATCH -dNOPAUSE -dSAFER -sDEVICE=pdfwrite -sOutputFile="$work/files/sample.pdf" \
  "$(dirname "$0")/../../samples/sample.ps"
out=$(cd "$work/files" && wine "$exe" sample.pdf 2>/dev/null | tr -d '\r')
[ "$out" = "Done" ] || fail "the sample gave '$out'"
for page in 1 2 3; do
  qpdf --check "$work/files/sample-$page.pdf" >/dev/null || fail "sample-$page.pdf does not pass qpdf --check"
done
# --out makes the folder and its parents; --quiet prints nothing.
out=$(cd "$work/files" && wine "$exe" --quiet --out 'made\deep' sample.pdf 2>&1 | tr -d '\r')
[ -z "$out" ] && [ -f "$work/files/made/deep/sample-3.pdf" ] || fail "--out into a new folder gave '$out'"
# An AES-256 file whose user password no ANSI code page holds: the command
# line passes it on as UTF-8.
password=$'\xce\xa9mega\xe5\xaf\x86\xe7\xa0\x81'
qpdf --encrypt "$password" owner 256 -- "$work/files/sample.pdf" "$work/files/locked.pdf"
out=$(cd "$work/files" && LC_ALL=C.UTF-8 wine "$exe" --password "$password" locked.pdf 2>/dev/null | tr -d '\r')
[ "$out" = "Done" ] || fail "the AES-256 file with a non-ASCII password gave '$out'"
for page in 1 2 3; do
  qpdf --password="$password" --check "$work/files/locked-$page.pdf" >/dev/null ||
    fail "locked-$page.pdf does not open with its user password"
done
echo "windows smoke test: passed"
