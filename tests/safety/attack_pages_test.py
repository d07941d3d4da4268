#!/usr/bin/env python3
"""Attack pages x payloads: a visitor's text never becomes markup or a tag.

Every page in attack_pages/ brings the request field "x" into one place a
request field can reach: page text, attributes, each parameter a tag copies
or computes on, bodies, loop items and lists, index names, variables set by
the regular-expression mode and used later, tags nested in one another.
Each page is rendered with every payload below, through `brindle render
--param` and, with --serve, through `brindle serve`, and compared with the
same page rendered with a harmless value: the attack may not add one element
or attribute (as a browser's tokenizer reads them), and no tag it carries may
run (the sentinel sum 4200+42 may not appear).

A page whose first line is "<!-- control -->" is also rendered with its
references written ${raw:...}, the author's opt-out; there some payload must
get through, which shows that the comparison sees an injection when there is
one.  Pages without the mark bring the field only into data (compared or
computed on), where even the raw form cannot inject.

Exit status 0 when every case holds; the failing cases are listed otherwise.
"""
import argparse
import concurrent.futures
import os
import socket
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
PAGES = os.path.join(HERE, "attack_pages")

HARMLESS = "Plain text 7"
SENTINEL = "4242"
# The second field a payload can try to reach through a reference it carries.
SECOND_FIELD = ("y", "<script>alert('y')</script>")

PAYLOADS = [
    ("script", "<script>alert(1)</script>"),
    ("event attribute", "<img src=x onerror=alert(1)>"),
    ("double-quote break-out", '"><svg onload=alert(1)>'),
    ("single-quote break-out", "' onmouseover='alert(1)' x='"),
    ("nested quotes", "\"' autofocus onfocus=\"alert(1)\" '\""),
    ("entities that decode to markup", "&lt;script&gt;alert(1)&lt;/script&gt;"),
    ("percent codes that decode to markup", "%3Cscript%3Ealert(1)%3C/script%3E"),
    ("injected tag", "<qelMath>4200+42</qelMath>"),
    ("injected reference", "${raw:param.y}"),
    ("index name break-out", 'r"><script>alert(1)</script><qelComment a="'),
    ("loop entity", "&qelLoopIndex;<b>"),
]


def tokens(html):
    """Elements and attributes as a browser's tokenizer finds them, counted."""
    found = {}
    i, n = 0, len(html)

    def add(key):
        found[key] = found.get(key, 0) + 1

    while i < n:
        lt = html.find("<", i)
        if lt < 0 or lt + 1 >= n:
            break
        if html.startswith("<!--", lt):
            end = html.find("-->", lt + 4)
            i = n if end < 0 else end + 3
            continue
        j = lt + 1
        if html[j] == "/":
            j += 1
        if j >= n or not html[j].isalpha():
            i = lt + 1
            continue
        k = j
        while k < n and not html[k].isspace() and html[k] not in "/>":
            k += 1
        name = html[j:k].lower()
        add(name)
        # Attributes up to the closing ">".
        while k < n and html[k] != ">":
            while k < n and (html[k].isspace() or html[k] == "/"):
                k += 1
            if k >= n or html[k] == ">":
                break
            a = k
            k += 1  # the first byte of a name may be "=" or a quote
            while k < n and not html[k].isspace() and html[k] not in "/>=":
                k += 1
            add(name + "@" + html[a:k].lower())
            while k < n and html[k].isspace():
                k += 1
            if k < n and html[k] == "=":
                k += 1
                while k < n and html[k].isspace():
                    k += 1
                if k < n and html[k] in "\"'":
                    close = html.find(html[k], k + 1)
                    k = n if close < 0 else close + 1
                else:
                    while k < n and not html[k].isspace() and html[k] != ">":
                        k += 1
        i = k + 1
    return found


def injected(attack_html, harmless_html):
    """What the attack added: markup the harmless render lacks, or a tag that ran."""
    added = []
    base = tokens(harmless_html)
    for key, count in tokens(attack_html).items():
        if count > base.get(key, 0):
            added.append(key)
    if SENTINEL in attack_html and SENTINEL not in harmless_html:
        added.append("a tag ran (" + SENTINEL + ")")
    return added


