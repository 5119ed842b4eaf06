#!/usr/bin/env bash
# Runs the desktop program's tests under Wine on a virtual X display.
#   run.sh BRISEL_EXE DRIVER_EXE WORK_DIR [scenario names...]
# Starts Xvfb on a free display (from $BRISEL_DISPLAY, default 98), runs the
# scenarios once with an English and once with a Japanese user language,
# each in a fresh Wine prefix in WORK_DIR, then the scaled-display scenarios
# once more at 150 %, and always stops Xvfb and the prefix's wineserver
# again. The scenarios run with Debian's Python, where
# python3-pikepdf lives.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exe=$(realpath "$1")
driver=$(realpath "$2")
work=$(realpath -m "$3")
shift 3

export LC_ALL=C.UTF-8 WINEPREFIX="$work/en/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
xvfb_pid=""
cleanup() {
  wineserver -k >/dev/null 2>&1 || true  # the prefix in use
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  return 0
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A display is free when nobody holds its lock; Xvfb may still lose a race
# for it, so a display counts as ours only once its socket appears while
# our Xvfb is alive.
display=${BRISEL_DISPLAY:-98}
for _ in $(seq 1 20); do
  if [ ! -e "/tmp/.X$display-lock" ]; then
    Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >"$work.xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 200); do
      [ -S "/tmp/.X11-unix/X$display" ] && break
      kill -0 "$xvfb_pid" 2>/dev/null || break
      sleep 0.05
    done
    [ -S "/tmp/.X11-unix/X$display" ] && kill -0 "$xvfb_pid" 2>/dev/null && break
    xvfb_pid=""
  fi
  display=$((display + 1))
done
[ -n "$xvfb_pid" ] || { echo "windows tests: no free X display" >&2; exit 1; }
export DISPLAY=":$display"

rm -rf "$work"
mkdir -p "$work"
status=0
for lang in en ja; do
  # One prefix per language: Wine fits a prefix's fonts to the locale it
  # runs in, so the two languages do not share one.
  export LC_ALL=C.UTF-8 WINEPREFIX="$work/$lang/prefix"
  [ "$lang" = ja ] && export LC_ALL=ja_JP.UTF-8
  mkdir -p "$work/$lang"
  wine wineboot -i >"$work/$lang/wineboot.log" 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  # The Japanese fonts of Windows, played by the IPA fonts: the two the
  # program names everywhere, and on the Japanese system its interface font.
  fonts=("ＭＳ ゴシック=IPAGothic" "ＭＳ Ｐゴシック=IPAPGothic")
  [ "$lang" = ja ] && fonts+=("MS Gothic=IPAGothic" "MS PGothic=IPAPGothic" "MS UI Gothic=IPAPGothic")
  for font in "${fonts[@]}"; do
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "${font%%=*}" /d "${font#*=}" /f >/dev/null 2>&1
  done
  /usr/bin/python3 "$here/scenarios.py" --lang "$lang" --exe "$exe" --driver "$driver" \
    --work "$work/$lang/files" "$@" || status=1
  # Once more on a scaled display (BRISEL_SCALED_DPI, default 144 = 150 %;
  # 0 skips it): each process takes the DPI from the registry as it starts.
  scaled_dpi=${BRISEL_SCALED_DPI:-144}
  if [ "$scaled_dpi" != 0 ]; then
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$scaled_dpi" /f >/dev/null 2>&1
    wineserver -k >/dev/null 2>&1 || true
    /usr/bin/python3 "$here/scenarios.py" --scaled --lang "$lang" --exe "$exe" --driver "$driver" \
      --work "$work/$lang/files" "$@" || status=1
  fi
  wineserver -k >/dev/null 2>&1 || true
done
exit $status
