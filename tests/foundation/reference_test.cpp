// The one-pass codecs against step-by-step versions of the same
// algorithms, on random texts made of the bytes that matter, and on the
// large inputs that made the step-by-step versions slow.
#include <gtest/gtest.h>

#include <string>

#include "foundation/codecs.h"
#include "reference.h"

namespace {

using namespace bw;
using reference::qel;
using reference::str;

struct Random {
  uint32_t seed;
  uint32_t next() { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; }
  std::string text(const std::string& alphabet, uint32_t maxLength) {
    std::string out;
    uint32_t n = next() % (maxLength + 1);
    for (uint32_t i = 0; i < n; ++i) out += alphabet[next() % alphabet.size()];
    return out;
  }
};

TEST(ReferenceCompare, UrlDecode) {
  Random random{42};
  const std::string alphabet = "%+4A1aFf:?zG\xE9";
  for (int round = 0; round < 50000; ++round) {
    std::string text = random.text(alphabet, 14);
    std::string expected = text;
    bool expectedChange = reference::urlDecode(expected);
    QelString s = qel(text);
    bool changed = urlDecode(s);
    ASSERT_EQ(str(s), expected) << text;
    ASSERT_EQ(changed, expectedChange) << text;
  }
}

TEST(ReferenceCompare, HtmlDecode) {
  Random random{7};
  // Pieces rather than bytes, so that names occur often.
  const char* pieces[] = {"&", ";", "amp", "lt", "&amp;", "&lt;", "x", "&#60;", "&Oactue;", "&nbsp", "g", "t",
                          "&Oacute;", "&laquo;", "&lanquo;"};
  for (int round = 0; round < 50000; ++round) {
    std::string text;
    uint32_t n = random.next() % 10;
    for (uint32_t i = 0; i < n; ++i) text += pieces[random.next() % 15];
    std::string expected = text;
    reference::htmlDecode(expected);
    QelString s = qel(text);
    htmlDecode(s);
    ASSERT_EQ(str(s), expected) << text;
  }
}

TEST(ReferenceCompare, Unescape) {
  Random random{99};
  const std::string alphabet = "\\\\nrtvq0129x";
  for (int round = 0; round < 50000; ++round) {
    std::string text = random.text(alphabet, 12);
    for (bool decimal : {false, true}) {
      std::string expected = text;
      reference::unescapeBackslashes(expected, decimal);
      QelString s = qel(text);
      unescapeBackslashes(s, decimal);
      ASSERT_EQ(str(s), expected) << text << " decimal " << decimal;
    }
  }
}

TEST(ReferenceCompare, UrlEncodeDecodeRoundTrip) {
  Random random{5};
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    uint32_t n = random.next() % 40;
    for (uint32_t i = 0; i < n; ++i) text += char(random.next() & 0xFF);
    // "+" becomes "%2B" and every "%" is encoded, so decoding restores the
    // text exactly when it had no "%"-like sequences left unencoded: here
    // every byte that could start or complete one is encoded.
    QelString encoded = urlEncode(qel(text), true);
    QelString decoded = encoded;
    urlDecode(decoded);
    ASSERT_EQ(str(decoded), text);
  }
}

TEST(LargeInputs, UrlDecodeOfAMegabyte) {
  std::string pluses(1 << 20, '+');
  QelString a = qel(pluses);
  EXPECT_TRUE(urlDecode(a));
  EXPECT_EQ(str(a), std::string(1 << 20, ' '));
  std::string escapes;
  while (escapes.size() + 3 <= (1u << 20)) escapes += "%41";
  QelString b = qel(escapes);
  EXPECT_TRUE(urlDecode(b));
  EXPECT_EQ(str(b), std::string(escapes.size() / 3, 'A'));
  // A chain in which every decoded byte is a digit of the "%" before it.
  std::string chain = std::string(20000, '%') + "444";
  std::string expected = chain;
  reference::urlDecode(expected);
  QelString c = qel(chain);
  urlDecode(c);
  EXPECT_EQ(str(c), expected);
}

TEST(LargeInputs, HtmlDecodeOfAMegabyte) {
  std::string amps(1 << 20, '&');
  amps += ';';
  QelString a = qel(amps);
  htmlDecode(a);
  EXPECT_EQ(str(a), amps);
  std::string entities;
  while (entities.size() + 5 <= (1u << 20)) entities += "&amp;";
  QelString b = qel(entities);
  htmlDecode(b);
  EXPECT_EQ(str(b), std::string(entities.size() / 5, '&'));
}

}  // namespace
