#!/usr/bin/env python3
"""Converts a UTF-8 resource script to code page 932 for windres -c 932.

windres reads a backslash as an escape even when it is the second byte of
a double-byte character (表, 能, ソ ... end in 0x5C), which cuts or garbles
the string.  Such a trail byte is written doubled, which windres reads back
as the one byte.  A character that code page 932 lacks fails the build.

Usage: rc932.py SOURCE OUTPUT
"""
import sys


def main():
    src, out = sys.argv[1], sys.argv[2]
    text = open(src, encoding='utf-8').read()
    try:
        data = text.encode('cp932')
    except UnicodeEncodeError as e:
        line = text.count('\n', 0, e.start) + 1
        sys.exit(f'{src}:{line}: {text[e.start]!r} has no code page 932 form')
    result = bytearray()
    i = 0
    while i < len(data):
        c = data[i]
        if (0x81 <= c <= 0x9F or 0xE0 <= c <= 0xFC) and i + 1 < len(data):
            result += data[i:i + 2]
            if data[i + 1] == 0x5C:
                result.append(0x5C)
            i += 2
        else:
            result.append(c)
            i += 1
    with open(out, 'wb') as f:
        f.write(result)


if __name__ == '__main__':
    main()
