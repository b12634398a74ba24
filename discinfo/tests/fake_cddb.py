#!/usr/bin/env python3
"""A fake CDDB server for the client tests, on 127.0.0.1 only.

    fake_cddb.py -- COMMAND ARGS...

starts every server on a free port, runs COMMAND with WX_CDDB_PORTS set to
"name=port,..." and ends with the command's exit status.  Servers:

  CDDBP, one port per behaviour: exact, exact201, inexact, multi, nomatch,
    utf8, sjisbad, refuse, refuse433 (a refusal that mentions 200), badhello,
    silent, closemid, longline, nolf, badstatus, badread, bigrecord, emptymulti
    (a 211 with no matches), drip (the record one byte every half second),
    manytracks (a record of 101 tracks: TTITLEn is "Track n+1"), notracks
    (a record of the disc fields without any track)
  http   HTTP/1.0 cmd= interface; the first path segment picks the behaviour
         (/exact/cddb.cgi, /http11/..., /http404/..., /inexact/...); a POST
         to /~cddb/submit.cgi is a submission, logged with its body
  httprefuse  as http, but refuses submissions (HTTP 500)
  httpverdict  as http, but refuses submissions in the body of an HTTP 200
         ("501 Missing required header information.")
  pop3, pop3err  a POP3 greeting "+OK" (or "-ERR"), then QUIT
  smtp, smtprefuse  an SMTP server taking one mail (smtprefuse: 550 to RCPT)
  sstp200, sstp400, sstpsilent, sstpsplit  SSTP targets: the status line 200,
         400, none at all, or 200 in several segments
  proxy  an HTTP proxy that wants "Proxy-Authorization: Basic" for
         user "alice" and password "s3cret" (or the long pair below), then
         answers as the http server
  control  "log NAME" gives every line the server NAME received since the
         last "clear NAME" (after its sessions have ended), then "."
  backlog  a port whose queue of connections is full: a connect waits
  sink   accepts and never reads: a large send waits for room
"""
import base64
import os
import socket
import socketserver
import subprocess
import sys
import threading
import time
import urllib.parse

KEEP = []
LONG_USER = "u" * 70
LONG_PASSWORD = "p" * 70
CREDENTIALS = {("alice", "s3cret"), (LONG_USER, LONG_PASSWORD)}

STATE_LOCK = threading.Condition()
LOGS = {}
ACTIVE = {}


def log(name, line):
    with STATE_LOCK:
        LOGS.setdefault(name, []).append(line.replace("\r", "<CR>"))


def session(name, delta):
    with STATE_LOCK:
        ACTIVE[name] = ACTIVE.get(name, 0) + delta
        STATE_LOCK.notify_all()


def record(discid, category, utf8=False, extra=b"", tracks=True):
    """An xmcd record as bytes with CR LF line ends, ending in ".";
    without tracks it holds the disc fields only."""
    if utf8:
        artist = "日本の歌手".encode("utf-8")
        album = "アルバム Café".encode("utf-8")
        track0 = ("とても長い曲名" * 30).encode("utf-8")  # beyond 255 bytes once in Shift-JIS
    else:
        artist = b"Fake Artist"
        album = b"Fake Album"
        track0 = b"First Song"
    lines = [
        b"210 " + category.encode() + b" " + discid.encode() + b" CD database entry follows (until terminating `.')",
        b"# xmcd CD database file",
        b"#",
        b"# Track frame offsets:",
        b"#\t150",
        b"#\t18000",
        b"#",
        b"# Disc length: 300 seconds",
        b"#",
        b"# Revision: 4",
        b"# Submitted via: fakecddb 1.0",
        b"#",
        b"DISCID=" + discid.encode(),
        b"DTITLE=" + artist + b" / " + album,
        b"DYEAR=2001",
        b"DGENRE=Rock",
        b"TTITLE0=" + track0,
        b"TTITLE1=Second Song",
        b"EXTD=",
        b"EXTT0=",
        b"EXTT1=",
        b"PLAYORDER=",
    ]
    if not tracks:
        lines = [l for l in lines if not l.startswith((b"TTITLE", b"EXTT"))]
    body = b"".join(l + b"\r\n" for l in lines) + extra
    return body + b".\r\n"


