#!/usr/bin/python3
"""WMA attributes written by the tag I/O module, read by mutagen.

usage: wmttag_mutagen.py WMTTAG_TESTS WORKDIR     (under Wine only)
"""
import os
import shutil
import sys

import mutagen.asf

from tagscript import component_run

TESTS, WORK = sys.argv[1], sys.argv[2]
shutil.rmtree(WORK, ignore_errors=True)
os.makedirs(WORK)
r = component_run(TESTS, "*AttributesWrittenAndReadBack*", WORK, "WX_TAG_OUT")
path = os.path.join(WORK, "tags.wma")
if r.returncode != 0 or not os.path.exists(path):
    print(r.stdout[-3000:])
    sys.exit(1)
f = mutagen.asf.ASF(path)
got = {k: f.tags.get(k)[0].value if f.tags.get(k) else None
       for k in ["Title", "Author", "WM/AlbumTitle", "Description", "Copyright", "WM/Year", "WM/Track", "WM/Genre"]}
expected = {"Title": "海の歌", "Author": "Artist", "WM/AlbumTitle": "Album", "Description": "Comment",
            "Copyright": "(C) 2000", "WM/Year": "2000", "WM/Track": 3, "WM/Genre": "Rock"}
ok = got == expected
print("mutagen:", got)
print("all checks passed" if ok else "FAIL: expected %r" % expected)
sys.exit(0 if ok else 1)
