// Checks the text of a qelMath body for what the evaluator would silently
// change: characters it ignores (letters and anything that is not a digit, a
// point, an operator, a parenthesis or a blank), numbers in exponent form
// ("1e3" is read as 13), commas inside numbers ("12,5" is read as 125; a
// comma before exactly three digits is a thousands separator and reads as
// meant) and numbers with two decimal points (read as 0).
#ifndef BRINDLE_ENGINE_CHECK_MATH_H
#define BRINDLE_ENGINE_CHECK_MATH_H

#include <cstddef>
#include <string_view>

#include "engine/check_report.h"

namespace bw {

// Bytes of the body whose value is known only at render (nested tags,
// ${...} references) are given as kOpaqueByte; they count as an operand.
constexpr char kOpaqueByte = '\x01';

// `body` is the body as masked; `offset` is where it starts in the page.
void checkMathBody(std::string_view body, size_t offset, CheckReport& report);

}  // namespace bw

#endif