# Text that is not valid Shift-JIS: a Latin-1 title, stray trail bytes and
# a lead byte cut at the end of a line, and a Shift-JIS title far beyond
# 255 bytes whose 255th byte is a lead byte.
SJIS_BAD_EXTRA = (b"TTITLE2=Caf\xe9 \x80\xa0\xfd\xfe\xff\x82\r\n"
                  b"TTITLE3=x" + "あ".encode("cp932") * 200 + b"\r\n")


class Base(socketserver.StreamRequestHandler):
    name = "?"
    timeout = 30

    def setup(self):
        super().setup()
        session(self.name, +1)

    def finish(self):
        try:
            super().finish()
        except OSError:
            pass
        # Drain what the client still sends (so closing does not reset the
        # connection under data it has not read yet), at most briefly.
        try:
            self.connection.shutdown(socket.SHUT_WR)
            self.connection.settimeout(2)
            while self.connection.recv(65536):
                pass
        except OSError:
            pass
        session(self.name, -1)

    def send(self, data):
        if isinstance(data, str):
            data = data.encode("latin-1")
        self.wfile.write(data)
        self.wfile.flush()

    def readline(self):
        line = self.rfile.readline(65536)
        if not line:
            return None
        text = line.decode("latin-1").rstrip("\n")
        log(self.name, text)
        return text.rstrip("\r")


def cddbp_handler(mode):
    class Handler(Base):
        name = mode

        def handle(self):
            try:
                self.run()
            except (OSError, ValueError):
                pass

        def run(self):
            if mode == "silent":
                # Accepts and never says a word; waits for the client to go.
                self.connection.settimeout(60)
                while self.connection.recv(4096):
                    pass
                return
            if mode == "refuse":
                self.send("432 No connections allowed: permission denied\r\n")
                return
            if mode == "refuse433":
                self.send("433 No connections allowed: 200 users allowed\r\n")
                self.readline()
                return
            code = "201" if mode == "exact201" else "200"
            self.send(code + " fake.cddb CDDBP server v1.5 ready at Tue Dec 08 00:00:00 2026\r\n")
            level = 1
            while True:
                line = self.readline()
                if line is None:
                    return
                words = line.split()
                low = [w.lower() for w in words]
                if low[:2] == ["cddb", "hello"]:
                    if mode == "badhello":
                        self.send("431 Handshake not successful, closing connection.\r\n")
                        return
                    self.send("200 Hello and welcome %s@%s running %s %s.\r\n" % tuple((words + ["?"] * 6)[2:6]))
                elif low[:1] == ["proto"]:
                    level = int(words[1]) if len(words) > 1 and words[1].isdigit() else level
                    self.send("201 OK, CDDB protocol level now: %d\r\n" % level)
                elif low[:1] == ["motd"]:
                    self.send("210 Last modified: 12/01/26 10:00:00 MOTD follows (until terminating `.')\r\n"
                              "Welcome to the fake server.\r\nSecond line.\r\n.\r\n")
                elif low[:1] == ["sites"]:
                    self.send("210 OK, site information follows (until terminating `.')\r\n"
                              "main.example cddbp 888 - N000.00 W000.00 Main server\r\n"
                              "mirror.example http 80 /~cddb/cddb.cgi N000.00 W000.00 Mirror\r\n.\r\n")
                elif low[:2] == ["cddb", "query"]:
                    self.query(words)
                elif low[:2] == ["cddb", "read"]:
                    self.read(words, level)
                    if mode in ("closemid", "nolf", "bigrecord"):
                        return
                elif low[:1] == ["quit"]:
                    self.send("230 fake.cddb Closing connection.  Goodbye.\r\n")
                    return
                else:
                    self.send("500 Unrecognized command.\r\n")

        def query(self, words):
            discid = words[2] if len(words) > 2 else "0"
            if mode == "nomatch":
                self.send("202 No match found\r\n")
            elif mode == "badstatus":
                self.send("666 Something odd happened\r\n")
            elif mode == "emptymulti":
                self.send("211 Found inexact matches, list follows (until terminating `.')\r\n.\r\n")
            elif mode in ("inexact", "multi"):
                head = "211 Found inexact matches" if mode == "inexact" else "210 Found exact matches"
                self.send(head + ", list follows (until terminating `.')\r\n"
                          "rock 0a0b0c0d Fake Artist / Fake Album\r\n"
                          "jazz 1a2b3c4d Other Artist / Other Album\r\n.\r\n")
            else:
                # An exact match that names another disc id.
                self.send("200 rock 7f7f7f7f Fake Artist / Fake Album\r\n")

        def read(self, words, level):
            category = words[2] if len(words) > 2 else "misc"
            discid = words[3] if len(words) > 3 else "0"
            if mode == "badread":
                self.send("401 %s %s No such CD entry in database.\r\n" % (category, discid))
            elif mode == "closemid":
                self.send(record(discid, category)[:200])
            elif mode == "longline":
                self.send(record(discid, category, extra=b"EXTD=" + b"L" * (3 << 20) + b"\r\n"))
            elif mode == "nolf":
                self.send(b"210 rock 0 entry follows\r\nTTITLE0=")
                deadline = time.time() + 60
                while time.time() < deadline:
                    self.send(b"n" * 65536)
            elif mode == "drip":
                self.send(b"210 rock 0 entry follows\r\n")
                for b in record(discid, category)[40:]:
                    self.send(bytes([b]))
                    time.sleep(0.5)
            elif mode == "bigrecord":
                extra = b"".join(b"EXTT1=" + b"%070d" % i + b"\r\n" for i in range(80000))  # ~6 MB
                self.send(record(discid, category, extra=extra))
            elif mode == "manytracks":
                extra = b"".join(b"TTITLE%d=Track %d\r\n" % (i, i + 1) for i in range(2, 101))
                self.send(record(discid, category, extra=extra))
            elif mode == "sjisbad":
                self.send(record(discid, category, extra=SJIS_BAD_EXTRA))
            elif mode == "notracks":
                self.send(record(discid, category, tracks=False))
            else:
                self.send(record(discid, category, utf8=(mode == "utf8" and level >= 6)))
    return Handler


