// Tag dispatch in process, with recording handlers linked in place of the
// real ones: which row reaches which handler with which mode, and that the
// output goes to the host whatever the handler answered.
#include <gtest/gtest.h>

#include <string>

#include "host/dispatch.h"
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

// Strong definitions: they take the place of the module's stand-ins.
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
