#!/usr/bin/env python3
"""Two `brindle serve` processes on one PostgreSQL database.

Run by scripts/test-postgres.sh, which starts a private cluster and passes a
command that stops and starts it.  Checks what a site with several servers
relies on:

- a tag disabled for a region through one server's administrator page is
  disabled on the other within one second, and other regions keep it;
- submissions made at the same time through both servers are neither lost
  nor mixed: each region ends as exactly one submission left it;
- with the database stopped, pages still render with the properties last
  seen, the loss is logged once, the administrator's page answers 503 and
  changes nothing, and a third server cannot start (exit 2, with the reason);
  started again, both servers reconnect and see a change
  made meanwhile, which no notice announced.

The cluster command takes "stop", "start", or "private SQL": start the
cluster where no server can reach it, run SQL, stop it.

Every wait is bounded; exit status 0 passed, 1 failed.
"""
import argparse
import os
import random
import re
import subprocess
import sys
import tempfile
import threading
import time
import urllib.error
import urllib.parse
import urllib.request

TOKEN = "shared-properties-test-token"
TAGS = ["qelComment", "qelIf", "qelInlineIf", "qelInlineString",
        "qelLoop", "qelMath", "qelString", "qelSwitch"]
PAGE = '[<qelLoop item="a" item="b">x</qelLoop>|<qelString mode="toUpper">abc</qelString>]'
LOOPING, NOT_LOOPING = "[xx|ABC]", "[|ABC]"
UNREACHABLE = "503 Service Unavailable: the properties store is unreachable, so nothing was changed"


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def within(seconds, condition, step=0.02):
    """Polls `condition` until it is true or `seconds` passed; its last value."""
    end = time.monotonic() + seconds
    while True:
        value = condition()
        if value or time.monotonic() > end:
            return value
        time.sleep(step)


def fetch(url, data=None):
    body = urllib.parse.urlencode(data).encode() if data is not None else None
    request = urllib.request.Request(url, data=body, headers={"X-Brindle-Token": TOKEN})
    try:
        with urllib.request.urlopen(request, timeout=10) as response:
            return response.status, response.read().decode()
    except urllib.error.HTTPError as error:
        return error.code, error.read().decode()


class Server:
    def __init__(self, name, args, workdir):
        self.name = name
        self.args = args
        self.errors = open(os.path.join(workdir, name + ".err"), "w+")
        env = dict(os.environ, BRINDLE_ADMIN_TOKEN=TOKEN)
        self.process = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=self.errors, env=env, text=True)
        line = self.process.stdout.readline()
        match = re.search(r"at (http://[^ ]+)/\n", line)
        if not match:
            self.stop()
            raise Failure(f"{name} did not start: {line!r} {self.log()!r}")
        self.base = match.group(1)

    def page(self, region):
        status, body = fetch(f"{self.base}/{region + '/' if region else ''}index.html")
        check(status == 200, f"{self.name}: page of region {region!r} answered {status}")
        return body

    def admin_url(self, region):
        return f"{self.base}/_brindle/properties?region={urllib.parse.quote(region)}"

    def submit(self, region, disabled):
        """Unticks the tags in `disabled`; (status, body) of the submission."""
        status, form = fetch(self.admin_url(region))
        if status != 200:
            return status, form
        csrf = re.search(r'name="_csrf" value="([^"]+)"', form).group(1)
        fields = {"_csrf": csrf, "region": region}
        fields.update({tag: "yes" for tag in TAGS if tag not in disabled})
        return fetch(self.admin_url(region), fields)

    def shown_disabled(self, region):
        """The tags the administrator's page shows unticked, or its status."""
        status, form = fetch(self.admin_url(region))
        if status != 200:
            return status
        return frozenset(tag for tag in TAGS if f'name="{tag}" value="yes" CHECKED' not in form)

    def log(self):
        self.errors.seek(0)
        return self.errors.read()

    def stop(self):
        """Sends SIGTERM; the exit status (negative: ended by a signal)."""
        self.process.terminate()
        try:
            return self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            return self.process.wait()


def stored(psql, region):
    """The tags stored as disabled for the region, read from the database."""
    out = subprocess.run(psql + ["-Atc", "SELECT name, value FROM region_property WHERE region = '"
                                 + region.replace("'", "''") + "'"],
                         check=True, capture_output=True, text=True).stdout
    rows = [line.split("|") for line in out.splitlines() if line]
    check(all(value == "no" for _, value in rows), f"region {region!r} holds values other than no: {rows}")
    return frozenset(name for name, _ in rows)


def propagation(a, b):
    for server in (a, b):
        for region in ("", "shop", "news"):
            check(server.page(region) == LOOPING, f"{server.name}: region {region!r} does not loop at first")
    status, body = a.submit("shop", {"qelLoop"})
    submitted = time.monotonic()
    check(status == 200 and "Saved the properties" in body, f"A: submission answered {status}")
    check(a.page("shop") == NOT_LOOPING, "A: its own change is not in effect at once")
    seen = within(1.0, lambda: b.page("shop") == NOT_LOOPING)
    elapsed = time.monotonic() - submitted
    check(seen, "B: qelLoop still loops in region shop one second after A disabled it")
    for server in (a, b):
        for region in ("", "news"):
            check(server.page(region) == LOOPING, f"{server.name}: region {region!r} stopped looping")
    print(f"ok: B saw A's change after {elapsed * 1000:.0f} ms; other regions unaffected")


