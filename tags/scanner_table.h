// The transition table of the tag-body scanner: fifteen states, and for each
// state what every byte does (start a token, extend the last one, or finish a
// tag), which kind the token takes and which state follows.
//
// The rules are written below as they read, first match wins within a state,
// and compiled at build time into a full state-by-byte table, so scanning a
// byte is one lookup.  Some consequences are deliberate: a ">" inside a
// double-quoted attribute value does not end a tag, single quotes mean
// nothing, and in the states right after "<q", "<qe", "</", "</q" and "</qe"
// a ">" is an ordinary byte, so such a tag runs on to the next ">".  A "<"
// that the next byte turns back into text (a blank, "=", another "<") stays
// in the text run it stands in, so "x < y" is one text token.
#ifndef BRINDLEWORK_TAGS_SCANNER_TABLE_H
#define BRINDLEWORK_TAGS_SCANNER_TABLE_H

#include <cstdint>

namespace bw::scanner {

enum State : uint8_t {
  Start, Text, TagOpen, Prefix1, Prefix2, Prefix3, EndOpen, EndPrefix1, EndPrefix2, EndPrefix3,
  Name, Attributes, AttributesGap, AfterEquals, Quoted,
  kStateCount
};

enum Action : uint8_t {
  NewToken,     // a new token at the end of the list whose text is the byte
  Append,       // the byte joins the last token
  TagComplete,  // append, then the tag is finished (onTagComplete)
};

constexpr uint8_t kKeepKind = 0xFF;

struct Step {
  Action action;
  uint8_t kind;  // the token's kind afterwards, or kKeepKind
  State next;
  bool plain;    // only appends the byte and moves to next: the common step inside a tag
};

// Classes of bytes the rules speak about, as bits so a rule can name several.
enum ByteClass : uint16_t {
  kLess = 1 << 0,          // "<"
  kGreater = 1 << 1,       // ">"
  kSlash = 1 << 2,         // "/"
  kEquals = 1 << 3,        // "="
  kQuote = 1 << 4,         // the double quote
  kBlank = 1 << 5,         // tab, line feed, carriage return, space
  kLetterQ = 1 << 6,       // "q" or "Q"
  kLetterE = 1 << 7,       // "e" or "E"
  kLetterL = 1 << 8,       // "l" or "L"
  kOtherAlnum = 1 << 9,    // any other of "A"-"Z", "a"-"z", "0"-"9"
  kOther = 1 << 10,        // everything else
  kAlnum = kLetterQ | kLetterE | kLetterL | kOtherAlnum,
  kAny = 0x7FF,
};

constexpr uint16_t classOf(unsigned byte) {
  if (byte == '<') return kLess;
  if (byte == '>') return kGreater;
  if (byte == '/') return kSlash;
  if (byte == '=') return kEquals;
  if (byte == '"') return kQuote;
  if (byte == '\t' || byte == '\n' || byte == '\r' || byte == ' ') return kBlank;
  if (byte == 'q' || byte == 'Q') return kLetterQ;
  if (byte == 'e' || byte == 'E') return kLetterE;
  if (byte == 'l' || byte == 'L') return kLetterL;
  if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9'))
    return kOtherAlnum;
  return kOther;
}

struct Rule {
  State state;
  uint16_t bytes;  // ByteClass bits
  Action action;
  uint8_t kind;
  State next;
};

// The scanner, rule by rule.  Within a state the first rule whose bytes match
// applies; every state ends with a rule for any byte.
constexpr Rule kRules[] = {
    {Start, kLess, NewToken, 0x02, TagOpen},
    {Start, kAny, NewToken, 0x00, Text},

    {Text, kLess, NewToken, 0x02, TagOpen},
    {Text, kAny, Append, kKeepKind, Text},

    {TagOpen, kBlank, Append, 0x00, Text},
    {TagOpen, kSlash, Append, 0x22, EndOpen},
    {TagOpen, kLetterQ, Append, kKeepKind, Prefix1},
    {TagOpen, kAlnum, Append, kKeepKind, Name},
    {TagOpen, kAny, Append, 0x00, Text},

    {Prefix1, kLetterE, Append, kKeepKind, Prefix2},
    {Prefix1, kAny, Append, kKeepKind, Name},

    {Prefix2, kLetterL, Append, kKeepKind, Prefix3},
    {Prefix2, kAny, Append, kKeepKind, Name},

    {Prefix3, kGreater, TagComplete, kKeepKind, Start},
    {Prefix3, kAlnum, Append, 0x82, Name},
    {Prefix3, kAny, Append, kKeepKind, Name},

    {EndOpen, kLetterQ, Append, kKeepKind, EndPrefix1},
    {EndOpen, kAny, Append, kKeepKind, Name},

    {EndPrefix1, kLetterE, Append, kKeepKind, EndPrefix2},
    {EndPrefix1, kAny, Append, kKeepKind, Name},

    {EndPrefix2, kLetterL, Append, kKeepKind, EndPrefix3},
    {EndPrefix2, kAny, Append, kKeepKind, Name},

    {EndPrefix3, kGreater, TagComplete, kKeepKind, Start},
    {EndPrefix3, kAlnum, Append, 0xA2, Name},
    {EndPrefix3, kAny, Append, kKeepKind, Name},

    {Name, kBlank, Append, kKeepKind, Attributes},
    {Name, kGreater, TagComplete, kKeepKind, Start},
    {Name, kAny, Append, kKeepKind, Name},

    {Attributes, kBlank, Append, kKeepKind, AttributesGap},
    {Attributes, kEquals, Append, kKeepKind, AfterEquals},
    {Attributes, kGreater, TagComplete, kKeepKind, Start},
    {Attributes, kAny, Append, kKeepKind, Attributes},

    {AttributesGap, kEquals, Append, kKeepKind, AfterEquals},
    {AttributesGap, kGreater, TagComplete, kKeepKind, Start},
    {AttributesGap, kAny, Append, kKeepKind, AttributesGap},

    {AfterEquals, kQuote, Append, kKeepKind, Quoted},
    {AfterEquals, kAny, Append, kKeepKind, Attributes},

    {Quoted, kQuote, Append, kKeepKind, Attributes},
    {Quoted, kAny, Append, kKeepKind, Quoted},
};

struct Table {
  Step steps[kStateCount][256];
};

constexpr Table compile() {
  Table table{};
  for (unsigned state = 0; state < kStateCount; ++state) {
    for (unsigned byte = 0; byte < 256; ++byte) {
      for (const Rule& rule : kRules) {
        if (rule.state == state && (rule.bytes & classOf(byte)) != 0) {
          const bool plain = rule.action == Append && rule.kind == kKeepKind;
          table.steps[state][byte] = Step{rule.action, rule.kind, rule.next, plain};
          break;
        }
      }
    }
  }
  return table;
}

inline constexpr Table kTable = compile();

// For each state, the bytes whose step only adds them to the token being
// read and keeps the state (the letters of a name, the inside of a quoted
// value, a run of text): the scanner takes a run of them in one step.  Byte
// 0 never stays, since it ends the body.
struct Runs {
  bool stays[kStateCount][256];
};

constexpr Runs compileRuns() {
  Runs runs{};
  for (unsigned state = 0; state < kStateCount; ++state) {
    for (unsigned byte = 1; byte < 256; ++byte) {
      const Step& step = kTable.steps[state][byte];
      runs.stays[state][byte] =
          step.action == Append && step.kind == kKeepKind && step.next == state;
    }
  }
  return runs;
}

inline constexpr Runs kRuns = compileRuns();

}  // namespace bw::scanner

#endif
