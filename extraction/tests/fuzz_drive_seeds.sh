# Seeds of the drive-answer fuzz target: a three-track disc as the answers
# alone and as a drive stream (disc present, READ TOC in both forms, two
# sessions with their full TOC, one adapter with a CD-ROM drive and a PD
# drive, the device information and the mode pages), the same disc with its
# full TOC in binary-coded decimal, and a drive whose every command fails.
/usr/bin/python3 - <<'PY'
import struct

def toc(tracks, leadout, msf):
    body = b''
    for n, ctl, lba in tracks + [(0xAA, 0, leadout)]:
        if msf:
            f = lba + 150
            pos = bytes([0, f // 4500, f // 75 % 60, f % 75])
        else:
            pos = struct.pack('>i', lba)
        body += bytes([0, 0x10 | ctl, n, 0]) + pos
    return struct.pack('>H', len(body) + 2) + bytes([1, len(tracks)]) + body

def bcd(v):
    return (v // 10) << 4 | v % 10

def full_toc(sessions, as_bcd):
    body = b''
    conv = bcd if as_bcd else (lambda v: v)
    for s, first, last, lead, starts in sessions:
        body += bytes([s, 0x10, 0, 0xA0, 0, 0, 0, 0, conv(first), 0, 0])
        body += bytes([s, 0x10, 0, 0xA1, 0, 0, 0, 0, conv(last), 0, 0])
        f = lead + 150
        body += bytes([s, 0x10, 0, 0xA2, 0, 0, 0, 0, conv(f // 4500), conv(f // 75 % 60), conv(f % 75)])
        for n, lba in starts:
            f = lba + 150
            body += bytes([s, 0x10, 0, conv(n), 0, 0, 0, 0, conv(f // 4500), conv(f // 75 % 60), conv(f % 75)])
    return struct.pack('>H', len(body) + 2) + bytes([1, sessions[-1][0]]) + body

def answer(data, ok=True, flags=0):
    return bytes([(1 if ok else 0) | flags]) + struct.pack('>H', len(data)) + data

tracks = [(1, 0, 0), (2, 1, 600), (3, 4, 12600)]
lba, msf = toc(tracks, 13200, False), toc(tracks, 13200, True)
sessions = [(1, 1, 2, 1200, [(1, 0), (2, 600)]), (2, 3, 3, 13200, [(3, 12600)])]
inquiry = bytes([5, 0x80, 2, 2, 31, 0, 0, 0]) + b'PLEXTOR CD-ROM PX-40TS  1.01' + b'\0' * 20
pd = bytes([7, 0x80, 2, 2, 31, 0, 0, 0]) + b'NEC     PD-DRIVE        1.00'
for name, as_bcd in (('disc', False), ('disc-bcd', True)):
    full = full_toc(sessions, as_bcd)
    open(name + '-answers', 'wb').write(b'\x03' + lba + msf)
    stream = answer(b'', True, 6) + answer(b'') + answer(lba) + answer(msf)
    stream += answer(bytes([0, 10, 1, 2]) + b'\0' * 8) + answer(full)
    stream += bytes([1, 1, 7, 0, 0, 0, 8]) * 2
    stream += answer(inquiry[:36]) + answer(pd[:36]) + answer(pd[:36], True, 2)
    stream += answer(b'', False) * 4
    stream += answer(inquiry) + answer(inquiry[:32]) + answer(b'RICOH'.ljust(32)) + answer(bytes(14) + b'\x04\x08')
    stream += answer(bytes([0, 0x11, 0, 0, 0, 0, 3])) + answer(bytes(10) + b'\x09\x30') + answer(b'')
    open(name + '-drive', 'wb').write(b'\x00' + stream)
open('full-toc-only', 'wb').write(b'\x01' + full_toc(sessions, False) * 2)
open('failing-drive', 'wb').write(b'\x04' + answer(b'', False) * 8)
PY
# Inputs that once found a fault.
cp "$(dirname "$0")"/fuzz_drive_regress/* .
