#!/usr/bin/env python3
"""Live differential test of BigDecimal against Python's decimal module.

Each run generates random cases from a seed, computes what every case must
give under the number type's documented rules with Python's exact decimal
arithmetic, and runs them through the C++ code:

  * operation cases (decimal_cases_test, the case-file format of
    cases/arithmetic.decTest): parse, toText, add, subtract, multiply,
    divide, remainder, divideInteger, power, round, setPrecision and
    toFixedText, on operands of precision 1 to 100 and scales from 0 to the
    precision, mixed between operands;
  * qelMath bodies (math_tag_test, through the real module): expressions at
    precision 100 with a random workPrecision, a quarter of them long runs
    of + and - (the evaluator's running sum).

The rules modelled:
  * the parser keeps at most precision - scale integer digits (one more is
    an overflow) and scale fraction digits, and keeps digit scale + 1 only
    when it is 5 or more; it stops reading at the first digit it does not
    keep (so a second point right after a kept digit scale + 1 is still
    seen);
  * every rounding is half away from zero on the first dropped digit:
    products and quotients round to the receiver's scale, sums only when
    the other operand has the wider scale;
  * a result with more than precision - scale integer digits has no value
    (overflow); a zero or empty divisor gives fifty 9s where they fit.

The seed is fixed, so a failure replays; --seed explores others:

    python3 tests/decimal/differential.py --cases-test build/tests/decimal/decimal_cases_test \
        --math-test build/tests/decimal/math_tag_test [--seed N] [--keep DIR]
"""
import argparse
import decimal
import os
import random
import re
import subprocess
import sys
import tempfile
from decimal import Decimal, ROUND_HALF_UP, ROUND_DOWN

decimal.getcontext().prec = 1000
decimal.getcontext().Emax = 10000
decimal.getcontext().Emin = -10000

SEED = 20261208
OPERATION_CASES = 6000
BODY_CASES = 400
PRECISION = 100
FIFTY_NINES = Decimal("9" * 50)
WORK_PRECISIONS = [0, 1, 2, 4, 8, 8, 8, 8, 12, 20, 25]

# ---------------------------------------------------------------------------
# qelMath bodies: the evaluator at precision 100 and scale workPrecision (w).
#   * unary signs bind tightest, then '^', then * / \\ % (one level), then
#     + -, each level left to right;
#   * '^' truncates its exponent to an integer and runs binary
#     exponentiation from the lowest bit; a negative exponent first replaces
#     the base by 1 / base;
#   * an operand without value counts as zero in + and -, spreads through *,
#     and gives the division-by-zero value as a divisor; a zero or empty
#     left operand of * / \\ % is left as it is.

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

    def sum_run(self):
        """A run of 3 to 12 terms joined by + and -, which the evaluator keeps
        unpacked between terms: long terms whose sums pass the integer limit
        midway (the next term then starts again), terms too long to parse,
        zeros, and fractions that leave the parser's kept digit."""
        r = self.rng
        limit = PRECISION - self.w
        texts = []
        values = []
        ops = []
        for i in range(r.randint(3, 12)):
            if i:
                ops.append(r.choice("+-"))
                texts.append(ops[-1])
            long_term = r.random() < 0.4
            count = r.randint(limit - 2, limit + 1) if long_term else r.randint(0, 6)
            whole = "".join(r.choice("0123456789") for _ in range(count))
            if count:
                whole = r.choice("56789" if long_term else "123456789") + whole[1:]
            fraction = "".join(r.choice("0123456789") for _ in range(r.randint(0, self.w + 2)))
            text = (whole or "0") + ("." + fraction if fraction else "")
            if r.random() < 0.08:
                text = "0"
            value = parse(text, PRECISION, self.w)[0]
            if r.random() < 0.2:
                text = "-" + text
                value = None if value is None else (-value if value != 0 else value)
            texts.append(text)
            values.append(value)
        value = reduce_flat(values, ops, self.w)
        # The tag rounds a kept digit away (resultPrecision is workPrecision).
        return " ".join(texts), None if value is None else rounded(value, self.w)




# ---------------------------------------------------------------------------
# Operation cases: one BigDecimal operation on operands of their own
# precision and scale.

OK, OVERFLOW, BAD_SIGN, BAD_CHARACTER, SECOND_POINT, DIVIDE_BY_ZERO = (
    "ok", "overflow", "badSign", "badCharacter", "secondPoint", "divideByZero")


