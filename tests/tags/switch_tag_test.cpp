// qelSwitch as a page sees it, through the real module: closed cases, open
// labels, defaults, their mixtures, and malformed case tags.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tags/control_tag_fixture.h"

namespace bw {
namespace {

using test::NamedValues;
using test::Result;

struct SwitchCase {
  std::string value;
  bool caseSensitive;
  std::string body;
  std::string expected;
};

const std::string kABD =
    "<qelCase value=\"a\">A</qelCase><qelCase value=\"b\">B</qelCase><qelCase>D</qelCase>";
const std::string kOpenLabels = "<qelCase value=\"a\">A<qelCase value=\"b\">B<qelCase>D";
const std::string kNestedSwitch =
    "<qelSwitch value=\"x\"><qelCase value=\"x\">inner</qelCase></qelSwitch>";

const std::vector<SwitchCase> kCases = {
    // Closed cases and the default.
    {"b", false, kABD, "B"},
    {"c", false, kABD, "D"},
    {"B", false, kABD, "B"},
    {"B", true, kABD, "D"},
    {"a", false, kABD, "A"},
    {"x", false, "<qelCase>D</qelCase><qelCase value=\"x\"></qelCase>", ""},
    {"x", false, "<qelCase value=\"x\">first</qelCase><qelCase value=\"x\">second</qelCase>",
     "first"},
    {"z", false, "<qelCase>1</qelCase> between <qelCase>2</qelCase>", "12"},
    {"a", false, "<qelCase>D</qelCase><qelCase value=\"a\">A</qelCase>", "A"},
    {"z", false, "<qelCase value=\"a\">A</qelCase>", ""},
    {"z", false, "", ""},
    {"z", false, "no cases at all", ""},
    // Open labels run on to the end, later labels dropped.
    {"a", false, kOpenLabels, "ABD"},
    {"b", false, kOpenLabels, "BD"},
    {"z", false, kOpenLabels, "D"},
    {"a", false, "<qelCase>D<qelCase value=\"a\">A", "A"},
    {"z", false, "<qelCase>D<qelCase value=\"a\">A", "DA"},
    {"a", false, "x<qelCase value=\"a\">A", "A"},
    // An open label followed by a closed case: its content comes last.
    {"a", false, "<qelCase value=\"a\">A<qelCase value=\"b\">B</qelCase>C", "AB"},
    // Other qel blocks while collecting are taken whole.
    {"a", false, "<qelCase value=\"a\">x<qelIf lhs=\"1\">y<qelElse>n</qelIf>z",
     "x<qelIf lhs=\"1\">y<qelElse>n</qelIf>z"},
    {"a", false, "<qelCase value=\"a\">x</qelIf>y", "x</qelIf>y"},
    // Text between cases is not part of the result.
    {"a", false, "x<qelCase value=\"a\">A</qelCase>y", "A"},
    // Blanks around the content are trimmed.
    {"a", false, "<qelCase value=\"a\">\r\n\t A \n</qelCase>", "A"},
    // Case values: escapes, quotes, case.
    {"x\ty", false, "<qelCase value=\"x\\ty\">tab</qelCase>", "tab"},
    {"\\065", false, "<qelCase value=\"A\">A</qelCase>", "A"},
    // Values past the exchange's first buffer, with and without escapes.
    {"a switch value well past thirty-two bytes", false,
     "<qelCase value=\"A SWITCH VALUE WELL PAST THIRTY-TWO BYTES\">long</qelCase>", "long"},
    {"a switch value well past thirty-two bytes\\t", true,
     "<qelCase value=\"a switch value well past thirty-two bytes\\t\">long tab</qelCase>", "long tab"},
    {"ab", false, "<qelCase value=\"a\">short</qelCase><qelCase value=\"abc\">longer</qelCase>", ""},
    {"say \"hi\"", false, "<qelCase value=\"say \"hi\"\">Q</qelCase>", "Q"},
    {"a", false, "<QELCASE VALUE=\"A\">up</QELCASE>", "up"},
    {"a", false, "<qelCase value=\"a\" >sp</qelCase>", "sp"},
    {"", false, "<qelCase value=\"\">empty</qelCase><qelCase>D</qelCase>", "empty"},
    {"a", false, "<qelCase valueX\"a\">any byte after value</qelCase>", "any byte after value"},
    // Malformed case tags are not cases.
    {"a", false, "<qelCase value = \"a\">A</qelCase>", ""},
    {"a", false, "<qelCase value=a>A</qelCase><qelCase>D</qelCase>", "D"},
    {"a", false, "<qelCase value=\"a\" x>A</qelCase><qelCase>D</qelCase>", "D"},
    {"a", false, "<qelCase value=\"a\" x>A<qelCase>D", "D"},
    {"a", false, "<qelCasex value=\"a\">A</qelCasex>", ""},
    // A nested switch inside a closed case comes back whole.
    {"k", false, "<qelCase value=\"k\">" + kNestedSwitch + "</qelCase>", kNestedSwitch},
    {"x", false, kNestedSwitch + "<qelCase>D</qelCase>", "D"},
};

class SwitchTag : public ControlTagTest {
 protected:
  Result run(const NamedValues& params, const std::string& body) {
    return ControlTagTest::run("qelSwitch", params, body);
  }
};

TEST_F(SwitchTag, SelectsTheCaseTheValueNames) {
  for (const SwitchCase& c : kCases) {
    NamedValues params = {{"value", c.value}};
    if (c.caseSensitive) params.push_back({"caseSensitive", "true"});
    const Result r = run(params, c.body);
    EXPECT_EQ(r.result, 0u);
    EXPECT_TRUE(r.errors.empty());
    EXPECT_EQ(r.output, c.expected) << "value " << c.value << " body " << c.body;
  }
}

TEST_F(SwitchTag, MissingValueIsReported) {
  const Result r = run({}, kABD);
  EXPECT_EQ(r.result, MMRP);
  EXPECT_EQ(r.output, "");
  ASSERT_EQ(r.errors.size(), 1u);
  EXPECT_EQ(r.errors[0].message,
            "An &lt;qelSwitch&gt; tag was found but it is missing its &quot;value&quot; "
            "parameter.");
}

TEST_F(SwitchTag, ManyCasesAndDeepBlocks) {
  std::string body;
  for (int i = 0; i < 10000; ++i) {
    body += "<qelCase value=\"" + std::to_string(i) + "\">v" + std::to_string(i) + "</qelCase>";
  }
  EXPECT_EQ(run({{"value", "9999"}}, body).output, "v9999");
  EXPECT_EQ(run({{"value", "0"}}, body).output, "v0");

  std::string deep;
  for (int i = 0; i < 10000; ++i) deep += "<qelIf>";
  for (int i = 0; i < 10000; ++i) deep += "</qelIf>";
  EXPECT_EQ(run({{"value", "a"}}, deep + "<qelCase value=\"a\">A</qelCase>").output, "A");
  EXPECT_EQ(run({{"value", "a"}}, "<qelCase value=\"a\">" + deep).output, deep);
}

// ---- former bugs -------------------------------------------------------------

TEST_F(SwitchTag, FormerBugs) {
  const std::vector<SwitchCase> cases = {
      // A closed default whose content starts with a nested block: the walk
      // goes on inside the default and must find the block intact.
      {"c", false,
       "<qelCase><qelIf lhs=\"1\">x</qelIf></qelCase><qelCase value=\"b\">B</qelCase>",
       "<qelIf lhs=\"1\">x</qelIf>"},
      {"b", false,
       "<qelCase><qelIf lhs=\"1\">x</qelIf></qelCase><qelCase value=\"b\">B</qelCase>", "B"},
  };
  for (const SwitchCase& c : cases) {
    const Result r = run({{"value", c.value}}, c.body);
    EXPECT_EQ(r.output, c.expected) << c.body;
  }
}

}  // namespace
}  // namespace bw
