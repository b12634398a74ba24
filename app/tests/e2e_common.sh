# The set-up shared by the end-to-end scripts that drive the real program
# under Wine and Xvfb.  Sourced; uses WX_WINE_RUN, WX_BINARY_DIR and
# WX_SOURCE_DIR of the test's environment.
#
#   e2e_setup NAME PROGRAM.exe
#       A private copy of the program, its English module and the stand-in
#       libraries in $work/app (work = $WX_BINARY_DIR/NAME), the demo disc
#       made in $work/demo and copied to $work/app/demo, an X display and a
#       Wine server of the test's own (e2e_isolate), and the WNASPI32
#       stand-in picked over Wine's own.  Sets run, art, work.
#   e2e_isolate
#       An X display (Xvfb) and a Wine prefix of the test's own, the prefix
#       made of hard links to the build's (so a Wine server of its own):
#       the program looks at the drive only while its window is the active
#       one, and on a shared display and server the windows of the tests
#       running beside this one take the activation (and this test's
#       windows take theirs).  Both are stopped when the script ends.
#   e2e_on_exit COMMAND
#       Runs COMMAND when the script ends (before those registered earlier).
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

e2e_on_exit() {
  e2e_exit="$1;${e2e_exit:-}"
  trap "$e2e_exit" EXIT
}

e2e_isolate() {
  local orig pfx=$work/prefix xvfb f
  # Xvfb picks a free display number and writes it when it is ready.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 </dev/null &
  xvfb=$!
  e2e_on_exit "kill $xvfb 2>/dev/null"
  for _ in $(seq 600); do [ -s "$work/display" ] && break; sleep 0.05; done
  [ -s "$work/display" ] || { echo "FAIL: no X display of the test's own"; exit 1; }
  export DISPLAY=":$(head -1 "$work/display")"
  # What Wine rewrites in place (the registry, the profile files of the
  # Windows folder) is copied, not linked.
  orig=$("$run" --prefix)
  cp -al "$orig" "$pfx"
  rm -f "$pfx"/.wx-xvfb*
  for f in "$pfx"/*.reg "$pfx"/drive_c/windows/*.ini; do
    [ -f "$f" ] && cp --remove-destination "$orig/${f#"$pfx"/}" "$f"
  done
  export WX_WINEPREFIX=$pfx
  e2e_on_exit "WINEPREFIX='$pfx' /usr/lib/wine/wineserver -k 2>/dev/null"
  # The build's server writes its registry some time after a change: the
  # settings wine-run gives a prefix may not be on disk yet.
  if ! grep -q '"Managed"="N"' "$pfx/user.reg" 2>/dev/null ||
     ! grep -q '"MS Gothic"="IPAGothic"' "$pfx/user.reg" 2>/dev/null; then
    "$run" --init
  fi
}

e2e_setup() {
  local name=$1 exe=$2
  run=$WX_WINE_RUN
  art=$WX_BINARY_DIR/artifacts
  work=$WX_BINARY_DIR/$name
  mkdir -p "$art"
  export WINEDLLOVERRIDES="wnaspi32=n${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
  rm -rf "$work"
  mkdir -p "$work/app/demo" "$work/shots" "$work/work"
  e2e_isolate
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
  e2e_on_exit "kill $e2e_watcher 2>/dev/null"
}