class Num:
    """A BigDecimal as the rules see it: a value (None: no value), its
    precision and its scale."""

    def __init__(self, value, p, s):
        self.value, self.p, self.s = value, p, s

    def copy(self):
        return Num(self.value, self.p, self.s)

    def limit(self):
        return self.p - self.s

    def empty_or_zero(self):
        return self.value is None or self.value == 0


def fraction_digits(v):
    if v is None or v == 0:
        return 0
    exponent = v.normalize().as_tuple().exponent
    return -exponent if exponent < 0 else 0


def integer_digits(v):
    if v is None or v == 0:
        return 0
    return v.adjusted() + 1 if v.adjusted() >= 0 else 0


def parse(text, p, s):
    """(value, status) of the parser at precision p and scale s."""
    if text == "":
        return None, OK
    body = text.lstrip(" ")
    if body[:1] in ("+", "-"):
        body = body[1:]
    negative = text.lstrip(" ")[:1] == "-"
    m = re.match(r"(\d*)(\.(\d*))?", body)
    whole, fraction, rest = m.group(1).lstrip("0"), m.group(3), body[m.end():]
    if len(whole) > p - s:
        return None, OVERFLOW
    kept = fraction or ""
    if fraction is not None and len(fraction) > s:
        kept = fraction[:s] + (fraction[s] if fraction[s] >= "5" else "")
    # Parsing stops at a digit past the kept one, or at digit s + 1 when it
    # is dropped; after a kept digit s + 1 the text is still read, and so it
    # is after a point that starts the number and s + 1 zeros (skipped, not
    # read as digits).
    cut = fraction is not None and (len(fraction) > s + 1 or
                                    (len(fraction) == s + 1 and fraction[s] < "5"
                                     and (whole != "" or fraction.strip("0") != "")))
    if not cut:
        if rest.startswith("."):
            return Decimal(0), SECOND_POINT
        rest = rest.lstrip(" ")
        if rest:
            return None, (BAD_SIGN if rest[0] in "+-" else BAD_CHARACTER)
    value = Decimal((whole or "0") + "." + (kept or "0"))
    if value == 0:
        return Decimal(0), OK
    return (-value if negative else value), OK


def finish(n, value, fraction_limit=None):
    """The one finishing step: round half away from zero, then the limit."""
    if value is not None and fraction_limit is not None and fraction_digits(value) > fraction_limit:
        value = value.quantize(Decimal(1).scaleb(-fraction_limit), rounding=ROUND_HALF_UP)
    if value is not None and value == 0:
        value = Decimal(0)
    if value is not None and value != 0 and value.adjusted() >= n.limit():
        n.value = None
        return OVERFLOW
    n.value = value
    return OK


def op_round(n, digits):
    if digits < 0 or digits > n.s:
        digits = n.s
    if fraction_digits(n.value) <= digits:
        return OK
    return finish(n, n.value, digits)


def op_set_precision(n, p, s):
    if p == 0 or p < -1 or p > 100:
        return OK
    if p == -1:
        p = n.p
    if s < -1 or s > p:
        return OK
    if s == -1:
        s = n.s
    if p - s < n.limit() and p - s < integer_digits(n.value):
        return OK
    n.p, n.s = p, s
    if fraction_digits(n.value) > s:
        return op_round(n, s)
    return OK


def op_combine(a, b, subtract):
    if b.empty_or_zero():
        return OK
    if a.empty_or_zero():
        a.value, a.p, a.s = b.value, b.p, b.s
        if subtract and a.value is not None:
            a.value = -a.value if a.value != 0 else a.value
        return OK
    exact = a.value - b.value if subtract else a.value + b.value
    return finish(a, exact, a.s if b.s > a.s else None)


def op_multiply(a, b):
    if a.empty_or_zero():
        return OK
    if b.empty_or_zero():
        a.value = b.value
        return OK
    return finish(a, a.value * b.value, a.s)


def divide_by_zero(a):
    a.value, _ = parse(str(FIFTY_NINES), a.p, a.s)
    return DIVIDE_BY_ZERO


def op_divide(a, b, kind):
    if a.empty_or_zero():
        return OK
    if b.empty_or_zero():
        return divide_by_zero(a)
    quotient = a.value / b.value
    if kind == "divide":
        return finish(a, quotient, a.s)
    whole = quotient.quantize(Decimal(1), rounding=ROUND_DOWN)
    if kind == "divint":
        return finish(a, whole, a.s)
    if a.value.adjusted() < b.value.adjusted():
        return OK  # no quotient digit: the dividend is the remainder, unchanged
    rest = a.value - whole * b.value
    needed = fraction_digits(rest)
    if needed > a.s:  # an exact remainder may need the divisor's finer scale
        a.p = min(100, a.p + needed - a.s)
        a.s = min(needed, a.p)
    return finish(a, rest, a.s)


