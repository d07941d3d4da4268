// Records a careless host might send: no record at all, or a record without
// a callback.  The module must answer them without touching memory it was
// not given.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>

#include "brindlework/module.h"

namespace {

using EntryPoint = uint32_t (*)(ModuleRequest*);

EntryPoint loadModule() {
  void* library = dlopen(BRINDLE_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return nullptr;
  return reinterpret_cast<EntryPoint>(dlsym(library, "ProcessQELRequest"));
}

TEST(RecordGuards, MissingRecordOrCallbackIsAnsweredSafely) {
  EntryPoint entry = loadModule();
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry(nullptr), MUnF);

  // Without a callback every service counts as failed: no registration
  // succeeds, and a tag has no name, so no handler runs.
  struct Case {
    uint32_t selector;
    uint32_t expected;
  } cases[] = {{MIni, MUnk}, {MTag, 0}, {MGPr, 0}, {MSPr, 0}, {MTrm, 0}, {MAct, MUnF}};
  for (const Case& c : cases) {
    ModuleRequest record;
    std::memset(&record, 0, sizeof record);
    record.selector = c.selector;
    EXPECT_EQ(entry(&record), c.expected);
  }
}

}  // namespace
