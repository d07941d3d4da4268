// The region properties page through the real module: the HTML byte for
// byte, the store that follows a submission, and its effect on later tags.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/test_host.h"

namespace {

using bw::test::HostCall;
using bw::test::NamedValues;
using bw::test::Result;
using bw::test::TestHost;

const std::vector<std::string> kTags = {"qelComment", "qelIf",     "qelInlineIf",
                                        "qelInlineString", "qelLoop", "qelMath",
                                        "qelString", "qelSwitch"};

std::string box(const std::string& name, bool ticked) {
  return "<input type=\"checkbox\" name=\"" + name + "\" value=\"yes\"" +
         (ticked ? " CHECKED" : "") + ">" + name;
}

// The page written out in full, with the boxes of the unticked tags unticked.
std::string expectedPage(const std::vector<std::string>& unticked = {}) {
  auto cell = [&](const std::string& name) {
    bool off = false;
    for (const std::string& u : unticked) off |= u == name;
    return box(name, !off);
  };
  const std::string sep = "</td><td width=\"33%\">";
  return "<table width=\"100%\" border=\"2\" cellspacing=\"1\" cellpadding=\"4\" "
         "align=\"center\">\r\n<tr>\r\n<td>\r\n<table width=\"95%\" border=\"0\" "
         "cellspacing=\"0\" cellpadding=\"1\" align=\"center\">\r\n<tr><td colspan=\"3\">"
         "Deselect any QEL tags that should be disabled for this region.<br><br></td></tr>"
         "\r\n<tr><td width=\"33%\">" + cell("qelComment") + sep + cell("qelIf") + sep +
         cell("qelInlineIf") + "</td></tr>"
         "\r\n<tr><td width=\"33%\">" + cell("qelInlineString") + sep + cell("qelLoop") + sep +
         cell("qelMath") + "</td></tr>"
         "\r\n<tr><td width=\"33%\">" + cell("qelString") + sep + cell("qelSwitch") + sep +
         "&nbsp;</td></tr>"
         "\r\n</table>\r\n</td>\r\n</tr>\r\n</table>";
}

NamedValues everyBoxTickedBut(const std::string& unticked) {
  NamedValues form;
  for (const std::string& name : kTags)
    if (name != unticked) form.push_back({name, "yes"});
  return form;
}

class PropertiesPage : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(host.init(), 0u); }
  TestHost host;
};

TEST_F(PropertiesPage, FreshRegionHasEveryBoxTicked) {
  Result r = host.renderProperties();
  EXPECT_EQ(r.result, 0u);
  EXPECT_EQ(r.blocksLeft, 0);
  ASSERT_EQ(r.writes.size(), 1u);
  EXPECT_EQ(r.output, expectedPage());
  // One property read per tag, in table order, then the page in one write.
  std::vector<HostCall> reads = r.callsOf(MGPr);
  ASSERT_EQ(reads.size(), kTags.size());
  for (size_t i = 0; i < kTags.size(); ++i) {
    EXPECT_EQ(reads[i].text[0], kTags[i]);
    EXPECT_EQ(reads[i].textCount[0], kTags[i].size() + 1);
  }
  const HostCall& write = r.calls.back();
  EXPECT_EQ(write.code, MWtS);
  EXPECT_EQ(write.textCount[0], r.output.size());
  EXPECT_TRUE(write.textTerminated[0]);
}

TEST_F(PropertiesPage, OnlyExactYesTicksABox) {
  struct Case {
    std::string value;
    bool ticked;
  } cases[] = {{"yes", true}, {"Yes", false}, {"no", false}, {"", false},
               {"yes ", false}, {std::string("yes\0", 4), false}, {std::string(40, 'y'), false}};
  for (const Case& c : cases) {
    host.regionProperties = {{"qelMath", c.value}};
    Result r = host.renderProperties();
    EXPECT_EQ(r.output, expectedPage(c.ticked ? std::vector<std::string>{}
                                              : std::vector<std::string>{"qelMath"}))
        << '"' << c.value << '"';
    EXPECT_EQ(r.blocksLeft, 0);
  }
}

TEST_F(PropertiesPage, SubmissionStoresNoAndRemovesTheRest) {
  host.regionProperties = {{"qelIf", "no"}, {"qelMath", "Yes"}, {"custom", "kept"}};
  Result r = host.storeProperties(everyBoxTickedBut("qelLoop"));
  EXPECT_EQ(r.result, 0u);
  EXPECT_TRUE(r.writes.empty());
  EXPECT_EQ(r.blocksLeft, 0);
  std::map<std::string, std::string> stored(host.regionProperties.begin(),
                                            host.regionProperties.end());
  EXPECT_EQ(stored, (std::map<std::string, std::string>{{"custom", "kept"}, {"qelLoop", "no"}}));

  // Each tag: its form field at occurrence 0, then a store or a removal.
  std::vector<std::string> steps;
  for (const HostCall& call : r.calls) {
    if (call.code == MFAr) {
      EXPECT_EQ(call.occurrence, 0);
    }
    steps.push_back(bw::test::codeName(call.code) + " " + call.text[0] +
                    (call.code == MSPr ? "=" + call.text[1] : ""));
  }
  std::vector<std::string> expected;
  for (const std::string& name : kTags) {
    expected.push_back("MFAr " + name);
    expected.push_back(name == "qelLoop" ? "MSPr qelLoop=no" : "MRPr " + name);
  }
  EXPECT_EQ(steps, expected);

  // The next page shows the choice, and the tag is gone from the region.
  EXPECT_EQ(host.renderProperties().output, expectedPage({"qelLoop"}));
  Result loop = host.runTag("qelLoop", {{"start", "1"}, {"end", "3"}}, "x");
  EXPECT_EQ(loop.result, 0u);
  EXPECT_EQ(loop.trace(), "MTag MGPr");
  EXPECT_TRUE(loop.output.empty());
}

TEST_F(PropertiesPage, SubmittedValuesOtherThanNoEnable) {
  struct Case {
    std::optional<std::string> submitted;  // nullopt: the box sent nothing
    bool disabled;
  } cases[] = {{std::nullopt, true}, {"", true},     {"no", true},  {"yes", false},
               {"No", false},        {"NO", false},  {"on", false}, {std::string(50, 'n'), false}};
  for (const Case& c : cases) {
    host.regionProperties.clear();
    NamedValues form = everyBoxTickedBut("qelString");
    if (c.submitted) form.push_back({"qelString", *c.submitted});
    Result r = host.storeProperties(form);
    EXPECT_EQ(r.blocksLeft, 0);
    bool stored = host.regionProperties.count("qelString") != 0;
    EXPECT_EQ(stored, c.disabled) << (c.submitted ? *c.submitted : "(nothing)");
    if (stored) {
      EXPECT_EQ(host.regionProperties["qelString"], "no");
    }
  }
}

TEST_F(PropertiesPage, RefusedStoresStillVisitEveryTag) {
  host.refuse(MSPr);
  host.refuse(MRPr);
  host.regionProperties = {{"qelIf", "no"}};
  Result r = host.storeProperties({});
  EXPECT_EQ(r.result, 0u);
  EXPECT_EQ(r.callsOf(MFAr).size(), 8u);
  EXPECT_EQ(r.callsOf(MSPr).size(), 8u);
  EXPECT_EQ(host.regionProperties["qelIf"], "no");  // the previous state stays
}

}  // namespace