def op_power(a, exponent):
    one = Num(parse("1", a.p, a.s)[0], a.p, a.s)
    if exponent == 0:
        return one
    if a.empty_or_zero():
        return a.copy()
    base = a.copy()
    if exponent < 0:
        reciprocal = one.copy()
        op_divide(reciprocal, base, "divide")
        base = reciprocal
        exponent = -exponent
    result = one
    while exponent != 1:
        if exponent & 1:
            op_multiply(result, base)
        op_multiply(base, base)
        exponent >>= 1
    op_multiply(result, base)
    return result


def to_text(v):
    if v is None:
        return ""
    if v == 0:
        return "0"
    text = format(v, "f")
    if "." in text:
        text = text.rstrip("0").rstrip(".")
    return text


def to_fixed_text(n, digits, round_first):
    shown = n.copy()
    if round_first:
        op_round(shown, digits)
    text = to_text(shown.value)
    if digits > 0:
        if "." not in text:
            text += "."
        text += "0" * (digits - (len(text) - text.index(".") - 1))
    if text.startswith("."):
        text = "0" + text
    return text


class OperationCases:
    def __init__(self, rng):
        self.rng = rng

    def precision_and_scale(self):
        r = self.rng
        p = r.choice([1, 2, 3, 8, 20, 38, 38, 50, 99, 100, 100, r.randint(1, 100), r.randint(1, 100)])
        s = r.choice([0, 0, p, min(p, 8), r.randint(0, p), r.randint(0, p), r.randint(0, p)])
        return p, s

    def digits(self, count):
        r = self.rng
        shape = r.random()
        if shape < 0.1:
            return "9" * count
        if shape < 0.2:
            return "1" + "0" * (count - 1) if count else ""
        if shape < 0.3:
            return "".join(r.choice("05") for _ in range(count))
        return "".join(r.choice("0123456789") for _ in range(count))

    def operand_text(self, p, s):
        """A text the parser reads without error under (p, s)."""
        r = self.rng
        if r.random() < 0.04:
            return r.choice(["0", "", "-0"])
        room = p - s
        whole = self.digits(r.choice([0, 1, room, r.randint(0, room)]) if room else 0).lstrip("0")
        fraction = self.digits(r.choice([0, s, r.randint(0, s)]) if s else 0)
        if r.random() < 0.1:
            fraction += r.choice("56789")  # the parser's kept digit
        text = (whole or "0") + ("." + fraction if fraction else "")
        return ("-" if r.random() < 0.4 else "") + text

    def operand(self, shared=None):
        p, s = shared if shared and self.rng.random() < 0.6 else self.precision_and_scale()
        text = self.operand_text(p, s)
        value, status = parse(text, p, s)
        assert status == OK, (text, p, s)
        return "%s[%d,%d]" % (quote(text), p, s), Num(value, p, s)

    def parse_text(self):
        r = self.rng
        pieces = [" " * r.randint(0, 2), r.choice(["", "", "-", "+"]), "0" * r.randint(0, 2),
                  self.digits(r.randint(0, 40))]
        if r.random() < 0.7:
            pieces += [".", self.digits(r.randint(0, 40))]
        pieces.append(" " * r.randint(0, 2) if r.random() < 0.3 else "")
        text = "".join(pieces)
        if r.random() < 0.15:
            # Something that does not belong, placed before any fraction cut.
            point = text.find(".")
            at = r.randint(0, point if point >= 0 else len(text))
            text = text[:at] + r.choice(["x", "+", "-", ".", " 1"]) + text[at:]
        return text

    def case(self, number):
        r = self.rng
        kind = r.choice(["parse", "add", "subtract", "multiply", "divide", "divint", "remainder",
                         "power", "round", "setprecision", "fixed", "fixedplain", "add", "subtract",
                         "multiply", "divide"])
        name = "diff%05d %s " % (number, kind)
        if kind == "parse":
            p, s = self.precision_and_scale()
            text = self.parse_text()
            value, status = parse(text, p, s)
            return name + "%s[%d,%d] -> %s %s" % (quote(text), p, s, quote(to_text(value)), status)
        a_text, a = self.operand()
        if kind in ("add", "subtract", "multiply", "divide", "divint", "remainder"):
            b_text, b = self.operand((a.p, a.s))
            if kind in ("add", "subtract"):
                status = op_combine(a, b, kind == "subtract")
            elif kind == "multiply":
                status = op_multiply(a, b)
            else:
                status = op_divide(a, b, kind)
            return name + "%s %s -> %s %s" % (a_text, b_text, quote(to_text(a.value)), status)
        if kind == "power":
            n = r.choice([0, 1, 2, 3, 5, 7, 12, -1, -2, -3, r.randint(-6, 20)])
            return name + "%s %d -> %s" % (a_text, n, quote(to_text(op_power(a, n).value)))
        if kind == "round":
            n = r.choice([-1, 0, 1, 2, a.s, a.s + 1, r.randint(0, max(a.s, 1))])
            status = op_round(a, n)
            return name + "%s %d -> %s %s" % (a_text, n, quote(to_text(a.value)), status)
        if kind == "setprecision":
            p = r.choice([-2, -1, 0, 101, r.randint(1, 100), r.randint(1, 100), a.p])
            s = r.choice([-2, -1, 0, r.randint(0, max(p, 0)), max(p, 0) + 1])
            status = op_set_precision(a, p, s)
            result = "%s@%d,%d" % (to_text(a.value), a.p, a.s)
            return name + "%s '%d,%d' -> %s %s" % (a_text, p, s, quote(result), status)
        n = r.choice([-1, 0, 1, 2, 3, a.s, a.s + 2, r.randint(0, 30)])
        text = to_fixed_text(a, n, kind == "fixed")
        return name + "%s %d -> %s" % (a_text, n, quote(text))


