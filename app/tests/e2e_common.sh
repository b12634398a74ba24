# The set-up shared by the end-to-end scripts that drive the real program
# under Wine and Xvfb.  Sourced; uses WX_WINE_RUN, WX_BINARY_DIR and
# WX_SOURCE_DIR of the test's environment.
#
#   e2e_setup NAME PROGRAM.exe
#       A private copy of the program, its English module and the stand-in
#       libraries in $work/app (work = $WX_BINARY_DIR/NAME), the demo disc
#       made in $work/demo and copied to $work/app/demo, the display, and
#       the WNASPI32 stand-in picked over Wine's own.  Sets run, art, work.
#   e2e_drive LATENCY [IMAGE]
#       Prints a configuration of the WNASPI32 stand-in: one drive with the
#       image (default demo\demo.cue) and the latency of each read in ms.
#   winpath PATH
#       The Windows path of a file of this machine.
#   e2e_watch PREFIX
#       Answers the driver's screenshot requests in the background: for
#       $work/shots/NAME.req a screenshot artifacts/PREFIX_NAME.png (for
#       "cpu_*" names the CPU ticks of the program in $work/NAME.txt), then
#       $work/shots/NAME.done.

e2e_setup() {
  local name=$1 exe=$2
  run=$WX_WINE_RUN
  art=$WX_BINARY_DIR/artifacts
  work=$WX_BINARY_DIR/$name
  mkdir -p "$art"
  export DISPLAY=$("$run" --display)
  export WINEDLLOVERRIDES="wnaspi32=n${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
  rm -rf "$work"
  mkdir -p "$work/app/demo" "$work/shots" "$work/work"
  cp "$exe" "$(dirname "$exe")/wendrix.ENU" "$work/app/"
  find "$WX_BINARY_DIR/standins/bin" -maxdepth 1 -iname "*.dll" -exec cp {} "$work/app/" \;
  "$WX_SOURCE_DIR/standins/demo/make-demo-disc" "$work/demo" >/dev/null
  cp "$work/demo/demo.bin" "$work/demo/demo.cue" "$work/app/demo/"
}

e2e_drive() {
  printf '[ASPI]\nAdapters=1\n\n[Adapter0]\nScsiId=7\nMaxTargets=8\n\n[Drive0]\nAdapter=0\nTarget=1\nPersonality=plextor\nImage=%s\nLatency=%s\n' \
    "${2:-demo\\demo.cue}" "$1"
}

winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }

e2e_cputicks() {
  local pid
  pid=$(pgrep -f "$(basename "$work")[/\\\\]app[/\\\\]wendrix\\.exe" | head -1)
  [ -n "$pid" ] && awk '{print $14 + $15}' "/proc/$pid/stat"
}

e2e_watch() {
  local prefix=$1
  ( while :; do
      for req in "$work"/shots/*.req; do
        [ -e "$req" ] || continue
        name=$(basename "$req" .req)
        case $name in
          cpu_*) e2e_cputicks > "$work/$name.txt" ;;
          *) import -window root "$art/${prefix}_$name.png" 2>/dev/null ;;
        esac
        rm -f "$req"
        touch "$work/shots/$name.done"
      done
      sleep 0.02
    done ) &
  e2e_watcher=$!
  trap 'kill $e2e_watcher 2>/dev/null' EXIT
}
