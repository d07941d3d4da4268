// Tag dispatch in process, with recording handlers linked in place of the
// real ones: which row reaches which handler with which mode, and that the
// output goes to the host whatever the handler answered.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "host/dispatch.h"
#include "host/module_constants.h"
#include "host/tag_table.h"
#include "host/parameters.h"
#include "host/tag_handlers.h"
#include "support/in_process.h"

namespace bw {
namespace {

// What the recording handlers saw and what they are told to do.
struct Script {
  std::string called;  // "condition/1"
  std::string output;  // left in the output text
  uint32_t result = 0;
  bool reportError = false;
};
Script script;

uint32_t record(const char* name, const ModuleRequest* request, QelString& output, int mode) {
  script.called = std::string(name) + "/" + std::to_string(mode);
  output.assign(script.output.data(), static_cast<uint32_t>(script.output.size()));
  if (script.reportError) setErrorInfo(request, QelString("message"), QelString("hint"));
  return script.result;
}

}  // namespace

// Defined here, so the linker takes these rather than the module's handlers.
uint32_t handleCondition(const ModuleRequest* r, QelString& o, int m) { return record("condition", r, o, m); }
uint32_t handleSwitch(const ModuleRequest* r, QelString& o, int m) { return record("switch", r, o, m); }
uint32_t handleLoop(const ModuleRequest* r, QelString& o, int m) { return record("loop", r, o, m); }
uint32_t handleString(const ModuleRequest* r, QelString& o, int m) { return record("string", r, o, m); }
uint32_t handleMath(const ModuleRequest* r, QelString& o, int m) { return record("math", r, o, m); }

namespace {

using test::Result;

class Dispatch : public test::InProcessTest {
 protected:
  void SetUp() override { script = Script(); }

  Result runTag(const std::string& name) {
    host.tagName = name;
    return runRequest(MTag, [](const ModuleRequest* request) { return dispatchRequest(request); });
  }
};

TEST_F(Dispatch, EveryRowReachesItsHandlerWithItsMode) {
  struct Case {
    const char* name;
    const char* handler;  // "" for qelComment, which records nothing
  } cases[] = {
      {"qelIf", "condition/0"},       {"qelInlineIf", "condition/1"},
      {"qelInlineString", "string/1"}, {"qelString", "string/0"},
      {"qelLoop", "loop/0"},          {"qelMath", "math/0"},
      {"qelSwitch", "switch/0"},      {"qelComment", ""},
      // letter case of the name does not matter
      {"QELINLINEIF", "condition/1"}, {"qelinlinestring", "string/1"},
      {"QelMath", "math/0"},
      // near misses reach nothing
      {"qelInline", ""}, {"qelStrings", ""}, {"qelCase", ""}, {" qelIf", ""},
  };
  for (const Case& c : cases) {
    script = Script();
    script.output = "text";
    Result r = runTag(c.name);
    EXPECT_EQ(script.called, c.handler) << c.name;
    EXPECT_EQ(r.output, *c.handler ? "text" : "") << c.name;
  }
}

TEST_F(Dispatch, OutputIsHandedOverAlsoAfterAnError) {
  struct Case {
    std::string output;
    uint32_t result;
    bool reportError;
    int writes;
  } cases[] = {
      {"partial", MMRP, true, 1},
      {"partial", MIPV, false, 1},
      {"", MMRP, true, 0},
      {"", 0, false, 0},
      {std::string(100, 'o'), 0, false, 1},
  };
  for (const Case& c : cases) {
    script = Script();
    script.output = c.output;
    script.result = c.result;
    script.reportError = c.reportError;
    Result r = runTag("qelString");
    EXPECT_EQ(r.result, c.result);
    EXPECT_EQ(static_cast<int>(r.writes.size()), c.writes);
    EXPECT_EQ(r.output, c.output);
    EXPECT_EQ(r.errors.size(), c.reportError ? 1u : 0u);
    if (c.writes != 0) {
      EXPECT_EQ(r.calls.back().code, MWtS);  // after everything the handler did
    }
  }
}

TEST_F(Dispatch, RefusedOutputDoesNotChangeTheResult) {
  script.output = "x";
  script.result = MInv;
  host.refuse(MWtS);
  EXPECT_EQ(runTag("qelIf").result, MInv);
}

}  // namespace
}  // namespace bw

namespace bw {
namespace {

// A tag's row by its name: any spelling of a row's own name finds that row,
// and a name that differs in one byte, in its length or only past the
// folded letters does not.
TEST(FindTagRow, FoldedNamesFindTheirRowsAndNothingElse) {
  for (uint32_t row = 0; row < kTagCount; ++row) {
    const std::string name = kTagTable[row].name;
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(findTagRow(name.data(), static_cast<uint32_t>(name.size())), row) << name;
    EXPECT_EQ(findTagRow(upper.data(), static_cast<uint32_t>(upper.size())), row) << upper;
    const std::string longer = name + "x";
    EXPECT_EQ(findTagRow(longer.data(), static_cast<uint32_t>(longer.size())), kTagCount) << longer;
    EXPECT_EQ(findTagRow(name.data(), static_cast<uint32_t>(name.size() - 1)), kTagCount) << name;
    std::string changed = name;
    changed.back() = static_cast<char>(changed.back() ^ 0x80);  // folding touches only A-Z
    EXPECT_EQ(findTagRow(changed.data(), static_cast<uint32_t>(changed.size())), kTagCount) << name;
    const std::string withZero = name + std::string(1, '\0');
    EXPECT_EQ(findTagRow(withZero.data(), static_cast<uint32_t>(withZero.size())), kTagCount) << name;
  }
  EXPECT_EQ(findTagRow("", 0), kTagCount);
  EXPECT_EQ(findTagRow("qel", 3), kTagCount);
  EXPECT_EQ(findTagRow("QELIFX", 5), 0u + findTagRow("qelIf", 5));
  const std::string veryLong(100, 'q');
  EXPECT_EQ(findTagRow(veryLong.data(), 100), kTagCount);
}

}  // namespace
}  // namespace bw
