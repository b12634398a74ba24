#!/usr/bin/env bash
# The settings through the real program under Wine and Xvfb (driven by
# settings_e2e_driver): every file it stored is compared with the file the
# driver expects by Python's configparser.  Screenshots, cropped to the
# window the driver names, land in artifacts/settings_*.png.
#
#   settings_e2e.sh PROGRAM.exe DRIVER.exe
set -u
exe=$1
driver=$2
. "$(dirname "$0")/e2e_common.sh"
run=$WX_WINE_RUN
art=$WX_BINARY_DIR/artifacts
work=$WX_BINARY_DIR/settings_e2e
mkdir -p "$art"
rm -f "$art"/settings_*.png
export WINEDLLOVERRIDES="wnaspi32=n${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"

# A private copy of the program with the stand-ins and the demo disc,
# without its pre-emphasised track (whose warning comes with every reading
# of the track list).
rm -rf "$work"
mkdir -p "$work/app/demo" "$work/shots"
e2e_own_session
cp "$exe" "$(dirname "$exe")/wendrix.ENU" "$work/app/"
find "$WX_BINARY_DIR/standins/bin" -maxdepth 1 -iname "*.dll" -exec cp {} "$work/app/" \;
"$WX_SOURCE_DIR/standins/demo/make-demo-disc" "$work/demo" >/dev/null || { echo "no demo disc"; exit 1; }
cp "$work/demo/demo.bin" "$work/app/demo/"
sed '/FLAGS PRE/d' "$work/demo/demo.cue" > "$work/app/demo/demo.cue"
cp "$WX_SOURCE_DIR/standins/demo/wnaspi32.ini" "$work/app/"
# The reference file of the normalization: a sine at half of full scale.
sox -n -r 44100 -c 2 -b 16 "$work/reference.wav" synth 0.5 sine 440 vol 0.5 || { echo "no reference file"; exit 1; }
export WX_ASPI_CONFIG=$(winpath "$work/app/wnaspi32.ini")
export WX_E2E_DIR=$(winpath "$work")

# Screenshots on the driver's request, cropped to the geometry it gives.
( while :; do
    for req in "$work"/shots/*.req; do
      [ -e "$req" ] || continue
      name=$(basename "$req" .req)
      geometry=$(head -1 "$req")
      case $geometry in
        *x*+*+*) import -window root -crop "$geometry" +repage "$art/$name.png" 2>/dev/null ;;
        *) import -window root "$art/$name.png" 2>/dev/null ;;
      esac
      rm -f "$req"
      touch "$work/shots/$name.done"
    done
    sleep 0.02
  done ) &
watcher=$!
e2e_on_exit "kill $watcher 2>/dev/null"

"$run" "$driver" --gtest_color=no
status=$?

for name in roundtrip dialog english; do
  if [ -f "$work/${name}_stored.ini" ]; then
    python3 "$(dirname "$0")/check_settings_file.py" "$work/${name}_expected.ini" "$work/${name}_stored.ini" || status=1
  else
    echo "FAIL: no stored file of $name"; status=1
  fi
done
for png in "$art"/settings_*.png; do [ -s "$png" ] && echo "screenshot: $png"; done
exit $status
