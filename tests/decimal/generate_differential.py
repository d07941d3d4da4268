#!/usr/bin/env python3
"""Writes tests/decimal/cases/differential.txt: random qelMath bodies with the
results Python's decimal module gives under the evaluator's documented rules.

The rules modelled here:
  * every number has precision 100 and scale workPrecision (w);
  * unary signs bind tightest, then '^', then * / \\ % (one level), then + -,
    each level left to right ('^' too);
  * each operation's result is rounded half away from zero to w digits;
  * '^' truncates its exponent to an integer and runs binary exponentiation
    from the lowest bit, rounding after every multiplication; a negative
    exponent first replaces the base by 1 / base;
  * '/' is the exact quotient rounded, '\\' the exact quotient truncated
    toward zero, '%' the exact remainder with the dividend's sign;
  * a result with more than 100 - w integer digits has no value (printed as
    the empty text); an operand without value counts as zero in + and -,
    spreads through * and gives the division-by-zero value as a divisor;
  * a zero or empty left operand of * / \\ % is left as it is;
  * a division by zero gives fifty 9s.

Run it again to regenerate the file; the seed is fixed, so the output only
changes when this script does.

    python3 tests/decimal/generate_differential.py
"""
import decimal
import os
import random
from decimal import Decimal, ROUND_HALF_UP, ROUND_DOWN

decimal.getcontext().prec = 1000
decimal.getcontext().Emax = 10000
decimal.getcontext().Emin = -10000

SEED = 20261208
COUNT = 400
PRECISION = 100
FIFTY_NINES = Decimal("9" * 50)
WORK_PRECISIONS = [0, 1, 2, 4, 8, 8, 8, 8, 12, 20, 25]


def fits(value, w):
    """The value, or None when it needs more than 100 - w integer digits."""
    if value is None or value == 0:
        return Decimal(0) if value is not None else None
    if value.adjusted() >= PRECISION - w:
        return None
    return value


def rounded(value, w):
    q = value.quantize(Decimal(1).scaleb(-w), rounding=ROUND_HALF_UP)
    return fits(q if q != 0 else Decimal(0), w)


def zero_or_none(v):
    return v is None or v == 0


def add(a, b, w):
    if zero_or_none(b):
        return a
    if zero_or_none(a):
        return b
    return fits(a + b, w)


def subtract(a, b, w):
    if zero_or_none(b):
        return a
    if zero_or_none(a):
        return -b
    return fits(a - b, w)


def multiply(a, b, w):
    if zero_or_none(a):
        return a
    if zero_or_none(b):
        return b
    return rounded(a * b, w)


def exact_quotient(a, b):
    # Exact to far more digits than any scale used here, then cut.
    with decimal.localcontext() as c:
        c.prec = 1000
        return a / b


def divide(a, b, w):
    if zero_or_none(a):
        return a
    if zero_or_none(b):
        return fits(FIFTY_NINES, w)
    return rounded(exact_quotient(a, b), w)


def truncated_quotient(a, b):
    return exact_quotient(a, b).quantize(Decimal(1), rounding=ROUND_DOWN)


def divide_integer(a, b, w):
    if zero_or_none(a):
        return a
    if zero_or_none(b):
        return fits(FIFTY_NINES, w)
    q = truncated_quotient(a, b)
    return fits(q if q != 0 else Decimal(0), w)


def remainder(a, b, w):
    if zero_or_none(a):
        return a
    if zero_or_none(b):
        return fits(FIFTY_NINES, w)
    r = a - truncated_quotient(a, b) * b
    return r if r != 0 else Decimal(0)


def to_integer(v):
    if v is None:
        return 0
    return int(v.quantize(Decimal(1), rounding=ROUND_DOWN))


def power(base, n, w):
    result = Decimal(1)
    if n == 0:
        return result
    if zero_or_none(base):
        return base
    if n < 0:
        base = divide(Decimal(1), base, w)
        n = -n
    while n != 1:
        if n & 1:
            result = multiply(result, base, w)
        base = multiply(base, base, w)
        n >>= 1
    return multiply(result, base, w)


LEVELS = [("^",), ("*", "/", "\\", "%"), ("+", "-")]


def apply(op, a, b, w):
    if op == "^":
        return power(a, to_integer(b), w)
    return {"*": multiply, "/": divide, "\\": divide_integer, "%": remainder,
            "+": add, "-": subtract}[op](a, b, w)


def reduce_flat(values, ops, w):
    for level in LEVELS:
        i = 0
        while i < len(ops):
            if ops[i] in level:
                values[i] = apply(ops[i], values[i], values[i + 1], w)
                del values[i + 1]
                del ops[i]
            else:
                i += 1
    return values[0]


def text_of(v):
    if v is None:
        return ""
    if v == 0:
        return "0"
    s = format(v, "f")
    if "." in s:
        s = s.rstrip("0").rstrip(".")
    return s


class Generator:
    def __init__(self, rng, w):
        self.rng = rng
        self.w = w

    def number(self):
        r = self.rng
        shape = r.random()
        if shape < 0.1:
            int_digits = r.randint(12, min(60, PRECISION - self.w))  # long dividends
        elif shape < 0.15:
            return "0"
        else:
            int_digits = r.randint(0, 6)
        frac_digits = r.randint(0, self.w) if self.w and r.random() < 0.6 else 0
        digits = "".join(r.choice("0123456789") for _ in range(int_digits))
        if int_digits:
            digits = r.choice("123456789") + digits[1:]
        text = digits or ("0" if frac_digits == 0 else "")
        if frac_digits:
            text += "." + "".join(r.choice("0123456789") for _ in range(frac_digits))
        return text

    def operand(self, depth):
        """Returns (text, value)."""
        r = self.rng
        sign = ""
        if r.random() < 0.15:
            sign = r.choice("+-")
        if depth < 3 and r.random() < 0.3:
            text, value = self.expression(depth + 1)
            text = "(" + text + ")"
        else:
            text = self.number()
            value = Decimal(text)
        if sign == "-":
            value = None if value is None else (-value if value != 0 else value)
        return sign + text, value

    def exponent(self):
        r = self.rng
        text = r.choice(["0", "1", "2", "3", "4", "5", "-1", "-2", "-3", "2.7", "-1.5"])
        return text, Decimal(text)

    def expression(self, depth=0):
        r = self.rng
        texts = []
        values = []
        ops = []
        text, value = self.operand(depth)
        texts.append(text)
        values.append(value)
        for _ in range(r.randint(0 if depth else 1, 4)):
            op = r.choice(["+", "-", "*", "/", "\\", "%", "^", "*", "/", "+"])
            if op == "^":
                text, value = self.exponent()
            else:
                text, value = self.operand(depth)
            ops.append(op)
            texts.append(op)
            texts.append(text)
            values.append(value)
        spaced = " " if r.random() < 0.3 else ""
        body = spaced.join(texts)
        return body, reduce_flat(values, ops, self.w)


def main():
    rng = random.Random(SEED)
    here = os.path.dirname(os.path.abspath(__file__))
    path = os.path.join(here, "cases", "differential.txt")
    lines = [
        "# qelMath bodies and their results under the documented rules, from",
        "# generate_differential.py (Python's decimal module, fixed seed).",
        "# workPrecision<TAB>body<TAB>expected output",
    ]
    seen = set()
    while len(lines) - 3 < COUNT:
        w = rng.choice(WORK_PRECISIONS)
        body, value = Generator(rng, w).expression()
        if body in seen:
            continue
        seen.add(body)
        lines.append("%d\t%s\t%s" % (w, body, text_of(value)))
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
