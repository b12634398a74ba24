#!/usr/bin/python3
"""Tags written by the tag I/O module, checked by outside readers.

MP3 files are made with ffmpeg's MP3 encoder and, under Wine, with the GOGO
encoder component (its test run with WX_ENC_OUT set); the tags are written
through tagtool (the module's command-line driver) and read back by mutagen,
by `id3v2 -l` and by the module itself; the audio after every rewrite must
decode with ffmpeg to the same samples as before.

usage: tag_checkers.py TAGTOOL WORKDIR [GOGOTEA_TESTS]
Under Wine (WX_WINE_RUN set) tagtool runs through the wrapper.
"""
import functools
import hashlib
import os
import shutil
import subprocess
import sys

import mutagen.id3

from tagscript import WINE, answer, check, component_run, finish, latin_to_cp932, make_mp3, sj, tool_path
import tagscript

TOOL, WORK = sys.argv[1], sys.argv[2]
GOGO_TESTS = sys.argv[3] if len(sys.argv) > 3 else ""
tagtool = functools.partial(tagscript.tagtool, TOOL)


def pcm_digest(path):
    out = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-f", "s16le", "-"],
                         capture_output=True, check=True).stdout
    return hashlib.sha1(out).hexdigest(), len(out)


def write(path, fields, mode=2):
    r = tagtool("write", tool_path(path), mode, sj(fields["title"]), sj(fields["artist"]),
                sj(fields["album"]), sj(fields["year"]), sj(fields["comment"]),
                sj(fields["copyright"]), sj(fields["track"]), fields["genre"])
    check(r.returncode == 0, "tagtool write %s: %s" % (path, r.stderr))


def read_back(path):
    r = tagtool("read", tool_path(path))
    check(r.returncode == 0, "tagtool read %s" % path)
    vals = answer(r)
    return {k: (bytes.fromhex(v).decode("cp932") if k not in ("v1", "v2", "Genre") else int(v))
            for k, v in vals.items()}


def id3v2_list(path):
    # id3v2 prints ID3v2 texts as Latin-1 converted to UTF-8 and ID3v1 texts
    # raw; undo the conversion line by line where it applies.
    out = subprocess.run(["id3v2", "-l", path], capture_output=True, check=True).stdout
    lines = []
    for line in out.split(b"\n"):
        try:
            lines.append(line.decode("utf-8").encode("latin-1"))
        except (UnicodeDecodeError, UnicodeEncodeError):
            lines.append(line)
    return b"\n".join(lines)


def mutagen_v1(path):
    with open(path, "rb") as f:
        f.seek(-128, 2)
        frames = mutagen.id3.ParseID3v1(f.read(128))
    check(frames is not None, "mutagen finds an ID3v1 block in %s" % path)
    return frames or {}


def mutagen_fields(path):
    tag = mutagen.id3.ID3(path, translate=False, load_v1=False)
    check(tag.version[:2] == (2, 3), "ID3v2.3 header in %s (got %r)" % (path, tag.version))
    def text(fid):
        frame = tag.get(fid)
        check(frame is not None and frame.encoding == 0, "%s present with encoding 0" % fid)
        return latin_to_cp932(frame.text[0]) if frame is not None and frame.text else ""
    comms = tag.getall("COMM")
    check(len(comms) == 1, "one COMM frame")
    comm = comms[0] if comms else None
    return {
        "title": text("TIT2"), "artist": text("TPE1"), "album": text("TALB"),
        "year": text("TYER"), "copyright": text("TCOP"), "track": text("TRCK"),
        "genre_text": text("TCON"),
        "comment": latin_to_cp932(comm.text[0]) if comm and comm.text else "",
        "comment_lang": comm.lang if comm else None,
        "comment_desc": comm.desc if comm else None,
    }


shutil.rmtree(WORK, ignore_errors=True)
os.makedirs(WORK)
src = os.path.join(WORK, "source.mp3")
make_mp3(src, 440, 3)

