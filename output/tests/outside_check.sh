#!/usr/bin/env bash
# Makes one file per output sink under Wine and checks each with outside
# tools: soxi/sox, ffprobe/ffmpeg and mutagen.
#   outside_check.sh OUTPUT_SAMPLES_EXE LAME_EXE
set -euo pipefail
samples=$1
out=$PWD/outside_samples
rm -rf "$out"
mkdir -p "$out"
winout="Z:$(printf '%s' "$out" | sed 's|/|\\|g')"
lame="Z:$(printf '%s' "$2" | sed 's|/|\\|g')"
"$WX_WINE_RUN" "$samples" "$winout" "$lame"

py=/usr/bin/python3
fail=0
check() {  # check NAME EXPECTED ACTUAL
  if [ "$2" = "$3" ]; then echo "ok   $1"; else echo "FAIL $1: expected '$2', got '$3'"; fail=1; fi
}
frames=$((44100 * 3))
cd "$out"

# Plain PCM: sox reads it back bit for bit.
check "pcm.wav channels" 2 "$(soxi -c pcm.wav)"
check "pcm.wav rate" 44100 "$(soxi -r pcm.wav)"
check "pcm.wav samples" $frames "$(soxi -s pcm.wav)"
sox pcm.wav -t raw pcm.raw
check "pcm.wav bit-exact" 0 "$(cmp -s pcm.raw source.raw; echo $?)"

# PCM at 22,050 Hz: half the frames, within one converter block.
check "pcm22k.wav rate" 22050 "$(soxi -r pcm22k.wav)"
n=$(soxi -s pcm22k.wav)
check "pcm22k.wav samples" 1 "$(( n >= frames/2 - 16 && n <= frames/2 + 16 ? 1 : 0 ))"

# Compressed WAV: codec and format from ffprobe; the stream length ffmpeg
# takes from the fact chunk is every source frame.
for f in ima:adpcm_ima_wav alaw:pcm_alaw mulaw:pcm_mulaw; do
  name=${f%%:*}.wav codec=${f#*:}
  info=$(ffprobe -v error -select_streams a:0 -show_entries stream=codec_name,sample_rate,channels,duration_ts \
         -of default=nw=1 "$name")
  check "$name codec" "$codec" "$(sed -n 's/^codec_name=//p' <<<"$info")"
  check "$name rate" 44100 "$(sed -n 's/^sample_rate=//p' <<<"$info")"
  check "$name channels" 2 "$(sed -n 's/^channels=//p' <<<"$info")"
  check "$name fact length" $frames "$(sed -n 's/^duration_ts=//p' <<<"$info")"
  ffmpeg -v error -y -i "$name" -f s16le -acodec pcm_s16le "$name.raw"
  # Decoded audio follows the source: the error stays far below the signal.
  r=$("$py" - "$name.raw" source.raw <<'PY'
import sys, array, math
a = array.array('h', open(sys.argv[1], 'rb').read())
b = array.array('h', open(sys.argv[2], 'rb').read())
n = min(len(a), len(b))
err = math.sqrt(sum((a[i] - b[i]) ** 2 for i in range(0, n, 7)) / len(range(0, n, 7)))
sig = math.sqrt(sum(b[i] ** 2 for i in range(0, n, 7)) / len(range(0, n, 7)))
print("ok" if len(a) >= len(b) and err < sig / 10 else "bad %d %d %.1f %.1f" % (len(a), len(b), err, sig))
PY
)
  check "$name decodes to the source" ok "$r"
done

# The pipe-fed encoder's output: right duration, the very same PCM.
check "pipe.wav duration" "3.000000" "$(ffprobe -v error -show_entries format=duration -of csv=p=0 pipe.wav)"
ffmpeg -v error -y -i pipe.wav -f s16le pipe.raw
check "pipe.wav bit-exact" 0 "$(cmp -s pipe.raw source.raw; echo $?)"

# The WMA writer stand-in's ASF file: ffprobe reads its stream, mutagen
# its attributes.
check "out.wma container" asf "$(ffprobe -v error -show_entries format=format_name -of csv=p=0 out.wma)"
d=$(ffprobe -v error -show_entries format=duration -of csv=p=0 out.wma)
check "out.wma duration" 1 "$("$py" -c "print(1 if abs(float('$d') - 3.0) < 0.05 else 0)")"
ffmpeg -v error -y -i out.wma -f s16le out.raw
check "out.wma payload bit-exact" 0 "$(cmp -s out.raw source.raw; echo $?)"
tags=$("$py" - out.wma <<'PY'
import sys, mutagen.asf
f = mutagen.asf.ASF(sys.argv[1])
for k in ["Title", "Author", "WM/AlbumTitle", "Description", "Copyright", "WM/Year", "WM/Track", "WM/Genre"]:
    v = f.tags.get(k)
    print("%s=%s" % (k, v[0].value if v else "-"))
print("length=%.2f" % f.info.length)
PY
)
expected=$'Title=海の歌\nAuthor=Artist\nWM/AlbumTitle=Album\nDescription=Comment\nCopyright=(C) 2000\nWM/Year=2000\nWM/Track=3\nWM/Genre=Rock\nlength=3.00'
check "out.wma attributes (mutagen)" "$expected" "$tags"

# MP3 from the GOGO component, and from the console encoder fed through the
# pipe: MPEG audio of the source's length.
for f in gogo.mp3 lame_pipe.mp3; do
  info=$(ffprobe -v error -select_streams a:0 -show_entries stream=codec_name,sample_rate,channels \
         -show_entries format=duration -of default=nw=1 "$f")
  check "$f codec" mp3 "$(sed -n 's/^codec_name=//p' <<<"$info")"
  check "$f rate" 44100 "$(sed -n 's/^sample_rate=//p' <<<"$info")"
  d=$(sed -n 's/^duration=//p' <<<"$info")
  check "$f duration" 1 "$("$py" -c "print(1 if abs(float('$d') - 3.0) < 0.1 else 0)")"
done

if [ $fail -eq 0 ]; then echo "all outside checks passed"; fi
exit $fail
