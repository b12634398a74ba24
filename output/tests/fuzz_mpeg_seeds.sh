# Seeds of the MPEG frame-header fuzz target: a frame behind one ID3v2.3
# tag with an ID3v1 block, a frame behind two tags (the second with a
# footer flag), a bare frame, a file too short, and a tag whose size runs
# past the end.
frame='\xff\xfb\x90\x64'
pad=$(printf '%0200d' 0)
printf "\x01"'ID3\x03\x00\x00\x00\x00\x00\x0aTIT2\x00\x00\x00\x00\x00\x00'"$frame$pad"'TAGtitle'"$(printf '%0125d' 0)" > tagged
printf "\x00"'ID3\x03\x00\x00\x00\x00\x00\x00ID3\x04\x00\x10\x00\x00\x00\x00'"$(printf '%010d' 0)$frame$pad" > two-tags
printf "\x01$frame$pad" > bare
printf "\x01$frame" > short
printf "\x00"'ID3\x03\x00\x00\x7f\x7f\x7f\x7f'"$frame$pad" > tag-past-end
