// Equation: the evaluator behind qelMath, turning a text such as
// "(3 + 4.5) * 2 ^ 3 % 7" into one BigDecimal.
//
// parse() cuts the text into a doubly linked token list and checks the token
// order; evaluate() rewrites that list in place until one number is left.
// Every number lives at the equation's precision and scale, so each
// operation rounds its result to `scale` fraction digits.
//
// The grammar: numbers (digits and points; spaces inside a number are
// ignored), the binary operators + - * / \ % ^, unary + and -, and
// parentheses.  Every other character is ignored.  Unary signs bind tightest,
// then '^' (left-associative, exponent truncated to an integer), then
// * / \ % at one level, then + -, each level left to right.
//
// Evaluation uses no recursion: a group is reduced when its closing
// parenthesis is reached in one left-to-right walk, so the stack use does not
// depend on how deeply the parentheses nest.
#ifndef BRINDLEWORK_DECIMAL_EQUATION_H
#define BRINDLEWORK_DECIMAL_EQUATION_H

#include <cstdint>

#include "decimal/big_decimal.h"
#include "foundation/object.h"
#include "foundation/qel_string.h"

namespace bw {

class EquationToken : public QELObject {
 public:
  enum Kind : uint8_t { number = 1, operation = 2, openParenthesis = 4, closeParenthesis = 8 };

  EquationToken* next = nullptr;
  EquationToken* prev = nullptr;
  uint8_t kind = number;
  // A number's characters (digits and points) when they are not one run of
  // the equation's text (ignored characters between them, as in "1 2");
  // a run is read in place from the text, at textStart for textLength
  // bytes.  Operators and parentheses keep their one character in `symbol`.
  QelString text;
  uint32_t textStart = 0;
  uint32_t textLength = 0;
  bool textCopied = false;
  char symbol = '\0';
  BigDecimal value;
  // For a parenthesis, the one it pairs with.
  EquationToken* partner = nullptr;
};

class Equation : public QELObject {
 public:
  Equation(int32_t precision, int32_t scale);
  ~Equation() override;
  Equation(const Equation&) = delete;
  Equation& operator=(const Equation&) = delete;

  // 0, or MIFt when the text is not a well-formed equation: an operator or
  // ')' where an operand is required, '(' where an operator is required, a
  // trailing operator, unbalanced parentheses, or no token at all (a text of
  // nothing but ignored characters, such as "abc").
  uint32_t parse(const QelString& text);
  // The same on bytes that need to stay valid only during the call: every
  // number is converted while the text is read.
  uint32_t parse(const char* bytes, uint32_t length);

  // Reduces the list and stores the one remaining number (with its precision
  // and scale) in result; otherwise result has no value.  0, or MIFt when a
  // unary sign is not followed by a number (as in "--3").
  uint32_t evaluate(BigDecimal& result);

  // For tests: the token list as parsed.
  const EquationToken* head() const { return head_; }

 private:
  EquationToken* newToken();
  void destroyToken(EquationToken* token);
  void append(EquationToken* token);
  void remove(EquationToken* token);
  void finishNumber(const char* bytes);
  // Passes 2 to 5 on the tokens strictly between before and after (null
  // meaning the ends of the list); the range holds no parenthesis.
  uint32_t reduceRange(EquationToken* before, EquationToken* after);
  uint32_t reduceUnarySigns(EquationToken* before, EquationToken* after);
  uint32_t reduceBinary(EquationToken* before, EquationToken* after, const char* operators);
  EquationToken* first(EquationToken* before) const { return before ? before->next : head_; }

  // The first tokens live in the equation itself (an equation is a local of
  // the qelMath call), so a short body takes no block per token; later ones
  // come from the heap.
  static constexpr uint32_t kInlineTokens = 24;
  alignas(EquationToken) unsigned char inlineTokens_[kInlineTokens * sizeof(EquationToken)];
  uint32_t inlineUsed_ = 0;

  EquationToken* head_ = nullptr;
  EquationToken* tail_ = nullptr;
  int32_t precision_;
  int32_t scale_;
};

}  // namespace bw

#endif
