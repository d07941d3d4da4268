#!/usr/bin/env python3
"""Hostile pages through `brindle render`, each at 1/16, 1/4 and full size.

Each page is built here, rendered by the engine with the real module at the
default limits (or with the limits given by --render-arg), and timed in CPU
seconds of the child process (user + system), the least of --runs renders.
The cost of starting the engine and loading the module, measured on a page
of one line, is taken off before the time per level (or per tag) is compared
with the full size's: a flat ratio (within 2x) shows the work grows in
proportion to the page, not with its square.  Reported in BENCHMARKS.md.

  bench/engine_hostile_bench.py --brindle build-bench/engine/brindle \
      --module build-bench/libbrindlework.so [--render-arg=--max-scanned=N]
"""
import argparse
import os
import resource
import subprocess
import tempfile

FULL_LEVELS = 16384
FULL_UNTERMINATED = 100000


def nested(open_tag, close_tag, n):
    return open_tag * n + "x" + close_tag * n + "\n"


PAGES = {
    "qelIf nested": (FULL_LEVELS, lambda n: nested('<qelIf lhs="a" relationship="equals" rhs="a">', "</qelIf>", n)),
    "qelLoop nested": (FULL_LEVELS, lambda n: nested('<qelLoop first="1" last="1">', "</qelLoop>", n)),
    "qelSwitch nested": (FULL_LEVELS, lambda n: nested('<qelSwitch value="a"><qelCase value="a">',
                                                       "</qelCase></qelSwitch>", n)),
    "unclosed qelIf": (FULL_LEVELS, lambda n: '<qelIf lhs="a" relationship="equals" rhs="a">' * n + "\n"),
    "unterminated qelMath": (FULL_UNTERMINATED, lambda n: '<qelMath x="' * n + "\n"),
}


def cpu_of(command, runs):
    best = None
    for _ in range(runs):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        done = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        seconds = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
        best = seconds if best is None else min(best, seconds)
    lines = done.stderr.strip().splitlines()
    reports = sum(1 for line in lines if ": error:" in line)
    limit = next((line for line in lines if "limit:" in line), None)
    return best, limit.split("limit: ", 1)[-1] if limit else f"(no limit; {reports:,} reports)"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--brindle", required=True)
    parser.add_argument("--module", required=True)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--render-arg", action="append", default=[],
                        help="passed to brindle render, e.g. --render-arg=--max-scanned=1000000000")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "page.html")

        def render(text):
            with open(path, "w") as f:
                f.write(text)
            return cpu_of([args.brindle, "render", path, "--module", args.module] + args.render_arg, args.runs)

        start, _ = render("one line\n")
        print(f"Start (a page of one line): {start:.3f} s CPU, taken off below.\n")
        print("| page | size | CPU s | net of start | per unit vs full | report |")
        print("|---|---:|---:|---:|---:|---|")
        for name, (full, build) in PAGES.items():
            rows = []
            for n in (full // 16, full // 4, full):
                seconds, limit = render(build(n))
                rows.append((n, seconds, max(seconds - start, 1e-6), limit))
            full_rate = rows[-1][2] / rows[-1][0]
            for n, seconds, net, limit in rows:
                ratio = (net / n) / full_rate
                print(f"| {name} | {n:,} | {seconds:.3f} | {net:.3f} | {ratio:.2f} | {limit[:70]} |")


if __name__ == "__main__":
    main()
