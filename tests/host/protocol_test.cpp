// The module as a host sees it: the real shared library, loaded with dlopen,
// answering every selector, registering at MIni and dispatching tags.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_host.h"

namespace {

using bw::test::HostCall;
using bw::test::Result;
using bw::test::TestHost;

class Protocol : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(host.init(), 0u); }
  // Every request must give back every block it took.
  static void expectClean(const Result& r) {
    EXPECT_EQ(r.blocksLeft, 0) << r.trace();
    EXPECT_EQ(r.foreignReleases, 0);
  }
  TestHost host;
};

// --- Selectors --------------------------------------------------------------------

TEST_F(Protocol, SelectorsThatDoNothing) {
  struct Case {
    uint32_t selector;
    uint32_t expected;
  } cases[] = {
      {MTrm, 0},
      {MAct, MUnF},
      {0, MUnF},
      {BW_FOURCC('M', 'X', 'y', 'z'), MUnF},
      {BW_FOURCC('m', 'i', 'n', 'i'), MUnF},  // selectors have case
  };
  for (const Case& c : cases) {
    Result r = host.request(c.selector);
    EXPECT_EQ(r.result, c.expected) << bw::test::codeName(c.selector);
    EXPECT_TRUE(r.calls.empty()) << r.trace();
    expectClean(r);
  }
}

TEST_F(Protocol, InitialisationRegistersModuleAndEightTags) {
  TestHost fresh;
  Result r = fresh.initResult();
  EXPECT_EQ(r.result, 0u);
  expectClean(r);
  EXPECT_EQ(r.trace(), "MRMN MRMV MRMA MRVt MRfT MRfT MRfT MRfT MRfT MRfT MRfT MRfT");
  ASSERT_EQ(fresh.registrations.size(), 4u);
  EXPECT_EQ(fresh.registrations[0].second, "Brindlework");
  EXPECT_EQ(fresh.registrations[1].second, "2.1.7");
  EXPECT_EQ(fresh.registrations[2].second, "Orrindale Software, Inc.");
  EXPECT_EQ(fresh.registrations[3].second.rfind("https://", 0), 0u);
  std::vector<std::pair<std::string, uint32_t>> tags = {
      {"qelComment", 0x12}, {"qelIf", 0x12},   {"qelInlineIf", 0x20}, {"qelInlineString", 0x20},
      {"qelLoop", 0x12},    {"qelMath", 0x10}, {"qelString", 0x10},   {"qelSwitch", 0x12},
  };
  EXPECT_EQ(fresh.registeredTags, tags);
  for (const HostCall& call : r.calls) {
    EXPECT_EQ(call.textCount[0], call.text[0].size() + 1) << call.describe();
    EXPECT_TRUE(call.textTerminated[0]);
    EXPECT_TRUE(call.argNull[2] && call.argNull[3]);
    EXPECT_EQ(call.argNull[4], call.code != MRfT);
  }
}

TEST_F(Protocol, EveryRegistrationIsMadeEvenAfterARefusal) {
  struct Case {
    uint32_t code;
    const char* name;
  } cases[] = {
      {MRMN, ""}, {MRMV, ""}, {MRMA, ""}, {MRVt, ""},
      {MRfT, "qelComment"}, {MRfT, "qelLoop"}, {MRfT, "qelSwitch"},
  };
  for (const Case& c : cases) {
    TestHost refusing;
    refusing.refuse(c.code, c.name);
    Result r = refusing.initResult();
    EXPECT_EQ(r.result, MUnk) << bw::test::codeName(c.code) << ' ' << c.name;
    EXPECT_EQ(r.calls.size(), 12u);
    expectClean(r);
    size_t acceptedTags = refusing.registeredTags.size();
    EXPECT_EQ(acceptedTags + refusing.registrations.size(), 11u);
  }
}

// --- Tag dispatch -------------------------------------------------------------------

TEST_F(Protocol, CommentVanishesWithItsBody) {
  for (const char* name : {"qelComment", "QELCOMMENT", "qelcomment", "QelComment"}) {
    Result r = host.runTag(name, {{"lhs", "1"}}, "<b>anything</b> <qelIf lhs=1>x</qelIf>");
    EXPECT_EQ(r.result, 0u);
    // Name, region property, and nothing else: no body, no output.
    EXPECT_EQ(r.trace(), "MTag MGPr") << name;
    const HostCall& query = r.calls[0];
    EXPECT_EQ(query.offeredSize, 32u);
    EXPECT_TRUE(query.argNull[2] && query.argNull[3] && query.argNull[4]);
    const HostCall& property = r.calls[1];
    EXPECT_EQ(property.text[0], name);  // the name as the host spells it
    EXPECT_EQ(property.textCount[0], property.text[0].size() + 1);
    EXPECT_EQ(property.offeredSize, 32u);
    EXPECT_TRUE(property.argNull[4]);
    expectClean(r);
  }
}

