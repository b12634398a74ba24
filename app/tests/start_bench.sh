#!/usr/bin/env bash
# The start-up benchmark of docs/startbench.md, run by hand: the real
# program with the demo drive and disc, started RUNS times by
# frame_gui_driver, which prints for each start the seconds from the start
# of the process to its main window shown, painted (tool bars and the track
# list's header drawn) and usable (the track list filled), and the peak
# working set; then the driver's own trivial window started the same way.
# Its own X display and Wine server; everything it makes is in WORK_DIR.
#
#   start_bench.sh BUILD_DIR WORK_DIR [PROGRAM.exe] [RUNS]
set -u
build=$(cd "$1" && pwd)
work=$2
exe=${3:-$build/app/wendrix.exe}
runs=${4:-5}
here=$(cd "$(dirname "$0")" && pwd)
export WX_WINE_RUN=$build/wine-run WX_BINARY_DIR=$build WX_SOURCE_DIR=$(cd "$here/../.." && pwd)
. "$here/e2e_common.sh"
rm -rf "$work"
mkdir -p "$work/app"
work=$(cd "$work" && pwd)
e2e_own_session "$work"
cp "$exe" "$build/app/wendrix.ENU" "$build/standins/bin/wnaspi32.dll" "$build/app/tests/frame_gui_driver.exe" "$work/app/"
"$WX_SOURCE_DIR/standins/demo/make-demo-disc" "$work/app/demo" >/dev/null 2>&1 || { echo "no demo disc"; exit 1; }
sed -i '/FLAGS PRE/d' "$work/app/demo/demo.cue"
cp "$WX_SOURCE_DIR/standins/demo/wnaspi32.ini" "$work/app/"
export WX_ASPI_CONFIG=$(winpath "$work/app/wnaspi32.ini")
export WINEDLLOVERRIDES="wnaspi32=n"
printf '[Common]\r\nIsDispSplash=No\r\n' > "$work/app/wndrxn.ini"
cd "$work/app"
drv=$work/app/frame_gui_driver.exe
"$WX_WINE_RUN" "$drv" startbench 1 "Wendrix for Windows" "$(winpath "$work/app/$(basename "$exe")")" >/dev/null 2>&1  # Wine's libraries loaded once
echo "program: $(basename "$exe")"
"$WX_WINE_RUN" "$drv" startbench "$runs" "Wendrix for Windows" "$(winpath "$work/app/$(basename "$exe")")"
echo "trivial window:"
"$WX_WINE_RUN" "$drv" startbench "$runs" "Trivial" "$(winpath "$drv")" trivial
