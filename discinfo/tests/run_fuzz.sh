#!/usr/bin/env bash
# Builds the CDDB fuzz target with clang's libFuzzer and runs it for a
# bounded time.  Exit 77 (skipped) when clang with libFuzzer is missing.
#   run_fuzz.sh SOURCE_ROOT WORK_DIR [SECONDS]
set -u
root=$1
work=$2
seconds=${3:-30}
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
  "$root/discinfo/tests/fuzz_cddb.cpp"
  "$root/discinfo/xmcd.cpp" "$root/discinfo/cddbclient.cpp" "$root/discinfo/cddbtext.cpp"
  "$root/discinfo/cddbconv.cpp" "$root/discinfo/cddbconv_posix.cpp" "$root/discinfo/discid.cpp"
  "$root/output/unicodetbl.cpp" "$root/output/unicodetbl_data.cpp" "$root/classlib/sjis.cpp"
)
"$clangxx" -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root" "${sources[@]}" -o fuzz_cddb || exit 1

# Seeds: a CDDBP session, an HTTP session and a match list.
mkdir -p corpus
printf '\x00\x01200 ready\r\n200 hello\r\n201 level 6\r\n200 rock 12345678 A / B\r\n210 rock 12345678\r\n# Track frame offsets:\r\n#\t150\r\n# Disc length: 300 seconds\r\nDISCID=12345678\r\nDTITLE=A / B\r\nTTITLE0=T\r\n.\r\n' > corpus/cddbp
printf '\x01\x00HTTP/1.0 200 OK\r\n\r\n210 OK\r\nmax proto: 6\r\n.\r\n\n@@\nHTTP/1.0 200 OK\r\n\r\n211 inexact\r\nrock 11111111 A / B\r\njazz 22222222 \xe6\x97\xa5\r\n.\r\n\n@@\nHTTP/1.0 200 OK\r\n\r\n210 jazz 22222222\r\nDISCID=22222222\r\nDTITLE=\xe3\x81\x82 / B\r\nTTITLE3=x\r\n.\r\n' > corpus/http
printf '\x47\x02200 ready\r\n200 hello\r\n201 ok\r\n210 motd\r\nline\r\n.\r\n211 x\r\nrock 11111111 A\r\n.\r\n' > corpus/motd

mkdir -p findings
./fuzz_cddb -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
  -artifact_prefix=findings/ -print_final_stats=1 corpus 2>&1 | tail -25
status=${PIPESTATUS[0]}
if [ "$status" -ne 0 ]; then
  echo "fuzzing found a fault (status $status); reproducer in $work/findings"
  exit 1
fi
echo "fuzzing ran $seconds s without a finding"
