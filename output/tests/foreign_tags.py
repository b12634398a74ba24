#!/usr/bin/python3
"""Tags that other programs wrote, retitled through the tag I/O module.

MP3 files are tagged here with mutagen (version 2.2 by hand, as mutagen reads
but does not write it; unsynchronisation, the extended header and the footer
are put on mutagen's tags afterwards).  Each is retitled through tagtool (read
both kinds, change title, artist and comment, write back forcing the kinds
found) in the modes 1 and 2.  Then:
  - ffmpeg's md5 of the audio stream is unchanged;
  - every frame we did not write reads back in mutagen exactly as before (a
    tag the module cannot read stays whole behind the new one, and is read
    there);
  - mutagen reads the new title, artist and comment;
  - where the tag cannot grow (over 64 KiB, no padding) the call fails and the
    file is byte-identical.

usage: foreign_tags.py TAGTOOL WORKDIR [SEED_DIR]
SEED_DIR, when given, receives every file made, with a short audio part (the
tag fuzz target's seeds); TAGTOOL "-" only makes the files.
Under Wine (WX_WINE_RUN set) tagtool runs through the wrapper.
"""
import functools
import io
import os
import shutil
import struct
import subprocess
import sys

import mutagen.id3 as id3
from mutagen.id3._util import unsynch

from tagscript import answer, check, finish, latin_to_cp932, make_mp3, sj, tool_path
import tagscript

TOOL, WORK = sys.argv[1], sys.argv[2]
SEEDS = sys.argv[3] if len(sys.argv) > 3 else ""
tagtool = functools.partial(tagscript.tagtool, TOOL)


def audio_md5(path):
    r = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-map", "0:a", "-c:a", "copy", "-f", "md5", "-"],
                       capture_output=True, text=True)
    check(r.returncode == 0, "ffmpeg reads %s: %s" % (path, r.stderr.strip()))
    return r.stdout.strip()


def synchsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def tag_size(data):
    return ((data[6] << 21) | (data[7] << 14) | (data[8] << 7) | data[9]) + 10


def split_tag(data):
    n = tag_size(data)
    return data[:n], data[n:]


# --- the files -------------------------------------------------------------

shutil.rmtree(WORK, ignore_errors=True)
os.makedirs(WORK)
SRC = os.path.join(WORK, "source.mp3")
make_mp3(SRC, 330, 2)
with open(SRC, "rb") as f:
    AUDIO = f.read()

# Picture bytes with sync patterns in them, so that unsynchronisation
# changes the tag.
PICTURE = bytes((i * 7 + (i >> 8)) & 0xFF for i in range(3000)) + b"\xff\xe0\xff\x00" * 8
BIG_PICTURE = bytes((i * 31) & 0xFF for i in range(100_000))
JA = "日本語の題名"


def others(enc, big=False):
    """Frames besides text: picture, user text, lyrics, private data, object."""
    return [
        id3.APIC(encoding=enc, mime="image/jpeg", type=3, desc="表紙" if enc else "cover",
                 data=BIG_PICTURE if big else PICTURE),
        id3.TXXX(encoding=enc, desc="CATALOG", text=["WX-0001"]),
        id3.USLT(encoding=enc, lang="jpn", desc="", text="歌詞の一行目\n二行目" if enc else "la la la"),
        id3.PRIV(owner="www.example.com", data=b"\x00\x01\x02private\xff"),
        id3.GEOB(encoding=enc, mime="application/octet-stream", filename="a.bin", desc="blob",
                 data=bytes(range(256)) * 2),
    ]


def comments(enc, short=False):
    if short:
        return [id3.COMM(encoding=0, lang="eng", desc="iTunNORM", text=[" 0000"]),
                id3.COMM(encoding=enc, lang="eng", desc="", text=["c"])]
    return [
        id3.COMM(encoding=0, lang="eng", desc="iTunNORM", text=[" 00000A2B 00000B3C 00001234"]),
        id3.COMM(encoding=enc, lang="deu", desc="Bemerkung", text=["Ein deutscher Kommentar"]),
        id3.COMM(encoding=enc, lang="eng", desc="", text=["コメント" if enc else "the comment"]),
        id3.COMM(encoding=enc, lang="fra", desc="", text=["un commentaire"]),
    ]


def mutagen_file(name, version, frames, padding, v1block=b""):
    path = os.path.join(WORK, name + ".orig.mp3")
    with open(path, "wb") as f:
        f.write(AUDIO)
    tags = id3.ID3()
    for fr in frames:
        tags.add(fr)
    tags.save(path, v2_version=version, v1=0, padding=lambda info: padding)
    if v1block:
        with open(path, "ab") as f:
            f.write(v1block)
    return path


def rewrite_tag(path, transform):
    with open(path, "rb") as f:
        data = f.read()
    tag, rest = split_tag(data)
    with open(path, "wb") as f:
        f.write(transform(tag) + rest)


def unsynchronised(tag):
    body = unsynch.encode(tag[10:])
    return tag[:5] + bytes([tag[5] | 0x80]) + synchsafe(len(body)) + body