TEST_F(Protocol, NamesTheModuleDoesNotKnowProduceNothing) {
  std::vector<std::optional<std::string>> names = {
      "qelComent", "qel", "", "qelCase", "qelIfx", std::string("qelIf\0", 6),
      std::string(40, 'q'), std::nullopt /* the MTag query fails */};
  for (const auto& name : names) {
    host.tagName = name;
    Result r = host.request(MTag);
    EXPECT_EQ(r.result, 0u);
    EXPECT_TRUE(r.writes.empty());
    EXPECT_TRUE(r.errors.empty());
    for (const HostCall& call : r.calls) EXPECT_TRUE(call.code == MTag || call.code == MGPr);
    expectClean(r);
  }
}

TEST_F(Protocol, LongTagNameTakesOneMBtSExchange) {
  host.tagName = std::string(40, 'n');
  Result r = host.request(MTag);
  std::vector<HostCall> queries = r.callsOf(MTag);
  ASSERT_EQ(queries.size(), 2u);
  EXPECT_EQ(queries[0].offeredSize, 32u);
  EXPECT_EQ(queries[1].offeredSize, 40u);
  EXPECT_EQ(r.callsOf(MGPr)[0].text[0], std::string(40, 'n'));
}

TEST_F(Protocol, NameQueryAnsweredMBtSTwiceMatchesNothing) {
  host.alwaysTooSmall(MTag);
  Result r = host.runTag("qelIf", {}, "body");
  EXPECT_EQ(r.result, 0u);
  EXPECT_EQ(r.trace(), "MTag MTag MGPr");
  EXPECT_EQ(r.calls[2].text[0], "");
}

// Only "no", byte for byte, disables a tag.  qelIf is used because whatever
// its handler does, it asks the host something beyond the name and property.
TEST_F(Protocol, RegionPropertyDisablesOnlyOnExactNo) {
  struct Case {
    std::string value;
    bool disabled;
  } cases[] = {
      {"no", true},         {"No", false},  {"NO", false},  {"false", false},
      {"", false},          {"no ", false}, {std::string("no\0", 3), false},
      {"yes", false},       {std::string(33, 'n'), false},
  };
  for (const Case& c : cases) {
    host.regionProperties = {{"qelIf", c.value}};
    Result r = host.runTag("qelIf", {}, "body");
    if (c.disabled) {
      EXPECT_EQ(r.result, 0u);
      EXPECT_EQ(r.trace(), "MTag MGPr");
    } else {
      EXPECT_GT(r.calls.size(), 2u) << '"' << c.value << "\" " << r.trace();
    }
    expectClean(r);
  }
}

TEST_F(Protocol, DisabledPropertyMatchesTheNameAsSpelled) {
  // The test host matches property names without case, as a site would.
  host.regionProperties = {{"qelIf", "no"}};
  Result r = host.runTag("QELIF", {}, "body");
  EXPECT_EQ(r.trace(), "MTag MGPr");
  EXPECT_EQ(r.calls[1].text[0], "QELIF");
}

// --- Exchanges made for the tag handlers ------------------------------------------
//
// qelInlineIf and qelIf are used as plain carriers of parameters and bodies:
// with equal sides under "equals" they hand back their then value or body.

TEST_F(Protocol, ParameterValuesArriveWholeThroughTheModule) {
  struct Case {
    std::string side;  // lhs and rhs
    std::string then;
    std::vector<uint32_t> thenOffered;  // sizes offered when reading then
  } cases[] = {
      {"abc", "yes", {32}},
      {std::string(32, 's'), std::string(32, 't'), {32}},
      {std::string(33, 's'), std::string(33, 't'), {32, 33}},
      {"x", std::string("a\0b", 3), {32}},
      {"x", std::string(300, 'v'), {32, 300}},
      {"x", std::string(40, '\0'), {32, 40}},
      {"x", "", {32}},
  };
  for (const Case& c : cases) {
    Result r = host.runTag("qelInlineIf", {{"lhs", c.side},
                                           {"relationship", "equals"},
                                           {"rhs", c.side},
                                           {"then", c.then},
                                           {"else", "no"}});
    EXPECT_EQ(r.result, 0u) << r.trace();
    EXPECT_EQ(r.output, c.then);
    std::vector<uint32_t> offered;
    for (const HostCall& call : r.callsOf(MTPm)) {
      EXPECT_EQ(call.textCount[0], call.text[0].size() + 1);
      if (call.text[0] == "then") offered.push_back(call.offeredSize);
    }
    EXPECT_EQ(offered, c.thenOffered);
    if (c.then.empty()) {
      EXPECT_TRUE(r.writes.empty());  // empty output is never sent
    } else {
      EXPECT_EQ(r.calls.back().code, MWtS);
      EXPECT_EQ(r.calls.back().textCount[0], c.then.size());
    }
    expectClean(r);
  }
}

