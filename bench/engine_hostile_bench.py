#!/usr/bin/env python3
"""Hostile pages through `brindle render`, each at 1/16, 1/4 and full size.

Each page is built here, rendered once per size by the engine with the real
module at the default limits, and timed in CPU seconds of the child process
(user + system).  The table gives the time and the time per level (or per
byte) against the full size: a flat ratio (within 2x) shows the work grows in
proportion to the page, not with its square.  Reported in BENCHMARKS.md.

  bench/engine_hostile_bench.py --brindle build-bench/engine/brindle \
      --module build-bench/libbrindlework.so
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


def cpu_of(command):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    done = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    seconds = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    last = done.stderr.strip().splitlines()
    return seconds, next((line for line in last if "limit:" in line), "(no limit reached)")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--brindle", required=True)
    parser.add_argument("--module", required=True)
    args = parser.parse_args()
    print("| page | size | CPU s | per unit vs full | report |")
    print("|---|---:|---:|---:|---|")
    with tempfile.TemporaryDirectory() as folder:
        for name, (full, build) in PAGES.items():
            rows = []
            for n in (full // 16, full // 4, full):
                path = os.path.join(folder, "page.html")
                with open(path, "w") as f:
                    f.write(build(n))
                seconds, limit = cpu_of([args.brindle, "render", path, "--module", args.module])
                rows.append((n, seconds, limit))
            full_rate = rows[-1][1] / rows[-1][0]
            for n, seconds, limit in rows:
                ratio = (seconds / n) / full_rate if full_rate > 0 else float("nan")
                print(f"| {name} | {n:,} | {seconds:.3f} | {ratio:.2f} | {limit.split(': ', 1)[-1][:70]} |")


if __name__ == "__main__":
    main()
