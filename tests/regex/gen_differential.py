#!/usr/bin/env python3
"""Writes data/differential.txt: random patterns of the module's regex dialect,
random subjects, and where Python's re finds the whole match of the
equivalent atomic/possessive pattern.

The module never backtracks, so each of its constructs has an exact
counterpart in Python 3.11+: a possessive quantifier for every repetition, an
atomic group for every sequence and alternation, and look-arounds for the
line-break anchors.  Patterns are built from a random tree and written out in
both syntaxes at once, so no parser is involved on this side.

One case a line, fields separated by tabs, with \\ \t \r \n escaped:
    pattern  subject  expected
expected is "start length" of the whole match, or "-" for no match.

Run from anywhere:  python3 tests/regex/gen_differential.py
The seed is fixed; the output is committed and must not change by itself.
"""
import os
import random
import re
import sys

assert sys.version_info >= (3, 11), "atomic groups need Python 3.11"

SEED = 20261208
PATTERNS = 2500
SUBJECTS_PER_PATTERN = 5
SUBJECT_ALPHABET = "aaabbc\r\n"

START = r"(?<![^\r\n])"  # start of subject or right after CR/LF
END = r"(?![^\r\n])"     # end of subject or right before CR/LF
NEVER = r"(?!)"

rng = random.Random(SEED)

# (dialect, python) leaf atoms.
ATOMS = [
    ("a", "a"), ("a", "a"), ("b", "b"), ("c", "c"),
    (".", r"[^\r\n]"),
    ("[ab]", "[ab]"), ("[^a]", "[^a]"), ("[a-b]", "[a-b]"),
    (r"[^\n]", r"[^\n]"), (r"\n", r"\n"), (r"\r", r"\r"),
    (r"\.", r"\."),
]


def quantifier():
    """(dialect, python) suffix; python's is possessive."""
    kind = rng.choice(["", "", "", "*", "+", "?", "{m}", "{m,}", "{m,n}", "{,n}", "{0}"])
    m = rng.randint(0, 3)
    n = rng.randint(max(m, 1), 4)
    if kind == "":
        return "", ""
    if kind in "*+?":
        return kind, kind + "+"
    if kind == "{m}":
        return "{%d}" % m, ("*+" if m == 0 else "{%d}+" % m)
    if kind == "{m,}":
        return "{%d,}" % m, "{%d,}+" % m
    if kind == "{m,n}":
        return "{%d,%d}" % (m, n), "{%d,%d}+" % (m, n)
    if kind == "{,n}":
        return "{,%d}" % n, "{0,%d}+" % n
    return "{0}", "*+"  # an upper bound of 0 is no bound


def sequence(max_atoms=3):
    d, p = "", ""
    for _ in range(rng.randint(1, max_atoms)):
        ad, ap = rng.choice(ATOMS)
        qd, qp = quantifier()
        d += ad + qd
        p += ap + qp
    return d, "(?>" + p + ")"


def anchored(body, start, end):
    return (START if start else "") + body + (END if end else "")


def stretch(allow_empty=False):
    """Text with at most one |, the way a segment or a group's inside is."""
    if allow_empty and rng.random() < 0.1:
        s, e = rng.choice([(True, False), (False, True), (True, True)])
        return ("^" if s else "") + ("$" if e else ""), anchored("", s, e)
    s = rng.random() < 0.2
    e = rng.random() < 0.2
    if rng.random() < 0.35:
        ad, ap = sequence()
        if rng.random() < 0.1:
            bd, bp = "", NEVER
        else:
            bd, bp = sequence()
        a_end = rng.random() < 0.15
        b_start = rng.random() < 0.15 and bd != ""
        d = ad + ("$" if a_end else "") + "|" + ("^" if b_start else "") + bd
        p = "(?>" + anchored(ap, False, a_end) + "|" + anchored(bp, b_start, False) + ")"
    else:
        d, p = sequence()
    return ("^" if s else "") + d + ("$" if e else ""), anchored(p, s, e)


def group():
    inner_d, inner_p = stretch()
    qd, qp = rng.choice([("", ""), ("", ""), ("*", "*+"), ("+", "++"), ("?", "?+"),
                         ("{2}", "{2}+"), ("{1,2}", "{1,2}+"), ("{2,}", "{2,}+"), ("$", "")])
    s = rng.random() < 0.15
    e = qd == "$"
    body = "(?:(?>" + inner_p + "))" + qp
    return ("^" if s else "") + "(" + inner_d + ")" + qd, "(?>" + anchored(body, s, e) + ")"


def pattern():
    d, p = "", ""
    want_group = rng.random() < 0.5
    for _ in range(rng.randint(1, 3)):
        if want_group:
            gd, gp = group()
        else:
            gd, gp = stretch(allow_empty=d != "")
        d += gd
        p += gp
        want_group = not want_group
    return d, p


def subject():
    return "".join(rng.choice(SUBJECT_ALPHABET) for _ in range(rng.randint(0, 10)))


def escape(text):
    return (text.replace("\\", "\\\\").replace("\t", "\\t")
            .replace("\r", "\\r").replace("\n", "\\n"))


def main():
    out_path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "data", "differential.txt")
    lines = []
    for _ in range(PATTERNS):
        d, p = pattern()
        rx = re.compile(p)
        for _ in range(SUBJECTS_PER_PATTERN):
            s = subject()
            m = rx.search(s)
            # The module never starts a match at the end of the subject.
            if m and m.start() < len(s):
                expected = "%d %d" % (m.start(), m.end() - m.start())
            else:
                expected = "-"
            lines.append(escape(d) + "\t" + escape(s) + "\t" + expected)
    with open(out_path, "w", newline="\n") as f:
        f.write("# pattern<TAB>subject<TAB>start length | -   (written by gen_differential.py)\n")
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
