#!/usr/bin/env bash
# Encoder benchmark (docs/encbench.md), run by hand on a win64 build:
#
#   output/tests/encbench.sh BUILD_DIR WORK_DIR [RUNS] [PATH...]
#
# PATH is one of lame, gogo, tvq-direct, tvq, pipe-floor, pipe (default:
# all).  Each is
# run RUNS times (default 5) on a 10-minute WAV file (pink noise and a sine
# sweep, made with sox in repeatable mode) and one line is printed per path:
# the minimum and median wall time, CPU time of the program and CPU time of
# the wineserver, in seconds.  The outputs are kept in WORK_DIR as
# PATH.out for comparison.  WX_WINEPREFIX names another Wine prefix (one
# that no test run shares, so that its wineserver serves the benchmark
# alone); ENCBENCH another build of the benchmark program.
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mkdir -p "$2" && cd "$2" && pwd)
runs=${3:-5}
shift $(( $# < 3 ? $# : 3 ))
paths=("$@")
[ ${#paths[@]} -gt 0 ] || paths=(lame gogo tvq-direct tvq pipe-floor pipe)

run=$build/wine-run
bench=${ENCBENCH:-$build/output/tests/encbench.exe}
lame=$build/standins/bin/lame.exe
settings="-b 128 -m j -q 7 --lowpass -1 --noreplaygain"

src=$work/src.wav
if [ ! -f "$src" ]; then
  sox -R -n -r 44100 -b 16 -c 2 "$work/pink.wav" synth 600 pinknoise
  sox -R -n -r 44100 -b 16 -c 2 "$work/sweep.wav" synth 600 sine 20-20000
  sox -R -m -v 0.4 "$work/pink.wav" -v 0.4 "$work/sweep.wav" "$src"
  rm -f "$work/pink.wav" "$work/sweep.wav"
fi

prefix=${WX_WINEPREFIX:-$build/wineprefix}
server_pid() {
  for p in $(pgrep wineserver); do
    if tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qx "WINEPREFIX=$prefix"; then echo "$p"; return; fi
  done
}
# Started once: each start of the prefix leaves Wine's system processes
# running, whose work would be counted as the server's.
server=$(server_pid)
if [ -z "$server" ]; then
  "$run" --init
  server=$(server_pid)
fi
[ -n "$server" ] || { echo "encbench: no wineserver for $prefix" >&2; exit 1; }
ticks=$(getconf CLK_TCK)
server_cpu() { awk -v t="$ticks" '{ printf "%.3f", ($14 + $15) / t }' "/proc/$server/stat"; }

win() { echo "Z:${1//\//\\}"; }

# Runs a command as a child subreaper, so that the processes Wine starts for
# it (the external encoder) are reaped here and their CPU time counted; prints
# "user+system seconds" of everything that ended below it to $1.  Wine's
# desktop process, which the first program with a window starts and which
# outlives it, is not waited for.
cpu_of() {
  python3 - "$@" <<'PY'
import ctypes, os, resource, subprocess, sys, time
ctypes.CDLL(None, use_errno=True).prctl(36, 1, 0, 0, 0)  # PR_SET_CHILD_SUBREAPER
out, cmd = sys.argv[1], sys.argv[2:]
with open(os.devnull, "wb") as null:
    rc = subprocess.call(cmd, stdout=null, stderr=open(out + ".err", "wb"))

def waited_for():
    me, left = str(os.getpid()), []
    for p in os.listdir("/proc"):
        if not p.isdigit():
            continue
        try:
            stat = open("/proc/%s/stat" % p).read()
            if stat[stat.rindex(")") + 2:].split()[1] != me:
                continue
            if b"explorer.exe" in open("/proc/%s/cmdline" % p, "rb").read():
                continue
        except (OSError, ValueError):
            continue
        left.append(p)
    return left

deadline = time.time() + 30
while time.time() < deadline:
    try:
        pid, _ = os.waitpid(-1, os.WNOHANG)
    except ChildProcessError:
        break
    if pid == 0:
        if not waited_for():
            break
        time.sleep(0.02)
r = resource.getrusage(resource.RUSAGE_CHILDREN)
open(out, "w").write("%.3f\n" % (r.ru_utime + r.ru_stime))
sys.exit(rc)
PY
}

one() {  # one run of a path; prints "wall cpu server"
  local path=$1 out=$work/$1.out
  rm -f "$out"
  local cmd
  case $path in
    lame) cmd=("$lame" $settings "$(win "$src")" "$(win "$out")") ;;
    gogo) cmd=("$bench" gogo "$(win "$src")" "$(win "$out")") ;;
    tvq-direct) cmd=("$bench" tvq-direct "$(win "$src")" "$(win "$out")") ;;
    tvq) cmd=("$bench" tvq "$(win "$src")" "$(win "$out")") ;;
    pipe|pipe-floor) cmd=("$bench" "$path" "$(win "$src")" "$(win "$out")" "$(win "$lame")"
                          "-r -s 44.1 --bitwidth 16 --signed --little-endian $settings -") ;;
  esac
  local s0 t0 t1 s1
  s0=$(server_cpu)
  t0=$(date +%s.%N)
  cpu_of "$work/cpu.txt" "$run" "${cmd[@]}" ||
    { echo "encbench: $path failed" >&2; cat "$work/cpu.txt.err" >&2; exit 1; }
  t1=$(date +%s.%N)
  s1=$(server_cpu)
  read -r c <"$work/cpu.txt"
  awk -v a="$t0" -v b="$t1" -v c="$c" -v x="$s0" -v y="$s1" \
    'BEGIN { printf "%.3f %.3f %.3f\n", b - a, c, y - x }'
}

stats() {  # min and median of a column of numbers
  sort -n | awk '{ v[NR] = $1 } END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2;
                                      printf "%.2f %.2f", v[1], m }'
}

printf "%-11s %11s %11s %11s %11s\n" path "wall min/med" "cpu min/med" "srv min/med" "cpu+srv med"
for path in "${paths[@]}"; do
  one "$path" >/dev/null  # not counted: starts what Wine starts once, fills the caches
  : >"$work/$path.runs"
  for _ in $(seq "$runs"); do one "$path" >>"$work/$path.runs"; done
  w=$(cut -d' ' -f1 "$work/$path.runs" | stats)
  c=$(cut -d' ' -f2 "$work/$path.runs" | stats)
  v=$(cut -d' ' -f3 "$work/$path.runs" | stats)
  t=$(awk '{ print $2 + $3 }' "$work/$path.runs" | stats | cut -d' ' -f2)
  printf "%-11s %11s %11s %11s %11s\n" "$path" "${w/ //}" "${c/ //}" "${v/ //}" "$t"
done
