// Equation's token list and its tokenizer.
//
// The tokenizer reads the text once, keeping only whether an operand is
// expected next and the parenthesis depth, and stops at the first misplaced
// token.  A number's text is converted when the next token starts or the
// text ends.
#include "decimal/equation.h"

#include <new>

#include "brindlework/module.h"

namespace bw {

Equation::Equation(int32_t precision, int32_t scale) : precision_(precision), scale_(scale) {}

Equation::~Equation() {
  while (head_ != nullptr) {
    EquationToken* next = head_->next;
    destroyToken(head_);
    head_ = next;
  }
}

EquationToken* Equation::newToken() {
  if (inlineUsed_ < kInlineTokens) {
    void* place = inlineTokens_ + inlineUsed_++ * sizeof(EquationToken);
    return ::new (place) EquationToken;
  }
  return new EquationToken;
}

void Equation::destroyToken(EquationToken* token) {
  // An inline slot is not reused: a token removed during reduction leaves
  // its slot empty until the equation goes.
  const unsigned char* place = reinterpret_cast<const unsigned char*>(token);
  if (place >= inlineTokens_ && place < inlineTokens_ + sizeof inlineTokens_) {
    token->~EquationToken();
  } else {
    delete token;
  }
}

void Equation::append(EquationToken* token) {
  token->prev = tail_;
  if (tail_ != nullptr) {
    tail_->next = token;
  } else {
    head_ = token;
  }
  tail_ = token;
}

void Equation::remove(EquationToken* token) {
  if (token->prev != nullptr) {
    token->prev->next = token->next;
  } else {
    head_ = token->next;
  }
  if (token->next != nullptr) {
    token->next->prev = token->prev;
  } else {
    tail_ = token->prev;
  }
  destroyToken(token);
}

void Equation::finishNumber(const char* bytes) {
  if (tail_ == nullptr || tail_->kind != EquationToken::number) return;
  EquationToken* number = tail_;
  number->value.setPrecision(precision_, scale_);
  if (number->textCopied) {
    number->value.fromText(number->text);
  } else {
    number->value.fromText(bytes + number->textStart, number->textLength);
  }
}

namespace {

// Adds the character at i to a number: the run in place grows while the
// characters follow one another; after a gap they are copied out.
void appendDigit(EquationToken& number, const char* bytes, uint32_t i) {
  if (!number.textCopied && number.textStart + number.textLength == i) {
    ++number.textLength;
    return;
  }
  if (!number.textCopied) {
    number.text.assign(bytes + number.textStart, number.textLength);
    number.textCopied = true;
  }
  number.text.append(bytes[i]);
}

}  // namespace

uint32_t Equation::parse(const QelString& text) { return parse(text.data(), text.length()); }

uint32_t Equation::parse(const char* bytes, uint32_t length) {
  bool expectOperand = true;
  int64_t depth = 0;
  auto startToken = [&](uint8_t kind, char symbol) {
    finishNumber(bytes);
    EquationToken* token = newToken();
    token->kind = kind;
    token->symbol = symbol;
    append(token);
    return token;
  };
  for (uint32_t i = 0; i < length; ++i) {
    const char c = bytes[i];
    switch (c) {
      case '(':
        ++depth;
        if (!expectOperand) return MIFt;
        startToken(EquationToken::openParenthesis, c);
        break;
      case ')': {
        --depth;
        if (expectOperand || depth < 0) return MIFt;
        EquationToken* close = startToken(EquationToken::closeParenthesis, c);
        // Walk back over whole groups to the '(' this one closes.
        EquationToken* t = close->prev;
        while (t->kind != EquationToken::openParenthesis || t->partner != nullptr) {
          t = t->kind == EquationToken::closeParenthesis ? t->partner->prev : t->prev;
        }
        t->partner = close;
        close->partner = t;
        break;
      }
      case '*':
      case '/':
      case '\\':
      case '%':
      case '^':
        if (expectOperand) return MIFt;
        expectOperand = true;
        startToken(EquationToken::operation, c);
        break;
      case '+':
      case '-':
        // Also accepted where an operand is expected: then a unary sign.
        expectOperand = true;
        startToken(EquationToken::operation, c);
        break;
      default:
        if ((c >= '0' && c <= '9') || c == '.') {
          if (expectOperand) {
            expectOperand = false;
            EquationToken* number = startToken(EquationToken::number, '\0');
            number->textStart = i;
            number->textLength = 1;
          } else if (tail_->kind == EquationToken::number) {
            appendDigit(*tail_, bytes, i);
          }
          // A digit right after ')' belongs to no number and is dropped.
        }
        break;
    }
  }
  finishNumber(bytes);
  if (tail_ == nullptr) return MIFt;  // nothing but ignored characters
  if (tail_->kind == EquationToken::operation || depth != 0) return MIFt;
  return 0;
}

}  // namespace bw
