#!/usr/bin/env python3
"""Draws the two animations of the progress window as uncompressed 8-bit
AVI files: RIPPING (a spinning disc sending blocks to a file) and COMPRESS
(blocks squeezed into a smaller file).

    make_avi.py OUT_DIR
"""
import math
import struct
import sys

W, H, FRAMES, FPS = 96, 32, 8, 8
PALETTE = [(0, 0, 0)] * 256
COLORS = {
    'bg': (192, 192, 192), 'disc': (200, 200, 230), 'hole': (192, 192, 192), 'edge': (40, 40, 90),
    'spoke': (60, 60, 160), 'block': (0, 128, 0), 'file': (255, 255, 255), 'fold': (90, 90, 90),
    'small': (160, 0, 0),
}
INDEX = {}
for i, (name, rgb) in enumerate(COLORS.items()):
    PALETTE[i] = rgb
    INDEX[name] = i


def canvas():
    return [[INDEX['bg']] * W for _ in range(H)]


def rect(px, x0, y0, x1, y1, color):
    for y in range(max(0, y0), min(H, y1)):
        for x in range(max(0, x0), min(W, x1)):
            px[y][x] = INDEX[color]


def disc(px, cx, cy, r, angle):
    for y in range(H):
        for x in range(W):
            d = math.hypot(x - cx, y - cy)
            if d <= r:
                px[y][x] = INDEX['edge'] if d > r - 1.2 else INDEX['disc']
                if d < 3:
                    px[y][x] = INDEX['hole']
    for k in range(3):
        a = angle + k * 2 * math.pi / 3
        for t in range(4, r - 1):
            x, y = int(round(cx + t * math.cos(a))), int(round(cy + t * math.sin(a)))
            px[y][x] = INDEX['spoke']


def file_icon(px, x0, y0, w, h, fill):
    rect(px, x0, y0, x0 + w, y0 + h, 'fold')
    rect(px, x0 + 1, y0 + 1, x0 + w - 1, y0 + h - 1, 'file')
    rect(px, x0 + 3, y0 + h - 2 - fill, x0 + w - 3, y0 + h - 2, 'block')


def ripping(f):
    px = canvas()
    disc(px, 15, 16, 13, f * math.pi / 6)
    for k in range(3):
        x = 32 + ((f * 5 + k * 14) % 42)
        rect(px, x, 13, x + 6, 19, 'block')
    file_icon(px, 78, 4, 16, 24, 2 + f * 2)
    return px


def compress(f):
    px = canvas()
    file_icon(px, 2, 4, 16, 24, 18)
    for k in range(3):
        x = 22 + ((f * 5 + k * 14) % 42)
        size = 6 - (x - 22) * 4 // 42
        rect(px, x, 16 - size // 2, x + size, 16 + size - size // 2, 'block')
    file_icon(px, 80, 10, 12, 16, 1 + f)
    return px


def chunk(fourcc, data):
    pad = b'\0' if len(data) % 2 else b''
    return fourcc + struct.pack('<I', len(data)) + data + pad


def avi(frames):
    stride = (W + 3) & ~3
    frame_bytes = stride * H
    avih = struct.pack('<14I', 1000000 // FPS, frame_bytes * FPS, 0, 0x10, len(frames), 0, 1, frame_bytes,
                       W, H, 0, 0, 0, 0)
    strh = b'vids' + b'DIB ' + struct.pack('<IHHIIIIIIiI', 0, 0, 0, 0, 1, FPS, 0, len(frames), frame_bytes,
                                           -1, 0) + struct.pack('<4h', 0, 0, W, H)
    bih = struct.pack('<IiiHHIIiiII', 40, W, H, 1, 8, 0, frame_bytes, 2835, 2835, 256, 0)
    pal = b''.join(struct.pack('<4B', b, g, r, 0) for (r, g, b) in PALETTE)
    strl = b'LIST' + struct.pack('<I', 4 + len(chunk(b'strh', strh)) + len(chunk(b'strf', bih + pal))) + b'strl' + \
        chunk(b'strh', strh) + chunk(b'strf', bih + pal)
    hdrl_body = b'hdrl' + chunk(b'avih', avih) + strl
    hdrl = b'LIST' + struct.pack('<I', len(hdrl_body)) + hdrl_body
    movi_body = b'movi'
    index = b''
    for px in frames:
        rows = b''.join(bytes(row) + b'\0' * (stride - W) for row in reversed(px))
        index += b'00db' + struct.pack('<III', 0x10, len(movi_body), len(rows))
        movi_body += chunk(b'00db', rows)
    movi = b'LIST' + struct.pack('<I', len(movi_body)) + movi_body
    body = b'AVI ' + hdrl + movi + chunk(b'idx1', index)
    return b'RIFF' + struct.pack('<I', len(body)) + body


def main():
    out = sys.argv[1]
    with open(out + '/ripping.avi', 'wb') as fh:
        fh.write(avi([ripping(f) for f in range(FRAMES)]))
    with open(out + '/compress.avi', 'wb') as fh:
        fh.write(avi([compress(f) for f in range(FRAMES)]))


if __name__ == '__main__':
    main()
