"""`brindle serve` as a child process for the HTTP reliability scripts.

start() runs the server on a port the system picks, on 127.0.0.1, with the
administrator token "test-admin-token", and returns once it says where it
listens; stop() ends it with SIGTERM, as an operator would.
"""
import os
import re
import signal
import subprocess
import time


def start(brindle, module, root, log, extra=()):
    proc = subprocess.Popen([brindle, "serve", "--root", root, "--listen", "127.0.0.1:0", "--module", module,
                             *extra],
                            stdout=subprocess.PIPE, stderr=log, text=True,
                            env=dict(os.environ, BRINDLE_ADMIN_TOKEN="test-admin-token"))
    deadline = time.time() + 20
    while time.time() < deadline:
        line = proc.stdout.readline()
        m = re.search(r"at http://127\.0\.0\.1:(\d+)/", line or "")
        if m:
            return proc, int(m.group(1))
        if proc.poll() is not None:
            break
    proc.kill()
    raise SystemExit("brindle serve did not start")


def stop(proc):
    proc.send_signal(signal.SIGTERM)
    try:
        proc.wait(timeout=10)
    except subprocess.TimeoutExpired:
        proc.kill()
