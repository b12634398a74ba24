#!/usr/bin/python3
"""TwinVQ header chunks rewritten by the tag I/O module, read back by ffprobe.

A real TwinVQ file comes from the TwinVQ encoder component (its test run
with WX_ENC_OUT set); tagtool rewrites its chunks; ffprobe must read the new
texts and as many audio packets as before, and the bytes behind "DATA" must
be unchanged.

usage: vqf_checkers.py TVQENC_TESTS TAGTOOL WORKDIR     (under Wine only)
"""
import functools
import os
import shutil
import subprocess
import sys

from tagscript import answer, check, component_run, failures, finish, sj
import tagscript

TVQ_TESTS, TOOL, WORK = sys.argv[1], sys.argv[2], sys.argv[3]
tagscript.verbose = True
tagtool = functools.partial(tagscript.tagtool, TOOL)


def probe_tags(path):
    # String validation off: the texts are Shift-JIS bytes, not UTF-8.
    out = subprocess.run(["ffprobe", "-v", "error", "-show_entries", "format_tags:stream=codec_name",
                          "-of", "default=noprint_wrappers=1:sv=ignore", path], capture_output=True, check=True).stdout
    tags = {}
    for line in out.split(b"\n"):
        if b"=" in line:
            k, v = line.split(b"=", 1)
            tags[k.decode()] = v
    return tags


def packets(path):
    out = subprocess.run(["ffprobe", "-v", "error", "-count_packets", "-show_entries", "stream=nb_read_packets",
                          "-of", "default=noprint_wrappers=1:nokey=1", path], capture_output=True, text=True).stdout
    return out.strip()


def audio_part(path):
    with open(path, "rb") as f:
        data = f.read()
    length = int.from_bytes(data[12:16], "big")
    return data[16 + length:]


shutil.rmtree(WORK, ignore_errors=True)
os.makedirs(WORK)
r = component_run(TVQ_TESTS, "*TagsBecome*", WORK)
vqf = os.path.join(WORK, "tvq-tags.vqf")
check(r.returncode == 0 and os.path.exists(vqf), "the TwinVQ encoder component made a file")
if failures:
    print(r.stdout[-2000:])
    sys.exit(1)

before_packets = packets(vqf)
before_audio = audio_part(vqf)
tags = probe_tags(vqf)
check(tags.get("codec_name") == b"twinvq", "ffprobe sees TwinVQ audio")

fields = {"title": "春の曲", "artist": "山田", "album": "ｱﾙﾊﾞﾑ", "year": "1998", "comment": "", "copyright": "(C) 会社"}
r = tagtool("write-vqf", "Z:" + vqf, sj(fields["title"]), sj(fields["artist"]), sj(fields["album"]),
            sj(fields["year"]), sj(fields["comment"]), sj(fields["copyright"]))
check(r.returncode == 0, "tagtool rewrote the chunks")
tags = probe_tags(vqf)
check(tags.get("TAG:title") == fields["title"].encode("cp932"), "ffprobe title %r" % tags.get("TAG:title"))
check(tags.get("TAG:author") == fields["artist"].encode("cp932"), "ffprobe author")
check(tags.get("TAG:copyright") == fields["copyright"].encode("cp932"), "ffprobe copyright")
check(tags.get("TAG:ALBM") == fields["album"].encode("cp932"), "ffprobe album (raw chunk)")
check("TAG:comment" not in tags, "emptied comment removed")
check(packets(vqf) == before_packets, "ffprobe reads %s packets as before" % before_packets)
check(audio_part(vqf) == before_audio, "audio bytes unchanged")
check(sorted(os.listdir(WORK)) == ["tvq-tags.vqf"], "no temporary file left: %r" % os.listdir(WORK))

r = tagtool("read-vqf", "Z:" + vqf)
vals = answer(r)
check(r.returncode == 0 and bytes.fromhex(vals["Title"]).decode("cp932") == fields["title"]
      and vals["Year"] == "1998".encode().hex() and vals["Comment"] == "", "the module reads its chunks back")

finish("all checks passed")