def run_suite(src, label):
    print("--- %s" % label)
    digest = pcm_digest(src)
    check(digest[1] > 44100 * 4, "%s decodes to PCM" % label)
    mp3 = os.path.join(WORK, "both.mp3")
    fields = {
        "title": "テスト曲「春」", "artist": "山田太郎", "album": "ｱﾙﾊﾞﾑ 表示", "year": "2001",
        "comment": "コメント欄", "copyright": "(C) 会社", "track": "4/12", "genre": 17,
    }

    # 1. Both tag kinds on a fresh file.
    shutil.copy(src, mp3)
    write(mp3, fields)
    m = mutagen_fields(mp3)
    for key in ("title", "artist", "album", "year", "copyright", "track", "comment"):
        check(m[key] == fields[key], "mutagen %s: %r == %r" % (key, m[key], fields[key]))
    check(m["genre_text"] == "(17)Rock", "mutagen TCON %r" % m["genre_text"])
    check(m["comment_lang"] == "eng" and m["comment_desc"] == "", "COMM language eng, empty description")

    listing = id3v2_list(mp3)
    for fid, key in (("TIT2", "title"), ("TPE1", "artist"), ("TALB", "album"), ("TYER", "year"),
                     ("TCOP", "copyright"), ("TRCK", "track")):
        expected = fields[key].encode("cp932")
        line = [l for l in listing.split(b"\n") if l.startswith(fid.encode())]
        check(line and line[0].endswith(b": " + expected), "id3v2 -l %s: %r" % (fid, line))
    check(b"()[eng]: " + fields["comment"].encode("cp932") in listing, "id3v2 -l COMM")
    check(b"Rock (17)" in listing, "id3v2 -l genre")
    # ID3v1 as id3v2 shows it: 30-byte fields, genre by number.
    check(b"id3v1 tag info" in listing, "id3v2 -l sees an ID3v1 tag")
    check(b"Title  : " + fields["title"].encode("cp932") in listing, "id3v2 -l ID3v1 title")
    check(b"Artist: " + fields["artist"].encode("cp932") in listing, "id3v2 -l ID3v1 artist")
    check(b"Year: 2001" in listing and b"Genre: Rock (17)" in listing, "id3v2 -l ID3v1 year and genre")
    v1 = mutagen_v1(mp3)
    check(latin_to_cp932(v1["TIT2"].text[0]) == fields["title"], "mutagen ID3v1 title")
    check(latin_to_cp932(v1["TPE1"].text[0]) == fields["artist"], "mutagen ID3v1 artist")
    check(latin_to_cp932(v1["TALB"].text[0]) == fields["album"], "mutagen ID3v1 album")
    check(latin_to_cp932(v1["COMM"].text[0]) == fields["comment"], "mutagen ID3v1 comment")
    check(str(v1["TDRC"].text[0]) == "2001" and v1["TCON"].genres == ["Rock"], "mutagen ID3v1 year, genre")
    check(pcm_digest(mp3) == digest, "audio decodes unchanged after the first tag")

    back = read_back(mp3)
    check(back["v1"] == 1 and back["v2"] == 1, "module finds both tags")
    for key, k in (("title", "Title"), ("artist", "Artist"), ("album", "Album"), ("comment", "Comment"),
                   ("copyright", "Copyright"), ("track", "Track"), ("year", "Year")):
        check(back[k] == fields[key], "module reads %s: %r" % (key, back[k]))
    check(back["Genre"] == 17, "module reads genre")

    # 2. A rewrite that fits in place keeps the file size; audio unchanged.
    size = os.path.getsize(mp3)
    fields2 = dict(fields, title="別の題名", genre=-1, comment="x")
    write(mp3, fields2)
    check(os.path.getsize(mp3) == size, "in-place rewrite keeps the size")
    m = mutagen_fields(mp3)
    check(m["title"] == "別の題名", "mutagen reads the rewritten title")
    check(m["genre_text"] == "(-1)-None-", "TCON of no genre")
    check(b"Genre: Unknown (255)" in id3v2_list(mp3), "ID3v1 genre byte 255")
    check(pcm_digest(mp3) == digest, "audio unchanged after the in-place rewrite")

    # 3. A tag that outgrows its padding moves the audio through a temporary file.
    fields3 = dict(fields, comment="長い" * 700)   # 2800 bytes, beyond 1024 of padding
    write(mp3, fields3, mode=1)
    check(os.path.getsize(mp3) > size, "grown tag")
    m = mutagen_fields(mp3)
    check(m["comment"] == fields3["comment"], "mutagen reads the long comment")
    check(pcm_digest(mp3) == digest, "audio unchanged after the tag grew")
    check(not [n for n in os.listdir(WORK) if n.startswith("both.") and n != "both.mp3"],
          "no temporary file left behind")

    # 4. Emphasis flag: set and cleared on the first frame header; still decodes.
    r = tagtool("emphasis", tool_path(mp3), "on")
    check(r.returncode == 0, "emphasis on")
    tag = mutagen.id3.ID3(mp3)
    with open(mp3, "rb") as f:
        data = f.read()
    start = tag.size
    check(data[start] == 0xFF and data[start + 3] & 3 == 1, "emphasis bits 01")
    # Only the first frame header carries the mark; ffmpeg skips that one
    # frame as inconsistent with the rest and decodes all others.
    check(pcm_digest(mp3)[1] >= digest[1] - 1152 * 4, "audio with emphasis still decodes")
    r = tagtool("emphasis", tool_path(mp3), "off")
    with open(mp3, "rb") as f:
        data = f.read()
    check(data[start + 3] & 3 == 0, "emphasis bits 00")
    check(pcm_digest(mp3) == digest, "audio unchanged after clearing emphasis")


run_suite(src, "ffmpeg's MP3 encoder")
if GOGO_TESTS and WINE:
    r = component_run(GOGO_TESTS, "*PcmFromMemory*", WORK)
    gogo = os.path.join(WORK, "gogo-memory.mp3")
    check(r.returncode == 0 and os.path.exists(gogo), "the GOGO encoder component made an MP3 file")
    if os.path.exists(gogo):
        run_suite(gogo, "GOGO encoder component")

# 5. A tag written by ffmpeg (ID3v2.4) is read as far as its layout goes.
tagged = os.path.join(WORK, "ffmpeg.mp3")
subprocess.run(["ffmpeg", "-v", "error", "-y", "-i", src, "-c", "copy", "-id3v2_version", "3",
                "-metadata", "title=Plain", "-metadata", "artist=Someone", tagged], check=True)
back = read_back(tagged)
check(back["v2"] == 1 and back["Title"] == "Plain" and back["Artist"] == "Someone",  # terminators dropped
      "module reads ffmpeg's ID3v2.3 tag: %r" % back)

finish("all checks passed")