def quote(text):
    return "'%s'" % text if text == "" or " " in text else text


def operation_file(rng, count):
    lines = ["-- Generated by tests/decimal/differential.py; see cases/arithmetic.decTest."]
    generator = OperationCases(rng)
    lines += [generator.case(i) for i in range(count)]
    return "\n".join(lines) + "\n"


def body_file(rng, count):
    lines = ["# workPrecision<TAB>body<TAB>expected output"]
    seen = set()
    while len(lines) - 1 < count:
        w = rng.choice(WORK_PRECISIONS)
        generator = Generator(rng, w)
        body, value = generator.sum_run() if rng.random() < 0.25 else generator.expression()
        if body in seen:
            continue
        seen.add(body)
        lines.append("%d\t%s\t%s" % (w, body, text_of(value)))
    return "\n".join(lines) + "\n"


def run(emulator, binary, variable, path, test_filter):
    env = dict(os.environ)
    env[variable] = path
    command = ([emulator] if emulator else []) + [binary, "--gtest_filter=" + test_filter]
    done = subprocess.run(command, env=env)
    return done.returncode == 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--seed", type=int, default=SEED)
    parser.add_argument("--cases", type=int, default=OPERATION_CASES)
    parser.add_argument("--bodies", type=int, default=BODY_CASES)
    parser.add_argument("--cases-test", help="the decimal_cases_test binary")
    parser.add_argument("--math-test", help="the math_tag_test binary")
    parser.add_argument("--emulator", help="runs the binaries (a cross build's wine)")
    parser.add_argument("--keep", help="write the generated files into this folder")
    args = parser.parse_args()
    rng = random.Random(args.seed)
    operations = operation_file(rng, args.cases)
    bodies = body_file(rng, args.bodies)
    folder = args.keep or tempfile.mkdtemp(prefix="brindle-differential-")
    os.makedirs(folder, exist_ok=True)
    operations_path = os.path.join(folder, "operations.decTest")
    bodies_path = os.path.join(folder, "bodies.txt")
    with open(operations_path, "w") as f:
        f.write(operations)
    with open(bodies_path, "w") as f:
        f.write(bodies)
    passed = True
    if args.cases_test:
        passed &= run(args.emulator, args.cases_test, "BRINDLE_DECIMAL_CASE_FILE", operations_path,
                      "DecimalCaseFiles.GeneratedFile")
    if args.math_test:
        passed &= run(args.emulator, args.math_test, "BRINDLE_MATH_BODY_FILE", bodies_path,
                      "MathTag.DifferentialBodies")
    if not args.keep:
        for path in (operations_path, bodies_path):
            os.remove(path)
        os.rmdir(folder)
    print("seed %d: %d operation cases, %d qelMath bodies: %s" %
          (args.seed, args.cases, args.bodies, "passed" if passed else "FAILED"))
    return 0 if passed else 1


if __name__ == "__main__":
    sys.exit(main())
