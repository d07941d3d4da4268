// The numeric parameter getters run in process against the test host: what
// each returns for present, empty, malformed and absent parameters, and the
// one report the required getter makes.
#include <gtest/gtest.h>

#include <string>

#include "foundation/allocator.h"
#include "host/numeric_parameters.h"
#include "support/test_host.h"

namespace bw {
namespace {

using test::Result;
using test::TestHost;

class NumericParameters : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    QelString warm;  // the shared empty representation comes from the runtime heap
    (void)warm;
    installAllocatorHooks(TestHost::allocateFunction(), TestHost::releaseFunction());
  }

  Result run(const std::function<void(const ModuleRequest*)>& body) {
    Result r = host.runInProcess(MTag, [&](ModuleRequest* request) {
      body(request);
      return 0u;
    });
    EXPECT_EQ(r.blocksLeft, 0) << r.trace();
    return r;
  }

  TestHost host;
};

TEST_F(NumericParameters, Integers) {
  const struct {
    const char* value;  // null: absent
    bool found;
    int32_t result;
  } cases[] = {
      {" 42 ", true, 42}, {"7x", true, 7},       {"-13", true, -13},   {"", true, 0},
      {"abc", true, 0},   {"1,000", true, 1000}, {"2.9", true, 2},     {nullptr, false, -5},
      {"4294967297", true, 1},  // 32-bit arithmetic wraps
  };
  for (const auto& c : cases) {
    host.parameters.clear();
    if (c.value != nullptr) host.parameters = {{"count", c.value}};
    bool found = !c.found;
    int32_t value = 99;
    run([&](const ModuleRequest* request) {
      found = getIntegerParameter(request, NameKey("count"), 0, value, -5);
    });
    EXPECT_EQ(found, c.found) << (c.value ? c.value : "(absent)");
    EXPECT_EQ(value, c.result) << (c.value ? c.value : "(absent)");
  }
}

TEST_F(NumericParameters, OptionalDecimals) {
  const struct {
    const char* value;  // null: absent
    bool found;
    const char* text;
    int32_t precision, scale;
  } cases[] = {
      // parsed under the receiving number's own precision and scale (50, 2)
      {"12.345", true, "12.345", 50, 2},  // the retained rounding digit
      {"12.344", true, "12.34", 50, 2},
      {" -3 ", true, "-3", 50, 2},
      {"abc", true, "", 50, 2},
      {"", true, "", 50, 2},
      // absent: a copy of the default, precision and scale included
      {nullptr, false, "7", 25, 0},
  };
  for (const auto& c : cases) {
    host.parameters.clear();
    if (c.value != nullptr) host.parameters = {{"step", c.value}};
    bool found = false;
    std::string text;
    int32_t precision = 0, scale = 0;
    run([&](const ModuleRequest* request) {
      BigDecimal fallback(25, 0);
      fallback = "7";
      BigDecimal value(50, 2);
      found = getDecimalParameter(request, NameKey("step"), 0, value, fallback);
      text = value.toText().cString();
      precision = value.precision();
      scale = value.scale();
    });
    const char* shown = c.value ? c.value : "(absent)";
    EXPECT_EQ(found, c.found) << shown;
    EXPECT_EQ(text, c.text) << shown;
    EXPECT_EQ(precision, c.precision) << shown;
    EXPECT_EQ(scale, c.scale) << shown;
  }
}

TEST_F(NumericParameters, RequiredDecimalReportsOnlyItsAbsence) {
  host.tagName = "QELLoop";
  host.parameters = {{"last", "10"}};
  bool found = false;
  std::string text;
  Result present = run([&](const ModuleRequest* request) {
    BigDecimal value;
    found = requireDecimalParameter(request, NameKey("last"), 0, value);
    text = value.toText().cString();
  });
  EXPECT_TRUE(found);
  EXPECT_EQ(text, "10");
  EXPECT_TRUE(present.errors.empty());

  host.parameters = {{"last", ""}};
  Result empty = run([&](const ModuleRequest* request) {
    BigDecimal value;
    found = requireDecimalParameter(request, NameKey("last"), 0, value);
    text = value.isEmpty() ? "(no value)" : value.toText().cString();
  });
  EXPECT_TRUE(found);
  EXPECT_EQ(text, "(no value)");
  EXPECT_TRUE(empty.errors.empty());

  host.parameters.clear();
  int32_t precision = 0, scale = 0;
  Result absent = run([&](const ModuleRequest* request) {
    BigDecimal value(60, 20);
    value = "5";
    found = requireDecimalParameter(request, NameKey("last"), 0, value);
    text = value.isEmpty() ? "(no value)" : value.toText().cString();
    precision = value.precision();
    scale = value.scale();
  });
  EXPECT_FALSE(found);
  EXPECT_EQ(text, "(no value)");
  EXPECT_EQ(precision, 38);
  EXPECT_EQ(scale, 8);
  ASSERT_EQ(absent.errors.size(), 1u);
  EXPECT_EQ(absent.errors[0].message,
            "An &lt;QELLoop&gt; tag was found but it is missing its &quot;last&quot; parameter.");
  EXPECT_EQ(absent.errors[0].hint,
            "Check the &lt;QELLoop&gt; tag to see if the &quot;last&quot; parameter is missing or "
            "misspelled.");
}

}  // namespace
}  // namespace bw
