#!/usr/bin/env bash
# End-to-end rips of the demo disc through the real program under Wine and
# Xvfb (driven by rip_e2e_driver), checked with outside tools: WAV files
# byte for byte against the image (in the driver), MP3 files decoded by
# ffmpeg to the track's length within one frame and their ID3 tags read by
# mutagen.  Screenshots land in artifacts/ (track list, progress window,
# report; Japanese and English).
#
#   rip_e2e.sh PROGRAM.exe DRIVER.exe [--bench]
set -u
exe=$1
driver=$2
mode=${3:-}
. "$(dirname "$0")/e2e_common.sh"

# A private copy of the program with the stand-ins, the demo disc, a
# second disc (the first two tracks' audio as two tracks of another
# layout) and the drive configurations.
e2e_setup rip_e2e "$exe"
s3=$(grep 'INDEX 01' "$work/demo/demo.cue" | sed -n 3p | awk '{print $3}')
cat > "$work/app/demo/second.cue" <<CUE
FILE "demo.bin" BINARY
  TRACK 01 AUDIO
    INDEX 01 00:00:00
  TRACK 02 AUDIO
    INDEX 01 $s3
CUE
e2e_drive 2 > "$work/wnaspi32.ini"
e2e_drive 40 > "$work/wnaspi32_slow.ini"
# A drive slow enough that a screenshot and a cancel land in the first track
# whatever the machine's load (about 10 s a track).
e2e_drive 400 > "$work/wnaspi32_crawl.ini"
e2e_drive 0 > "$work/wnaspi32_fast.ini"
export WX_E2E_DIR=$(winpath "$work")
# The output folders on the test drive W: (the file manager lists them).
out=$WX_BINARY_DIR/drive_w/rip_e2e
rm -rf "$out"
mkdir -p "$out"
export WX_E2E_OUT='W:\rip_e2e'
# A folder that fills up during the demo disc's second track (2 MiB: track 1
# fits), where the machine lets the script mount one.
"$(dirname "$0")/../../scripts/small-volume" mount "$out/full" 2m >/dev/null
small_volume=$(cd "$(dirname "$0")/../../scripts" && pwd)/small-volume
e2e_on_exit "'$small_volume' unmount '$out/full'"

# Screenshots on the driver's request (the benchmark and track-range
# windows too); for the benchmark, the CPU time
# (user + system, in clock ticks) of the program's process ("cpu_*" requests).
e2e_watch rip

if [ "$mode" = --bench ]; then
  "$run" "$driver" --gtest_color=no --gtest_also_run_disabled_tests --gtest_filter='*RipBench*'
  status=$?
  hz=$(getconf CLK_TCK)
  for k in wav mp3; do
    read -r wall < "$work/bench_$k.txt"
    c0=$(cat "$work/cpu_${k}_start.txt"); c1=$(cat "$work/cpu_${k}_end.txt")
    echo "$k: wall $wall s, CPU $(awk -v a="$c0" -v b="$c1" -v h="$hz" 'BEGIN{printf "%.2f", (b-a)/h}') s"
  done
  # The encoder alone on the same WAV files (one Wine process per file).
  lame=$WX_BINARY_DIR/standins/bin/lame.exe
  TIMEFORMAT='lame.exe alone: wall %R s, CPU %U s user + %S s system'
  time (
    for f in "$out"/bench_wav/*.wav; do
      "$run" "$lame" --quiet -b 128 "$(winpath "$f")" "$(winpath "${f%.wav}.lame.mp3")" </dev/null
    done )
  exit $status
fi

"$run" "$driver" --gtest_color=no
status=$?

fail() { echo "FAIL: $*"; status=1; }
# MP3: decoded length within one frame (1152 samples) of the track, tags.
mapfile -t lengths < <(python3 - "$work/demo/demo.cue" "$work/demo/demo.bin" <<'PY'
import os, re, sys
starts = [int(m) * 4500 + int(s) * 75 + int(f)
          for m, s, f in re.findall(r'INDEX 01 (\d+):(\d+):(\d+)', open(sys.argv[1]).read())]
total = os.path.getsize(sys.argv[2]) // 2352
for i, s in enumerate(starts):
    print(((starts[i + 1] if i + 1 < len(starts) else total) - s) * 588)
PY
)
for t in 1 2 3; do
  f=$out/mp3/song_0$t.mp3
  [ -s "$f" ] || { fail "no $f"; continue; }
  samples=$(ffmpeg -v error -i "$f" -f s16le -ac 2 -ar 44100 - 2>/dev/null | wc -c)
  samples=$((samples / 4))
  want=${lengths[$((t - 1))]}
  diff=$((samples > want ? samples - want : want - samples))
  [ "$diff" -le 1152 ] || fail "track $t decodes to $samples samples, not $want"
done
/usr/bin/python3 - "$out/mp3" <<'PY' || status=1
import sys
from mutagen.id3 import ID3
d = sys.argv[1]
for t, title in ((1, 'Title 1'), (3, 'Title 3')):
    tags = ID3(f'{d}/song_0{t}.mp3')
    assert str(tags['TIT2']) == title, (t, tags.get('TIT2'))
    assert str(tags['TPE1']) == 'Wendrix Test Ensemble', tags.get('TPE1')
    assert str(tags['TALB']) == 'Demo Disc', tags.get('TALB')
try:
    ID3(f'{d}/song_02.mp3')
    print('FAIL: track 2 has no tags set but carries an ID3 tag'); sys.exit(1)
except Exception:
    pass
print('mutagen: tags as set')
PY
for s in tracklist_ja report_ja progress_ja tracklist_en progress_en report_en filemenu_ja attributes_ja filer_ja copyto_ja attributes_en copyto_en; do
  [ -s "$art/rip_$s.png" ] && echo "screenshot: $art/rip_$s.png" || fail "no screenshot $s"
done
for s in trkprop_ja bench_ja trkprop_en bench_en; do
  [ -s "$art/rip_$s.png" ] && echo "screenshot: $art/rip_$s.png" || fail "no screenshot $s"
done
[ -s "$work/discchange.txt" ] && echo "disc change: $(cat "$work/discchange.txt")"
exit $status
