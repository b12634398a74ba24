#!/usr/bin/env python3
"""Outside check of a settings file we wrote: Python's configparser reads it
(interpolation off, code page 932, strict about duplicates) and finds the
values the writer put in.

Usage: check_ini_configparser.py WRITER [RUNNER]
The writer (optionally run through RUNNER, e.g. the Wine wrapper) writes the
file; this script reads it back.
"""
import configparser
import os
import subprocess
import sys
import tempfile


def unquote(v):
    # The program's reader strips one pair of surrounding quotes.
    if len(v) >= 2 and v[0] in '"\'' and v[-1] == v[0]:
        return v[1:-1]
    return v


def main():
    writer = sys.argv[1]
    runner = sys.argv[2:] if len(sys.argv) > 2 else []
    with tempfile.TemporaryDirectory(dir='.') as tmp:
        path = os.path.join(tmp, 'wndrxn.ini')
        subprocess.run(runner + [writer, path], check=True)
        raw = open(path, 'rb').read()
        assert b'\0' not in raw, 'NUL byte in the file'
        cp = configparser.ConfigParser(interpolation=None, strict=True)
        cp.optionxform = str  # keep key case for the messages
        with open(path, encoding='cp932', newline='') as f:
            cp.read_file(f)

    def get(section, key):
        return unquote(cp.get(section, key))

    failures = []

    def expect(section, key, want):
        got = get(section, key)
        if got != want:
            failures.append(f'[{section}] {key}: {got!r} != {want!r}')

    expect('ID3TAG', 'FilenameEdit', '%.02N_%T')
    expect('ID3TAG', 'FilenameSelect', '0')
    expect('ID3TAG', 'FoldernameEdit', 'ソ表\\%R')
    expect('ID3TAG', 'ID3TagAlbumDir', 'D:\\音楽')
    expect('Common', 'WorkingDir', 'C:\\作業\\')
    expect('Common', 'ReadBlock', '26')
    expect('Common', 'WaitTime', '0')
    expect('Common', 'MaxRetry', '10')
    expect('Common', 'UseCDROM', '1')
    expect('Common', 'UseWaveDevice', '"')
    expect('Common', 'CheckDiskFreeSpace', 'Yes')
    expect('MP3', 'Encoder', 'C:\\Program Files\\lame.exe')
    expect('MP3', 'OptionString', '  -V 2 --tt "%T"  [Common]  ReadBlock=1')
    expect('MP3', 'BitRate', '128KB')
    expect('WMT', 'SamplingRate', '44100HZ')
    expect('VQF', 'Quality', '16')
    expect('Genre', 'FG150', 'ロック')
    expect('Genre', 'FG151', '50% off')
    expect('DEVICES_0', 'DeviceName', 'PLEXTOR CD-R   PX-W1210A')
    expect('DEVICES_0', 'Adapter', '1')
    expect('DEVICES_1', 'Adapter', '0')
    expect('DEVICES_1', 'PortNumber', str(0x10044))
    expect('DEVICES_1', 'DriveMaker', 'PLEXTOR')
    if cp.has_option('DEVICES_1', 'DeviceName'):
        failures.append('DEVICES_1 has an empty DeviceName key')
    if cp.has_section('Pellora'):
        failures.append('Pellora keys were written')
    # The broken-up value must not have forged a second ReadBlock anywhere.
    if len(cp.sections()) != len(set(s.lower() for s in cp.sections())):
        failures.append('duplicate sections')
    for f in failures:
        print('FAIL', f)
    print(f'{len(cp.sections())} sections read, {len(failures)} failures')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
