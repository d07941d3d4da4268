// A test host set up for the string tags, and the table row most of their
// cases share: parameters and a body in, an output out.
#ifndef BRINDLEWORK_TESTS_TAGS_STRING_STRING_TAG_HOST_H
#define BRINDLEWORK_TESTS_TAGS_STRING_STRING_TAG_HOST_H

#include <gtest/gtest.h>

#include <string>

#include "support/test_host.h"

namespace bw::test {

struct StringCase {
  NamedValues params;
  std::string body;
  std::string expected;
};

class StringTagTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(host.init(), 0u); }

  // qelString with the body as its text; checks that nothing leaked.
  Result runBody(const NamedValues& params, const std::string& body) {
    Result r = host.runTag("qelString", params, body);
    EXPECT_EQ(r.blocksLeft, 0);
    return r;
  }
  Result runInline(const NamedValues& params) {
    Result r = host.runTag("qelInlineString", params, std::nullopt);
    EXPECT_EQ(r.blocksLeft, 0);
    return r;
  }

  // Every row through qelString, and again through qelInlineString with the
  // body as its string parameter.
  void expectRows(const std::vector<StringCase>& rows) {
    for (const StringCase& c : rows) {
      std::string label = "body: " + c.body;
      for (const NamedValue& p : c.params) label += " " + p.name + "=" + p.value;
      Result r = runBody(c.params, c.body);
      EXPECT_EQ(r.result, 0u) << label;
      EXPECT_EQ(r.output, c.expected) << label;
      EXPECT_TRUE(r.errors.empty()) << label;
      NamedValues inlineParams = c.params;
      inlineParams.push_back({"string", c.body});
      Result i = runInline(inlineParams);
      EXPECT_EQ(i.output, c.expected) << "inline " << label;
    }
  }

  TestHost host;
};

// The missing-parameter message for a tag and parameter.
inline std::string missingMessage(const std::string& tag, const std::string& parameter) {
  return "An &lt;" + tag + "&gt; tag was found but it is missing its &quot;" + parameter +
         "&quot; parameter.";
}

}  // namespace bw::test

#endif
