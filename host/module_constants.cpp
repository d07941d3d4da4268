// The load-time constants of the module: one static object, so that they are
// constructed together, in declaration order, when the library is loaded and
// destroyed in reverse order when it is unloaded.
#include "host/module_constants.h"

namespace bw {

namespace {

struct ModuleConstants {
  ModuleConstants()
      : displayName("Brindlework"),
        trackerUrl("https://versions.orrindale-software.example/brindlework/current") {
    for (uint32_t row = 0; row < kTagCount; ++row) {
      tagKeys[row] = NameKey(kTagTable[row].name, IgnoreCase);
      tagNames[row] = kTagTable[row].name;
    }
    tagNames[kTagCount] = nullptr;
  }

  QelString displayName;
  QelString trackerUrl;
  NameKey tagKeys[kTagCount];
  const char* tagNames[kTagCount + 1];
};

const ModuleConstants constants;

}  // namespace

const QelString& moduleDisplayName() { return constants.displayName; }
const QelString& versionTrackerUrl() { return constants.trackerUrl; }
const NameKey& tagKey(uint32_t row) { return constants.tagKeys[row]; }
const char* const* tagNameList() { return constants.tagNames; }

namespace {
uint32_t findTagRowByHash(uint32_t nameHash) {
  for (uint32_t row = 0; row < kTagCount; ++row)
    if (constants.tagKeys[row].hash() == nameHash) return row;
  return kTagCount;
}
}  // namespace

uint32_t findTagRow(const char* name, uint32_t length) {
  for (uint32_t row = 0; row < kTagCount; ++row) {
    const QelString& ours = constants.tagKeys[row].text();
    if (ours.length() == length && sameNameIgnoringCase(ours.data(), name, length)) return row;
  }
  return findTagRowByHash(nameHashOf(name, length, IgnoreCase));
}

}  // namespace bw
