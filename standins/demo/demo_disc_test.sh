#!/usr/bin/env bash
# The demo disc as libcdio sees it: four audio tracks, the flags of the
# sheet, CD-TEXT titles, and real sound in every track.
set -euo pipefail
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
"$WX_SOURCE_DIR/standins/demo/make-demo-disc" "$dir"
info=$(cd-info --no-cddb --no-device-info --no-header --cue-file "$dir/demo.cue" 2>&1)
fail() { echo "FAIL: $*"; echo "$info"; exit 1; }
echo "$info" | grep -q "CD-ROM Track List (1 - 4)" || fail "four tracks"
echo "$info" | grep -Eq "^ +2: .* audio +false +yes" || fail "track 2 copy permitted"
echo "$info" | grep -Eq "^ +4: .* audio +false +no +2 +yes" || fail "track 4 pre-emphasis"
echo "$info" | grep -q "TITLE: Demo Disc" || fail "disc title"
echo "$info" | grep -q "TITLE: Plucked Strings" || fail "track title"
size=$(stat -c %s "$dir/demo.bin")
[ $((size % 2352)) -eq 0 ] || fail "whole sectors"
for t in 1 2 3 4; do
  cd-paranoia -q -d "$dir/demo.cue" -w "$t" "$dir/t$t.wav" >/dev/null 2>&1 || fail "rip of track $t"
  rms=$(sox "$dir/t$t.wav" -n stat 2>&1 | awk '/RMS +amplitude/ {print $3}')
  awk -v r="$rms" 'BEGIN { exit !(r > 0.01) }' || fail "track $t is silent ($rms)"
done
echo "1 passed, 0 failed"
