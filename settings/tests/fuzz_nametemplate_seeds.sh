# Seeds of the name-template fuzz target: the three file presets and the
# default manual one with Japanese texts, a precision at the end, a bad
# code, the folder presets with a "\" in the album and double-byte
# characters whose second byte is 0x5C.
p() { printf "$1" > "$2"; }
p '\x07\x00%%T\x00Title\x00Artist\x00Album\x00Rock' preset1
p '\x05\x01%%.02N.%%T\x00\x83\x5c\x83\x8b\x00A\x00\x00' preset2
p '\x7b\x00%%.02N.%%R.%%L.%%T\x00a:b?c\x00x/y\x00"q"\x00<g>' preset3
p '\x01\x01%%.02N_%%T\x00line\\nbreak\ttab\x00\x00\x00' manual
p '\x03\x00x%%.03\x00t\x00\x00\x00' precision
p '\x03\x00%%X%%.2X%%\x00t\x00\x00\x00' badcode
p '\x00\x01%%G\\%%L\x00\x00art\x00al\\bum\x00\x95\x5c' folder2
p '\x00\x00%%G\\%%R_%%L\x00\x00\x83\x5c\x00\x81\x00ge|nre' folder3
