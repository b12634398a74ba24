#!/usr/bin/env bash
# GUI smoke test: the program starts under Wine, shows its main window,
# refuses a second instance and closes.  A screenshot of the screen with the
# window on it is kept in the build tree (artifacts/gui_smoke.png).  On an
# X display and a Wine server of its own (e2e_own_session).
set -u
exe=$1
driver=$2
run=$WX_WINE_RUN
art=$WX_BINARY_DIR/artifacts
mkdir -p "$art"
. "$(dirname "$0")/e2e_common.sh"
e2e_own_session "$WX_BINARY_DIR/gui_smoke"

"$run" "$exe" >/dev/null 2>&1 </dev/null &
prog=$!
e2e_on_exit "kill $prog 2>/dev/null"

found=
for _ in $(seq 300); do
  if xdotool search --name '^Wendrix for Windows$' >/dev/null 2>&1; then found=1; break; fi
  kill -0 $prog 2>/dev/null || break
  sleep 0.1
done
if [ -z "$found" ]; then
  echo "main window did not appear"
  exit 1
fi
sleep 0.5
import -window root "$art/gui_smoke.png" && echo "screenshot: $art/gui_smoke.png"

"$run" "$driver" --gtest_color=no "$exe"
status=$?

for _ in $(seq 100); do kill -0 $prog 2>/dev/null || break; sleep 0.1; done
if kill -0 $prog 2>/dev/null; then
  echo "program did not end after its window was closed"
  exit 1
fi
wait $prog
rc=$?
[ $rc -eq 0 ] || { echo "program exit code $rc"; exit 1; }
exit $status
