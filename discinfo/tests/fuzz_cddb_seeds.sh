# Seeds of the CDDB fuzz target: a CDDBP session, an HTTP session and a match
# list; a record with a line beyond the line cap; a reply of empty lines
# beyond the reply budget (the fuzz target lowers both to fit 8 KiB inputs).
printf '\x00\x01200 ready\r\n200 hello\r\n201 level 6\r\n200 rock 12345678 A / B\r\n210 rock 12345678\r\n# Track frame offsets:\r\n#\t150\r\n# Disc length: 300 seconds\r\nDISCID=12345678\r\nDTITLE=A / B\r\nTTITLE0=T\r\n.\r\n' > cddbp
printf '\x01\x00HTTP/1.0 200 OK\r\n\r\n210 OK\r\nmax proto: 6\r\n.\r\n\n@@\nHTTP/1.0 200 OK\r\n\r\n211 inexact\r\nrock 11111111 A / B\r\njazz 22222222 \xe6\x97\xa5\r\n.\r\n\n@@\nHTTP/1.0 200 OK\r\n\r\n210 jazz 22222222\r\nDISCID=22222222\r\nDTITLE=\xe3\x81\x82 / B\r\nTTITLE3=x\r\n.\r\n' > http
printf '\x47\x02200 ready\r\n200 hello\r\n201 ok\r\n210 motd\r\nline\r\n.\r\n211 x\r\nrock 11111111 A\r\n.\r\n' > motd
{ printf '\x20\x00200 ready\r\n200 hello\r\n200 rock 12345678 A / B\r\n210 rock 12345678\r\nDISCID=12345678\r\nEXTD='
  head -c 400 /dev/zero | tr '\0' 'L'; printf '\\n\\t\\\\x\r\nTTITLE0=T\r\n.\r\n'; } > longline
{ printf '\x20\x00200 ready\r\n200 hello\r\n200 rock 12345678 A / B\r\n210 rock 12345678\r\n'
  head -c 6000 /dev/zero | tr '\0' '\n'; printf '.\r\n'; } > budget
# A match list whose chosen line names no category.
printf '\x01\x29HTTP/1.0 200 OK\r\n\r\n210 OK\r\nmax proto: 5\r\n.\r\n\n@@\nHTTP/1.0 200 OK\r\n\r\n211 inexact\r\n 11111111 A / B\r\n.\r\n' > nocategory
