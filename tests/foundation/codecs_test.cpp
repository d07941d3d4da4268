// The text codecs: radix text, integer parsing, URL and HTML encoding and
// decoding, backslash escapes, on their edge cases and their quirks.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "foundation/codecs.h"
#include "reference.h"

namespace {

using namespace bw;
using reference::qel;
using reference::str;

TEST(RadixText, EdgeCases) {
  EXPECT_EQ(str(toRadixText(0, 10, 0)), "0");
  EXPECT_EQ(str(toRadixText(7, 10, 3)), "007");
  EXPECT_EQ(str(toRadixText(4294967295u, 10, 0)), "4294967295");
  EXPECT_EQ(str(toRadixText(5, 0, 1)), "");
  EXPECT_EQ(str(toRadixText(5, 37, 1)), "");
}

TEST(RadixText, OtherBases) {
  EXPECT_EQ(str(toRadixText(255, 16, 0)), "FF");
  EXPECT_EQ(str(toRadixText(255, 2, 0)), "11111111");
  EXPECT_EQ(str(toRadixText(35, 36, 0)), "Z");
  EXPECT_EQ(str(toRadixText(4294967295u, 2, 0)), std::string(32, '1'));
  EXPECT_EQ(str(toRadixText(1, 10, 255)), std::string(254, '0') + "1");
  EXPECT_EQ(str(toRadixText(12345, 10, 2)), "12345");
  EXPECT_EQ(str(toRadixText(3, 1, 0)), "");  // base 1 would never end: refused
}

TEST(ParseInteger, EdgeCases) {
  EXPECT_EQ(parseInteger("  -1,234  ", 10), -1234);
  EXPECT_EQ(parseInteger("+12abc", 10), 12);
  EXPECT_EQ(parseInteger("", 10), 0);
  EXPECT_EQ(parseInteger("    ", 10), 0);
  EXPECT_EQ(parseInteger("12 34", 10), 12);
}

TEST(ParseInteger, MoreCases) {
  EXPECT_EQ(parseInteger("\t\r\n42\n", 10), 42);
  EXPECT_EQ(parseInteger("1,,2,3", 10), 123);
  EXPECT_EQ(parseInteger(",5", 10), 5);
  EXPECT_EQ(parseInteger("-", 10), 0);
  EXPECT_EQ(parseInteger("--5", 10), 0);
  EXPECT_EQ(parseInteger("2147483647", 10), 2147483647);
  EXPECT_EQ(parseInteger("2147483648", 10), INT32_MIN);  // wraps
  EXPECT_EQ(parseInteger("4294967296", 10), 0);
  EXPECT_EQ(parseInteger("-2147483648", 10), INT32_MIN);
  EXPECT_EQ(parseInteger("ff", 16), 255);
  EXPECT_EQ(parseInteger("-Zz", 36), -(35 * 36 + 35));
  EXPECT_EQ(parseInteger("129", 8), 10);
  EXPECT_EQ(parseInteger("1,0", 16), 1);  // "," only skipped in base 10
  EXPECT_EQ(parseInteger("10", 37), 0);
  EXPECT_EQ(parseInteger(QelString("12\0" "34", 5), 10), 12);
  EXPECT_EQ(parseInteger("\xE9", 16), 0);
  // Read in place: never past the count, and a leading 0 byte ends the text.
  EXPECT_EQ(parseInteger("12345", 2, 10), 12);
  EXPECT_EQ(parseInteger("  ", 1, 10), 0);
  EXPECT_EQ(parseInteger(QelString("\0" "7", 2), 10), 0);
  EXPECT_EQ(parseInteger(" \t-0x1F", 8, 16), 0);  // "x" is not a hex digit
  EXPECT_EQ(parseInteger(" \t-1f", 6, 16), -31);
}

TEST(UrlEncode, EdgeCases) {
  EXPECT_EQ(str(urlEncode("a b&c/d", false)), "a%20b%26c/d");
  EXPECT_EQ(str(urlEncode("a b&c/d", true)), "a%20b%26c%2Fd");
  EXPECT_EQ(str(urlEncode("\xE9", false)), "\xE9");
}

TEST(UrlEncode, EveryByte) {
  const std::string always = " \"#$%&+;<=>?@[\\]^`{|}";
  const std::string separators = "/:~";
  for (int c = 0; c < 256; ++c) {
    std::string one(1, char(c));
    bool a = always.find(char(c)) != std::string::npos && c != 0;
    bool s = separators.find(char(c)) != std::string::npos && c != 0;
    char hex[4];
    std::snprintf(hex, sizeof hex, "%%%02X", c);
    EXPECT_EQ(str(urlEncode(qel(one), false)), a ? std::string(hex) : one) << c;
    EXPECT_EQ(str(urlEncode(qel(one), true)), (a || s) ? std::string(hex) : one) << c;
  }
  EXPECT_EQ(always.size(), 21u);
  QelString text("unchanged");
  QelString encoded = urlEncode(text, true);
  EXPECT_STREQ(text.cString(), "unchanged");
  EXPECT_EQ(str(encoded), "unchanged");
}

TEST(UrlDecode, EdgeCases) {
  QelString a("a+b%2Bc");
  EXPECT_TRUE(urlDecode(a));
  EXPECT_EQ(str(a), "a b+c");
  QelString b("100%");
  EXPECT_FALSE(urlDecode(b));
  EXPECT_EQ(str(b), "100%");
  QelString c("%zz");
  EXPECT_FALSE(urlDecode(c));
  EXPECT_EQ(str(c), "%zz");
  QelString d("%41%4");
  EXPECT_TRUE(urlDecode(d));
  EXPECT_EQ(str(d), "A%4");
  QelString e("%4%41");
  EXPECT_TRUE(urlDecode(e));
  EXPECT_EQ(str(e), "J");
}

TEST(UrlDecode, MoreCases) {
  QelString a("%3a%3F%:?");  // ":" to "?" count as digits 10 to 15
  EXPECT_TRUE(urlDecode(a));
  EXPECT_EQ(str(a), ":?\xAF");
  QelString b("%%414");
  EXPECT_TRUE(urlDecode(b));
  EXPECT_EQ(str(b), "\xA4");  // "%41" gives "A", which with "4" completes the first "%"
  QelString c("%2541");
  EXPECT_TRUE(urlDecode(c));
  EXPECT_EQ(str(c), "%41");  // a decoded "%" never starts a sequence
  QelString d("");
  EXPECT_FALSE(urlDecode(d));
  QelString e("plain");
  EXPECT_FALSE(urlDecode(e));
  QelString f("%\xE9\xE9");
  EXPECT_FALSE(urlDecode(f));
  QelString g("%+1");
  EXPECT_TRUE(urlDecode(g));
  EXPECT_EQ(str(g), "% 1");
  QelString h("%00x");
  EXPECT_TRUE(urlDecode(h));
  EXPECT_EQ(h.length(), 2u);
  EXPECT_EQ(h.charAt(0), '\0');
}

TEST(HtmlEntities, TheTableAsListed) {
  std::set<std::string> names;
  std::set<int> values;
  for (const HtmlEntity& e : kHtmlEntities) {
    names.insert(e.name);
    values.insert(e.value);
    EXPECT_EQ(e.name[0], '&');
    EXPECT_EQ(e.name[std::strlen(e.name) - 1], ';');
  }
  EXPECT_EQ(names.size(), 100u);
  EXPECT_EQ(values.size(), 100u);
  for (int v = 0xA0; v <= 0xFF; ++v) EXPECT_EQ(values.count(v), 1u) << v;
  for (int v : {0x22, 0x26, 0x3C, 0x3E}) EXPECT_EQ(values.count(v), 1u);
  EXPECT_STREQ(kHtmlEntities[0].name, "&Aacute;");
  EXPECT_EQ(kHtmlEntities[0].value, 0xC1);
  EXPECT_STREQ(kHtmlEntities[18].name, "&Oacute;");
  EXPECT_STREQ(kHtmlEntities[38].name, "&amp;");
  EXPECT_STREQ(kHtmlEntities[62].name, "&laquo;");
  EXPECT_STREQ(kHtmlEntities[99].name, "&yuml;");
  // The names browsers know; the old misspellings only in the decoder's list.
  for (const char* correct : {"&Oacute;", "&Uacute;", "&oacute;", "&uacute;", "&laquo;"})
    EXPECT_EQ(names.count(correct), 1u) << correct;
  for (const HtmlEntity& former : kHtmlEntityFormerNames) {
    EXPECT_EQ(names.count(former.name), 0u) << former.name;
    EXPECT_EQ(values.count(former.value), 1u) << former.name;
  }
}

TEST(HtmlEncode, EdgeCases) {
  EXPECT_EQ(str(htmlEncode("<a href=\"x\">")), "&lt;a href=&quot;x&quot;&gt;");
  EXPECT_EQ(str(htmlEncode("\xE9")), "&eacute;");
  EXPECT_EQ(str(htmlEncode("\xD3")), "&Oacute;");
  EXPECT_EQ(str(htmlEncode("\xAB\xDA\xF3\xFA")), "&laquo;&Uacute;&oacute;&uacute;");
  EXPECT_EQ(str(htmlEncode("\x85")), "&#133");
}

TEST(HtmlEncode, EveryByte) {
  for (int c = 0; c < 256; ++c) {
    std::string one(1, char(c));
    std::string got = str(htmlEncode(qel(one)));
    if (c == '"' || c == '&' || c == '<' || c == '>' || c >= 0xA0) {
      const HtmlEntity* entry = nullptr;
      for (const HtmlEntity& e : kHtmlEntities)
        if (e.value == c) {
          entry = &e;
          break;
        }
      ASSERT_NE(entry, nullptr);
      EXPECT_EQ(got, entry->name);
      // And back.
      QelString back = qel(got);
      htmlDecode(back);
      EXPECT_EQ(str(back), one);
    } else if (c >= 0x80) {
      EXPECT_EQ(got, "&#" + std::to_string(c));
    } else {
      EXPECT_EQ(got, one);  // the apostrophe and control bytes too
    }
  }
}

// UTF-8 characters pass whole; any other byte from 0x80 is encoded as before,
// one byte at a time, so Latin-1 text keeps its entities.
TEST(HtmlEncode, LeavesWellFormedUtf8AsItIs) {
  struct Case {
    const char* text;
    const char* encoded;
  } const cases[] = {
      {"Jos\xC3\xA9", "Jos\xC3\xA9"},                       // two bytes: é
      {"\xE2\x82\xAC 5 & \xF0\x9F\x98\x80", "\xE2\x82\xAC 5 &amp; \xF0\x9F\x98\x80"},  // three, four
      {"\xC2\xA0<\xDF\xBF>", "\xC2\xA0&lt;\xDF\xBF&gt;"},  // the ends of the two-byte range
      {"\xEF\xBF\xBF\xF4\x8F\xBF\xBF", "\xEF\xBF\xBF\xF4\x8F\xBF\xBF"},  // U+FFFF, U+10FFFF
      {"Jos\xE9", "Jos&eacute;"},                             // Latin-1
      {"\xC3", "&Atilde;"},                                   // a lead byte at the end
      {"\xC3(", "&Atilde;("},                                 // a lead byte without its follower
      {"\xA9\xC3\xA9\xA9", "&copy;\xC3\xA9&copy;"},         // stray followers around a character
      {"\xC0\xAF", "&Agrave;&macr;"},                         // overlong "/"
      {"\xE0\x80\xAF", "&agrave;&#128&macr;"},                // overlong, three bytes
      {"\xED\xA0\x80", "&iacute;&nbsp;&#128"},                // a surrogate
      {"\xF4\x90\x80\x80", "&ocirc;&#144&#128&#128"},        // past U+10FFFF
      {"\xF5\x80\x80\x80", "&otilde;&#128&#128&#128"},       // never a lead byte
      {"\xE2\x82", "&acirc;&#130"},                           // cut short
      {"\xC3\xA9\x85", "\xC3\xA9&#133"},
  };
  for (const Case& c : cases) EXPECT_EQ(str(htmlEncode(qel(c.text))), c.encoded) << c.text;
}

TEST(HtmlEncode, Utf8SequenceLengthFollowsTheStandardsTable) {
  // Every lead byte with its lowest and highest second byte, and one below
  // and above them.
  struct Lead {
    unsigned char lead, low, high, length;
  } const leads[] = {
      {0xC2, 0x80, 0xBF, 2}, {0xDF, 0x80, 0xBF, 2}, {0xE0, 0xA0, 0xBF, 3}, {0xE1, 0x80, 0xBF, 3},
      {0xEC, 0x80, 0xBF, 3}, {0xED, 0x80, 0x9F, 3}, {0xEE, 0x80, 0xBF, 3}, {0xEF, 0x80, 0xBF, 3},
      {0xF0, 0x90, 0xBF, 4}, {0xF3, 0x80, 0xBF, 4}, {0xF4, 0x80, 0x8F, 4},
  };
  for (const Lead& l : leads) {
    unsigned char bytes[4] = {l.lead, l.low, 0x80, 0xBF};
    EXPECT_EQ(utf8SequenceLength(bytes, 4), l.length) << int(l.lead);
    EXPECT_EQ(utf8SequenceLength(bytes, l.length - 1), 0u) << int(l.lead);
    bytes[1] = l.high;
    EXPECT_EQ(utf8SequenceLength(bytes, 4), l.length) << int(l.lead);
    bytes[1] = static_cast<unsigned char>(l.low - 1);
    EXPECT_EQ(utf8SequenceLength(bytes, 4), 0u) << int(l.lead);
    bytes[1] = static_cast<unsigned char>(l.high + 1);
    EXPECT_EQ(utf8SequenceLength(bytes, 4), 0u) << int(l.lead);
  }
  for (int c = 0; c < 256; ++c) {
    if (c >= 0xC2 && c <= 0xF4) continue;
    unsigned char bytes[4] = {static_cast<unsigned char>(c), 0x80, 0x80, 0x80};
    EXPECT_EQ(utf8SequenceLength(bytes, 4), 0u) << c;
  }
}

TEST(HtmlDecode, EdgeCases) {
  QelString a("&lt;&LT;&#60;&eacute");
  htmlDecode(a);
  EXPECT_EQ(str(a), "<&LT;&#60;&eacute");
  QelString b("&amp;lt;");
  htmlDecode(b);
  EXPECT_EQ(str(b), "&lt;");
}

TEST(HtmlDecode, MoreCases) {
  QelString a("a &&amp; b");  // an "&" followed by another "&" before the ";"
  htmlDecode(a);
  EXPECT_EQ(str(a), "a && b");
  // Both spellings: text encoded with the old names still decodes.
  QelString b("&Oactue;&Oacute;&lanquo;&laquo;&Uactue;&Uacute;&oactue;&oacute;&uactue;&uacute;");
  htmlDecode(b);
  EXPECT_EQ(str(b), "\xD3\xD3\xAB\xAB\xDA\xDA\xF3\xF3\xFA\xFA");
  QelString c("&amp");  // no ";" at all
  htmlDecode(c);
  EXPECT_EQ(str(c), "&amp");
  QelString d("&gt;&amp;&quot;;");
  htmlDecode(d);
  EXPECT_EQ(str(d), ">&\";");
  QelString e("x&;y&nbsp;");
  htmlDecode(e);
  EXPECT_EQ(str(e), "x&;y\xA0");
  QelString f("&yuml; & &frac14;");
  htmlDecode(f);
  EXPECT_EQ(str(f), "\xFF & \xBC");
}

TEST(Unescape, EdgeCases) {
  QelString a("a\\tb\\\\");
  unescapeBackslashes(a, false);
  EXPECT_EQ(str(a), "a\tb\\");
  QelString b("\\255");
  unescapeBackslashes(b, true);
  EXPECT_EQ(str(b), "\xFF");
  QelString c("\\255");
  unescapeBackslashes(c, false);
  EXPECT_EQ(str(c), "\\255");
  QelString d("\\3xy\\q");
  unescapeBackslashes(d, true);
  EXPECT_EQ(str(d), "\\3xy\\q");
  QelString e("end\\");
  unescapeBackslashes(e, true);
  EXPECT_EQ(str(e), "end\\");
  QelString f("\\\\n");
  unescapeBackslashes(f, false);
  EXPECT_EQ(str(f), "\\n");
}

TEST(Unescape, MoreCases) {
  QelString a("\\n\\r\\t\\v\\x");
  unescapeBackslashes(a, false);
  EXPECT_EQ(str(a), "\n\r\t\v\\x");
  QelString b("\\065\\1\\12\\123x");
  unescapeBackslashes(b, true);
  EXPECT_EQ(str(b), "A\\1\\12{x");
  QelString c("\\\\065");
  unescapeBackslashes(c, true);
  EXPECT_EQ(str(c), "\\065");  // the produced backslash is not looked at again
  QelString d("\\000");
  unescapeBackslashes(d, true);
  EXPECT_EQ(d.length(), 1u);
  EXPECT_EQ(d.charAt(0), '\0');
}

TEST(Unescape, EscapesAbove255KeepTheLowEightBits) {
  // Backslash "256" to "299" do not fit a byte: the value is taken modulo 256.
  QelString a("\\256\\299\\270");
  unescapeBackslashes(a, true);
  ASSERT_EQ(a.length(), 3u);
  EXPECT_EQ(static_cast<unsigned char>(a.charAt(0)), 0x00);
  EXPECT_EQ(static_cast<unsigned char>(a.charAt(1)), 299 - 256);
  EXPECT_EQ(static_cast<unsigned char>(a.charAt(2)), 270 - 256);
  QelString b("\\300");  // first digit 3: not an escape
  unescapeBackslashes(b, true);
  EXPECT_EQ(str(b), "\\300");
}

}  // namespace
