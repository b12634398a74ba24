#!/usr/bin/env python3
"""Outside check of a settings file the program stored: Python's
configparser reads both files (code page 932, no interpolation, strict about
duplicate sections and keys) and every key of the expected file must hold
its value in the stored one.  An expected value "<absent>" means the key
must not be there.

Usage: check_settings_file.py EXPECTED STORED
"""
import configparser
import sys


def read(path):
    cp = configparser.ConfigParser(interpolation=None, strict=True)
    cp.optionxform = str  # keep key case for the messages
    with open(path, encoding='cp932', newline='') as f:
        cp.read_file(f)
    return cp


def main():
    expected, stored = read(sys.argv[1]), read(sys.argv[2])
    failures, keys = [], 0
    for section in expected.sections():
        for key, want in expected.items(section):
            keys += 1
            got = stored.get(section, key, fallback=None)
            if want == '<absent>':
                if got is not None:
                    failures.append(f'[{section}] {key}: {got!r} is still there')
            elif got != want:
                failures.append(f'[{section}] {key}: {got!r} != {want!r}')
    for f in failures:
        print('FAIL', f)
    print(f'{sys.argv[2]}: {keys} keys in {len(expected.sections())} sections checked, '
          f'{len(failures)} failures')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
