#!/usr/bin/env python3
"""Slow clients against `brindle serve` on loopback, with its default bounds.

1. 500 connections (50 from each of ten loopback addresses) each send one
   byte of a request a second for 10 s.  Meanwhile a normal GET from
   127.0.0.1 every half second must be answered within 1 s, and the
   server's resident memory must stay within 64 MiB of where it started.
2. Eight clients download a 1 GiB file (sparse, made with truncate) slowly,
   reading 64 KiB at a time, for 10 s: the server's resident memory must grow
   by less than 64 MiB, every client must receive data, and the normal GET
   must still be answered within 1 s.
3. A second server on the same port exits with status 2 and says "address
   already in use".

  http_slow_clients.py BRINDLE MODULE SITE_DIR
"""
import os
import resource
import selectors
import shutil
import socket
import subprocess
import sys
import tempfile
import time

import serve_process

SLOW_CLIENTS = 500
SLOW_ADDRESSES = 10
SLOW_SECONDS = 10
ANSWER_WITHIN = 1.0
RSS_BUDGET_KIB = 64 * 1024
DOWNLOADERS = 8
BIG_FILE_BYTES = 1 << 30


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def timed_get(port, path="/index.html"):
    """Seconds until the whole answer arrived, or None when there was none."""
    began = time.monotonic()
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
            s.sendall(f"GET {path} HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n".encode())
            data = b""
            while True:
                chunk = s.recv(65536)
                if not chunk:
                    break
                data += chunk
    except OSError:
        return None
    if not data.startswith(b"HTTP/1.1 200"):
        return None
    return time.monotonic() - began


def slow_requests(port, pid, failures):
    request = b"GET /index.html HTTP/1.1\r\nHost: slow\r\nX-Slow: " + b"a" * 64
    conns = []
    for i in range(SLOW_CLIENTS):
        s = socket.socket()
        s.bind((f"127.0.1.{1 + i % SLOW_ADDRESSES}", 0))
        s.connect(("127.0.0.1", port))
        s.setblocking(False)
        conns.append(s)
    start_rss = rss_kib(pid)
    worst_answer, peak_rss, sent, cut = 0.0, start_rss, 0, 0
    began = time.monotonic()
    for second in range(SLOW_SECONDS):
        for s in conns:
            if s.fileno() < 0:
                continue
            try:
                s.send(request[second:second + 1])
                sent += 1
            except OSError:
                s.close()
                cut += 1
        for _ in range(2):
            t = timed_get(port)
            if t is None:
                failures.append(f"slow clients, second {second}: the normal GET was not answered")
            else:
                worst_answer = max(worst_answer, t)
            peak_rss = max(peak_rss, rss_kib(pid))
            time.sleep(max(0.0, began + second + 0.5 * (_ + 1) - time.monotonic()))
    for s in conns:
        s.close()
    print(f"slow clients: {SLOW_CLIENTS} connections, {sent} bytes sent, {cut} closed by the server; "
          f"slowest normal GET {worst_answer * 1000:.1f} ms; resident memory {start_rss} KiB at start, "
          f"peak {peak_rss} KiB (+{peak_rss - start_rss} KiB)")
    if worst_answer > ANSWER_WITHIN:
        failures.append(f"slow clients: a normal GET took {worst_answer:.2f} s")
    if peak_rss - start_rss > RSS_BUDGET_KIB:
        failures.append(f"slow clients: resident memory grew by {peak_rss - start_rss} KiB")


def slow_downloads(port, pid, failures):
    sel = selectors.DefaultSelector()
    received = {}
    for i in range(DOWNLOADERS):
        s = socket.socket()
        s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 65536)
        s.connect(("127.0.0.1", port))
        s.sendall(b"GET /big.bin HTTP/1.1\r\nHost: x\r\n\r\n")
        s.setblocking(False)
        received[s] = 0
    start_rss = rss_kib(pid)
    peak_rss, worst_answer = start_rss, 0.0
    began = time.monotonic()
    while time.monotonic() - began < SLOW_SECONDS:
        for s in received:
            try:
                received[s] += len(s.recv(65536))
            except BlockingIOError:
                pass
        peak_rss = max(peak_rss, rss_kib(pid))
        t = timed_get(port)
        worst_answer = max(worst_answer, t if t is not None else 99)
        time.sleep(0.2)
    total = sum(received.values())
    for s in received:
        s.close()
    print(f"slow downloads: {DOWNLOADERS} clients of a {BIG_FILE_BYTES >> 20} MiB file got {total >> 20} MiB; "
          f"slowest normal GET {worst_answer * 1000:.1f} ms; resident memory {start_rss} KiB at start, "
          f"peak {peak_rss} KiB (+{peak_rss - start_rss} KiB)")
    if min(received.values()) == 0:
        failures.append("slow downloads: a client received nothing")
    if peak_rss - start_rss > RSS_BUDGET_KIB:
        failures.append(f"slow downloads: resident memory grew by {peak_rss - start_rss} KiB")
    if worst_answer > ANSWER_WITHIN:
        failures.append(f"slow downloads: a normal GET took {worst_answer:.2f} s")


def busy_port(brindle, module, root, port, failures):
    second = subprocess.run([brindle, "serve", "--root", root, "--listen", f"127.0.0.1:{port}", "--module", module],
                            capture_output=True, text=True, timeout=20)
    ok = second.returncode == 2 and "address already in use" in second.stderr
    print(f"{'ok  ' if ok else 'FAIL'} a second server on port {port}: exit {second.returncode}, "
          f"{second.stderr.strip()}")
    if not ok:
        failures.append("a second server on a busy port did not exit 2 with \"address already in use\"")


def main():
    brindle, module, site = sys.argv[1:4]
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (max(soft, min(hard, 4096)), hard))
    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        root = os.path.join(tmp, "site")
        shutil.copytree(site, root)
        with open(os.path.join(root, "big.bin"), "wb") as f:
            f.truncate(BIG_FILE_BYTES)
        with open(os.path.join(tmp, "server.log"), "w") as log:
            proc, port = serve_process.start(brindle, module, root, log)
            try:
                timed_get(port)  # the page compiled and the module warm before the baseline
                slow_requests(port, proc.pid, failures)
                slow_downloads(port, proc.pid, failures)
                busy_port(brindle, module, root, port, failures)
                if proc.poll() is not None:
                    failures.append(f"the server exited ({proc.returncode})")
            finally:
                serve_process.stop(proc)
    for f in failures:
        print("FAILED:", f)
    print(f"{len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
