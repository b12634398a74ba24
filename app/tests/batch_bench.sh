#!/usr/bin/env bash
# The batch encode list's benchmark, run by hand through batch_e2e.sh
# --bench: ten 5-minute WAV files encoded from the list through lame.exe
# (the external encoder on each file) and through the GOGO stand-in, beside
# lame.exe on the same files one after another (one Wine process per file,
# the options the list gives it).  Wall and CPU times in seconds; the
# list's CPU time is its process's and that of the encoder processes it
# ran, so that a busy machine shows in the wall times only.
#
#   batch_bench.sh WORK_DIR DRIVER.exe      (WX_WINE_RUN and the display set)
set -u
work=$1
driver=$2
run=$WX_WINE_RUN
winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }
mkdir -p "$work/bench"
for i in $(seq 1 10); do
  sox -n -r 44100 -c 2 -b 16 -e signed-integer "$work/bench/take$i.wav" \
    synth 300 sine $((200 + 40 * i))-$((900 + 30 * i)) pinknoise gain -12
done

# The encoder processes the list starts are no children of its process:
# their CPU time is sampled from /proc while they run (the last sample of
# each, at most 20 ms short).
sample_lame() {
  declare -A last
  while [ ! -e "$work/sampler.stop" ]; do
    for pid in $(pgrep -f 'tools[/\\]lame\.exe'); do
      t=$(awk '{print $14 + $15}' "/proc/$pid/stat" 2>/dev/null) && [ -n "$t" ] && last[$pid]=$t
    done
    sleep 0.02
  done
  local sum=0
  for pid in "${!last[@]}"; do sum=$((sum + last[$pid])); done
  echo "$sum" > "$work/lame_children.txt"
}
load0=$(cut -d' ' -f1-3 /proc/loadavg)
rm -f "$work/sampler.stop"
sample_lame &
sampler=$!
"$run" "$driver" --gtest_color=no --gtest_also_run_disabled_tests --gtest_filter='*BatchBench.DISABLED_Lame' || exit 1
touch "$work/sampler.stop"
wait "$sampler"
rm -f "$work"/bench/*.mp3
TIMEFORMAT='%R %U %S'
alone=$( { time (
  for i in $(seq 1 10); do
    ( cd "$work/tools" && "$run" "$work/tools/lame.exe" -b 128 "$(winpath "$work/bench/take$i.wav")" \
        "$(winpath "$work/bench/take$i.lame.mp3")" </dev/null >/dev/null 2>&1 )
  done ) ; } 2>&1 )
rm -f "$work"/bench/take?.mp3 "$work"/bench/take10.mp3
"$run" "$driver" --gtest_color=no --gtest_also_run_disabled_tests --gtest_filter='*BatchBench.DISABLED_Gogo' || exit 1

hz=$(getconf CLK_TCK)
cpu() { awk -v a="$(cat "$work/cpu_$1_start.txt")" -v b="$(cat "$work/cpu_$1_end.txt")" -v h="$hz" 'BEGIN{printf "%.1f", (b-a)/h}'; }
read -r aloneWall aloneUser aloneSys <<< "$alone"
aloneCpu=$(awk -v u="$aloneUser" -v s="$aloneSys" 'BEGIN{printf "%.1f", u+s}')
read -r lameWall < "$work/bench_lame.txt"
read -r gogoWall < "$work/bench_gogo.txt"
lameCpu=$(awk -v a="$(cpu lame)" -v c="$(cat "$work/lame_children.txt")" -v h="$hz" 'BEGIN{printf "%.1f", a + c/h}')
gogoCpu=$(cpu gogo)
ratio() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.3f", a/b}'; }
echo "load average before and after: $load0 / $(cut -d' ' -f1-3 /proc/loadavg)"
echo "lame.exe alone, one file after another: wall $aloneWall s, CPU $aloneCpu s"
echo "list through lame.exe: wall $lameWall s ($(ratio "$lameWall" "$aloneWall") x), CPU $lameCpu s ($(ratio "$lameCpu" "$aloneCpu") x)"
echo "list through the GOGO stand-in: wall $gogoWall s ($(ratio "$gogoWall" "$aloneWall") x), CPU $gogoCpu s ($(ratio "$gogoCpu" "$aloneCpu") x)"
