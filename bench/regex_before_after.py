#!/usr/bin/env python3
"""The ten patterns of regex_bench, two builds of the module beside PCRE2.

Runs the `regex/` rows of two regex_bench binaries (the module before a
change and after it) in turns, --rounds times, on the same machine in the
same run, and keeps each row's least CPU time: on a shared machine the least
is the time the work itself takes.  PCRE2 is measured by both binaries; the
table gives its time from the "after" binary, and the ratios are module /
PCRE2 (no JIT) of the same binary, and after / before.  Reported in
BENCHMARKS.md.

  bench/regex_before_after.py --before OLD/build-bench/bench/regex_bench \\
      --after build-bench/bench/regex_bench
"""
import argparse
import csv
import io
import subprocess


def run(binary):
    done = subprocess.run([binary, "--benchmark_filter=^regex/", "--benchmark_min_time=0.2",
                           "--benchmark_format=csv"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                          text=True, check=True)
    text = done.stdout[done.stdout.index("name,"):]
    return {row["name"]: float(row["cpu_time"]) for row in csv.DictReader(io.StringIO(text))}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--before", required=True)
    parser.add_argument("--after", required=True)
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()
    best = {"before": {}, "after": {}}
    for _ in range(args.rounds):
        for which in ("before", "after"):
            for name, cpu in run(getattr(args, which)).items():
                best[which][name] = min(cpu, best[which].get(name, cpu))
    patterns = [name[len("regex/"):-len("/brindle")] for name in best["after"] if name.endswith("/brindle")]
    print("| pattern | before | after | after / before | PCRE2 (no JIT) | before / PCRE2 | after / PCRE2 | PCRE2 JIT |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|")
    for p in patterns:
        before = best["before"][f"regex/{p}/brindle"]
        after = best["after"][f"regex/{p}/brindle"]
        pcre_before = best["before"][f"regex/{p}/pcre2"]
        pcre = best["after"][f"regex/{p}/pcre2"]
        jit = best["after"][f"regex/{p}/pcre2_jit"]
        print(f"| {p} | {before:.2f} ms | {after:.2f} ms | {after / before:.2f} | {pcre:.2f} ms | "
              f"{before / pcre_before:.2f} | {after / pcre:.2f} | {jit:.2f} ms |")


if __name__ == "__main__":
    main()
