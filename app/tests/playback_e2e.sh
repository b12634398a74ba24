#!/usr/bin/env bash
# Playback through the real program under Wine and Xvfb (driven by
# playback_e2e_driver): digital play of a disc with a data track through
# the CD player panel, its capture by the sound device of the test (ALSA's
# file sink) compared with the disc image, the test-playback bar with the
# media player and with a test player that logs the commands it gets, and
# the panel in English.  Screenshots: artifacts/playback_*.png.
#
#   playback_e2e.sh PROGRAM.exe DRIVER.exe PLAYER.exe
set -u
exe=$1
driver=$2
player=$3
. "$(dirname "$0")/e2e_common.sh"

e2e_setup playback_e2e "$exe"
# The demo disc without its pre-emphasised track's flag (its warning comes
# with every reading of the track list), and with its second track as data.
sed -i '/FLAGS PRE/d' "$work/app/demo/demo.cue"
awk '/TRACK 02 AUDIO/ { sub("AUDIO", "MODE1/2352") } { print }' "$work/app/demo/demo.cue" > "$work/app/demo/mixed.cue"
e2e_drive 0 'demo\mixed.cue' > "$work/app/wnaspi32.ini"
mkdir -p "$work/player"
cp "$player" "$work/player/testplayer.exe"

# The sound device of every program of this test: each open of the device
# writes a file of its own in $work/sound.
mkdir -p "$work/sound/alsa"
printf 'pcm.!default { type file; slave.pcm "null"; file "%s/played.raw"; format "raw"; truncate false }\n' \
  "$work/sound" > "$work/sound/alsa/asoundrc"
export XDG_CONFIG_HOME=$work/sound
export WX_E2E_DIR=$(winpath "$work")
e2e_watch playback

"$run" "$driver" --gtest_color=no
status=$?
for s in panel_ja bar_player bar_media panel_en; do
  [ -s "$art/playback_$s.png" ] && echo "screenshot: $art/playback_$s.png" || { echo "FAIL: no screenshot $s"; status=1; }
done
[ -s "$work/player/player.log" ] && { echo "player log:"; sed 's/^/  /' "$work/player/player.log"; }
exit $status
