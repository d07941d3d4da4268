// The qelMath body check: one pass over the masked body, looking at each run
// of ignored characters in the light of its neighbours.
#include "engine/check_math.h"

#include <string>

namespace bw {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
// What the evaluator reads; everything else it skips.
bool isRead(char c) {
  switch (c) {
    case '.': case '+': case '-': case '*': case '/': case '\\': case '%': case '^': case '(': case ')':
      return true;
    default:
      return isDigit(c) || c == kOpaqueByte;
  }
}
bool isIgnored(char c) { return !isRead(c) && !isBlank(c); }

std::string withoutIgnored(std::string_view text) {
  std::string out;
  for (char c : text)
    if (!isIgnored(c)) out += c;
  return out;
}

// The number around [from, to): digits and points before `from`, and after
// `to` the digits (and one sign right after it, for an exponent).
std::string_view numberAround(std::string_view body, size_t from, size_t to, bool signAfter) {
  size_t start = from;
  while (start > 0 && (isDigit(body[start - 1]) || body[start - 1] == '.')) --start;
  size_t end = to;
  if (signAfter && end < body.size() && (body[end] == '+' || body[end] == '-')) ++end;
  while (end < body.size() && (isDigit(body[end]) || body[end] == '.')) ++end;
  return body.substr(start, end - start);
}

}  // namespace

void checkMathBody(std::string_view body, size_t offset, CheckReport& report) {
  const bool opaque = body.find(kOpaqueByte) != std::string_view::npos;
  for (size_t i = 0; i < body.size();) {
    if (isDigit(body[i]) || body[i] == '.') {  // a number: count its points
      size_t end = i, points = 0;
      while (end < body.size() && (isDigit(body[end]) || body[end] == '.')) points += body[end++] == '.';
      if (points > 1)
        report.error(offset + i, quoted(body.substr(i, end - i)) +
                                     " has more than one decimal point; qelMath reads it as 0");
      i = end;
      continue;
    }
    if (!isIgnored(body[i])) {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < body.size() && isIgnored(body[end])) ++end;
    const std::string_view run = body.substr(i, end - i);
    const bool digitBefore = i > 0 && isDigit(body[i - 1]);
    const bool digitAfter = end < body.size() && isDigit(body[end]);
    const bool signedDigitAfter = end + 1 < body.size() && (body[end] == '+' || body[end] == '-') &&
                                  isDigit(body[end + 1]);
    if ((run == "e" || run == "E") && digitBefore && (digitAfter || signedDigitAfter)) {
      std::string_view number = numberAround(body, i, end, true);
      report.error(offset + i, quoted(number) + " is read as " + quoted(withoutIgnored(number)) +
                                   ": qelMath has no exponent notation; write the number out");
    } else if (run == "," && digitBefore && digitAfter) {
      size_t digits = 0;
      while (end + digits < body.size() && isDigit(body[end + digits])) ++digits;
      if (digits != 3) {  // three digits: a thousands separator, read as meant
        std::string_view number = numberAround(body, i, end, false);
        report.error(offset + i, quoted(number) + " is read as " + quoted(withoutIgnored(number)) +
                                     ": qelMath ignores commas; write a decimal point as \".\"");
      }
    } else {
      std::string message = "qelMath ignores " + quoted(run);
      if (!opaque) message += "; the expression is read as " + quoted(withoutIgnored(body));
      report.error(offset + i, message);
    }
    i = end;
  }
}

}  // namespace bw
