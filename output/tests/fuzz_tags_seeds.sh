# Seeds of the tag fuzz target: an MPEG frame header behind an ID3v2.3 tag
# with text, UTF-16 and comment frames and an ID3v1 block; a bare frame; a
# TwinVQ header; a tag with a bad size; and the files tagged by other
# programs that the foreign-tag test makes (mutagen), when it can run.
frame='\xff\xfb\x90\x64'
pad=$(printf '%0200d' 0)
printf "\x0f"'ID3\x03\x00\x00\x00\x00\x00\x40TIT2\x00\x00\x00\x04\x00\x00\x00abcTPE1\x00\x00\x00\x07\x00\x00\x01\xff\xfeA\x00B\x00COMM\x00\x00\x00\x06\x00\x00\x00eng\x00xTCON\x00\x00\x00\x05\x00\x00\x00(17)\x00\x00'"$frame$pad"'TAGtitle' > full
printf "\x07$frame$pad" > bare
printf "\x10"'TWIN97012000\x00\x00\x00\x21COMM\x00\x00\x00\x10\x00\x00\x00\x01\x00\x00\x00\x60\x00\x00\x00\x2c\x00\x00\x00\x00NAME\x00\x00\x00\x01xDATA'"$pad" > vqf
printf "\x03"'ID3\x04\x00\x00\x7f\x7f\x7f\x7fTIT2\x7f\xff\xff\xff\x00\x00'"$frame$pad" > bad
here=$(dirname "$0")
if /usr/bin/python3 -c 'import mutagen' 2>/dev/null && command -v ffmpeg >/dev/null; then
  /usr/bin/python3 "$here/foreign_tags.py" - "$PWD/../foreign_seed_work" "$PWD" > ../foreign_seeds.log 2>&1 ||
    echo "foreign-tag seeds not made (see foreign_seeds.log)"
fi
