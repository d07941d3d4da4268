#!/usr/bin/env python3
"""End-to-end test of brindle serve in a real browser.

Starts `brindle serve` on the demo site (loopback only, a fresh properties
store), starts Debian's chromedriver and a headless Chromium, and through the
WebDriver protocol checks that a visitor's text in the demo's pages stays
text, that the token in a URL opens nothing, signs in through the login form
(the session cookie stays out of reach of scripts), opens the properties page
of the region "shop", unticks qelLoop, submits, and checks that a page of that
region now renders its loops as nothing while a page of the root region still
loops.  Then, with `brindle serve --dev` on a site of its own, it checks that a
page's reports show in a panel at the end of the page (with their places, a
visitor's text in them as text) and that the page reloads by itself when its
file changes.

Exit status: 0 passed, 1 failed, 77 skipped (Chromium or chromedriver cannot
start on this machine; the reason is printed).  Every wait is bounded.
"""
import argparse
import json
import os
import secrets
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.parse
import urllib.request

SKIP = 77
OVERALL_SECONDS = 180


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class WebDriver:
    """The few WebDriver commands the test needs, over plain HTTP."""

    def __init__(self, port):
        self.base = f"http://127.0.0.1:{port}"
        self.session = None

    def call(self, method, path, body=None, timeout=30):
        data = json.dumps(body).encode() if body is not None else None
        request = urllib.request.Request(self.base + path, data=data, method=method,
                                         headers={"Content-Type": "application/json"})
        try:
            with urllib.request.urlopen(request, timeout=timeout) as response:
                return json.loads(response.read() or b"{}").get("value")
        except urllib.error.HTTPError as error:
            raise RuntimeError(f"{method} {path}: {error.code} {error.read()[:500]!r}")

    def start(self, profile):
        args = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                "--disable-component-update", "--disable-sync", "--no-first-run",
                "--disable-dev-shm-usage", f"--user-data-dir={profile}"]
        value = self.call("POST", "/session", {"capabilities": {"alwaysMatch": {
            "browserName": "chrome",
            "goog:chromeOptions": {"binary": "/usr/bin/chromium", "args": args}}}}, timeout=60)
        self.session = value["sessionId"]

    def s(self, path):
        return f"/session/{self.session}{path}"

    def go(self, url):
        self.call("POST", self.s("/url"), {"url": url})

    def find(self, css):
        value = self.call("POST", self.s("/element"), {"using": "css selector", "value": css})
        return next(iter(value.values()))

    def click(self, element):
        self.call("POST", self.s(f"/element/{element}/click"), {})

    def selected(self, element):
        return self.call("GET", self.s(f"/element/{element}/selected"))

    def type(self, element, text):
        self.call("POST", self.s(f"/element/{element}/value"), {"text": text})

    def script(self, source):
        return self.call("POST", self.s("/execute/sync"), {"script": source, "args": []})

    def text(self, css):
        return self.call("GET", self.s(f"/element/{self.find(css)}/text"))

    def source(self):
        return self.call("GET", self.s("/source"))

    def quit(self):
        if self.session:
            try:
                self.call("DELETE", self.s(""), timeout=10)
            except Exception:
                pass


def wait_for_line(process, prefix, deadline):
    """The first line of the process's output that starts with prefix."""
    while time.time() < deadline:
        line = process.stdout.readline()
        if not line:
            if process.poll() is not None:
                break
            continue
        if line.startswith(prefix):
            return line
    raise RuntimeError(f"no line starting with {prefix!r} from the server")


def wait_for_port(port, deadline):
    while time.time() < deadline:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=1):
                return True
        except OSError:
            time.sleep(0.1)
    return False


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def eventually(step, deadline, seconds=20):
    """Runs step until it passes: a submitted form's page may still be on its
    way when the click returns, and a loaded machine makes that wait longer."""
    until = min(deadline, time.time() + seconds)
    while True:
        try:
            return step()
        except (AssertionError, RuntimeError, StopIteration):
            if time.time() >= until:
                raise
            time.sleep(0.2)


DEV_PAGE = """<html><body>
<p id="top">first version</p>
<p><qelMath>${param.x} *</qelMath></p>
</body></html>
"""


