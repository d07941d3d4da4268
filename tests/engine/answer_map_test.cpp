// Lining answers up with the bodies they were made from: a branch cut out of
// the body, copies with a value written over an entity, a tag the answering
// tag wrote itself, a body that is itself part of an answer, and answers
// that share nothing with the body.
#include "engine/answer_map.h"

#include <gtest/gtest.h>

#include <string>

namespace bw {
namespace {

// A body that stands in the page as it is, from page offset `at` on.
struct PageText final : AnswerMap::BodyPlaces {
  PagePlace placeOf(size_t offset) const override { return PagePlace{offset, SIZE_MAX, false, false}; }
};

struct Case {
  const char* name;
  std::string body;
  std::string answer;
  std::string marker;  // in the answer
  size_t occurrence;   // which one
  size_t expected;     // page offset of the marker; the body starts at 1000
  bool written;
};

TEST(AnswerMap, PlacesOfTheTagsInAnswers) {
  const std::string loopBody = "\n<li>&qelLoopIndex;</li><m>\n";
  const Case cases[] = {
      {"the first branch", "A <m> B<qelElse>C <m> D", "A <m> B", "<m>", 0, 1002, false},
      {"the second branch", "A <m> B<qelElse>C <m> D", "C <m> D", "<m>", 0, 1018, false},
      {"the first copy", loopBody, "\n<li>1</li><m>\n\n<li>2</li><m>\n", "<m>", 0, 1024, false},
      {"the second copy", loopBody, "\n<li>1</li><m>\n\n<li>2</li><m>\n", "<m>", 1, 1024, false},
      {"a long value", loopBody, "\n<li>" + std::string(500, 'v') + "</li><m>\n", "<m>", 0, 1024, false},
      {"the continuation", "[&qelLoopIndex;]<m>",
       "[1]<m><qelLoop first=\"1\" step=\"1\" last=\"3\" iteration=\"2\">[&qelLoopIndex;]<m></qelLoop>",
       "<qelLoop", 0, 7, true},
      {"the body inside the continuation", "[&qelLoopIndex;]<m>",
       "[1]<m><qelLoop first=\"1\" step=\"1\" last=\"3\" iteration=\"2\">[&qelLoopIndex;]<m></qelLoop>",
       "<m>", 1, 1016, false},
      {"nothing of the body", "abc", "<x>zzz<m>", "<m>", 0, 7, true},
      {"an empty body", "", "<m>", "<m>", 0, 7, true},
      // Former bug: a case that starts with a tag began, as the body does,
      // with "<qel", and was lined up with the body's start.
      {"a case starting with a tag", "<qelCase value=\"a\"><m>x</qelCase>", "<m>x", "<m>", 0, 1019, false},
  };
  for (const Case& c : cases) {
    AnswerMap map;
    map.build(c.answer, c.body, 1000, PageText(), "qelLoop", 7);
    size_t at = c.answer.find(c.marker);
    for (size_t k = 0; k < c.occurrence; ++k) at = c.answer.find(c.marker, at + 1);
    ASSERT_NE(at, std::string::npos) << c.name;
    const PagePlace place = map.placeOf(at);
    EXPECT_EQ(place.offset, c.expected) << c.name;
    EXPECT_EQ(place.written, c.written) << c.name;
    if (!c.written) EXPECT_GE(place.left, c.marker.size()) << c.name;
  }
}

// A body cut from an answer maps through that answer's own places.
TEST(AnswerMap, AnAnswerInsideAnAnswer) {
  AnswerMap outer;
  const std::string outerBody = "x<if>A<m>B</if>";
  const std::string outerAnswer = outerBody;  // the branch is the whole body
  outer.build(outerAnswer, outerBody, 500, PageText(), "qelIf", 3);
  struct Through final : AnswerMap::BodyPlaces {
    explicit Through(const AnswerMap& map) : map(map) {}
    PagePlace placeOf(size_t at) const override { return map.placeOf(at); }
    const AnswerMap& map;
  } through(outer);
  AnswerMap inner;
  inner.build("A<m>B", std::string_view(outerAnswer).substr(5, 5), 5, through, "qelIf", 501);
  EXPECT_EQ(inner.placeOf(1).offset, 506u);
  EXPECT_FALSE(inner.placeOf(1).written);
}

// An answer built to defeat the lining up costs a few passes at most, and
// still maps every byte somewhere.
TEST(AnswerMap, HostileAnswersStayCheap) {
  std::string body;
  for (int i = 0; i < 2000; ++i) body += "ab&e;";
  std::string answer;
  for (int i = 0; i < 20000; ++i) answer += i % 7 == 0 ? "ab" : "zb";
  AnswerMap map;
  map.build(answer, body, 0, PageText(), "qelLoop", 9);
  const PagePlace last = map.placeOf(answer.size() - 1);
  EXPECT_LE(last.offset, body.size());
}

// The answers that are one stretch of the body, which the renderer walks as
// the body's own items: exactly those that build() maps byte for byte.
TEST(AnswerMap, StretchesOfTheBody) {
  struct Stretch {
    const char* body;
    const char* answer;
    bool stretch;
    size_t at;
  };
  const Stretch cases[] = {
      {"A <m> B<qelElse>C", "A <m> B", true, 0},
      {"A <m> B<qelElse>C <m>", "C <m>", true, 16},
      {"<c><m>x</c>", "<m>x", true, 3},
      {"abc", "abc", true, 0},
      {"abc", "abcd", false, 0},
      {"ab&i;", "ab1", false, 0},
      {"", "x", false, 0},
      // Its first bytes stand earlier in full, where build() lines it up.
      {"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxA|xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxB",
       "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxB", false, 0},
  };
  for (const Stretch& c : cases) {
    size_t at = SIZE_MAX;
    EXPECT_EQ(AnswerMap::isStretchOf(c.answer, c.body, at), c.stretch) << c.answer;
    if (!c.stretch) continue;
    EXPECT_EQ(at, c.at) << c.answer;
    AnswerMap map;
    map.build(c.answer, c.body, 1000, PageText(), "qelIf", 7);
    for (size_t i = 0; i < std::string(c.answer).size(); ++i) EXPECT_EQ(map.pageOffset(i), 1000 + at + i) << c.answer;
  }
}

}  // namespace
}  // namespace bw
