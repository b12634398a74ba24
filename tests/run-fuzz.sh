#!/usr/bin/env bash
# Builds a libFuzzer target with clang (ASan and UBSan on) and runs it for a
# bounded time.  Exit 77 (skipped) when clang with libFuzzer is missing.
#
#   run-fuzz.sh NAME WORK_DIR SECONDS MAX_LEN SEED_SCRIPT SOURCE_ROOT SOURCE...
#
# SEED_SCRIPT is run inside WORK_DIR/corpus to write the seed inputs.
set -u
name=$1 work=$2 seconds=$3 maxlen=$4 seeds=$5 root=$6
shift 6
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

sources=()
for s in "$@"; do sources+=("$root/$s"); done
"$clangxx" -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root" "${sources[@]}" -o "$name" || exit 1

mkdir -p corpus findings
(cd corpus && bash "$seeds") || exit 1
"./$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="$maxlen" \
  -artifact_prefix=findings/ -print_final_stats=1 corpus 2>&1 | tail -25
status=${PIPESTATUS[0]}
if [ "$status" -ne 0 ]; then
  echo "fuzzing found a fault (status $status); reproducer in $work/findings"
  exit 1
fi
echo "fuzzing ran $seconds s without a finding"
