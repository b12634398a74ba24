#!/usr/bin/env python3
"""A stand-in SSTP target on 127.0.0.1 for the end-to-end test.

    sstp_target.py DIR ANSWER...

Listens on a free port, written to DIR/port, and takes one connection at a
time.  The N-th request (its bytes up to the empty line, kept in
DIR/request_N.bin) gets the N-th ANSWER:

  200     "SSTP/1.0 200 OK" in one segment
  400     "SSTP/1.0 400 Bad Request"
  split   "SSTP/1.0 200 OK" in four segments, 150 ms apart
  silent  nothing; the seconds from the request's end to the client's
          close go to DIR/request_N.wait

Requests beyond the answers are kept as well and answered 200.
"""
import os
import socket
import sys
import time


def read_request(conn):
    data = b""
    while not data.endswith(b"\r\n\r\n"):
        chunk = conn.recv(4096)
        if not chunk:
            break
        data += chunk
    return data


def main():
    out, answers = sys.argv[1], sys.argv[2:]
    server = socket.socket()
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", 0))
    server.listen(4)
    with open(os.path.join(out, "port.tmp"), "w") as f:
        f.write(str(server.getsockname()[1]))
    os.rename(os.path.join(out, "port.tmp"), os.path.join(out, "port"))
    n = 0
    while True:
        conn, _ = server.accept()
        n += 1
        answer = answers[n - 1] if n <= len(answers) else "200"
        conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        conn.settimeout(30)
        try:
            request = read_request(conn)
            with open(os.path.join(out, "request_%d.bin" % n), "wb") as f:
                f.write(request)
            if answer == "split":
                for piece in (b"SSTP/1.0 2", b"00 O", b"K\r", b"\n"):
                    conn.sendall(piece)
                    time.sleep(0.15)
            elif answer == "silent":
                start = time.monotonic()
                while conn.recv(4096):
                    pass
                with open(os.path.join(out, "request_%d.wait" % n), "w") as f:
                    f.write("%.3f\n" % (time.monotonic() - start))
            else:
                conn.sendall(b"SSTP/1.0 400 Bad Request\r\n" if answer == "400" else b"SSTP/1.0 200 OK\r\n")
        except OSError as e:
            print("sstp_target: request %d: %s" % (n, e), file=sys.stderr)
        finally:
            conn.close()


if __name__ == "__main__":
    main()
