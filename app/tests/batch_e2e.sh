#!/usr/bin/env bash
# The batch encode list and the tag editor through the real program under
# Wine and Xvfb (driven by batch_e2e_driver), checked with outside tools:
# each MP3 file decoded by ffmpeg to its source's length within one frame,
# the tags read by mutagen, the refused sources unchanged.  Screenshots
# land in artifacts/ (the list filled and mid-run, in Japanese and English;
# the tag editor).
#
#   batch_e2e.sh PROGRAM.exe DRIVER.exe LAME.exe [--bench]
set -u
exe=$1
driver=$2
lame=$3
mode=${4:-}
. "$(dirname "$0")/e2e_common.sh"

# A private copy of the program with the stand-ins and the demo disc (its
# pre-emphasis flag taken off, so that no warning comes with the disc).
e2e_setup batch_e2e "$exe"
sed -i '/FLAGS PRE/d' "$work/app/demo/demo.cue"
e2e_drive 0 > "$work/wnaspi32.ini"
mkdir -p "$work/tools" "$work/in_gogo" "$work/in_lame"
cp "$lame" "$work/tools/lame.exe"
export WX_E2E_DIR=$(winpath "$work")

# The WAV files: CD format of several lengths, a 22,050 Hz file and a
# broken one (a "fmt " chunk and no "data" chunk).
wav() { sox -n -r "${3:-44100}" -c 2 -b 16 -e signed-integer "$1" synth "$2" sine 300-900 sine 440 gain -8; }
wav "$work/in_gogo/a1.wav" 3
wav "$work/in_gogo/曲二.wav" 40
wav "$work/in_gogo/b22k.wav" 2 22050
printf 'RIFF\x1c\x00\x00\x00WAVEfmt \x10\x00\x00\x00\x01\x00\x02\x00\x44\xac\x00\x00\x10\xb1\x02\x00\x04\x00\x10\x00' \
  > "$work/in_gogo/broken.wav"
cp "$work/in_gogo/b22k.wav" "$work/in_lame/"
wav "$work/in_lame/c1.wav" 3
wav "$work/in_lame/c2.wav" 4
( cd "$work" && sha1sum in_gogo/*.wav in_lame/*.wav > sources.sha1 )

e2e_watch batch

if [ "$mode" = --bench ]; then
  "$(dirname "$0")/batch_bench.sh" "$work" "$driver"
  exit $?
fi

"$run" "$driver" --gtest_color=no
status=$?

fail() { echo "FAIL: $*"; status=1; }
( cd "$work" && sha1sum -c --quiet sources.sha1 ) || fail "a source file changed"
# Each MP3 decodes to its source's length within one frame (1152 samples).
for pair in in_gogo/a1 in_gogo/曲二 in_lame/c1 in_lame/c2; do
  mp3=$work/$pair.mp3
  [ -s "$mp3" ] || { fail "no $pair.mp3"; continue; }
  want=$(soxi -s "$work/$pair.wav")
  got=$(( $(ffmpeg -v error -i "$mp3" -f s16le -ac 2 -ar 44100 - 2>/dev/null | wc -c) / 4 ))
  diff=$(( got > want ? got - want : want - got ))
  [ "$diff" -le 1152 ] || fail "$pair.mp3 decodes to $got samples, not $want"
done
for refused in in_gogo/b22k in_gogo/broken in_lame/b22k; do
  [ -e "$work/$refused.mp3" ] && fail "$refused.mp3 was made"
done
ls "$work"/in_gogo/TMP* "$work"/in_lame/TMP* >/dev/null 2>&1 && fail "a temporary file was left"
/usr/bin/python3 - "$work" <<'PY' || status=1
import sys
from mutagen.id3 import ID3
from mutagen.id3 import Encoding
w = sys.argv[1]
def text(frame):
    # Shift-JIS texts are written as they stand, marked ISO-8859-1.
    s = frame.text[0]
    return s.encode('latin-1').decode('cp932') if frame.encoding == Encoding.LATIN1 else s
def tags(path, title, artist):
    t = ID3(path)
    assert text(t['TIT2']) == title, (path, t.get('TIT2'))
    assert text(t['TPE1']) == artist, (path, t.get('TPE1'))
tags(f'{w}/in_gogo/a1.mp3', '最初の曲', '演奏者')
tags(f'{w}/in_lame/c1.mp3', 'Second Take', 'Lame Ensemble')
for untagged in (f'{w}/in_gogo/曲二.mp3', f'{w}/in_lame/c2.mp3'):
    try:
        ID3(untagged)
        print(f'FAIL: {untagged} carries a tag'); sys.exit(1)
    except Exception:
        pass
# The rip after the tag editor: names and tags from the imported file.
tags(f'{w}/mp3/ソナタ第一番.mp3', 'ソナタ第一番', '演奏者表')
t = ID3(f'{w}/mp3/二曲目・改.mp3')
assert text(t['TIT2']) == '二曲目・改', t.get('TIT2')
assert text(t['TALB']) == 'アルバム', t.get('TALB')
print('mutagen: tags as set')
PY
for s in encode_filled_ja encode_running_ja encode_filled_en tageditor_ja tageditor_fill_en; do
  [ -s "$art/batch_$s.png" ] && echo "screenshot: $art/batch_$s.png" || fail "no screenshot $s"
done
exit $status
