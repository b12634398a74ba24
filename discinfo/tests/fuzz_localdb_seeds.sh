# Seeds of the local-database fuzz target: a disc as the CD player writes
# it, one with fewer titles than tracks, a quoted value, duplicate sections
# and keys, a disc with more tracks than the dialog has, lowercase identity.
printf '\x0aABC123\x00[ABC123]\r\nEntryType=1\r\nartist=Artist\r\ntitle=Album\r\nnumtracks=2\r\n0=One\r\n1=Two\r\n' > cdplayer
printf '\x0a1f2e\x00[1F2E]\nnumtracks=3\n0=\x83\x5c\x83\x8b\n' > fewer
printf '\x05X\x00[x]\r\nartist=" A "\r\nnumtracks=1\r\n0="q"\r\n[X]\r\nnumtracks=9\r\n0=dup\r\n0=second\r\n' > quoted
printf '\x02D\x00[D]\rnumtracks=2147483647\r0=a\r1=b\r2=c\r' > many
printf '\x0aE\x00[E]\nnumtracks=-1\n[F]\nnumtracks=0x10\n' > badcount
