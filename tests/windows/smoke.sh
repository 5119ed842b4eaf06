#!/usr/bin/env bash
# Runs the cross-compiled brisel.exe under Wine: it must report its version,
# refuse a name that is not a PDF, and read a one-page PDF far enough to say
# that it cannot be split.
set -euo pipefail
exe=$(realpath "$1")
work=$(realpath "${2:-$(dirname "$exe")/wine-smoke}")
rm -rf "$work/files"
mkdir -p "$work/files"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all
fail() { echo "windows smoke test: $*" >&2; exit 1; }

out=$(wine "$exe" --version 2>/dev/null | tr -d '\r')
[ "$out" = "Brisel Ver 2.22" ] || fail "--version printed '$out'"

set +e
out=$(cd "$work/files" && wine "$exe" notes.txt 2>&1 >/dev/null | tr -d '\r')
status=$?
set -e
[ "$out" = "Not PDF File" ] && [ $status -eq 2 ] || fail "a .txt name gave '$out' ($status)"

printf '%%!PS\n/Helvetica findfont 20 scalefont setfont 72 700 moveto (one page) show showpage\n' > "$work/files/one.ps"
gs -q -dBATCH -dNOPAUSE -dSAFER -sDEVICE=pdfwrite -sOutputFile="$work/files/one.pdf" "$work/files/one.ps"
set +e
out=$(cd "$work/files" && wine "$exe" one.pdf 2>&1 >/dev/null | tr -d '\r')
status=$?
set -e
[ "$out" = $'Can\'t Split\nThis PDF File has Only One Page' ] && [ $status -eq 3 ] ||
  fail "a one-page PDF gave '$out' ($status)"
echo "windows smoke test: passed"
