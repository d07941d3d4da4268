// The byte runs the start-tag reader is built on, and the reader's handling
// of parameters where those runs meet the sixteen-byte blocks and the end of
// the text.  The block path and the byte-at-a-time path must agree for every
// byte value at every place, so each is checked against the byte-kind table,
// and the table against the bytes the page syntax names.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "engine/byte_scan.h"
#include "engine/page_scanner.h"

namespace bw {
namespace {

bool isTagNameByteByRule(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-' || c == ':' || c == '.';
}
bool isBlankByRule(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool endsParameterNameByRule(unsigned char c) {
  return isBlankByRule(c) || c == '=' || c == '>' || c == '"' || c == '\'' || c == '/';
}

TEST(ByteKinds, TableMatchesTheSyntax) {
  for (int c = 0; c < 256; ++c) {
    char byte = static_cast<char>(c);
    EXPECT_EQ(isByteOf(byte, kTagNameByte), isTagNameByteByRule(c)) << c;
    EXPECT_EQ(isByteOf(byte, kBlankByte), isBlankByRule(c)) << c;
    EXPECT_EQ(isByteOf(byte, kEndsParameterName), endsParameterNameByRule(c)) << c;
  }
}

// Every byte value, placed at every offset of a run that is long enough for
// the block path, and in a run short enough for the tail loop, stops each
// scan exactly where the rule says.
TEST(ByteKinds, RunsStopAtTheFirstByteOfTheirKind) {
  for (size_t length : {5u, 16u, 17u, 40u}) {
    for (size_t at = 0; at < length; ++at) {
      for (int c = 0; c < 256; ++c) {
        std::string name(length, 'n');
        name[at] = static_cast<char>(c);
        const char* p = name.data();
        const char* end = p + name.size();
        size_t tagNameStop = isTagNameByteByRule(c) ? length : at;
        size_t parameterStop = endsParameterNameByRule(c) ? at : length;
        EXPECT_EQ(static_cast<size_t>(endOfTagName(p, end) - p), tagNameStop) << length << " " << at << " " << c;
        EXPECT_EQ(static_cast<size_t>(endOfParameterName(p, end) - p), parameterStop)
            << length << " " << at << " " << c;
        std::string quoted(length, 'q');
        quoted[at] = static_cast<char>(c);
        size_t quoteStop = c == '"' ? at : length;
        const char* q = quoted.data();
        bool dollar = false;
        EXPECT_EQ(static_cast<size_t>(findByteNotingDollar(q, q + length, '"', dollar) - q), quoteStop)
            << length << " " << at << " " << c;
        EXPECT_EQ(dollar, c == '$') << length << " " << at;
        size_t markupStop = c == '<' || c == '$' ? at : length;
        EXPECT_EQ(static_cast<size_t>(findMarkup(q, q + length) - q), markupStop) << length << " " << at << " " << c;
      }
    }
  }
}

TEST(ByteKinds, NothingPastTheEndIsRead) {
  // The bytes after `end` would stop every scan; none may be looked at.
  const std::string text = std::string(20, 'a') + "\"$= ><";
  const char* p = text.data();
  for (size_t length = 0; length <= 20; ++length) {
    EXPECT_EQ(endOfTagName(p, p + length), p + length);
    EXPECT_EQ(endOfParameterName(p, p + length), p + length);
    bool dollar = false;
    EXPECT_EQ(findByteNotingDollar(p, p + length, '"', dollar), p + length);
    EXPECT_FALSE(dollar);
    EXPECT_EQ(findMarkup(p, p + length), p + length);
  }
}

// A "$" is noted only when it stands before the quote, in the same block or
// an earlier one.
TEST(ByteKinds, DollarsBeforeTheQuoteOnly) {
  for (size_t quoteAt : {0u, 3u, 15u, 16u, 17u, 31u, 40u}) {
    for (size_t dollarAt = 0; dollarAt < 48; ++dollarAt) {
      if (dollarAt == quoteAt) continue;
      std::string text(48, 'x');
      text[quoteAt] = '"';
      text[dollarAt] = '$';
      bool dollar = false;
      const char* p = text.data();
      EXPECT_EQ(findByteNotingDollar(p, p + text.size(), '"', dollar), p + quoteAt);
      EXPECT_EQ(dollar, dollarAt < quoteAt) << quoteAt << " " << dollarAt;
    }
  }
}

class ParameterReader : public ::testing::Test {
 protected:
  void SetUp() override {
    tags.add("qelIf", 0x12);
    tags.add("qelInlineString", 0x20);
  }
  // "name=value;" for each parameter, or the scan's outcome when it is not Found.
  std::string read(std::string_view text) {
    StartTag start;
    TagScan scan = scanStartTag(tags, text, 0, start);
    if (scan == TagScan::NotATag) return "not a tag";
    if (scan == TagScan::Unterminated) return "unterminated";
    std::string parameters;
    for (const TagParameter& p : start.parameters)
      parameters += std::string(p.name) + "=" + std::string(p.value) + ";";
    if (start.selfClosed) parameters += "/";
    if (start.end != text.size()) parameters += "+" + std::to_string(text.size() - start.end);
    return parameters;
  }
  TagTable tags;
};

TEST_F(ParameterReader, Shapes) {
  struct Case {
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      // quoting
      {"<qelIf a=\"x y\">", "a=x y;"},
      {"<qelIf a='x \"y\"'>", "a=x \"y\";"},
      {"<qelIf a=\"\">", "a=;"},
      {"<qelIf a=bare b=\"q\">", "a=bare;b=q;"},
      {"<qelIf a=bare>", "a=bare;"},
      {"<qelIf a=\"line\nbreak > and more\">", "a=line\nbreak > and more;"},
      // repeated names keep their order and spelling
      {"<qelIf a=\"1\" A=\"2\" a=\"3\">", "a=1;A=2;a=3;"},
      // odd spacing
      {"<qelIf\ta\r\n=\f\"1\"\n\n>", "a=1;"},
      {"<qelIf a =  \"1\"b=\"2\">", "a=1;b=2;"},
      {"<qelIf    >", ""},
      {"<qelIf a b c>", "a=;b=;c=;"},
      {"<qelIf a\vb=\"1\">", "a\vb=1;"},  // a vertical tab is not a blank here
      // "/" belongs to a name unless it starts "/>"
      {"<qelIf a/b=\"1\"/>", "a/b=1;/"},
      {"<qelIf a/>", "a=;/"},
      {"<qelIf / >", "/=;"},
      {"<qelIf a=x/>", "a=x/;"},
      // stray quotes and "=" are skipped
      {"<qelIf =\"v\">", "v=;"},
      {"<qelIf \"\"a=1>", "a=1;"},
      // the tag ends at the first ">" outside quotes; the rest is not the tag's
      {"<qelIf a=\"1\">tail", "a=1;+4"},
      // unterminated tags
      {"<qelIf a=\"1", "unterminated"},
      {"<qelIf a='1\">", "unterminated"},
      {"<qelIf a=", "unterminated"},
      {"<qelIf a= ", "unterminated"},
      {"<qelIf a", "unterminated"},
      {"<qelIf ", "unterminated"},
      {"<qelIf/", "unterminated"},
      // case of tag names, and names that are not tags
      {"<QELINLINESTRING string=\"s\">", "string=s;"},
      {"<qelinlinestring/>", "/"},
      {"<qelIf\v>", "not a tag"},
      {"<qelIf:x>", "not a tag"},
      {"<qelIfqelIfqelIfqelIfqelIf>", "not a tag"},
      {"<qelInlineStrin>", "not a tag"},
  };
  for (const Case& c : cases) EXPECT_EQ(read(c.text), c.expected) << c.text;
}

// Names and values of every length up to past two blocks, with the tag's end
// at every distance from the end of the text, read the same.
TEST_F(ParameterReader, EveryLengthAndDistanceFromTheEnd) {
  for (size_t length = 1; length <= 40; ++length) {
    std::string name(length, 'n'), value(length, 'v');
    name[length - 1] = 'N';
    value[length / 2] = '>';
    const std::string expected = name + "=" + value + ";" + name + "=;";
    for (const char* spacing : {" ", "\n\t "}) {
      std::string text = std::string("<qelIf") + spacing + name + "=\"" + value + "\"" + spacing + name + ">";
      EXPECT_EQ(read(text), expected) << text;
      for (size_t cut = 1; cut < text.size() - 6; ++cut)
        EXPECT_EQ(read(std::string_view(text).substr(0, text.size() - cut)), "unterminated") << text << " " << cut;
    }
  }
}

}  // namespace
}  // namespace bw