def raw_variant(page):
    return page.replace("${param.", "${raw:param.").replace("${m}", "${raw:m}")


class Renderer:
    def __init__(self, brindle, module):
        self.brindle, self.module = brindle, module

    def render(self, path, value):
        result = subprocess.run(
            [self.brindle, "render", path, "--module", self.module, "--param", "x=" + value,
             "--param", "=".join(SECOND_FIELD)],
            capture_output=True, timeout=60)
        return result.stdout.decode("latin-1")

    def close(self):
        pass


class Server:
    def __init__(self, brindle, module, root):
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            port = s.getsockname()[1]
        self.base = f"http://127.0.0.1:{port}"
        self.root = root
        self.state = tempfile.mkdtemp(prefix="brindle-attack-state-")
        self.process = subprocess.Popen(
            [brindle, "serve", "--root", root, "--module", module, "--listen", f"127.0.0.1:{port}",
             "--props", os.path.join(self.state, "props.db")],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.time() + 30
        while time.time() < deadline:
            try:
                with socket.create_connection(("127.0.0.1", port), timeout=1):
                    return
            except OSError:
                time.sleep(0.1)
        raise RuntimeError("brindle serve did not start")

    def render(self, path, value):
        query = urllib.parse.urlencode([("x", value), SECOND_FIELD])
        url = f"{self.base}/{os.path.relpath(path, self.root)}?{query}"
        try:
            with urllib.request.urlopen(url, timeout=60) as response:
                return response.read().decode("latin-1")
        except urllib.error.HTTPError as error:
            return error.read().decode("latin-1")

    def close(self):
        self.process.terminate()
        self.process.wait(timeout=30)


def run(renderer, site, names, how):
    pages = {}
    for name in names:
        pages[name] = [os.path.join(site, name)]
        raw_page = os.path.join(site, "raw", name)
        if os.path.exists(raw_page):
            pages[name].append(raw_page)
    # Every render first, a few at a time; then the comparisons.
    jobs = [(path, value) for paths in pages.values() for path in paths
            for value in [HARMLESS] + [payload for _, payload in PAYLOADS]]
    with concurrent.futures.ThreadPoolExecutor(max_workers=4) as pool:
        rendered = dict(zip(jobs, pool.map(lambda job: renderer.render(*job), jobs)))

    failures = []
    for name, paths in pages.items():
        page = paths[0]
        for label, payload in PAYLOADS:
            added = injected(rendered[(page, payload)], rendered[(page, HARMLESS)])
            if added:
                failures.append(f"{how}: {name} with {label}: the payload added {', '.join(added)}")
        if len(paths) > 1:
            raw_page = paths[1]
            if not any(injected(rendered[(raw_page, payload)], rendered[(raw_page, HARMLESS)])
                       for _, payload in PAYLOADS):
                failures.append(f"{how}: {name}: no payload got through even with ${{raw:...}}: "
                                "the test cannot see an injection on this page")
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--brindle", required=True)
    parser.add_argument("--module", required=True)
    parser.add_argument("--serve", action="store_true", help="also through brindle serve")
    args = parser.parse_args()

    names = sorted(f for f in os.listdir(PAGES) if f.endswith(".html"))
    with tempfile.TemporaryDirectory(prefix="brindle-attack-") as site:
        os.mkdir(os.path.join(site, "raw"))
        for name in names:
            with open(os.path.join(PAGES, name), encoding="utf-8") as f:
                page = f.read()
            with open(os.path.join(site, name), "w", encoding="utf-8") as f:
                f.write(page)
            if page.startswith("<!-- control -->"):
                with open(os.path.join(site, "raw", name), "w", encoding="utf-8") as f:
                    f.write(raw_variant(page))

        failures = run(Renderer(args.brindle, args.module), site, names, "render")
        if args.serve:
            server = Server(args.brindle, args.module, site)
            try:
                failures += run(server, site, names, "serve")
            finally:
                server.close()

    for failure in failures:
        print("FAIL " + failure)
    print(f"{len(names)} attack pages x {len(PAYLOADS)} payloads: "
          f"{'all held' if not failures else str(len(failures)) + ' failures'}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