def dev_mode(driver, options, work, deadline, processes):
    """With --dev, the panel shows a page's reports, and the page reloads when
    its file changes."""
    site = os.path.join(work, "devsite")
    os.makedirs(site)
    page = os.path.join(site, "index.html")
    with open(page, "w") as f:
        f.write(DEV_PAGE)
    server = subprocess.Popen(
        [options.brindle, "serve", "--dev", "--root", site, "--listen", "127.0.0.1:0",
         "--props", os.path.join(work, "dev-props.db"), "--module", options.module],
        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    processes.append(server)
    base = wait_for_line(server, "brindle: serving ", deadline).split(" at ")[1].strip().rstrip("/")
    wait_for_line(server, "brindle: development mode is on", deadline)

    attack = urllib.parse.quote('<img id="injected" src=x onerror="document.title=\'owned\'">')
    driver.go(f"{base}/index.html?x={attack}")
    check(driver.text("#top") == "first version", "the page should render above the panel")
    panel = driver.text("#brindle-dev-panel")
    check("brindle: 1 report" in panel, f"the panel should count the reports: {panel!r}")
    check("index.html:3:4 <qelMath> error: The equation was improperly formatted." in panel,
          f"the panel should show the qelMath report with its place: {panel!r}")
    check('received: body "<img id="injected"' in panel,
          f"the visitor's text should show as text in the panel: {panel!r}")
    check(driver.script("return document.querySelectorAll('#injected').length") == 0,
          "the visitor's text should not become an element")
    check(driver.script("return document.querySelectorAll('script').length") == 1,
          "the reload script should be the only script")
    check(driver.script("return document.title") != "owned", "no script of the visitor may run")

    # The file changes; the page reloads by itself and shows the new text,
    # and the reloaded page follows the next change too.
    for version in ("second version", "third version"):
        with open(page + ".new", "w") as f:
            f.write(DEV_PAGE.replace("first version", version))
        os.replace(page + ".new", page)
        eventually(lambda: check(driver.text("#top") == version, f"the page should reload to show {version!r}"),
                   deadline, seconds=30)
    print("PASSED: --dev shows the reports in the page and reloads it when its file changes")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--brindle", required=True)
    parser.add_argument("--module", required=True)
    parser.add_argument("--site", required=True)
    options = parser.parse_args()
    deadline = time.time() + OVERALL_SECONDS

    for program in ("/usr/bin/chromium", "/usr/bin/chromedriver"):
        if not os.access(program, os.X_OK):
            print(f"SKIPPED: {program} is not installed (scripts/test-engine.sh installs it)")
            return SKIP

    work = tempfile.mkdtemp(prefix="brindle-browser-")
    token = secrets.token_hex(16)
    processes = []
    driver = None
    try:
        server = subprocess.Popen(
            [options.brindle, "serve", "--root", options.site, "--listen", "127.0.0.1:0",
             "--props", os.path.join(work, "props.db"), "--module", options.module],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
            env=dict(os.environ, BRINDLE_ADMIN_TOKEN=token))
        processes.append(server)
        line = wait_for_line(server, "brindle: serving ", deadline)
        base = line.split(" at ")[1].strip().rstrip("/")

        driver_port = free_port()
        chromedriver = subprocess.Popen(["/usr/bin/chromedriver", f"--port={driver_port}"],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        processes.append(chromedriver)
        if not wait_for_port(driver_port, min(deadline, time.time() + 30)):
            print("SKIPPED: chromedriver did not start")
            return SKIP
        driver = WebDriver(driver_port)
        try:
            driver.start(os.path.join(work, "profile"))
        except Exception as error:
            print(f"SKIPPED: Chromium cannot start here: {error}")
            return SKIP

        # Before: both regions loop.
        driver.go(base + "/shop/table.html")
        check("6" in driver.text("#after"), "the shop page should loop before the change")

        # A visitor's text in the demo stays text: no element, no script.
        attack = urllib.parse.quote('<img id="injected" src=x onerror="document.title=\'owned\'">')
        driver.go(f"{base}/shop/invoice.html?number={attack}")
        check(driver.script("return document.querySelectorAll('#injected').length") == 0,
              "the invoice number should not become an element")
        check("<img id=" in driver.text("h1"), "the invoice number should show as text")
        check(driver.script("return document.title") != "owned", "no script of the visitor may run")

        # The token in a URL opens nothing; the login form does.
        driver.go(f"{base}/_brindle/properties?region=shop&token={token}")
        check(len(driver.call("POST", driver.s("/elements"), {"using": "css selector",
                                                              "value": 'input[name="qelLoop"]'})) == 0,
              "a token in the URL should not open the properties page")
        driver.type(driver.find("#token"), token)
        driver.click(driver.find("#signin"))
        eventually(lambda: driver.find('input[name="qelLoop"]'), deadline)
        check("token" not in driver.script("return location.href"), "the token should never be in the URL")
        check("brindle_session" not in driver.script("return document.cookie"),
              "the session cookie should be out of reach of scripts")
        box = driver.find('input[name="qelLoop"]')
        check(driver.selected(box), "qelLoop should start ticked")
        check(driver.selected(driver.find('input[name="qelMath"]')), "qelMath should start ticked")
        driver.click(box)
        check(not driver.selected(box), "the click should untick qelLoop")
        driver.click(driver.find("#save"))
        eventually(lambda: check("Saved" in driver.text("#notice"), "the submission should be stored"),
                   deadline)
        check(not driver.selected(driver.find('input[name="qelLoop"]')), "qelLoop should now show unticked")
        check(driver.selected(driver.find('input[name="qelMath"]')), "qelMath should stay ticked")

        # A page of the region renders its loops as nothing ...
        driver.go(base + "/shop/table.html")
        check(driver.text("#after").strip() == "Squares:", f"loops should give nothing: {driver.text('#after')!r}")
        check("<td>36</td>" not in driver.source(), "the times table should be empty")
        # ... while the root region still loops.
        driver.go(base + "/")
        page = driver.source()
        check("5… 4… 3… 2… 1… lift-off!" in page, "the root region should still loop")
        print("PASSED: visitor text stayed text; signing in and unticking qelLoop for region shop "
              "silenced its loops only")
        check(driver.script("return document.querySelectorAll('#brindle-dev-panel, script').length") == 0,
              "without --dev a page should have no panel and no script")
        dev_mode(driver, options, work, deadline, processes)
        return 0
    except (AssertionError, RuntimeError) as error:
        print(f"FAILED: {error}")
        return 1
    finally:
        if driver:
            driver.quit()
        for process in reversed(processes):
            process.terminate()
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
