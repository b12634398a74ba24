# Seeds of the tag editor's row-text fuzz target (first byte: 0 comma,
# 1 tab): an exported table, a short row, an unknown genre with a long
# year, Shift-JIS texts whose second bytes are backslashes, and clipboard
# text with empty lines and control characters.
printf '\x00Title,Artist,Album,1999,Rock,1,Comment,(c)\r\nTwo,,,,-None-,2,,\r\n' > table
printf '\x00a,b' > short
printf '\x01t\ta\tl\t19999\tPolka Dots\t3\r\n' > badgenre
printf '\x00\x83\x5c\x83\x69\x83\x5e,\x95\x5c,\x83\x41,2001,jazz,1,,\r\n' > sjis
printf '\x01x\ty\r\n\r\n\x1a\x01\tz\n' > clipboard
