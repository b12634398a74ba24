#!/usr/bin/env bash
# The folder tree's start-up benchmark of docs/filerbench.md, run by hand:
# the real program started on a folder inside a folder of 1,000
# sub-folders (every tenth with three of its own, files beside them) and on
# the folder itself, against a start in a small folder; the time from the
# start of the process to its main window (the tree walked down and the
# start folder listed before the window shows).  No drive is configured:
# the program reports that once its window is up, and is ended then.  Its
# own X display and Wine server; everything it makes is in WORK_DIR.
#
#   filer_bench.sh BUILD_DIR WORK_DIR [PROGRAM.exe] [RUNS]
set -u
build=$(cd "$1" && pwd)
work=$2
exe=${3:-$build/app/wendrix.exe}
runs=${4:-3}
here=$(cd "$(dirname "$0")" && pwd)
export WX_WINE_RUN=$build/wine-run WX_BINARY_DIR=$build WX_SOURCE_DIR=$(cd "$here/../.." && pwd)
. "$here/e2e_common.sh"
export WINEDLLOVERRIDES="wnaspi32=n"
rm -rf "$work"
mkdir -p "$work/app" "$work/small/start"
work=$(cd "$work" && pwd)
e2e_own_session "$work"
cp "$exe" "$(dirname "$exe")/wendrix.ENU" "$work/app/"
find "$build/standins/bin" -maxdepth 1 -iname "*.dll" -exec cp {} "$work/app/" \;
printf '[Common]\r\nIsDispSplash=No\r\nUseClassDriver=No\r\n' > "$work/app/wndrxn.ini"
printf '[ASPI]\r\nAdapters=0\r\n' > "$work/app/wnaspi32.ini"
export WX_ASPI_CONFIG=$(winpath "$work/app/wnaspi32.ini")

mkdir -p "$work/albums"
( cd "$work/albums"
  for i in $(seq 1000 1999); do
    mkdir "album$i"
    [ $((i % 10)) = 0 ] && mkdir "album$i/disc0" "album$i/disc1" "album$i/disc2"
    [ $((i % 100)) = 0 ] && : > "album$i/track01.mp3"
  done
  for i in $(seq 0 19); do : > "list$i.m3u"; done )

# Seconds from the start to the main window, then the program is ended.
start() {
  local t0 t1 win pid
  t0=$(date +%s.%N)
  ( cd "$work/app" && exec "$WX_WINE_RUN" "$work/app/wendrix.exe" "$(winpath "$1")" ) >/dev/null 2>&1 &
  pid=$!
  win=$(timeout 300 xdotool search --sync --onlyvisible --name '^Wendrix for Windows' 2>/dev/null | head -1)
  t1=$(date +%s.%N)
  # A look at the window once it has painted (SHOT=file.png).
  [ -n "$win" ] && [ -n "${SHOT:-}" ] && sleep 3 && import -window root "$SHOT" 2>/dev/null
  WINEPREFIX=$WX_WINEPREFIX /usr/lib/wine/wine64 taskkill /f /im wendrix.exe >/dev/null 2>&1
  wait "$pid"
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.1f", b - a }'
}

start "$work/small/start" >/dev/null  # the first start loads Wine's libraries
for case in small/start albums/album1500 albums; do
  printf '%-18s' "$case"
  for _ in $(seq "$runs"); do printf ' %6s' "$(start "$work/$case")"; done
  echo
done
