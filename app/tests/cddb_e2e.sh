#!/usr/bin/env bash
# The CDDB windows through the real program under Wine and Xvfb, against the
# fake CDDB server (driven by cddb_e2e_driver; the MP3 tags of the rip are
# read by mutagen).  The program runs in a Wine prefix of its own, made of
# hard links to the build's prefix, that has a CD-ROM drive letter: the
# disc's media identity (the local database's key) needs one; and on an X
# display of its own.  Screenshots
# land in artifacts/cddb_*.png.
#
#   cddb_e2e.sh PROGRAM.exe DRIVER.exe
set -u
exe=$1
driver=$2
run=$WX_WINE_RUN
art=$WX_BINARY_DIR/artifacts
work=$WX_BINARY_DIR/cddb_e2e
mkdir -p "$art"
export WINEDLLOVERRIDES="wnaspi32=n${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
orig=$("$run" --prefix)

rm -rf "$work"
mkdir -p "$work/app/demo" "$work/shots" "$work/work" "$work/drive_v/out" "$work/drive_v/albums" "$work/cdroot"
# A display of its own: the program looks at the drive only while its
# window is the active one, and windows of tests running beside this one
# would take the focus on a shared display.  Xvfb picks a free number.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 </dev/null &
xvfb=$!
trap 'kill $xvfb 2>/dev/null' EXIT
for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -1 "$work/display")"
cp "$exe" "$(dirname "$exe")/wendrix.ENU" "$work/app/"
find "$WX_BINARY_DIR/standins/bin" -maxdepth 1 -iname "*.dll" -exec cp {} "$work/app/" \;
"$WX_SOURCE_DIR/standins/demo/make-demo-disc" "$work/demo" >/dev/null
# Without the pre-emphasised track, whose warning comes with each reading.
sed -i '/FLAGS PRE/d' "$work/demo/demo.cue"
cp "$work/demo/demo.bin" "$work/demo/demo.cue" "$work/app/demo/"
printf '[ASPI]\nAdapters=1\n\n[Adapter0]\nScsiId=7\nMaxTargets=8\n\n[Drive0]\nAdapter=0\nTarget=1\nPersonality=plextor\nImage=demo\\demo.cue\nLatency=0\n' \
  > "$work/app/wnaspi32.ini"

# The prefix: hard links, except for what Wine or the program rewrite in
# place (the registry, the profile files of the Windows folder), which are
# copies.  A fresh prefix only when the build's has not been saved yet.
pfx=$work/prefix
for _ in $(seq 100); do [ -f "$orig/system.reg" ] && break; sleep 0.1; done
if [ -f "$orig/system.reg" ]; then
  cp -al "$orig" "$pfx"
  rm -f "$pfx"/.wx-xvfb* "$pfx/wineserver"
  for f in "$pfx"/*.reg "$pfx"/drive_c/windows/*.ini; do
    [ -f "$f" ] && cp --remove-destination "$orig/${f#$pfx/}" "$f"
  done
else
  WX_WINEPREFIX=$pfx "$run" --init
fi
printf '\n[Software\\\\Wine\\\\Drives] 1796799696\n"r:"="cdrom"\n' >> "$pfx/system.reg"
ln -sfn "$work/cdroot" "$pfx/dosdevices/r:"
# The output and album folders on a drive of the test's own (V:), which the
# file manager may list.
ln -sfn "$work/drive_v" "$pfx/dosdevices/v:"
export WX_WINEPREFIX=$pfx
winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }
export WX_E2E_DIR=$(winpath "$work")

( while :; do
    for req in "$work"/shots/*.req; do
      [ -e "$req" ] || continue
      name=$(basename "$req" .req)
      import -window root "$art/cddb_$name.png" 2>/dev/null
      rm -f "$req"
      touch "$work/shots/$name.done"
    done
    sleep 0.02
  done ) &
watcher=$!
trap 'kill $watcher 2>/dev/null; WINEPREFIX=$pfx /usr/lib/wine/wineserver -k 2>/dev/null; kill $xvfb 2>/dev/null' EXIT

python3 "$WX_SOURCE_DIR/discinfo/tests/fake_cddb.py" -- "$run" "$driver" --gtest_color=no
status=$?

fail() { echo "FAIL: $*"; status=1; }
# The rip wrote the titles the lookup found.
/usr/bin/python3 - "$work/drive_v/albums/Fake Artist/Fake Album" <<'PY' || status=1
import glob, sys
from mutagen.id3 import ID3
files = sorted(glob.glob(sys.argv[1] + '/*.mp3'))
assert len(files) == 2, files
for f, title in zip(files, ('First Song', 'Second Song')):
    tags = ID3(f)
    assert str(tags['TIT2']) == title, (f, tags.get('TIT2'))
    assert str(tags['TPE1']) == 'Fake Artist', tags.get('TPE1')
    assert str(tags['TALB']) == 'Fake Album', tags.get('TALB')
print('mutagen: the CDDB titles in the tags')
PY
for s in choice tracklist options dialog search; do
  [ -s "$art/cddb_$s.png" ] && echo "screenshot: $art/cddb_$s.png" || fail "no screenshot $s"
done
[ -s "$work/cancel.txt" ] && cat "$work/cancel.txt"
exit $status
