#!/usr/bin/env bash
# Outside checkers on what the encoder components and lame.exe write: the
# component tests run under Wine with WX_ENC_OUT set and leave their files
# there; ffprobe and mutagen then read them.
#   encoder_outside_check.sh GOGOTEA_TESTS.exe TVQENC_TESTS.exe LAME.exe
set -euo pipefail
gogo_tests=$1 tvq_tests=$2 lame=$3
run=${WX_WINE_RUN:?}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
winout=$("$run" winepath -w "$out" 2>/dev/null | tr -d '\r')

# Debian's Python carries python3-mutagen (scripts/setup).
py=/usr/bin/python3
[ -x "$py" ] || py=python3

fail=0
check() {  # check DESCRIPTION COMMAND...
  if "$@"; then echo "ok: $desc"; else echo "FAILED: $desc"; fail=1; fi
}
probe() { ffprobe -v error -show_entries "$1" -of default=noprint_wrappers=1 "${@:2}"; }

WX_ENC_OUT=$winout "$run" "$gogo_tests" --gtest_color=no \
  --gtest_filter='*PcmFromMemory*:*RiffWave*:*RiffRmp*:*FileMode*' >"$out/gogo.log" 2>&1 \
  || { cat "$out/gogo.log"; exit 1; }
WX_ENC_OUT=$winout "$run" "$tvq_tests" --gtest_color=no \
  --gtest_filter='*WholeFrames*:*TagsBecome*' >"$out/tvq.log" 2>&1 \
  || { cat "$out/tvq.log"; exit 1; }

# Duration of an MP3 against the PCM that went in, within one frame.
duration_ok() {  # FILE SAMPLES
  "$py" - "$1" "$2" <<'PY'
import sys
from mutagen.mp3 import MP3
f = MP3(sys.argv[1])
want = int(sys.argv[2]) / 44100.0
got = f.info.length
print(f"  {sys.argv[1]}: {got:.4f} s, input {want:.4f} s, {f.info.bitrate} bit/s, {f.info.channels} channels")
sys.exit(0 if abs(got - want) <= 1152 / 44100.0 and f.info.sample_rate == 44100 and f.info.channels == 2 else 1)
PY
}

desc="memory-mode MP3 is an MPEG-1 Layer III stream (ffprobe)"
check grep -qx 'codec_name=mp3' <(probe stream=codec_name "$out/gogo-memory.mp3")
desc="memory-mode MP3 duration matches the input within one frame (mutagen)"
check duration_ok "$out/gogo-memory.mp3" $((44100 * 3 + 500))
desc="file-mode MP3 duration matches the input within one frame (mutagen)"
check duration_ok "$out/gogo-file.mp3" $((44100 * 2))
desc="ffprobe: the memory-mode MP3 plays as long as its input, within one frame"
# ffprobe counts the encoder delay (its start time) into the duration.
check "$py" -c "import sys; d=float(sys.argv[1])-float(sys.argv[2]); sys.exit(0 if abs(d-(44100*3+500)/44100)<=1152/44100 else 1)" \
  "$(probe format=duration "$out/gogo-memory.mp3" | cut -d= -f2)" "$(probe format=start_time "$out/gogo-memory.mp3" | cut -d= -f2)"

desc="RIFF-wrapped MP3 is a WAVE file with the MPEG Layer III format tag (ffprobe)"
riff=$(probe format=format_name:stream=codec_name,codec_tag,sample_rate,channels "$out/gogo-riff.wav")
check bash -c 'grep -qx format_name=wav <<<"$1" && grep -qx codec_name=mp3 <<<"$1" && grep -qx codec_tag=0x0055 <<<"$1" && grep -qx sample_rate=44100 <<<"$1"' _ "$riff"
desc="RIFF-wrapped MP3 carries its INFO chunks (ffprobe)"
check bash -c 'probe() { ffprobe -v error -show_entries format_tags -of default=noprint_wrappers=1 "$1"; }; probe "$1" | grep -q "TAG:artist=Artist"' _ "$out/gogo-riff.wav"
desc="RIFF-wrapped MP3 is read by mutagen's WAVE reader"
check "$py" -c "import sys; from mutagen.wave import WAVE; w=WAVE(sys.argv[1]); sys.exit(0 if w.info.sample_rate==44100 else 1)" "$out/gogo-riff.wav"

desc="TwinVQ file: ffprobe reads our header chunks"
tvq=$(probe stream=codec_name,channels,sample_rate:format_tags "$out/tvq-tags.vqf")
check bash -c 'grep -qx codec_name=twinvq <<<"$1" && grep -qx channels=2 <<<"$1" && grep -qx "TAG:author=Artist Name" <<<"$1" && grep -qx "TAG:comment=A comment" <<<"$1" && grep -qx "TAG:copyright=(C) Someone" <<<"$1" && grep -q "Album Name" <<<"$1"' _ "$tvq"
desc="TwinVQ file: ffprobe counts our frames (20 of PCM and one of silence)"
check grep -qx 'nb_read_packets=21' <(ffprobe -v error -count_packets -show_entries stream=nb_read_packets -of default=noprint_wrappers=1 "$out/tvq-tags.vqf")
desc="TwinVQ file: 10 frames of PCM and one of silence"
check grep -qx 'nb_read_packets=11' <(ffprobe -v error -count_packets -show_entries stream=nb_read_packets -of default=noprint_wrappers=1 "$out/tvq-exact.vqf")

desc="lame.exe encodes WAV from its standard input into MP3"
sox -n -r 44100 -c 2 -b 16 "$out/in.wav" synth 2 sine 300 sine 500
"$run" "$lame" --quiet -b 160 - "$winout\\lame.mp3" <"$out/in.wav" >/dev/null 2>&1 || true
check duration_ok "$out/lame.mp3" $((44100 * 2))

if [ $fail -eq 0 ]; then echo "all outside checks passed"; fi
exit $fail
