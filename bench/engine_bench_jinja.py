#!/usr/bin/env python3
"""The Jinja2 twin of the engine benchmark's mixed page.

Builds the template from the same pieces as bench/engine_bench_pages.h (ten
mixed expressions a block, one loop of 100), with the values given as texts in
the context, compiles it once and prints the pages rendered per second
(best of five runs of one second of CPU time, the process's CPU time being
what the engine's benchmark reports too).  Usage: engine_bench_jinja.py [TAG_CALLS]
"""
import sys
import time

import jinja2

BLOCK = (
    "{{ 'lt' if a|float < b|float else 'ge' }}\n"
    "{% if name.startswith('A') %}yes {{ name }}{% else %}no{% endif %}\n"
    "{{ name|upper }}\n"
    "{{ name|length }}\n"
    "{{ a|float * b|float + 1 }}\n"
    "{{ text|e }}\n"
    "{{ 'three' if a|float == 3 else 'other' }}\n"
    "{{ text[1:6] }}\n"
    "{{ '%.2f' % (b|float / 3) }}\n"
    "{% if name == 'Ann' %}A{% else %}?{% endif %}\n"
)


def main():
    tags = int(sys.argv[1]) if len(sys.argv) > 1 else 10000
    source = ("<html><body>\n{% for i in range(1, 101) %}[{{ i }}]{% endfor %}\n"
              + BLOCK * ((tags - 100) // 10) + "</body></html>\n")
    template = jinja2.Environment(autoescape=False).from_string(source)
    values = {"a": "3", "b": "7.5", "name": "Ann Lee", "text": "Fish & <Chips>"}
    best = 0.0
    for _ in range(5):
        start, pages = time.process_time(), 0
        while time.process_time() - start < 1.0:
            template.render(**values)
            pages += 1
        best = max(best, pages / (time.process_time() - start))
    print(f"{best:.1f}")


if __name__ == "__main__":
    main()
