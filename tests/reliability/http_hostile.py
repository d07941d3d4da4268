#!/usr/bin/env python3
"""Malformed and hostile HTTP against `brindle serve` on 127.0.0.1.

Starts the engine on a copy of a site root beside a secret file that lies
outside it, sends raw requests over a socket (huge headers, huge bodies, bad
methods, malformed request lines, path traversal in every spelling), and
checks that each one is answered with a 4xx status (or, for a request the
server cannot even read, a closed connection) and that no answer ever
contains the secret.  The server must still serve the demo page afterwards.

  http_hostile.py BRINDLE MODULE SITE_DIR
"""
import os
import re
import shutil
import socket
import sys
import tempfile
import time

import serve_process

SECRET = "brindle-secret-7f3a9c"
TIMEOUT = 10  # seconds per request

# (name, raw request bytes, what is acceptable: "4xx", "4xx-or-close" or
# "4xx-or-dropped", a 200 for a request whose bad line is never seen)
def cases(host):
    h = f"Host: {host}\r\n".encode()
    def get(path, extra=b""):
        return b"GET " + path + b" HTTP/1.1\r\n" + h + extra + b"Connection: close\r\n\r\n"
    traversals = [
        b"/../secret.txt", b"/..%2fsecret.txt", b"/%2e%2e/secret.txt", b"/%2E%2E%2Fsecret.txt",
        b"/shop/../../secret.txt", b"/shop/%2e%2e/%2e%2e/secret.txt", b"/..\\secret.txt",
        b"/%5c..%5csecret.txt", b"/./../secret.txt", b"//../secret.txt", b"/shop/..%00/secret.txt",
        b"/%00../secret.txt", b"/....//secret.txt", b"/%252e%252e/secret.txt",
        b"/link-out/secret.txt", b"/.hidden", b"/%2ehidden",
    ]
    out = [(f"traversal {t.decode('latin-1')}", get(t), "4xx") for t in traversals]
    out += [
        ("absolute-form outside", b"GET http://127.0.0.1/../secret.txt HTTP/1.1\r\n" + h + b"Connection: close\r\n\r\n", "4xx-or-close"),
        ("bad method", b"BREW /index.html HTTP/1.1\r\n" + h + b"Connection: close\r\n\r\n", "4xx"),
        ("method of binary bytes", b"\x01\x02\x03 /index.html HTTP/1.1\r\n" + h + b"\r\n", "4xx-or-close"),
        ("lower-case method", b"get /index.html HTTP/1.1\r\n" + h + b"Connection: close\r\n\r\n", "4xx"),
        ("DELETE a file", b"DELETE /style.css HTTP/1.1\r\n" + h + b"Connection: close\r\n\r\n", "4xx"),
        ("PUT a file", b"PUT /new.html HTTP/1.1\r\n" + h + b"Content-Length: 5\r\nConnection: close\r\n\r\nhello", "4xx"),
        ("POST to a static file", b"POST /style.css HTTP/1.1\r\n" + h + b"Content-Length: 1\r\nConnection: close\r\n\r\nx", "4xx"),
        ("no version", b"GET /index.html\r\n\r\n", "4xx-or-close"),
        # 505 HTTP Version Not Supported is the precise answer here.
        ("bad version", b"GET /index.html HTTP/9.9\r\n" + h + b"\r\n", "505-or-4xx-or-close"),
        ("garbage line", b"this is not http at all\r\n\r\n", "4xx-or-close"),
        ("1 MiB request line", b"GET /" + b"a" * (1 << 20) + b" HTTP/1.1\r\n" + h + b"\r\n", "4xx-or-close"),
        ("1 MiB header", get(b"/index.html", b"X-Big: " + b"b" * (1 << 20) + b"\r\n"), "4xx-or-close"),
        ("10,000 headers", get(b"/index.html", b"".join(b"X-H%d: v\r\n" % i for i in range(10000))), "4xx-or-close"),
        # An HTTP library may drop a header line without a colon and serve
        # the request; the line never reaches the engine, so that is accepted.
        ("header without colon", get(b"/index.html", b"NoColonHere\r\n"), "4xx-or-dropped"),
        ("64 MiB declared body", b"POST /index.html HTTP/1.1\r\n" + h + b"Content-Length: 67108864\r\nConnection: close\r\n\r\n" + b"x" * 65536, "4xx-or-close"),
        ("negative body length", b"POST /index.html HTTP/1.1\r\n" + h + b"Content-Length: -5\r\nConnection: close\r\n\r\n", "4xx-or-close"),
        ("body length not a number", b"POST /index.html HTTP/1.1\r\n" + h + b"Content-Length: abc\r\nConnection: close\r\n\r\n", "4xx-or-close"),
        ("huge chunk size", b"POST /index.html HTTP/1.1\r\n" + h + b"Transfer-Encoding: chunked\r\nConnection: close\r\n\r\nFFFFFFFFFFFFFFFF\r\nx\r\n", "4xx-or-close"),
        ("admin without token", get(b"/_brindle/properties"), "4xx"),
        ("admin with a wrong token", get(b"/_brindle/properties?token=wrong"), "4xx"),
    ]
    return out


def send(port, raw):
    """Sends raw bytes; returns (status or None, response bytes)."""
    data = b""
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=TIMEOUT) as s:
            try:
                s.sendall(raw)
            except (BrokenPipeError, ConnectionResetError):
                pass  # the server may stop reading early; its answer still counts
            while True:
                try:
                    chunk = s.recv(65536)
                except (ConnectionResetError, socket.timeout):
                    break
                if not chunk:
                    break
                data += chunk
    except (ConnectionResetError, BrokenPipeError):
        pass
    m = re.match(rb"HTTP/1\.[01] (\d{3})", data)
    return (int(m.group(1)) if m else None), data


def main():
    brindle, module, site = sys.argv[1:4]
    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        root = os.path.join(tmp, "site")
        shutil.copytree(site, root)
        with open(os.path.join(tmp, "secret.txt"), "w") as f:
            f.write(SECRET + "\n")
        with open(os.path.join(root, ".hidden"), "w") as f:
            f.write(SECRET + "\n")
        os.symlink(tmp, os.path.join(root, "link-out"))
        with open(os.path.join(tmp, "server.log"), "w") as log:
            proc, port = serve_process.start(brindle, module, root, log)
            try:
                host = f"127.0.0.1:{port}"
                for name, raw, accept in cases(host):
                    status, data = send(port, raw)
                    if SECRET.encode() in data:
                        failures.append(f"{name}: served the secret outside the root")
                    ok = status is not None and 400 <= status < 500
                    if accept in ("4xx-or-close", "505-or-4xx-or-close") and status is None:
                        ok = True
                    if accept == "505-or-4xx-or-close" and status == 505:
                        ok = True
                    if accept == "4xx-or-dropped" and status == 200:
                        ok = True
                    print(f"{'ok  ' if ok else 'FAIL'} {status if status else 'closed'} {name}")
                    if not ok:
                        failures.append(f"{name}: answered {status if status else 'nothing'}")
                    if proc.poll() is not None:
                        failures.append(f"{name}: the server exited ({proc.returncode})")
                        break
                status, data = send(port, b"GET /index.html HTTP/1.1\r\nHost: " + host.encode() + b"\r\nConnection: close\r\n\r\n")
                if status != 200:
                    failures.append(f"the demo page answers {status} after the hostile requests")
            finally:
                serve_process.stop(proc)
    for f in failures:
        print("FAILED:", f)
    print(f"{len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