def http_answer(handler, target):
    """Answers one GET for target (path?query) as the CDDB CGI would."""
    url = urllib.parse.urlsplit(target)
    behaviour = url.path.strip("/").split("/")[0]
    params = urllib.parse.parse_qs(url.query, keep_blank_values=True)
    cmd = params.get("cmd", [""])[0].split()
    proto = params.get("proto", ["1"])[0]
    if behaviour == "http404":
        handler.send("HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\n\r\n<html>Not here</html>\r\n")
        return
    status = "HTTP/1.1 200 OK" if behaviour == "http11" else "HTTP/1.0 200 OK"
    low = [w.lower() for w in cmd]
    if low[:1] == ["stat"]:
        body = "210 OK, status information follows (until terminating `.')\r\nServer status:\r\n    current proto: 1\r\n    max proto: 6\r\n.\r\n"
    elif low[:1] == ["motd"]:
        body = "210 Last modified: 12/02/26 MOTD follows (until terminating `.')\r\nHTTP news.\r\n.\r\n"
    elif low[:1] == ["sites"]:
        body = "210 OK, site information follows (until terminating `.')\r\nweb.example http 80 /~cddb/cddb.cgi N000.00 W000.00 Web\r\n.\r\n"
    elif low[:2] == ["cddb", "query"]:
        if behaviour == "inexact":
            body = "211 Found inexact matches, list follows (until terminating `.')\r\nrock 0a0b0c0d Fake Artist / Fake Album\r\nblues 1a2b3c4d Other Artist / Other Album\r\n.\r\n"
        elif behaviour == "nomatch":
            body = "202 No match found\r\n"
        else:
            body = "200 newage 7f7f7f7f Fake Artist / Fake Album\r\n"
    elif low[:2] == ["cddb", "read"] and len(cmd) >= 4:
        body = record(cmd[3], cmd[2], utf8=(proto == "6")).decode("latin-1")
    else:
        body = "500 Unrecognized command.\r\n"
    handler.send(status + "\r\nServer: fake\r\nContent-Type: text/plain; charset=UTF-8\r\n\r\n" + body)


def read_request(handler):
    request = handler.readline()
    headers = {}
    while True:
        line = handler.readline()
        if line is None or line == "":
            break
        if ":" in line:
            k, v = line.split(":", 1)
            headers[k.strip().lower()] = v.strip()
    return request, headers


def read_post_body(handler, headers):
    """Reads and logs the body of a POST, Content-Length bytes."""
    length = int(headers.get("content-length", "0") or 0)
    body = handler.rfile.read(length) if length > 0 else b""
    for line in body.decode("latin-1").split("\n"):
        log(handler.name, "BODY: " + line)
    return len(body) == length


