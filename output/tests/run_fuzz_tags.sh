#!/usr/bin/env bash
# Builds the tag fuzz target with clang's libFuzzer and runs it for a
# bounded time.  Exit 77 (skipped) when clang with libFuzzer is missing.
#   run_fuzz_tags.sh SOURCE_ROOT WORK_DIR [SECONDS]
set -u
root=$1
work=$2
seconds=${3:-60}
mkdir -p "$work"
cd "$work" || exit 1

clangxx=$(command -v clang++ || true)
if [ -z "$clangxx" ]; then
  echo "clang++ not found: fuzzing skipped"
  exit 77
fi
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' > probe.cpp
if ! "$clangxx" -fsanitize=fuzzer probe.cpp -o probe >/dev/null 2>&1; then
  echo "clang++ has no libFuzzer: fuzzing skipped"
  exit 77
fi

sources=(
  "$root/output/tests/fuzz_tags.cpp"
  "$root/output/binaryfile.cpp" "$root/output/id3tag.cpp" "$root/output/tagio.cpp"
  "$root/output/mp3defs.cpp" "$root/output/unicodetbl.cpp" "$root/output/unicodetbl_data.cpp"
  "$root/output/chunkbank.cpp" "$root/classlib/sjis.cpp"
)
"$clangxx" -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root" "${sources[@]}" -o fuzz_tags || exit 1

# Seeds: an MPEG frame header behind an ID3v2.3 tag with text, UTF-16 and
# comment frames and an ID3v1 block; a bare frame; a tag with a bad size.
mkdir -p corpus
frame='\xff\xfb\x90\x64'
pad=$(printf '%0200d' 0)
printf "\x0f"'ID3\x03\x00\x00\x00\x00\x00\x40TIT2\x00\x00\x00\x04\x00\x00\x00abcTPE1\x00\x00\x00\x07\x00\x00\x01\xff\xfeA\x00B\x00COMM\x00\x00\x00\x06\x00\x00\x00eng\x00xTCON\x00\x00\x00\x05\x00\x00\x00(17)\x00\x00'"$frame$pad"'TAGtitle' > corpus/full
printf "\x07$frame$pad" > corpus/bare
printf "\x10"'TWIN97012000\x00\x00\x00\x21COMM\x00\x00\x00\x10\x00\x00\x00\x01\x00\x00\x00\x60\x00\x00\x00\x2c\x00\x00\x00\x00NAME\x00\x00\x00\x01xDATA'"$pad" > corpus/vqf
printf "\x03"'ID3\x04\x00\x00\x7f\x7f\x7f\x7fTIT2\x7f\xff\xff\xff\x00\x00'"$frame$pad" > corpus/bad

mkdir -p findings
./fuzz_tags -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
  -artifact_prefix=findings/ -print_final_stats=1 corpus 2>&1 | tail -25
status=${PIPESTATUS[0]}
if [ "$status" -ne 0 ]; then
  echo "fuzzing found a fault (status $status); reproducer in $work/findings"
  exit 1
fi
echo "fuzzing ran $seconds s without a finding"