def extended_header(tag):
    # Version 2.3: size 6, no flags, padding size 0.
    body = struct.pack(">IHI", 6, 0, 0) + tag[10:]
    return tag[:5] + bytes([tag[5] | 0x40]) + synchsafe(len(body)) + body


def with_footer(tag):
    body = tag[10:]  # made without padding: a tag with a footer has none
    header = tag[:5] + bytes([tag[5] | 0x10]) + synchsafe(len(body))
    return header + body + b"3DI" + header[3:]


def v22_file(name):
    """Version 2.2 written by hand: three-letter ids, 24-bit sizes."""
    def frame(fid, data):
        return fid + struct.pack(">I", len(data))[1:] + data
    body = (frame(b"TT2", b"\x00Old v2.2 title") + frame(b"TP1", b"\x01\xff\xfe" + "歌手".encode("utf-16-le")) +
            frame(b"TAL", b"\x00Album 2.2") + frame(b"TYE", b"\x001998") + frame(b"TCO", b"\x00(8)") +
            frame(b"COM", b"\x00eng\x00v2.2 comment") + frame(b"PIC", b"\x00JPG\x03\x00" + PICTURE))
    body += b"\x00" * 512
    path = os.path.join(WORK, name + ".orig.mp3")
    with open(path, "wb") as f:
        f.write(b"ID3\x02\x00\x00" + synchsafe(len(body)) + body + AUDIO)
    return path


def v11_block(title, artist, album, year, comment, track, genre):
    def field(s, n):
        return s.encode("latin-1")[:n].ljust(n, b"\x00")
    return (b"TAG" + field(title, 30) + field(artist, 30) + field(album, 30) + field(year, 4) +
            field(comment, 28) + b"\x00" + bytes([track, genre]))


def text_frames(enc, title, artist, album):
    return [id3.TIT2(encoding=enc, text=[title]), id3.TPE1(encoding=enc, text=[artist]),
            id3.TALB(encoding=enc, text=[album]), id3.TDRC(encoding=enc, text=["2001"]),
            id3.TRCK(encoding=enc, text=["4/12"]), id3.TCON(encoding=enc, text=["Rock"]),
            id3.TCOP(encoding=enc, text=["(C) Label"])]


CASES = []  # (name, path, expect "ok" | "refused" | "kept-behind")


def case(name, path, expect="ok"):
    CASES.append((name, path, expect))


case("v23_latin1", mutagen_file("v23_latin1", 3, text_frames(0, "Old title", "Old artist", "Album") +
                                comments(0) + others(0), 0))
case("v23_utf16", mutagen_file("v23_utf16", 3, text_frames(1, JA, "歌手の名前", "アルバム") +
                               comments(1) + others(1), 4096))
case("v24_utf16be", mutagen_file("v24_utf16be", 4, text_frames(2, JA, "歌手", "ｱﾙﾊﾞﾑ") +
                                 [id3.TDRC(encoding=2, text=["2001-02-03"]), id3.TCON(encoding=2, text=["17"])] +
                                 comments(2) + others(2), 4096))
case("v24_utf8", mutagen_file("v24_utf8", 4, text_frames(3, JA, "歌手", "Ünïcode") + comments(3) + others(3), 0))
case("v24_latin1", mutagen_file("v24_latin1", 4, text_frames(0, "Title", "Artist", "Album") + comments(0) +
                                others(0), 1024))
case("v23_v11", mutagen_file("v23_v11", 3, text_frames(0, "Title", "Artist", "Album") + comments(0), 4096,
                             v11_block("Title", "Artist", "Album", "2001", "v1 comment", 4, 17)))
# The new texts are longer than the old ones: these tags must grow.
case("v23_big_nopad", mutagen_file("v23_big_nopad", 3, text_frames(1, "T", "A", "A") + comments(1, True) +
                                   others(1, big=True), 0), "refused")
case("v24_big_nopad", mutagen_file("v24_big_nopad", 4, text_frames(3, "T", "A", "A") + comments(3, True) +
                                   others(3, big=True), 0), "refused")
case("v23_big_pad", mutagen_file("v23_big_pad", 3, text_frames(1, JA, "歌手", "A") + comments(1) +
                                 others(1, big=True), 4096))
case("v22", v22_file("v22"), "kept-behind")
p = mutagen_file("v23_unsync", 3, text_frames(1, JA, "歌手", "A") + comments(1) + others(1), 256)
rewrite_tag(p, unsynchronised)
case("v23_unsync", p, "kept-behind")
p = mutagen_file("v23_exthdr", 3, text_frames(0, "Title", "Artist", "A") + comments(0) + others(0), 256)
rewrite_tag(p, extended_header)
case("v23_exthdr", p, "kept-behind")
p = mutagen_file("v24_footer", 4, text_frames(3, JA, "歌手", "A") + comments(3) + others(3), 0)
rewrite_tag(p, with_footer)
case("v24_footer", p, "kept-behind")

# --- checks ----------------------------------------------------------------

