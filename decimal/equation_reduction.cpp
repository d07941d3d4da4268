// Equation's reduction: the token list is rewritten in place until one number
// is left.
//
// Parentheses are handled in one left-to-right walk: when a ')' is reached,
// every group inside it has already become a number, so the range between it
// and its partner holds no parenthesis and is reduced by the four flat passes
// (unary signs, '^', then * / \ %, then + -); the '(' then becomes the group's
// number and the rest of the group is removed.  No recursion, so nesting
// depth costs no stack.  A run of + and - is summed in one DecimalSum, so its
// running sum is packed once rather than after every term.
#include "brindlework/module.h"
#include "decimal/decimal_sum.h"
#include "decimal/equation.h"

namespace bw {

namespace {

bool isNumber(const EquationToken* t) { return t->kind == EquationToken::number; }
bool isOperation(const EquationToken* t) { return t->kind == EquationToken::operation; }

bool isSumOperator(const EquationToken* t) {
  return isOperation(t) && (t->symbol == '+' || t->symbol == '-');
}

bool listed(char symbol, const char* operators) {
  for (; *operators != '\0'; ++operators) {
    if (*operators == symbol) return true;
  }
  return false;
}

void apply(BigDecimal& left, char symbol, const BigDecimal& right) {
  switch (symbol) {
    case '^': left = left.power(right.toInteger()); break;
    case '*': left.multiply(right); break;
    case '/': left.divide(right); break;
    case '\\': left.divideInteger(right); break;
    case '%': left.remainder(right); break;
    default: break;
  }
}

// The binary levels, tightest first.
const char* const kOperatorLevels[] = {"^", "*/\\%", "+-"};

}  // namespace

uint32_t Equation::reduceUnarySigns(EquationToken* before, EquationToken* after) {
  EquationToken* start = first(before);
  for (EquationToken* t = start; t != after; t = t->next) {
    if (!isOperation(t) || (t != start && !isOperation(t->prev))) continue;
    EquationToken* operand = t->next;
    if ((t->symbol != '+' && t->symbol != '-') || operand == after || !isNumber(operand)) {
      return MIFt;
    }
    t->kind = EquationToken::number;
    t->value = operand->value;
    if (t->symbol == '-') t->value.negate();
    remove(operand);
  }
  return 0;
}

uint32_t Equation::reduceBinary(EquationToken* before, EquationToken* after,
                                const char* operators) {
  EquationToken* current = first(before);
  while (current != after) {
    EquationToken* op = current->next;
    if (op == after) break;
    if (!isOperation(op) || !listed(op->symbol, operators)) {
      current = op->next;
      continue;
    }
    EquationToken* right = op->next;
    if (right == after || !isNumber(right) || !isNumber(current)) return MIFt;
    if (!isSumOperator(op)) {
      apply(current->value, op->symbol, right->value);
      remove(right);
      remove(op);
      continue;
    }
    // The whole run of + and - that starts here, left to right.
    DecimalSum sum(current->value);
    while (op != after && isSumOperator(op)) {
      right = op->next;
      if (right == after || !isNumber(right)) return MIFt;
      sum.add(right->value, op->symbol == '-');
      remove(right);
      remove(op);
      op = current->next;
    }
    sum.store(current->value);
  }
  return 0;
}

uint32_t Equation::reduceRange(EquationToken* before, EquationToken* after) {
  auto single = [&] {
    EquationToken* t = first(before);
    return t != after && t->next == after;
  };
  if (single()) return 0;
  if (uint32_t code = reduceUnarySigns(before, after)) return code;
  for (const char* operators : kOperatorLevels) {
    if (single()) return 0;
    if (uint32_t code = reduceBinary(before, after, operators)) return code;
  }
  return 0;
}

uint32_t Equation::evaluate(BigDecimal& result) {
  for (EquationToken* t = head_; t != nullptr; t = t->next) {
    if (t->kind != EquationToken::closeParenthesis) continue;
    EquationToken* open = t->partner;
    if (uint32_t code = reduceRange(open, t)) {
      result = "";
      return code;
    }
    EquationToken* inner = open->next;
    if (inner == t || inner->next != t || !isNumber(inner)) {
      result = "";
      return MIFt;
    }
    open->kind = EquationToken::number;
    open->value = inner->value;
    open->partner = nullptr;
    remove(inner);
    remove(t);
    t = open;
  }
  uint32_t code = head_ != nullptr ? reduceRange(nullptr, nullptr) : MIFt;
  if (code == 0 && head_->next == nullptr && isNumber(head_)) {
    result = head_->value;
    return 0;
  }
  result = "";
  return code != 0 ? code : MIFt;
}

}  // namespace bw