def concurrent_submissions(a, b, psql):
    rng = random.Random(24)
    # Each thread submits to its own region (none may be lost) and to the
    # shared region "both" (it must end as one whole submission).
    jobs = []
    for i in range(12):
        server = (a, b)[i % 2]
        own = frozenset(rng.sample(TAGS, rng.randint(0, len(TAGS))))
        shared = frozenset(rng.sample(TAGS, rng.randint(1, len(TAGS))))
        jobs.append((server, f"t{i}", own, shared))
    failures = []

    def run(server, region, own, shared):
        for target, disabled in ((region, own), ("both", shared), (region, own)):
            status, _ = server.submit(target, disabled)
            if status != 200:
                failures.append(f"{server.name}: submission to {target!r} answered {status}")

    threads = [threading.Thread(target=run, args=job) for job in jobs]
    for t in threads:
        t.start()
    for t in threads:
        t.join(60)
    check(not failures, "; ".join(failures))
    for server, region, own, _ in jobs:
        check(stored(psql, region) == own, f"region {region}: stored {sorted(stored(psql, region))}, "
                                           f"submitted {sorted(own)}")
    final = stored(psql, "both")
    check(final in {shared for *_, shared in jobs},
          f"region both holds {sorted(final)}, which no submission made (a mix)")
    for server in (a, b):
        for _, region, own, _ in jobs[:4]:
            shown = within(1.0, lambda: server.shown_disabled(region) == own)
            check(shown, f"{server.name}: region {region} is shown as {server.shown_disabled(region)}")
        check(within(1.0, lambda: server.shown_disabled("both") == final),
              f"{server.name}: region both is not shown as stored")
    print(f"ok: {len(jobs) * 3} concurrent submissions, none lost or mixed; both servers agree")


def outage(a, b, cluster):
    run_cluster = lambda action: subprocess.run(cluster + [action], check=True, capture_output=True)
    run_cluster("stop")
    for server in (a, b):
        check(within(10.0, lambda: server.shown_disabled("shop") == 503),
              f"{server.name}: the administrator's page does not answer 503 with the database stopped")
    for server in (a, b):
        for _ in range(20):
            check(server.page("shop") == NOT_LOOPING, f"{server.name}: region shop lost its properties")
            check(server.page("news") == LOOPING, f"{server.name}: region news lost its properties")
        status, body = fetch(server.admin_url("news"), {"region": "news", "_csrf": "x", "qelIf": "yes"})
        check(status == 503 and UNREACHABLE in body, f"{server.name}: a submission answered {status}: {body[:200]}")
        check(server.log().count("is unreachable") == 1,
              f"{server.name}: the loss is not logged exactly once:\n{server.log()}")
    print("ok: database stopped: pages keep the last properties, the administrator's page answers 503, "
          "logged once")
    started = subprocess.run(a.args, capture_output=True, text=True, timeout=30,
                             env=dict(os.environ, BRINDLE_ADMIN_TOKEN=TOKEN))
    check(started.returncode == 2 and started.stdout == "" and
          started.stderr.startswith("brindle: cannot open the properties store (PostgreSQL): "),
          f"a server started without its database: status {started.returncode}, {started.stderr!r}")
    print(f"ok: a server started without its database exits 2: {started.stderr.strip()}")

    # A change no server is told about, made while neither can connect.
    subprocess.run(cluster + ["private", "INSERT INTO region_property VALUES ('news', 'qelLoop', 'no')"],
                   check=True, capture_output=True)
    check(a.page("news") == LOOPING, "A: saw a change it cannot have heard of")
    run_cluster("start")
    started = time.monotonic()
    for server in (a, b):
        check(within(10.0, lambda: server.page("news") == NOT_LOOPING),
              f"{server.name}: did not see the change made while it was disconnected")
        check(within(5.0, lambda: server.shown_disabled("news") == frozenset({"qelLoop"})),
              f"{server.name}: the administrator's page did not come back")
        check("is back; every region reloaded" in server.log(), f"{server.name}: reconnection not logged")
    print(f"ok: database started: both servers reconnected within {time.monotonic() - started:.1f} s "
          "and saw the change made meanwhile")
    status, _ = b.submit("news", set())
    check(status == 200, f"B: submission after reconnecting answered {status}")
    check(within(1.0, lambda: a.page("news") == LOOPING), "A: no longer hears B's changes after reconnecting")
    print("ok: changes travel between the servers again")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--brindle", required=True)
    parser.add_argument("--module", required=True)
    parser.add_argument("--props", required=True, help="the postgresql: value both servers use")
    parser.add_argument("--psql", required=True, help="psql command with its connection, shell words")
    parser.add_argument("--cluster", required=True, help="command taking stop or start, shell words")
    args = parser.parse_args()
    psql, cluster = args.psql.split(), args.cluster.split()

    with tempfile.TemporaryDirectory() as workdir:
        site = os.path.join(workdir, "site")
        for region in ("", "shop", "news"):
            os.makedirs(os.path.join(site, region), exist_ok=True)
            with open(os.path.join(site, region, "index.html"), "w") as f:
                f.write(PAGE)
        servers = []
        try:
            for name in ("A", "B"):
                servers.append(Server(name, [args.brindle, "serve", "--root", site, "--listen", "127.0.0.1:0",
                                             "--module", args.module, "--props", args.props], workdir))
            a, b = servers
            propagation(a, b)
            concurrent_submissions(a, b, psql)
            outage(a, b, cluster)
            for server in servers:
                status = server.stop()
                check(status == 0, f"{server.name}: SIGTERM did not stop it cleanly (status {status})")
            print("ok: both servers stop cleanly on SIGTERM")
        except Failure as failure:
            print(f"FAILED: {failure}", file=sys.stderr)
            for server in servers:
                print(f"--- {server.name}'s log:\n{server.log()}", file=sys.stderr)
            return 1
        finally:
            for server in servers:
                server.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
