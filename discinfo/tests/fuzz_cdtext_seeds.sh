# Seeds of the CD-TEXT fuzz target: READ TOC format 5 answers with valid
# CRCs (one language, two languages with double-byte text), and one with
# broken CRCs.
python3 - <<'PY'
def crc16(data):
    c = 0
    for b in data:
        c ^= b << 8
        for _ in range(8):
            c = ((c << 1) ^ 0x1021) if c & 0x8000 else c << 1
            c &= 0xFFFF
    return c

def pack(t, track, flags, text):
    p = bytearray(18)
    p[0], p[1], p[3] = t, track, flags
    p[4:4 + len(text[:12])] = text[:12]
    return p

def sizeinfo(block, code, first, last, lang):
    b = block << 4
    p0 = pack(0x8F, 0, b, bytes([code, first, last]))
    p2 = pack(0x8F, 2, b, b"")
    p2[8 + block] = lang
    return [p0, pack(0x8F, 1, b, b""), p2]

def answer(packs, broken=False):
    out = bytearray()
    for i, p in enumerate(packs):
        p[2] = i & 0xFF
        c = (~crc16(p[:16]) & 0xFFFF) ^ (0x0101 if broken else 0)
        p[16], p[17] = c >> 8, c & 0xFF
        out += p
    n = len(out) + 2
    return bytes([n >> 8, n & 0xFF, 0, 0]) + bytes(out)

one = [pack(0x80, 0, 0, b"Album\0First\0"), pack(0x80, 2, 0, b"Second\0"),
       pack(0x81, 0, 0, b"Band\0Solo\0"), pack(0x85, 1, 15, b"msg\0")] + sizeinfo(0, 1, 1, 2, 9)
two = one[:4] + [pack(0x80, 0, 0x90, "曲名".encode("cp932") + b"\0\0" + "あ".encode("cp932"))] + \
      sizeinfo(0, 0, 1, 2, 9) + sizeinfo(1, 0x80, 1, 2, 0x69)
many = [pack(0x80, 255, 15, b"X" * 12) for _ in range(50)] + sizeinfo(0, 0, 1, 255, 9)
open("one", "wb").write(answer(one))
open("two", "wb").write(answer(two))
open("broken", "wb").write(answer(one, True))
open("many", "wb").write(answer(many))
PY
