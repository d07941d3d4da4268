// The engine's text pieces: entity decoding for the terminal, escaping, the
// start-tag reader, ${...} references and url-encoded fields.
#include <gtest/gtest.h>

#include "engine/content_types.h"
#include "engine/csrf_tokens.h"
#include "engine/page_scanner.h"
#include "engine/page_variables.h"
#include "engine/text_util.h"
#include "engine/web_forms.h"

namespace bw {
namespace {

struct TextCase {
  const char* input;
  const char* expected;
};

TEST(Entities, DecodeForTheTerminal) {
  const TextCase cases[] = {
      {"An &lt;qelIf&gt; tag", "An <qelIf> tag"},
      {"&quot;lhs&quot; &amp; &apos;", "\"lhs\" & '"},
      {"&#65;&#x42;&#X43;", "ABC"},
      {"&#233;&#x20AC;", "\xC3\xA9\xE2\x82\xAC"},
      // Not entities: left as written.
      {"a & b; &unknown; &#; &#x; &#0; &#xD800; &lt", "a & b; &unknown; &#; &#x; &#0; &#xD800; &lt"},
      {"&&lt;", "&<"},
      {"&#1114112;", "&#1114112;"},
  };
  for (const TextCase& c : cases) EXPECT_EQ(decodeEntities(c.input), c.expected) << c.input;
}

TEST(Entities, EscapeForPageText) {
  EXPECT_EQ(htmlEscaped("<a href=\"x\">'&'</a>"), "&lt;a href=&quot;x&quot;&gt;&#39;&amp;&#39;&lt;/a&gt;");
  EXPECT_EQ(htmlEscaped("plain"), "plain");
  EXPECT_EQ(fourCharacterCode(MIPV), "MIPV");
  EXPECT_EQ(fourCharacterCode(0x00414243), "?ABC");
}

class Scanner : public ::testing::Test {
 protected:
  void SetUp() override {
    tags.add("qelIf", 0x12);
    tags.add("qelInlineIf", 0x20);
    tags.add("qelMath", 0x10);
  }
  TagTable tags;
};

TEST_F(Scanner, StartTags) {
  struct Case {
    const char* text;
    TagScan scan;
    const char* parameters;  // name=value; ...
    bool selfClosed;
  };
  const Case cases[] = {
      {"<qelIf lhs=\"a\" rhs=\"b\">", TagScan::Found, "lhs=a;rhs=b;", false},
      {"<QELIF LHS='a'>", TagScan::Found, "LHS=a;", false},
      {"<qelInlineIf then=x else=y/>", TagScan::Found, "then=x;else=y/;", false},
      {"<qelInlineIf then=\"x\"/>", TagScan::Found, "then=x;", true},
      {"<qelIf\n\tlhs = \"a>b\"\n>", TagScan::Found, "lhs=a>b;", false},
      {"<qelIf a=\"1\" a=\"2\" b>", TagScan::Found, "a=1;a=2;b=;", false},
      {"<qelIf a=\"it's\" b='say \"hi\"'>", TagScan::Found, "a=it's;b=say \"hi\";", false},
      {"<qelIf \"stray\" x=1>", TagScan::Found, "stray=;x=1;", false},
      {"<qelIfx>", TagScan::NotATag, "", false},
      {"<qel>", TagScan::NotATag, "", false},
      {"< qelIf>", TagScan::NotATag, "", false},
      {"<qelIf lhs=\"a>", TagScan::Unterminated, "", false},
      {"<qelIf lhs=", TagScan::Unterminated, "", false},
      {"<qelIf", TagScan::Unterminated, "", false},
  };
  for (const Case& c : cases) {
    StartTag start;
    std::string_view text = c.text;
    ASSERT_EQ(scanStartTag(tags, text, 0, start), c.scan) << c.text;
    if (c.scan != TagScan::Found) continue;
    std::string parameters;
    for (const TagParameter& p : start.parameters)
      parameters += std::string(p.name) + "=" + std::string(p.value) + ";";
    EXPECT_EQ(parameters, c.parameters) << c.text;
    EXPECT_EQ(start.selfClosed, c.selfClosed) << c.text;
    EXPECT_EQ(start.end, text.size()) << c.text;
  }
}

TEST_F(Scanner, MatchingEndTags) {
  struct Case {
    const char* body;  // after the opening tag
    int bodyEnd;       // -1: no matching end
  };
  const Case cases[] = {
      {"x</qelIf>", 1},
      {"x</QELIF >", 1},
      {"<qelIf>a</qelIf>b</qelIf>", 17},
      {"<qelIf/>a</qelIf>", 9},
      {"<qelIf x=\"</qelIf>\">a</qelIf></qelIf>", 29},
      {"<qelMath>1</qelMath></qelIf>", 20},
      {"</qelIfx></qelIf>", 9},
      {"<qelIf>a</qelIf>", -1},
      {"no end", -1},
  };
  const RegisteredTag& qelIf = *tags.find("qelif");
  for (const Case& c : cases) {
    BodyExtent extent;
    bool found = findMatchingEnd(tags, c.body, 0, qelIf, extent);
    EXPECT_EQ(found, c.bodyEnd >= 0) << c.body;
    if (found) {
      EXPECT_EQ(extent.bodyEnd, static_cast<size_t>(c.bodyEnd)) << c.body;
    }
  }
}

TEST(References, ExpandExactly) {
  std::map<std::string, std::string> variables{{"a", "<1>"}, {"b.c", "2"}, {"A", "upper"}};
  NamedValues fields{{"Name", "Ann"}, {"name", "Bob"}};
  VariableScope scope{&variables, &fields};
  const TextCase cases[] = {
      {"${a}${b.c}${A}", "<1>2upper"},
      {"${param.name}|${PARAM.NAME}|${raw:param.name}", "Ann|Ann|Ann"},
      {"${nope}|${param.nope}", "|"},
      {"$${a}|$$|$|${|${}|${a|${a b}", "${a}|$$|$|${|${}|${a|${a b}"},
  };
  for (const TextCase& c : cases) EXPECT_EQ(expandExact(c.input, scope), c.expected) << c.input;
  std::string longName = "${" + std::string(kLongestVariableReference, 'x') + "}";
  EXPECT_EQ(expandExact(longName, scope), longName);
}

TEST(WebForms, FieldsKeepTheirOrder) {
  NamedValues fields;
  appendUrlEncodedFields("a=1&b=x+y%21&a=%zz&&c&=v&%41=%4", fields);
  std::string joined;
  for (const NamedValue& f : fields) joined += f.name + "=" + f.value + ";";
  EXPECT_EQ(joined, "a=1;b=x y!;a=%zz;c=;A=%4;");
  EXPECT_EQ(encodeUrlComponent("a b/é"), "a%20b/%C3%A9");
}

TEST(WebForms, TokensAreSpentOnceAndOnlyForTheirRegion) {
  std::string a = randomToken(), b = randomToken();
  EXPECT_EQ(a.size(), 32u);
  EXPECT_NE(a, b);
  CsrfTokens tokens;
  std::string shop = tokens.issue("shop");
  std::string root = tokens.issue("");
  EXPECT_FALSE(tokens.spend(root, "shop"));  // spent by the wrong region
  EXPECT_FALSE(tokens.spend(root, ""));
  EXPECT_FALSE(tokens.spend("", "shop"));
  EXPECT_TRUE(tokens.spend(shop, "shop"));
  EXPECT_FALSE(tokens.spend(shop, "shop"));
  // The oldest token goes when too many are outstanding.
  std::string first = tokens.issue("r");
  for (size_t i = 0; i < CsrfTokens::kMaxOutstanding; ++i) tokens.issue("r");
  EXPECT_FALSE(tokens.spend(first, "r"));
}

TEST(ContentTypes, ByExtension) {
  const TextCase cases[] = {
      {"index.html", "text/html; charset=utf-8"}, {"A.CSS", "text/css; charset=utf-8"},
      {"logo.svg", "image/svg+xml"},              {"archive.tar.gz", "application/octet-stream"},
      {"Makefile", "application/octet-stream"},   {"dir.d/file", "application/octet-stream"},
  };
  for (const TextCase& c : cases) EXPECT_EQ(contentTypeFor(c.input), c.expected) << c.input;
}

}  // namespace
}  // namespace bw
