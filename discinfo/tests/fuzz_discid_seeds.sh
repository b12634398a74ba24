# Seeds of the disc ID fuzz target: a three-track disc as READ TOC answers
# in both forms, one track from 00:02:00 to 03:00:00, a disc with 99 tracks,
# and start frames as plain numbers (one whose total does not fit).
/usr/bin/python3 - <<'PY'
import struct

def toc(tracks, leadout, msf):
    body = b''
    for n, lba in tracks + [(0xAA, leadout)]:
        f = lba + 150
        pos = bytes([0, f // 4500, f // 75 % 60, f % 75]) if msf else struct.pack('>i', lba)
        body += bytes([0, 0x10, n, 0]) + pos
    return struct.pack('>H', len(body) + 2) + bytes([1, len(tracks)]) + body

def answers(name, tracks, leadout):
    open(name, 'wb').write(b'\x01' + toc(tracks, leadout, False) + toc(tracks, leadout, True))

answers('three', [(1, 0), (2, 600), (3, 12600)], 13200)
answers('one', [(1, 0)], 180 * 75 - 150)
answers('ninety-nine', [(i, (i - 1) * 4000) for i in range(1, 100)], 99 * 4000)
open('frames', 'wb').write(b'\x00' + struct.pack('>4i', 150, 45150, 90150, 300000))
open('frames-wide', 'wb').write(b'\x00' + struct.pack('>2i', 150, 0x7FFFFFF0))
PY
# Inputs that once found a fault.
cp "$(dirname "$0")"/fuzz_discid_regress/* .