class HttpHandler(Base):
    name = "http"
    refuse_submit = False
    verdict = "200 OK, submission has been sent."

    def handle(self):
        try:
            request, headers = read_request(self)
            parts = (request or "").split()
            if len(parts) == 3 and parts[0] == "POST" and parts[1] == "/~cddb/submit.cgi":
                if not read_post_body(self, headers) or self.refuse_submit:
                    self.send("HTTP/1.0 500 Submission refused\r\n\r\n")
                else:
                    self.send("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + self.verdict + "\r\n")
                return
            if len(parts) != 3 or parts[0] != "GET" or not parts[2].startswith("HTTP/"):
                self.send("HTTP/1.0 400 Bad Request\r\n\r\n")
                return
            http_answer(self, parts[1])
        except (OSError, ValueError):
            pass


class ProxyHandler(Base):
    name = "proxy"

    def handle(self):
        try:
            request, headers = read_request(self)
            parts = (request or "").split()
            if len(parts) != 3 or parts[0] not in ("GET", "POST") or not parts[1].startswith("http://"):
                self.send("HTTP/1.0 400 Bad Request\r\n\r\n")
                return
            auth = headers.get("proxy-authorization", "")
            ok = False
            if auth.startswith("Basic "):
                try:
                    user, _, password = base64.b64decode(auth[6:], validate=True).decode("latin-1").partition(":")
                    ok = (user, password) in CREDENTIALS
                except ValueError:
                    ok = False
            if not ok:
                self.send("HTTP/1.0 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic realm=\"fake\"\r\n\r\n")
                return
            url = urllib.parse.urlsplit(parts[1])
            if parts[0] == "POST":
                ok = url.path == "/~cddb/submit.cgi" and read_post_body(self, headers)
                self.send("HTTP/1.0 200 OK\r\n\r\n200 OK\r\n" if ok else "HTTP/1.0 404 Not Found\r\n\r\n")
                return
            http_answer(self, url.path + ("?" + url.query if url.query else ""))
        except (OSError, ValueError):
            pass


class HttpRefuseHandler(HttpHandler):
    name = "httprefuse"
    refuse_submit = True


class HttpVerdictHandler(HttpHandler):
    name = "httpverdict"
    verdict = "501 Missing required header information."


def full_backlog():
    """A listening socket whose accept queue is full, so that a further
    connect waits (the kernel drops its SYN), and the sockets that fill it."""
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(0)
    fillers = []
    for _ in range(3):
        f = socket.socket()
        f.setblocking(False)
        f.connect_ex(listener.getsockname())
        fillers.append(f)
    time.sleep(0.2)
    return listener, fillers


def sink_server():
    """Accepts connections and never reads from them."""
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    held = []

    def accept():
        while True:
            try:
                conn, _ = listener.accept()
            except OSError:
                return
            held.append(conn)
    threading.Thread(target=accept, daemon=True).start()
    return listener


def pop3_handler(mode):
    class Handler(Base):
        name = mode

        def handle(self):
            try:
                if mode == "pop3err":
                    self.send("-ERR POP3 is not here\r\n")
                else:
                    self.send("+OK fake POP3 server ready\r\n")
                while True:
                    line = self.readline()
                    if line is None:
                        return
                    if line.upper() == "QUIT":
                        self.send("+OK bye\r\n")
                        return
                    self.send("-ERR unknown command\r\n")
            except (OSError, ValueError):
                pass
    return Handler


def smtp_handler(mode):
    class Handler(Base):
        name = mode

        def handle(self):
            try:
                self.send("220 fake.example ESMTP ready\r\n")
                while True:
                    line = self.readline()
                    if line is None:
                        return
                    verb = line.split(" ")[0].split(":")[0].upper()
                    if verb == "HELO":
                        self.send("250 fake.example hello\r\n")
                    elif verb == "MAIL":
                        self.send("250 sender ok\r\n")
                    elif verb == "RCPT":
                        self.send("550 no such user here\r\n" if mode == "smtprefuse" else "250 recipient ok\r\n")
                    elif verb == "DATA":
                        self.send("354 end data with <CR><LF>.<CR><LF>\r\n")
                        while True:
                            data = self.readline()
                            if data is None:
                                return
                            if data == ".":
                                break
                        self.send("250 queued\r\n")
                    elif verb == "QUIT":
                        self.send("221 bye\r\n")
                        return
                    else:
                        self.send("500 what\r\n")
            except (OSError, ValueError):
                pass
    return Handler


def sstp_handler(mode):
    class Handler(Base):
        name = mode

        def handle(self):
            try:
                while True:
                    line = self.readline()
                    if line is None or line == "":
                        break
                if mode == "sstp200":
                    self.send("SSTP/1.0 200 OK\r\n")
                elif mode == "sstp400":
                    self.send("SSTP/1.0 400 Bad Request\r\n")
                elif mode == "sstpsplit":
                    for piece in ("SSTP/1.0 2", "00 O", "K\r", "\n"):
                        self.send(piece)
                        time.sleep(0.25)
                else:
                    self.connection.settimeout(10)
                    while self.connection.recv(4096):
                        pass
            except (OSError, ValueError):
                pass
    return Handler


class ControlHandler(socketserver.StreamRequestHandler):
    def handle(self):
        for raw in self.rfile:
            words = raw.decode("latin-1").split()
            if len(words) == 2 and words[0] == "log":
                name = words[1]
                with STATE_LOCK:
                    STATE_LOCK.wait_for(lambda: ACTIVE.get(name, 0) == 0, timeout=5)
                    lines = list(LOGS.get(name, []))
                self.wfile.write("".join(l + "\n" for l in lines).encode("latin-1") + b".\n")
            elif len(words) == 2 and words[0] == "clear":
                with STATE_LOCK:
                    LOGS[words[1]] = []
                self.wfile.write(b"ok\n")
            else:
                self.wfile.write(b"?\n")
            self.wfile.flush()


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


CDDBP_MODES = ["exact", "exact201", "inexact", "multi", "nomatch", "utf8", "sjisbad", "refuse", "refuse433",
               "badhello", "silent", "closemid", "longline", "nolf", "badstatus", "badread", "bigrecord",
               "emptymulti", "drip", "manytracks", "notracks"]


def start_all():
    servers = {}
    for mode in CDDBP_MODES:
        servers[mode] = Server(("127.0.0.1", 0), cddbp_handler(mode))
    servers["http"] = Server(("127.0.0.1", 0), HttpHandler)
    servers["httprefuse"] = Server(("127.0.0.1", 0), HttpRefuseHandler)
    servers["httpverdict"] = Server(("127.0.0.1", 0), HttpVerdictHandler)
    servers["proxy"] = Server(("127.0.0.1", 0), ProxyHandler)
    for mode in ("pop3", "pop3err"):
        servers[mode] = Server(("127.0.0.1", 0), pop3_handler(mode))
    for mode in ("smtp", "smtprefuse"):
        servers[mode] = Server(("127.0.0.1", 0), smtp_handler(mode))
    for mode in ("sstp200", "sstp400", "sstpsilent", "sstpsplit"):
        servers[mode] = Server(("127.0.0.1", 0), sstp_handler(mode))
    servers["control"] = Server(("127.0.0.1", 0), ControlHandler)
    # A port nobody listens on, for refused connections.
    probe = socket.socket()
    probe.bind(("127.0.0.1", 0))
    closed_port = probe.getsockname()[1]
    probe.close()
    for s in servers.values():
        threading.Thread(target=s.serve_forever, daemon=True).start()
    ports = {name: s.server_address[1] for name, s in servers.items()}
    ports["closed"] = closed_port
    global KEEP
    backlog, fillers = full_backlog()
    sink = sink_server()
    KEEP = [backlog, fillers, sink]
    ports["backlog"] = backlog.getsockname()[1]
    ports["sink"] = sink.getsockname()[1]
    return ports


def main():
    if "--" not in sys.argv:
        print(__doc__)
        return 2
    command = sys.argv[sys.argv.index("--") + 1:]
    ports = start_all()
    env = dict(os.environ)
    env["WX_CDDB_PORTS"] = ",".join("%s=%d" % kv for kv in ports.items())
    env["WX_CDDB_LONG_USER"] = LONG_USER
    env["WX_CDDB_LONG_PASSWORD"] = LONG_PASSWORD
    try:
        return subprocess.call(command, env=env, stdin=subprocess.DEVNULL, timeout=900)
    except subprocess.TimeoutExpired:
        print("fake_cddb: the test command did not finish", file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
