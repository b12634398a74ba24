#!/usr/bin/env bash
# Builds a libFuzzer target with clang (ASan and UBSan on) and runs it.
# Exit 77 (skipped) when clang with libFuzzer is missing.
#
#   run-fuzz.sh NAME WORK_DIR SECONDS MAX_LEN SEED_SCRIPT SOURCE_ROOT SOURCE...
#
# SEED_SCRIPT writes the seed inputs into the current folder.  The folder
# NAME_regress beside SEED_SCRIPT (if there) holds the inputs that once
# found a fault; they are run with the seeds every time.
#
# SECONDS 0 (what CI runs): every seed and every regression input is run
# once, nothing is mutated; any crash, leak, sanitizer report or time-out
# fails.  SECONDS > 0: a fuzzing campaign of that length, by hand, e.g. five
# minutes of the CD-TEXT parser from the source root:
#
#   bash tests/run-fuzz.sh fuzz_cdtext /tmp/fuzz-cdtext 300 16384 \
#     $PWD/discinfo/tests/fuzz_cdtext_seeds.sh $PWD \
#     discinfo/tests/fuzz_cdtext.cpp discinfo/cdtext.cpp discinfo/disccopy.cpp classlib/sjis.cpp
#
# (the arguments of any target are those of its registration in the
# CMakeLists.txt beside it).  The corpus grows in WORK_DIR/corpus; a fault's
# input lands in WORK_DIR/findings: once mended, copy it into NAME_regress.
set -u
name=$1 work=$2 seconds=$3 maxlen=$4 seeds=$5 root=$6
shift 6
regress=$(cd "$(dirname "$seeds")" && pwd)/${name}_regress
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

# The seeds alone in seeds/ (written afresh), a campaign's corpus kept and
# grown in corpus/ across runs.
if [ "$seconds" -eq 0 ]; then corpus=seeds; rm -rf seeds; else corpus=corpus; fi
mkdir -p "$corpus" findings
(cd "$corpus" && bash "$seeds") || exit 1
dirs=("$corpus")
[ -d "$regress" ] && dirs+=("$regress")

if [ "$seconds" -eq 0 ]; then
  # Each file on its own: libFuzzer runs it once and stops at the first fault.
  mapfile -d '' inputs < <(find "${dirs[@]}" -type f -print0 | sort -z)
  if [ "${#inputs[@]}" -eq 0 ]; then
    echo "no seed inputs for $name"
    exit 1
  fi
  "./$name" -timeout=10 -rss_limit_mb=2048 -artifact_prefix=findings/ "${inputs[@]}" > run.log 2>&1
  status=$?
  if [ "$status" -ne 0 ]; then
    tail -40 run.log
    echo "an input of $name fails (status $status)"
    exit 1
  fi
  echo "${#inputs[@]} seed and regression inputs of $name run without a fault"
  exit 0
fi

"./$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="$maxlen" \
  -artifact_prefix=findings/ -print_final_stats=1 "${dirs[@]}" > fuzz.log 2>&1
status=$?
# The last status line (execs, cov, ft, exec/s) and the final figures; the
# whole output stays in WORK_DIR/fuzz.log.
grep -E '^#[0-9]+' fuzz.log | tail -1
grep -E '^(stat::|Done )' fuzz.log
if [ "$status" -ne 0 ]; then
  tail -40 fuzz.log
  echo "fuzzing found a fault (status $status); reproducer in $work/findings"
  exit 1
fi
echo "fuzzing ran $seconds s without a finding"