def load(path_or_bytes):
    if isinstance(path_or_bytes, bytes):
        tmp = os.path.join(WORK, "behind.tmp.mp3")
        with open(tmp, "wb") as f:
            f.write(path_or_bytes)
        path_or_bytes = tmp
    return id3.ID3(path_or_bytes, translate=False, load_v1=False)


def frames_of(tags):
    return {key: repr(fr) for key, fr in tags.items()}


def comment_key(tags):
    """The comment the module reads and writes: the first COMM without a
    description (keys keep file order)."""
    for key, fr in tags.items():
        if key.startswith("COMM:") and fr.desc == "":
            return key
    return None


NEW = {"title": "新しい題名", "artist": "新しい歌手", "comment": "新しいコメント"}


def text_of(fr):
    s = fr.text[0] if fr.text else ""
    return latin_to_cp932(s) if fr.encoding == 0 else s


for name, orig, expect in CASES:
    print("---", name)
    before = load(orig)
    check(len(before) > 0, "%s: mutagen reads the made tag" % name)
    with open(orig, "rb") as f:
        head = f.read(10)
    if expect == "kept-behind":
        check(head[3] == 2 or head[5] != 0, "%s: the made tag has the version or flag wanted" % name)
    before_frames = frames_of(before)
    md5 = audio_md5(orig)
    if SEEDS:
        os.makedirs(SEEDS, exist_ok=True)
        with open(orig, "rb") as f:
            data = f.read()
        # First byte of a seed: what the fuzz target writes (both kinds
        # through the combined writer; ID3v2, ID3v1 and emphasis alone).
        data = data.replace(AUDIO, AUDIO[:1500])
        for first in (b"\x20", b"\x07"):
            with open(os.path.join(SEEDS, name + "-" + first.hex()), "wb") as f:
                f.write(first + data)
    if TOOL == "-":
        continue
    for mode in (1, 2):
        path = os.path.join(WORK, "%s.mode%d.mp3" % (name, mode))
        shutil.copy(orig, path)
        with open(path, "rb") as f:
            original = f.read()
        r = tagtool("retitle", tool_path(path), mode, sj(NEW["title"]), sj(NEW["artist"]), sj(NEW["comment"]))
        with open(path, "rb") as f:
            after = f.read()
        label = "%s mode %d" % (name, mode)
        leftovers = [n for n in os.listdir(WORK) if n.startswith("%s.mode%d." % (name, mode)) and not n.endswith(".mp3")]
        check(not leftovers, "%s: no temporary file left (%r)" % (label, leftovers))
        if expect == "refused":
            check(r.returncode == 1, "%s: the write reports failure (rc %d)" % (label, r.returncode))
            check(after == original, "%s: file byte-identical after the failed write" % label)
            continue
        if not check(r.returncode == 0, "%s: retitle succeeds (rc %d)" % (label, r.returncode)):
            continue
        check(audio_md5(path) == md5, "%s: audio stream md5 unchanged" % label)
        now = load(path)
        ours = comment_key(now)
        check(text_of(now["TIT2"]) == NEW["title"], "%s: mutagen reads the new title" % label)
        check(text_of(now["TPE1"]) == NEW["artist"], "%s: mutagen reads the new artist" % label)
        check(ours is not None and text_of(now[ours]) == NEW["comment"], "%s: mutagen reads the new comment" % label)
        if expect == "kept-behind":
            # The old tag stays whole behind the new one, and reads as before.
            ours_len = tag_size(after)
            check(after[ours_len:ours_len + len(original) - len(AUDIO)] == original[:len(original) - len(AUDIO)],
                  "%s: the old tag whole behind the new one" % label)
            check(frames_of(load(after[ours_len:])) == before_frames, "%s: the old tag reads as before" % label)
            continue
        check(now.version[:2] == before.version[:2], "%s: written back as ID3v2.%d" % (label, before.version[1]))
        mine = {"TIT2", "TPE1", comment_key(before)}
        for key, value in before_frames.items():
            if key in mine:
                continue
            check(key in now and repr(now[key]) == value, "%s: frame %s kept (%s)" % (
                label, key, repr(now[key])[:120] if key in now else "missing"))
        comms = [k for k in now.keys() if k.startswith("COMM:")]
        check(len(comms) == len([k for k in before.keys() if k.startswith("COMM:")]),
              "%s: no comment frame added or lost (%r)" % (label, comms))
        if name == "v23_v11" and mode == 2:
            with open(path, "rb") as f:
                f.seek(-128, 2)
                v1 = id3.ParseID3v1(f.read(128))
            check(v1 is not None and latin_to_cp932(v1["COMM"].text[0]) == NEW["comment"][:15],
                  "%s: ID3v1 comment rewritten" % label)

if TOOL == "-":
    sys.exit(0)
# An ID3v1.1 comment is read without the track byte and its zero bytes.
r = tagtool("read", tool_path([c[1] for c in CASES if c[0] == "v23_v11"][0]))
vals = answer(r)
check(bytes.fromhex(vals["Comment"]) == b"the comment", "ID3v1.1 junk does not win the comment: %r" % vals)

finish("all checks passed (%d files, two modes each)" % len(CASES))