TEST_F(Protocol, BodiesArriveWholeThroughTheModule) {
  std::vector<std::string> bodies = {"", "b", std::string(62, 'b'), std::string(63, 'b'),
                                     std::string(64, 'b'), std::string(10000, 'b')};
  for (const std::string& body : bodies) {
    size_t length = body.size();
    Result r = host.runTag("qelIf", {{"lhs", "a"}, {"relationship", "equals"}, {"rhs", "a"}},
                           body);
    EXPECT_EQ(r.result, 0u);
    EXPECT_EQ(r.output, body);
    std::vector<HostCall> exchanges = r.callsOf(MTBd);
    ASSERT_EQ(exchanges.size(), length > 63 ? 2u : 1u) << length;
    EXPECT_EQ(exchanges[0].offeredSize, 63u);
    if (length > 63) {
      EXPECT_EQ(exchanges[1].offeredSize, length);
    }
    expectClean(r);
  }
}

TEST_F(Protocol, MissingParameterIsReportedThroughTheModule) {
  Result r = host.runTag("QelInlineIf", {{"relationship", "equals"}, {"rhs", "1"}});
  EXPECT_EQ(r.result, MMRP);
  ASSERT_EQ(r.errors.size(), 1u);
  EXPECT_EQ(r.errors[0].message,
            "An &lt;QelInlineIf&gt; tag was found but it is missing its &quot;lhs&quot; "
            "parameter.");
  EXPECT_EQ(r.errors[0].hint,
            "Check the &lt;QelInlineIf&gt; tag to see if the &quot;lhs&quot; parameter is "
            "missing or misspelled.");
  const HostCall report = r.callsOf(MSEI).at(0);
  EXPECT_EQ(report.textCount[0], report.text[0].size() + 1);
  EXPECT_EQ(report.textCount[1], report.text[1].size() + 1);
  EXPECT_TRUE(r.writes.empty());
  expectClean(r);
}

TEST_F(Protocol, OutputIsHandedOverAfterAnError) {
  // An unknown order is reported, and the tag still gives its text.
  Result r = host.runTag("qelIf", {{"lhs", "a"}, {"relationship", "equals"}, {"rhs", "a"},
                                   {"order", "sideways"}}, "kept");
  EXPECT_EQ(r.result, MInv);
  EXPECT_EQ(r.errors.size(), 1u);
  EXPECT_EQ(r.output, "kept");
  EXPECT_EQ(r.calls.back().code, MWtS);
  expectClean(r);
}

// --- Running out of memory ----------------------------------------------------------

// Fails the k-th host allocation of a request for every k until a request
// completes without failing; each failed request must answer MUnk, give
// back every block and call the host no more.
void expectEveryAllocationFailureIsContained(TestHost& host, const std::function<Result()>& send,
                                             const char* what) {
  for (uint64_t k = 1;; ++k) {
    host.failAllocationAt(k);
    Result r = send();
    EXPECT_EQ(r.blocksLeft, 0) << what << " k=" << k;
    if (!r.allocationFailed) {
      EXPECT_GT(k, 1u) << what << " never allocated";
      break;
    }
    EXPECT_EQ(r.result, MUnk) << what << " k=" << k;
    EXPECT_EQ(r.callsAfterAllocationFailure, 0) << what << " k=" << k << ": " << r.trace();
    ASSERT_LT(k, 100000u);
  }
}

TEST_F(Protocol, AllocationFailureAnswersMUnkAndReleasesEverything) {
  expectEveryAllocationFailureIsContained(host, [&] { return host.initResult(); }, "MIni");
  expectEveryAllocationFailureIsContained(host, [&] { return host.renderProperties(); }, "MGPr");
  expectEveryAllocationFailureIsContained(
      host, [&] { return host.storeProperties({{"qelIf", "yes"}, {"qelMath", "No"}}); }, "MSPr");
  expectEveryAllocationFailureIsContained(
      host, [&] { return host.runTag(std::string(50, 'x'), {}, "b"); }, "MTag");
  expectEveryAllocationFailureIsContained(
      host,
      [&] {
        return host.runTag("qelIf", {{"lhs", "a"}, {"relationship", "equals"}, {"rhs", "a"}},
                           std::string(100, 'b') + "<qelElse>other");
      },
      "qelIf");
  // The module still works afterwards.
  EXPECT_EQ(host.init(), 0u);
  EXPECT_EQ(host.renderProperties().result, 0u);
}

}  // namespace
