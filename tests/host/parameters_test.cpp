// The parameter getters, text exchanges and reports, run in process against
// the test host, so each operation can be called on its own and its host
// exchanges read from the log.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host_exchange.h"
#include "host/parameters.h"
#include "support/in_process.h"

namespace bw {
namespace {

using test::HostCall;
using test::Result;

class HostOperations : public test::InProcessTest {
 protected:
  // Reads one string parameter; found and value come back as plain data.
  Result readString(const char* name, int32_t occurrence, bool& found, std::string& value) {
    return run([&](const ModuleRequest* request) {
      QelString v;
      found = getStringParameter(request, NameKey(name), occurrence, v, QelString("default"));
      value = str(v);
    });
  }
};

// --- The MBtS exchange (value sizes are covered through the real module) ------

TEST_F(HostOperations, ParameterRequestCarriesNameCountAndOccurrence) {
  host.parameters = {{"caseSensitive", "yes"}};
  bool found = false;
  std::string value;
  Result r = readString("caseSensitive", 0, found, value);
  ASSERT_EQ(r.calls.size(), 1u);
  const HostCall& call = r.calls[0];
  EXPECT_EQ(call.code, MTPm);
  EXPECT_EQ(call.text[0], "caseSensitive");
  EXPECT_EQ(call.textCount[0], 14u);  // the terminator counts
  EXPECT_TRUE(call.textTerminated[0]);
  EXPECT_FALSE(call.argNull[4]);
  EXPECT_EQ(call.occurrence, 0);
}

TEST_F(HostOperations, SecondMBtSMeansAbsent) {
  host.parameters = {{"lhs", "short"}};
  host.alwaysTooSmall(MTPm);
  bool found = true;
  std::string value;
  Result r = readString("lhs", 0, found, value);
  EXPECT_FALSE(found);
  EXPECT_EQ(value, "default");
  EXPECT_EQ(r.callsOf(MTPm).size(), 2u);  // never a third attempt
}

TEST_F(HostOperations, OversizedDemandIsRefusedAndReported) {
  host.parameters = {{"lhs", "x"}};
  host.alwaysTooSmall(MTPm, kMaxHostTextBytes + 1);
  bool found = true;
  std::string value;
  Result r = readString("lhs", 0, found, value);
  EXPECT_FALSE(found);
  EXPECT_EQ(value, "default");
  EXPECT_EQ(r.callsOf(MTPm).size(), 1u);
  ASSERT_EQ(r.errors.size(), 1u);
  EXPECT_EQ(r.errors[0].message,
            "The host offered a text of 1073741825 bytes; the module accepts at most "
            "1073741824 bytes.");
}

TEST_F(HostOperations, OverstatedLengthsAreCutToTheBuffer) {
  host.parameters = {{"lhs", "abc"}};
  host.body = "body";
  host.overstateLength(MTPm, 1000);
  host.overstateLength(MTBd, 1);
  std::string value, body;
  run([&](const ModuleRequest* request) {
    QelString v;
    EXPECT_TRUE(getStringParameter(request, NameKey("lhs"), 0, v, QelString()));
    value = str(v);
    body = str(getTagBody(request));
  });
  EXPECT_EQ(value.size(), kFirstValueBufferSize);
  EXPECT_EQ(value.substr(0, 3), "abc");
  EXPECT_EQ(body.size(), kFirstBodyBufferSize);
  EXPECT_EQ(body.substr(0, 4), "body");
}

TEST_F(HostOperations, RepeatedParametersByOccurrence) {
  host.parameters = {{"item", "one"}, {"other", "x"}, {"ITEM", "two"}, {"Item", ""}};
  std::vector<std::string> values;
  std::vector<int32_t> asked;
  Result r = run([&](const ModuleRequest* request) {
    QelString v;
    for (int32_t i = 0; getStringParameter(request, NameKey("item"), i, v, QelString()); ++i)
      values.push_back(str(v));
  });
  for (const HostCall& call : r.callsOf(MTPm)) asked.push_back(call.occurrence);
  EXPECT_EQ(values, (std::vector<std::string>{"one", "two", ""}));
  EXPECT_EQ(asked, (std::vector<int32_t>{0, 1, 2, 3}));
}

// --- Conversions ----------------------------------------------------------------

TEST_F(HostOperations, BooleanParameter) {
  struct Case {
    const char* text;
    bool expected;
  } cases[] = {
      {"true", true}, {"TRUE", true}, {"t", true}, {"yes", true}, {"Y", true},
      {"on", true},   {"ON", true},   {"1", true}, {"false", false}, {"no", false},
      {"2", false},   {"", false},    {"yes ", false}, {"10", false}, {"tru", false},
  };
  for (const Case& c : cases) {
    host.parameters = {{"quoteResult", c.text}};
    for (bool fallback : {false, true}) {
      bool value = !c.expected;
      bool found = false;
      run([&](const ModuleRequest* request) {
        found = getBooleanParameter(request, NameKey("quoteResult"), 0, value, fallback);
      });
      EXPECT_TRUE(found);
      EXPECT_EQ(value, c.expected) << '"' << c.text << '"';
    }
  }
  host.parameters.clear();
  for (bool fallback : {false, true}) {
    bool value = !fallback;
    run([&](const ModuleRequest* request) {
      EXPECT_FALSE(getBooleanParameter(request, NameKey("quoteResult"), 0, value, fallback));
    });
    EXPECT_EQ(value, fallback);
  }
}

TEST_F(HostOperations, KeywordParameterFoldsCase) {
  host.parameters = {{"mode", "ToUpper"}};
  bool matches = false;
  bool defaulted = false;
  run([&](const ModuleRequest* request) {
    NameKey value;
    EXPECT_TRUE(getKeywordParameter(request, NameKey("mode"), 0, value, NameKey("x")));
    matches = value == NameKey("toupper");
    EXPECT_FALSE(getKeywordParameter(request, NameKey("order"), 0, value, NameKey("alpha")));
    defaulted = value == NameKey("ALPHA");
  });
  EXPECT_TRUE(matches);
  EXPECT_TRUE(defaulted);
}

// --- Required parameters and the missing-parameter report ---------------------

TEST_F(HostOperations, MissingRequiredParameterIsReported) {
  struct Case {
    const char* tag;  // as the host spells it
    const char* parameter;
    bool keyword;
  } cases[] = {
      {"qelIf", "lhs", false},
      {"QELIF", "rhs", true},
      {"qelString", "mode", true},
      {"qelloop", "resultVariableName", false},
  };
  for (const Case& c : cases) {
    host.tagName = c.tag;
    host.parameters = {{"unrelated", "1"}};
    bool found = true;
    bool emptyValue = false;
    Result r = run([&](const ModuleRequest* request) {
      if (c.keyword) {
        NameKey value("stale");
        found = requireKeywordParameter(request, NameKey(c.parameter), 0, value);
        emptyValue = value == NameKey() && value.text().isEmpty();
      } else {
        QelString value("stale");
        found = requireStringParameter(request, NameKey(c.parameter), 0, value);
        emptyValue = value.isEmpty();
      }
    });
    EXPECT_FALSE(found);
    EXPECT_TRUE(emptyValue);
    ASSERT_EQ(r.errors.size(), 1u);
    std::string t = c.tag, p = c.parameter;
    EXPECT_EQ(r.errors[0].message, "An &lt;" + t +
                                       "&gt; tag was found but it is missing its &quot;" + p +
                                       "&quot; parameter.");
    EXPECT_EQ(r.errors[0].hint, "Check the &lt;" + t + "&gt; tag to see if the &quot;" + p +
                                    "&quot; parameter is missing or misspelled.");
    // The tag's name is asked for afresh, after the parameter.
    EXPECT_EQ(r.trace(), "MTPm MTag MSEI");
  }
}

TEST_F(HostOperations, PresentEmptyRequiredParameterIsFound) {
  host.parameters = {{"lhs", ""}};
  Result r = run([&](const ModuleRequest* request) {
    QelString value("stale");
    EXPECT_TRUE(requireStringParameter(request, NameKey("lhs"), 0, value));
    EXPECT_TRUE(value.isEmpty());
  });
  EXPECT_TRUE(r.errors.empty());
}

// --- Body ---------------------------------------------------------------------

// Body sizes around the first buffer are covered through the real module;
// the tag handlers stop reading a body at a 0 byte, so its arrival is
// checked here.
TEST_F(HostOperations, BodyKeepsZeroBytesAndMayBeAbsent) {
  struct Case {
    std::optional<std::string> body;
    std::string expected;
  } cases[] = {
      {std::string("<qelIf>\0</qelIf>", 16), std::string("<qelIf>\0</qelIf>", 16)},
      {std::string(70, '\0'), std::string(70, '\0')},
      {std::nullopt, ""},
  };
  for (const Case& c : cases) {
    host.body = c.body;
    std::string body = "stale";
    Result r = run([&](const ModuleRequest* request) { body = str(getTagBody(request)); });
    EXPECT_EQ(body, c.expected);
    EXPECT_EQ(r.callsOf(MTBd).size(), c.expected.size() > 63 ? 2u : 1u);
  }
}

TEST_F(HostOperations, BodyAfterSecondMBtSIsEmpty) {
  host.body = std::string(100, 'b');
  host.alwaysTooSmall(MTBd);
  std::string body = "stale";
  Result r = run([&](const ModuleRequest* request) { body = str(getTagBody(request)); });
  EXPECT_EQ(body, "");
  EXPECT_EQ(r.callsOf(MTBd).size(), 2u);
}

// --- Texts handed to the host -----------------------------------------------------

TEST_F(HostOperations, OutputCountsNoTerminatorAndEmptyOutputIsNotSent) {
  Result r = run([&](const ModuleRequest* request) {
    EXPECT_TRUE(writeOutput(request, QelString()));
    EXPECT_TRUE(writeOutput(request, QelString("ABC")));
    EXPECT_TRUE(writeOutput(request, QelString("a\0b", 3)));
  });
  ASSERT_EQ(r.calls.size(), 2u);
  EXPECT_EQ(r.calls[0].textCount[0], 3u);
  EXPECT_TRUE(r.calls[0].textTerminated[0]);
  EXPECT_EQ(r.calls[1].textCount[0], 3u);
  EXPECT_EQ(r.output, std::string("ABCa\0b", 6));
}

TEST_F(HostOperations, TextsInCountTheirTerminator) {
  // Which code each operation sends and whether the host sees a private copy
  // rather than the string's own storage.
  struct Case {
    uint32_t code;
    bool privateCopy;
    std::function<bool(const ModuleRequest*, const QelString&, const QelString&)> send;
  } cases[] = {
      {MSEI, false, [](auto r, auto& a, auto& b) { return setErrorInfo(r, a, b); }},
      {MSPV, false, [](auto r, auto& a, auto& b) { return setPageVariable(r, a, b); }},
      {MSPr, true, [](auto r, auto& a, auto& b) { return setRegionProperty(r, a, b); }},
      {MRPr, true, [](auto r, auto& a, auto&) { return removeRegionProperty(r, a); }},
      {MRMN, true, [](auto r, auto& a, auto&) { return registerModuleName(r, a); }},
      {MRMV, true, [](auto r, auto& a, auto&) { return registerModuleVersion(r, a); }},
      {MRMA, true, [](auto r, auto& a, auto&) { return registerCompany(r, a); }},
      {MRVt, true, [](auto r, auto& a, auto&) { return registerVersionTracker(r, a); }},
      {MRfT, true, [](auto r, auto& a, auto&) { return registerTag(r, a, 0x12); }},
  };
  for (const Case& c : cases) {
    const void* storage[2] = {};
    Result r = run([&](const ModuleRequest* request) {
      QelString first("first text"), second("second");
      storage[0] = first.data();
      storage[1] = second.data();
      EXPECT_TRUE(c.send(request, first, second));
    });
    ASSERT_EQ(r.calls.size(), 1u);
    const HostCall& call = r.calls[0];
    EXPECT_EQ(call.code, c.code);
    EXPECT_EQ(call.text[0], "first text");
    EXPECT_EQ(call.textCount[0], 11u);
    EXPECT_TRUE(call.textTerminated[0]);
    EXPECT_EQ(call.textPointer[0] != storage[0], c.privateCopy) << test::codeName(c.code);
    bool twoTexts = c.code == MSEI || c.code == MSPV || c.code == MSPr;
    if (twoTexts) {
      EXPECT_EQ(call.text[1], "second");
      EXPECT_EQ(call.textCount[1], 7u);
      EXPECT_EQ(call.textPointer[1] != storage[1], c.privateCopy);
    } else {
      EXPECT_TRUE(call.argNull[2] && call.argNull[3]);
    }
    EXPECT_EQ(call.argNull[4], c.code != MRfT);
    if (c.code == MRfT) {
      EXPECT_EQ(call.flags, 0x12u);
    }
    // A refusing host makes the operation report failure.
    host.refuse(c.code);
    run([&](const ModuleRequest* request) {
      EXPECT_FALSE(c.send(request, QelString("a"), QelString("b")));
    });
    host.clearSwitches();
  }
}

TEST_F(HostOperations, YieldSendsNoArguments) {
  Result r = run([&](const ModuleRequest* request) { EXPECT_TRUE(yieldToHost(request)); });
  ASSERT_EQ(r.calls.size(), 1u);
  EXPECT_EQ(r.calls[0].code, MYld);
  for (bool isNull : r.calls[0].argNull) EXPECT_TRUE(isNull);
  EXPECT_EQ(r.yields, 1);
}

TEST_F(HostOperations, FormArgumentsAndRegionProperties) {
  host.formArguments = {{"qelIf", "yes"}};
  host.regionProperties = {{"qelLoop", "no"}};
  std::string form, absentForm, property, absentProperty;
  Result r = run([&](const ModuleRequest* request) {
    QelString v;
    EXPECT_TRUE(getFormArgument(request, QelString("qelIf"), 0, v, QelString("d")));
    form = str(v);
    EXPECT_FALSE(getFormArgument(request, QelString("qelIf"), 1, v, QelString("d")));
    absentForm = str(v);
    EXPECT_TRUE(getRegionProperty(request, QelString("qelLoop"), v, QelString("yes")));
    property = str(v);
    EXPECT_FALSE(getRegionProperty(request, QelString("qelMath"), v, QelString("yes")));
    absentProperty = str(v);
  });
  EXPECT_EQ(form, "yes");
  EXPECT_EQ(absentForm, "d");
  EXPECT_EQ(property, "no");
  EXPECT_EQ(absentProperty, "yes");
  std::vector<HostCall> properties = r.callsOf(MGPr);
  ASSERT_EQ(properties.size(), 2u);
  EXPECT_EQ(properties[0].offeredSize, 32u);
  EXPECT_TRUE(properties[0].argNull[4]);  // no occurrence for a property
  EXPECT_EQ(r.callsOf(MFAr)[1].occurrence, 1);
}

}  // namespace
}  // namespace bw
