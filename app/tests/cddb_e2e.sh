#!/usr/bin/env bash
# The CDDB windows through the real program under Wine and Xvfb, against the
# fake CDDB server (driven by cddb_e2e_driver; the MP3 tags of the rip are
# read by mutagen).  The test's own Wine prefix (e2e_own_session) gets a
# CD-ROM drive letter: the disc's media identity (the local database's key)
# needs one.  Screenshots land in artifacts/cddb_*.png.
#
#   cddb_e2e.sh PROGRAM.exe DRIVER.exe
set -u
exe=$1
driver=$2
. "$(dirname "$0")/e2e_common.sh"

# The CD-ROM letter, and the output and album folders on a drive of the
# test's own (V:), which the file manager may list.
e2e_prefix_extras() {
  mkdir -p "$work/drive_v/out" "$work/drive_v/albums" "$work/cdroot"
  printf '\n[Software\\\\Wine\\\\Drives] 1796799696\n"r:"="cdrom"\n' >> "$1/system.reg"
  ln -sfn "$work/cdroot" "$1/dosdevices/r:"
  ln -sfn "$work/drive_v" "$1/dosdevices/v:"
}
e2e_setup cddb_e2e "$exe"
# Without the pre-emphasised track, whose warning comes with each reading.
sed -i '/FLAGS PRE/d' "$work/demo/demo.cue" "$work/app/demo/demo.cue"
e2e_drive 0 > "$work/app/wnaspi32.ini"
export WX_E2E_DIR=$(winpath "$work")
e2e_watch cddb

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
