// The tag-body scanner on hand-written bodies: the kinds and texts of the
// tokens, which tags pair with which, and the list operations the control
// tags cut their results with.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tags/open_tag_index.h"
#include "tags/scanner_table.h"
#include "tags/tag_body.h"

namespace bw {
namespace {

struct Token {
  int kind;
  std::string text;
  bool operator==(const Token& o) const { return kind == o.kind && text == o.text; }
};
using Pairs = std::vector<std::pair<int, int>>;  // opening index, end index

std::ostream& operator<<(std::ostream& out, const Token& t) {
  return out << std::hex << "0x" << t.kind << std::dec << " \"" << t.text << "\"";
}

struct Scanned {
  std::vector<Token> tokens;
  Pairs pairs;
  std::string joined;
};

QelString text(const std::string& s) { return QelString(s.data(), static_cast<uint32_t>(s.size())); }

// Reads the list back, checking its links and the partner symmetry as it goes.
Scanned read(const TagBody& body) {
  Scanned out;
  std::vector<const BodyToken*> order;
  const BodyToken* previous = nullptr;
  for (const BodyToken* t = body.head; t != nullptr; t = t->next) {
    EXPECT_EQ(t->prev, previous);
    order.push_back(t);
    out.tokens.push_back({t->kind, std::string(t->text.data(), t->text.length())});
    out.joined.append(t->text.data(), t->text.length());
    previous = t;
  }
  EXPECT_EQ(body.tail, previous);
  auto indexOf = [&](const BodyToken* t) {
    for (size_t i = 0; i < order.size(); ++i)
      if (order[i] == t) return static_cast<int>(i);
    return -1;
  };
  for (size_t i = 0; i < order.size(); ++i) {
    const BodyToken* t = order[i];
    if (t->partner == nullptr) {
      EXPECT_FALSE(t->kind & kPairedFlag) << "paired flag without partner at " << i;
      continue;
    }
    EXPECT_EQ(t->partner->partner, t) << "partner not symmetric at " << i;
    if (t->kind & kClosingFlag) {
      EXPECT_TRUE(t->partner->kind & kPairedFlag);
      out.pairs.push_back({indexOf(t->partner), static_cast<int>(i)});
    }
  }
  return out;
}

struct Case {
  std::string body;
  bool pairAll;
  std::vector<Token> tokens;
  Pairs pairs;
};

void check(const Case& c) {
  TagBody body(text(c.body), c.pairAll);
  const Scanned s = read(body);
  EXPECT_EQ(s.tokens, c.tokens) << "body: " << c.body;
  EXPECT_EQ(s.pairs, c.pairs) << "body: " << c.body;
  // The token texts read in order are the body up to its first 0 byte.
  EXPECT_EQ(s.joined, c.body.substr(0, c.body.find('\0'))) << "body: " << c.body;
}

const std::vector<Case> kTokenCases = {
    // Text and ordinary tags.
    {"", false, {}, {}},
    {"plain", false, {{0x00, "plain"}}, {}},
    {"a<b>c", false, {{0x00, "a"}, {0x02, "<b>"}, {0x00, "c"}}, {}},
    {"<>", false, {{0x00, "<>"}}, {}},
    {"<<b>", false, {{0x00, "<<b>"}}, {}},
    // A "<" that starts no tag stays in the text run it stands in.
    {"x < y", false, {{0x00, "x < y"}}, {}},
    {"a<=b", false, {{0x00, "a<=b"}}, {}},
    {"a<<b>", false, {{0x00, "a<<b>"}}, {}},
    {"1 < 2 <b>3 < 4</b>", false,
     {{0x00, "1 < 2 "}, {0x02, "<b>"}, {0x00, "3 < 4"}, {0x22, "</b>"}}, {}},
    {"<b>< c", false, {{0x02, "<b>"}, {0x00, "< c"}}, {}},
    {"x <", false, {{0x00, "x "}, {0x02, "<"}}, {}},
    {"x <qelElse>y", false, {{0x00, "x "}, {0x82, "<qelElse>"}, {0x00, "y"}}, {}},
    {"x </qelIf>", false, {{0x00, "x "}, {0xA2, "</qelIf>"}}, {}},
    // The qel prefix: "qel" followed by a letter or digit, in any case.
    {"<qelElse>", false, {{0x82, "<qelElse>"}}, {}},
    {"<qel1>", false, {{0x82, "<qel1>"}}, {}},
    {"<qel>", false, {{0x02, "<qel>"}}, {}},
    {"<qel-x>", false, {{0x02, "<qel-x>"}}, {}},
    {"<qelx", false, {{0x82, "<qelx"}}, {}},
    {"<aqelx>", false, {{0x02, "<aqelx>"}}, {}},
    // A ">" right after "<q", "<qe", "</", "</q" or "</qe" does not end the tag.
    {"<q>a<qelElse>b", false, {{0x02, "<q>a<qelElse>"}, {0x00, "b"}}, {}},
    {"<qe>x>y", false, {{0x02, "<qe>x>"}, {0x00, "y"}}, {}},
    {"</>x>y", false, {{0x22, "</>x>"}, {0x00, "y"}}, {}},
    {"</q>x>", false, {{0x22, "</q>x>"}}, {}},
    // Attributes: double quotes hide ">", single quotes do not.
    {"<qelIf lhs=\"a>b\">", false, {{0x82, "<qelIf lhs=\"a>b\">"}}, {}},
    {"<a x='1>2'>", false, {{0x02, "<a x='1>"}, {0x00, "2'>"}}, {}},
    {"<a x = \"v>w\">", false, {{0x02, "<a x = \"v>"}, {0x00, "w\">"}}, {}},
    {"<a x y=\"1>2\">z", false, {{0x02, "<a x y=\"1>2\">"}, {0x00, "z"}}, {}},
    {"<a\tx=\"1\"\n>", false, {{0x02, "<a\tx=\"1\"\n>"}}, {}},
    // Unterminated tags and quotes stay the last token.
    {"a<qelIf x", false, {{0x00, "a"}, {0x82, "<qelIf x"}}, {}},
    {"<qelIf x=\"1>2", false, {{0x82, "<qelIf x=\"1>2"}}, {}},
    // A 0 byte ends the body.
    {std::string("ab\0<c>", 6), false, {{0x00, "ab"}}, {}},
    {std::string("<qelIf>\0</qelIf>", 16), false, {{0x82, "<qelIf>"}}, {}},
};

const std::vector<Case> kPairingCases = {
    {"<qelIf lhs=\"1\">A</qelIf>", false, {{0x92, "<qelIf lhs=\"1\">"}, {0x00, "A"}, {0xA2, "</qelIf>"}},
     {{0, 2}}},
    {"<QELIF a=\"1\">x</qelif>", false, {{0x92, "<QELIF a=\"1\">"}, {0x00, "x"}, {0xA2, "</qelif>"}},
     {{0, 2}}},
    // Ordinary tags pair only when asked to.
    {"<b>x</b>", false, {{0x02, "<b>"}, {0x00, "x"}, {0x22, "</b>"}}, {}},
    {"<b>x</b>", true, {{0x12, "<b>"}, {0x00, "x"}, {0x22, "</b>"}}, {{0, 2}}},
    {"<B class=\"c\">x</b>", true, {{0x12, "<B class=\"c\">"}, {0x00, "x"}, {0x22, "</b>"}}, {{0, 2}}},
    // An ordinary end tag never pairs with a qel tag of the same text, nor
    // the other way round.
    {"<qelx></qelx>", true, {{0x92, "<qelx>"}, {0xA2, "</qelx>"}}, {{0, 1}}},
    {"<qel></qel>", true, {{0x12, "<qel>"}, {0x22, "</qel>"}}, {{0, 1}}},
    // Nesting: innermost first.
    {"<qelIf a>1<qelIf b>2</qelIf>3</qelIf>", false,
     {{0x92, "<qelIf a>"}, {0x00, "1"}, {0x92, "<qelIf b>"}, {0x00, "2"}, {0xA2, "</qelIf>"},
      {0x00, "3"}, {0xA2, "</qelIf>"}},
     {{2, 4}, {0, 6}}},
    {"<qelIf a><qelIf b></qelIf>", false,
     {{0x82, "<qelIf a>"}, {0x92, "<qelIf b>"}, {0xA2, "</qelIf>"}}, {{1, 2}}},
    {"<qelIf></qelIf></qelIf>", false,
     {{0x92, "<qelIf>"}, {0xA2, "</qelIf>"}, {0xA2, "</qelIf>"}}, {{0, 1}}},
    // The name must end where the end tag's does.
    {"<qelIfx></qelIf>", false, {{0x82, "<qelIfx>"}, {0xA2, "</qelIf>"}}, {}},
    {"<qelIf></qelIfx>", false, {{0x82, "<qelIf>"}, {0xA2, "</qelIfx>"}}, {}},
    // An end tag with a blank wants an opening tag with the same blank.
    {"<qelIf  x></qelIf >", false, {{0x92, "<qelIf  x>"}, {0xA2, "</qelIf >"}}, {{0, 1}}},
    {"<qelIf lhs=\"1\"></qelIf >", false, {{0x82, "<qelIf lhs=\"1\">"}, {0xA2, "</qelIf >"}}, {}},
    {"<qelIf x y></qelIf x>", false, {{0x92, "<qelIf x y>"}, {0xA2, "</qelIf x>"}}, {{0, 1}}},
    {"<qelIf xy></qelIf x>", false, {{0x82, "<qelIf xy>"}, {0xA2, "</qelIf x>"}}, {}},
    {"<qelIf x y><qelIf x></qelIf x>", false,
     {{0x82, "<qelIf x y>"}, {0x92, "<qelIf x>"}, {0xA2, "</qelIf x>"}}, {{1, 2}}},
    {"<qelIf x><qelIf x y></qelIf x></qelIf>", false,
     {{0x92, "<qelIf x>"}, {0x92, "<qelIf x y>"}, {0xA2, "</qelIf x>"}, {0xA2, "</qelIf>"}},
     {{1, 2}, {0, 3}}},
    {"<QELIF X\tY></qelif x\ty>", false, {{0x92, "<QELIF X\tY>"}, {0xA2, "</qelif x\ty>"}},
     {{0, 1}}},
    // A ">" the tag runs on past is part of the name an end tag must repeat.
    {"<q>a>b</q>a>", true, {{0x12, "<q>a>"}, {0x00, "b"}, {0x22, "</q>a>"}}, {{0, 2}}},
    {"<q>ab>b</q>a>", true, {{0x02, "<q>ab>"}, {0x00, "b"}, {0x22, "</q>a>"}}, {}},
    // The plain end tag still finds the opening tag past one it cannot use.
    {"<qelIf a><qelIf xy></qelIf x></qelIf>", false,
     {{0x82, "<qelIf a>"}, {0x92, "<qelIf xy>"}, {0xA2, "</qelIf x>"}, {0xA2, "</qelIf>"}},
     {{1, 3}}},
    // A paired block is stepped over whole: tags inside it are out of reach.
    {"<qelIf><qelSwitch></qelIf></qelSwitch>", false,
     {{0x92, "<qelIf>"}, {0x82, "<qelSwitch>"}, {0xA2, "</qelIf>"}, {0xA2, "</qelSwitch>"}},
     {{0, 2}}},
    {"<qelSwitch><qelIf></qelIf></qelSwitch>", false,
     {{0x92, "<qelSwitch>"}, {0x92, "<qelIf>"}, {0xA2, "</qelIf>"}, {0xA2, "</qelSwitch>"}},
     {{1, 2}, {0, 3}}},
    {"<qelA><qelB><qelA></qelB></qelA>", false,
     {{0x92, "<qelA>"}, {0x92, "<qelB>"}, {0x82, "<qelA>"}, {0xA2, "</qelB>"}, {0xA2, "</qelA>"}},
     {{1, 3}, {0, 4}}},
    // Markers and inline tags stay unpaired.
    {"<qelIf>a<qelElse>b</qelIf>", false,
     {{0x92, "<qelIf>"}, {0x00, "a"}, {0x82, "<qelElse>"}, {0x00, "b"}, {0xA2, "</qelIf>"}},
     {{0, 4}}},
    // Mixed ordinary and qel pairs in a loop body.
    {"<td><qelIf>x</qelIf></td>", true,
     {{0x12, "<td>"}, {0x92, "<qelIf>"}, {0x00, "x"}, {0xA2, "</qelIf>"}, {0x22, "</td>"}},
     {{1, 3}, {0, 4}}},
};

TEST(TagBodyScan, TokenKindsAndTexts) {
  for (const Case& c : kTokenCases) check(c);
}

// The scanner against a plain walk of its state table, one byte a step:
// random bodies of the bytes the rules speak about must give the same
// tokens, kinds and texts (pairing aside).
std::vector<Token> tableWalk(const std::string& body) {
  std::vector<Token> tokens;
  scanner::State state = scanner::Start;
  size_t held = std::string::npos;  // a "<" of a text run waiting for the byte after it
  for (size_t i = 0; i < body.size() && body[i] != '\0'; ++i) {
    const unsigned char byte = static_cast<unsigned char>(body[i]);
    const scanner::Step& step = scanner::kTable.steps[state][byte];
    if (held != std::string::npos) {
      if (step.kind != kTextToken) {
        tokens.back().text.erase(tokens.back().text.size() - 1);
        if (tokens.back().text.empty()) tokens.pop_back();
        tokens.push_back({kTagToken, "<"});
        if (step.kind != scanner::kKeepKind) tokens.back().kind = step.kind;
      }
      held = std::string::npos;
      tokens.back().text += static_cast<char>(byte);
    } else if (step.action == scanner::NewToken) {
      if (state == scanner::Text) {
        held = i;
        tokens.back().text += '<';
      } else {
        tokens.push_back({step.kind, std::string(1, static_cast<char>(byte))});
      }
    } else {
      tokens.back().text += static_cast<char>(byte);
      if (step.kind != scanner::kKeepKind) tokens.back().kind = step.kind;
    }
    state = step.next;
  }
  if (held != std::string::npos) {
    tokens.back().text.erase(tokens.back().text.size() - 1);
    if (tokens.back().text.empty()) tokens.pop_back();
    tokens.push_back({kTagToken, "<"});
  }
  return tokens;
}

TEST(TagBodyScan, RandomBodiesMatchTheTableWalk) {
  const std::string alphabet = "<<<>>/=\" \tqQeElLx1-'";
  std::mt19937 random(8122026);
  for (int round = 0; round < 20000; ++round) {
    std::string body;
    const int length = static_cast<int>(random() % 40);
    for (int i = 0; i < length; ++i) body += alphabet[random() % alphabet.size()];
    if (random() % 8 == 0) body.insert(random() % (body.size() + 1), 1, '\0');
    const bool pairAll = random() % 2 == 0;
    TagBody scanned(text(body), pairAll);
    const Scanned fromString = read(scanned);
    std::vector<Token> tokens = fromString.tokens;
    for (Token& t : tokens) t.kind &= ~kPairedFlag;
    ASSERT_EQ(tokens, tableWalk(body)) << "body: " << body;
    // Scanning bytes the caller keeps gives the same list and pairs.
    const TagBody overBytes(TokenText(body.c_str(), static_cast<uint32_t>(body.size())), pairAll);
    const Scanned fromBytes = read(overBytes);
    ASSERT_EQ(fromBytes.tokens, fromString.tokens) << "body: " << body;
    ASSERT_EQ(fromBytes.pairs, fromString.pairs) << "body: " << body;
  }
}

TEST(TagBodyScan, Pairing) {
  for (const Case& c : kPairingCases) check(c);
}

// Deep nesting and long runs of unmatched tags must neither crash nor
// change the pairing rules.
TEST(TagBodyScan, DeepNestingPairsEveryLevel) {
  constexpr int kDepth = 100000;
  std::string body;
  for (int i = 0; i < kDepth; ++i) body += "<qelIf a>";
  for (int i = 0; i < kDepth; ++i) body += "</qelIf>";
  TagBody scanned(text(body), false);
  std::vector<const BodyToken*> tokens;
  for (const BodyToken* t = scanned.head; t != nullptr; t = t->next) tokens.push_back(t);
  ASSERT_EQ(tokens.size(), 2u * kDepth);
  for (int i = 0; i < kDepth; ++i) {
    ASSERT_EQ(tokens[i]->partner, tokens[2 * kDepth - 1 - i]) << "level " << i;
    ASSERT_EQ(tokens[i]->kind, kPairedQelTagToken);
  }
}

TEST(TagBodyScan, StrayEndTagsStayUnpaired) {
  std::string body = "<qelIf>";
  for (int i = 0; i < 100000; ++i) body += "</qelSwitch>";
  body += "</qelIf>";
  TagBody scanned(text(body), true);
  int paired = 0;
  for (const BodyToken* t = scanned.head; t != nullptr; t = t->next) paired += t->partner != nullptr;
  EXPECT_EQ(paired, 2);
  EXPECT_EQ(scanned.head->partner, scanned.tail);
}

// End tags that share a name with many opening tags they cannot pair with
// must not compare themselves with each of them: every comparison the index
// makes forms a pair.  (Walking back, or searching every tag of the name,
// made the first rows quadratic: a megabyte took many seconds.)
// Token texts are views of the body: they must stay right when the caller's
// string changes or goes away while the scanned body is still in use.
TEST(TagBodyScan, TextsOutliveTheCallersString) {
  const std::string source = "a<qelIf x>" + std::string(600, 'b') + "</qelIf>c<td>";
  std::unique_ptr<QelString> callers(new QelString(text(source)));
  TagBody body(*callers, false);
  callers->assign("changed", 7);
  callers.reset();
  const Scanned scanned = read(body);
  EXPECT_EQ(scanned.joined, source);
  ASSERT_EQ(scanned.tokens.size(), 6u);
  EXPECT_EQ(scanned.tokens[2].text, std::string(600, 'b'));
  EXPECT_EQ(TagBody::joinedText(body.head->next, nullptr).length(), source.size() - 1);
}

TEST(OpenTagIndex, EndTagsCompareOnlyWithTagsTheyPairWith) {
  struct Row {
    const char* opening;
    uint8_t openingKind;
    const char* endTag;
    uint8_t endKind;
    bool pairs;
  };
  const Row rows[] = {
      {"<qelIf a>", kQelTagToken, "</qelIf x>", kQelEndTagToken, false},
      {"<qelIf xy>", kQelTagToken, "</qelIf x>", kQelEndTagToken, false},
      {"<qelIf lhs=\"1\">", kQelTagToken, "</qelIf >", kQelEndTagToken, false},
      {"<td class=\"a\">", kTagToken, "</td class>", kEndTagToken, false},
      {"<qelIf a>", kTagToken, "</qelIf>", kQelEndTagToken, false},  // kinds differ
      {"<qelIf a>", kQelTagToken, "</qelIf>", kQelEndTagToken, true},
      {"<qelIf x y>", kQelTagToken, "</qelIf x>", kQelEndTagToken, true},
      {"<td class=\"a b\">", kTagToken, "</td class=\"a>", kEndTagToken, true},
  };
  constexpr int kCount = 20000;
  for (const Row& row : rows) {
    std::vector<BodyToken> openings(kCount);
    std::vector<BodyToken> ends(kCount);
    OpenTagIndex index;
    for (BodyToken& t : openings) {
      t.text = TokenText(row.opening, static_cast<uint32_t>(std::strlen(row.opening)));
      t.kind = row.openingKind;
      index.addOpeningTag(&t);
    }
    int paired = 0;
    for (int i = 0; i < kCount; ++i) {
      ends[i].text = TokenText(row.endTag, static_cast<uint32_t>(std::strlen(row.endTag)));
      ends[i].kind = row.endKind;
      BodyToken* found = index.takeOpeningTagFor(ends[i]);
      if (found == nullptr) continue;
      ++paired;
      // Innermost first: the newest opening tag still open.
      EXPECT_EQ(found, &openings[kCount - 1 - i]) << row.opening << " " << row.endTag;
    }
    EXPECT_EQ(paired, row.pairs ? kCount : 0) << row.opening << " " << row.endTag;
    EXPECT_EQ(index.candidatesCompared(), static_cast<uint64_t>(paired))
        << row.opening << " " << row.endTag;
  }
}

// Pairing by the rule itself, on random bodies: a reachable stack searched
// newest first.  The bodies hold from none to dozens of open tags at once,
// so both the small stack and the chained index (and the change from one to
// the other in the middle of a body) are held to the same pairs.
std::string innerOfEnd(const std::string& end) { return end.substr(2, end.size() - 3); }

bool opensByRule(const std::string& opening, const std::string& end) {
  const std::string inner = innerOfEnd(end);
  if (opening.size() < inner.size() + 2 || opening[0] != '<') return false;
  for (size_t i = 0; i < inner.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(opening[1 + i])) != std::tolower(static_cast<unsigned char>(inner[i])))
      return false;
  const char after = opening[1 + inner.size()];
  return after == '>' || after == ' ' || after == '\t' || after == '\n' || after == '\r';
}

Pairs pairsByRule(const Scanned& scanned, bool pairAll) {
  Pairs pairs;
  std::vector<int> stack;
  for (int i = 0; i < static_cast<int>(scanned.tokens.size()); ++i) {
    const int kind = scanned.tokens[i].kind & ~kPairedFlag;
    const std::string& t = scanned.tokens[i].text;
    if (kind == kQelTagToken || (kind == kTagToken && pairAll)) {
      stack.push_back(i);
    } else if (kind == kQelEndTagToken || (kind == kEndTagToken && pairAll)) {
      const int wanted = kind == kQelEndTagToken ? kQelTagToken : kTagToken;
      for (int s = static_cast<int>(stack.size()); s-- > 0;) {
        const int o = stack[s];
        if ((scanned.tokens[o].kind & ~kPairedFlag) == wanted && opensByRule(scanned.tokens[o].text, t)) {
          pairs.push_back({o, i});
          stack.resize(s);
          break;
        }
      }
    }
  }
  std::sort(pairs.begin(), pairs.end());
  return pairs;
}

TEST(TagBodyScan, RandomBodiesPairByTheRule) {
  const std::vector<std::string> pieces = {
      "<qelIf>", "</qelIf>", "<qelIf a>", "<QELIF b=\"1\">", "</qelif>", "<qelCase>", "</qelCase>",
      "<td>", "</td>", "<td class=\"x\">", "</TD>", "<a b>", "</a b>", "</a>", "x", " < ", "<qelElse>"};
  std::mt19937 random(20261208);
  for (int round = 0; round < 3000; ++round) {
    std::string body;
    const int count = 1 + static_cast<int>(random() % 60);
    for (int i = 0; i < count; ++i) body += pieces[random() % pieces.size()];
    for (bool pairAll : {false, true}) {
      TagBody scanned(text(body), pairAll);
      const Scanned read_back = read(scanned);
      Pairs got = read_back.pairs;
      std::sort(got.begin(), got.end());
      ASSERT_EQ(got, pairsByRule(read_back, pairAll)) << body << (pairAll ? " (all tags)" : "");
    }
  }
}

// ---- merge and joinedText ------------------------------------------------

std::vector<std::string> texts(const TagBody& body) {
  std::vector<std::string> out;
  for (const BodyToken* t = body.head; t != nullptr; t = t->next) out.emplace_back(t->text.data(), t->text.length());
  return out;
}

BodyToken* nth(const TagBody& body, int n) {
  BodyToken* t = body.head;
  while (n-- > 0) t = t->next;
  return t;
}

TEST(TagBodyMerge, JoinsRunsAndKeepsTheListSound) {
  struct MergeCase {
    std::string body;
    int first, last;  // -1: null
    std::vector<std::string> after;
  };
  const std::vector<MergeCase> cases = {
      {"a<b>c<d>e", 1, 3, {"a", "<b>c<d>", "e"}},
      {"a<b>c<d>e", 0, 4, {"a<b>c<d>e"}},
      {"a<b>c<d>e", 2, 4, {"a", "<b>", "c<d>e"}},  // tail moves
      {"a<b>c", 1, 1, {"a", "<b>", "c"}},
      {"a<b>c", -1, 2, {"a", "<b>", "c"}},
      {"a<b>c", 0, -1, {"a", "<b>", "c"}},
  };
  for (const MergeCase& c : cases) {
    TagBody body(text(c.body), false);
    BodyToken* first = c.first < 0 ? nullptr : nth(body, c.first);
    BodyToken* last = c.last < 0 ? nullptr : nth(body, c.last);
    body.merge(first, last);
    EXPECT_EQ(texts(body), c.after) << c.body << " " << c.first << ".." << c.last;
    read(body);  // links and partners stay consistent
  }
}

TEST(TagBodyMerge, KindOfFirstStaysAndNoPartnerDangles) {
  // The block's opening tag keeps its kind; its end tag went into the run.
  TagBody whole(text("<qelIf>x</qelIf>y"), false);
  whole.merge(whole.head, nth(whole, 2));
  EXPECT_EQ(whole.head->kind, kPairedQelTagToken);
  EXPECT_EQ(whole.head->partner, nullptr);
  EXPECT_EQ(texts(whole), (std::vector<std::string>{"<qelIf>x</qelIf>", "y"}));

  // A run that swallows an opening tag unpairs its end tag outside.
  TagBody cut(text("a<qelIf>x</qelIf>"), false);
  cut.merge(cut.head, nth(cut, 2));
  EXPECT_EQ(cut.tail->partner, nullptr);
  read(cut);
}

}  // namespace
}  // namespace bw
