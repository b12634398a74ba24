#!/usr/bin/env bash
# The CD-TEXT viewer and the SSTP notices through the real program under
# Wine and Xvfb (driven by cdtext_e2e_driver): the demo disc's CD-TEXT, its
# export, the copy into the track list, three rips whose notices go to a
# stand-in SSTP target (checked here byte for byte), the first run's MP3
# tags read by mutagen, and a hostile disc (tracks up to 255 claimed,
# broken CRCs).  Screenshots: artifacts/cdtext_viewer.png, cdtext_hostile.png.
#
#   cdtext_e2e.sh PROGRAM.exe DRIVER.exe
set -u
exe=$1
driver=$2
. "$(dirname "$0")/e2e_common.sh"

e2e_setup cdtext_e2e "$exe"
# Without the pre-emphasised track, whose warning comes with every reading
# of the track list.
sed -i '/FLAGS PRE/d' "$work/app/demo/demo.cue"
# The hostile disc: the demo disc's tracks with CD-TEXT packs of its own.
python3 - "$work/app/demo" <<'PY'
import sys
def crc16(data):
    c = 0
    for b in data:
        c ^= b << 8
        for _ in range(8):
            c = ((c << 1) ^ 0x1021) & 0xFFFF if c & 0x8000 else (c << 1) & 0xFFFF
    return c
def pack(kind, track, text, flags=0):
    p = bytearray(18)
    p[0], p[1], p[3] = kind, track, flags
    p[4:4 + len(text)] = text
    return p
packs = [pack(0x80, 0, b"Hostile\0")]
packs += [pack(0x80, t, b"T%d\0" % t) for t in range(2, 256)]
packs += [pack(0x8F, 0, bytes([0, 2, 255])), pack(0x8F, 1, b""), pack(0x8F, 2, b"\0\0\0\0\x09")]
out = bytearray()
for i, p in enumerate(packs):
    p[2] = i & 0xFF
    crc = ~crc16(p[:16]) & 0xFFFF ^ 0x0101  # every CRC broken
    p[16], p[17] = crc >> 8, crc & 0xFF
    out += p
open(sys.argv[1] + "/hostile.cdt", "wb").write(out)
PY
{ echo 'CDTEXTFILE "hostile.cdt"'; cat "$work/app/demo/demo.cue"; } > "$work/app/demo/hostile.cue"
e2e_drive 0 > "$work/app/wnaspi32.ini"
export WX_E2E_DIR=$(winpath "$work")
e2e_watch cdtext

# The SSTP target: the first run's three notices, the second run's first
# (refused) and the third run's first (never answered).
mkdir -p "$work/sstp"
python3 "$(dirname "$0")/sstp_target.py" "$work/sstp" split 200 200 400 silent &
target=$!
e2e_on_exit "kill $target 2>/dev/null"
for _ in $(seq 100); do [ -s "$work/sstp/port" ] && break; sleep 0.05; done
export WX_SSTP_PORT=$(cat "$work/sstp/port")

"$run" "$driver" --gtest_color=no
status=$?

