# The set-up shared by the end-to-end scripts that drive the real program
# under Wine and Xvfb.  Sourced; uses WX_WINE_RUN, WX_BINARY_DIR and
# WX_SOURCE_DIR of the test's environment.
#
#   e2e_setup NAME PROGRAM.exe
#       A private copy of the program, its English module and the stand-in
#       libraries in $work/app (work = $WX_BINARY_DIR/NAME), the demo disc
#       made in $work/demo and copied to $work/app/demo, an X display and a
#       Wine server of the test's own (e2e_own_session), and the WNASPI32
#       stand-in picked over Wine's own.  Sets run, art, work.
#   e2e_own_session [DIR]
#       An X display (Xvfb picks a free number) and a Wine prefix with a
#       Wine server of the test's own: the program looks at the drive only
#       while its main window is the active one, and on a shared display and
#       server the windows of the tests running beside this one take the
#       activation (and this test's windows take theirs).  The prefix,
#       DIR/prefix (DIR defaults to $work), is made of hard links to the
#       build's.  Sets DISPLAY and WX_WINEPREFIX.  What a test adds to the
#       prefix (drive letters, registry) goes in before the server starts,
#       from its function e2e_prefix_extras PREFIX when it defines one.
#       Both are stopped when the script ends; a second call does nothing.
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

e2e_own_session() {
  [ -n "${e2e_session:-}" ] && return 0
  local dir=${1:-$work} orig pfx f
  pfx=$dir/prefix
  mkdir -p "$dir"
  rm -rf "$pfx" "$dir/display"
  # Xvfb picks a free display number and writes it when it is ready.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dir/display" >/dev/null 2>&1 </dev/null &
  e2e_on_exit "kill $! 2>/dev/null"
  for _ in $(seq 600); do [ -s "$dir/display" ] && break; sleep 0.05; done
  [ -s "$dir/display" ] || { echo "FAIL: no X display of the test's own"; exit 1; }
  export DISPLAY=":$(head -1 "$dir/display")"
  # The build's prefix (wine-run --init leaves it on disk whole) in hard
  # links; what Wine or the program rewrite in place (the registry, the
  # profile files of the Windows folder) is copied.  A fresh prefix only
  # when the build's was never made.
  orig=$("$WX_WINE_RUN" --prefix)
  if [ -f "$orig/system.reg" ] && [ -f "$orig/user.reg" ]; then
    cp -al "$orig" "$pfx"
    rm -f "$pfx"/.wx-xvfb* "$pfx/wineserver"
    for f in "$pfx"/*.reg "$pfx"/drive_c/windows/*.ini; do
      [ -f "$f" ] && cp --remove-destination "$orig/${f#"$pfx"/}" "$f"
    done
  else
    WX_WINEPREFIX=$pfx "$WX_WINE_RUN" --init
    WINEPREFIX=$pfx /usr/lib/wine/wineserver -k 2>/dev/null
    WINEPREFIX=$pfx /usr/lib/wine/wineserver -w 2>/dev/null
  fi
  if [ "$(type -t e2e_prefix_extras)" = function ]; then e2e_prefix_extras "$pfx"; fi
  # A server that stays while no program runs, as the build's does: a
  # program started while a server that is going away still takes its
  # connection cannot run.
  export WX_WINEPREFIX=$pfx
  e2e_on_exit "WINEPREFIX='$pfx' /usr/lib/wine/wineserver -k 2>/dev/null"
  WINEPREFIX=$pfx /usr/lib/wine/wineserver -p >/dev/null 2>&1 </dev/null
  e2e_session=$pfx
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
  e2e_own_session
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