# The notices, byte for byte: the elapsed seconds and speeds are the
# program's to measure; they are taken from the text, checked against the
# tracks' lengths, and the whole request is then compared.
/usr/bin/python3 - "$work" <<'PY' || status=1
import os, re, sys
work = sys.argv[1]
cue = open(work + "/app/demo/demo.cue", encoding="latin-1").read()
starts = [int(m) * 4500 + int(s) * 75 + int(f) for m, s, f in re.findall(r'INDEX 01 (\d+):(\d+):(\d+)', cue)]
total = os.path.getsize(work + "/app/demo/demo.bin") // 2352
ends = starts[1:] + [total]
audio = [(e - s) // 75 for s, e in zip(starts, ends)]
titles = re.findall(r'^\s+TITLE "(.*)"', cue, re.M)
performers = re.findall(r'^\s+PERFORMER "(.*)"', cue, re.M)
name = lambda t: "%02d %s - %s.mp3" % (t, performers[t - 1], titles[t - 1])

E, S, T = "\x00E", "\x00S", "\x00T"  # the places of the measured numbers
def done(t):
    return "\\s0トラック %d を %s に書き終わったよぉ～\\n%s 秒ぐらいかな？　%s倍ぐらい速かったね。\\n" % (t, name(t), E, S)
def following(t, remain):
    return "\\n次はトラック%d を変換するよ♪\\n" % t + ("\\uあと、残り %d トラックやで～\\n" % remain if remain > 1 else "\\uこれで最後や！")
end = "\\nこれで終わりっ♪\\n\\n全部で%sかかったよ。\\n%s倍ぐらい速かったね。\\n\\uお疲れさん。\\n" % (T, S)
# (script, track of the notice, whether it ends the first run)
expected = [(done(1) + following(2, 2), 1, False), (done(2) + following(3, 1), 2, False),
            (done(3) + end, 3, True), (done(1) + following(2, 1), 1, False), (done(1) + following(2, 1), 1, False)]

def request(script):
    return ("SEND SSTP/1.0\r\nSender: Wendrix(R3.22)\r\nScript: \\h" + script + "\\n\r\n\\e\r\n\r\n").encode("cp932")

ok = True
def fail(msg):
    global ok
    print("FAIL:", msg)
    ok = False

def near(speed, seconds_audio, seconds):
    return abs(float(speed) - seconds_audio / max(seconds, 1)) <= 0.0501

files = sorted(f for f in os.listdir(work + "/sstp") if f.endswith(".bin"))
if len(files) != len(expected):
    fail("%d notices reached the target, not %d: %s" % (len(files), len(expected), files))
run1 = []
for i, (script, track, last) in enumerate(expected, 1):
    path = "%s/sstp/request_%d.bin" % (work, i)
    if not os.path.exists(path):
        continue
    got = open(path, "rb").read()
    pattern = re.escape(request(script))
    for mark, form in ((E, r"(\d+)"), (S, r"(\d+\.\d)"), (T, r"(\d+秒|\d+分\d+秒)")):
        pattern = pattern.replace(re.escape(mark.encode()), form.encode("cp932"))
    m = re.fullmatch(pattern, got, re.S)
    if not m:
        fail("notice %d differs:\n%s\nis not of the form\n%s" % (i, got.decode("cp932", "replace"), request(script).decode("cp932")))
        continue
    numbers = [g.decode("cp932") for g in m.groups()]
    elapsed, speed = int(numbers[0]), numbers[1]
    if not near(speed, audio[track - 1], elapsed):
        fail("notice %d: speed %s for %d s of audio in %d s" % (i, speed, audio[track - 1], elapsed))
    filled = script.replace(E, str(elapsed), 1).replace(S, speed, 1)
    if i <= 3:
        run1.append(elapsed)
    if last:  # the run's sums over its three tracks
        spent, overall = numbers[2], numbers[3]
        secs = sum(run1)
        want = "%d秒" % secs if secs < 60 else "%d分%d秒" % (secs // 60, secs % 60)
        if spent != want:
            fail("run total %s, not %s" % (spent, want))
        if not near(overall, sum(audio[:3]), secs):
            fail("run speed %s for %d s of audio in %d s" % (overall, sum(audio[:3]), secs))
        filled = filled.replace(T, spent, 1).replace(S, overall, 1)
    if request(filled) != got:
        fail("notice %d is not byte for byte the expected text" % i)
    else:
        print("notice %d as expected (%d s, %s times)" % (i, elapsed, speed))
wait = work + "/sstp/request_5.wait"
if not os.path.exists(wait):
    fail("the unanswered notice was never given up")
else:
    w = float(open(wait).read())
    if not 2.9 <= w <= 5.0:
        fail("the unanswered notice was held %.2f s, not 3" % w)
    else:
        print("unanswered notice given up after %.2f s" % w)

# The first run's files carry the disc's texts as tags.
from mutagen.id3 import ID3
for t in (1, 2, 3):
    try:
        tags = ID3(work + "/kept/" + name(t))
    except Exception as e:
        fail("%s: %s" % (name(t), e))
        continue
    for frame, want in (("TIT2", titles[t - 1]), ("TPE1", performers[t - 1]), ("TALB", "Demo Disc")):
        if str(tags.get(frame)) != want:
            fail("%s: %s is %r, not %r" % (name(t), frame, str(tags.get(frame)), want))
print("SSTP notices and tags checked" if ok else "SSTP notices or tags wrong")
sys.exit(0 if ok else 1)
PY
for s in viewer hostile; do
  [ -s "$art/cdtext_$s.png" ] && echo "screenshot: $art/cdtext_$s.png" || { echo "FAIL: no screenshot $s"; status=1; }
done
exit $status
