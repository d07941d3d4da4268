// The load-time constants of the module: one static object, so that they are
// constructed together, in declaration order, when the library is loaded and
// destroyed in reverse order when it is unloaded.
#include "host/module_constants.h"

#include <cstring>

#include "foundation/ascii_words.h"

namespace bw {

namespace {

// A name of up to kFoldedNameBytes bytes as three folded words, so that a
// tag's row is found by comparing its length and three words instead of the
// bytes one by one.  From eight bytes on, the words are read at 0, at 8
// (past sixteen bytes) and ending at the last byte; the overlaps make two
// names of one length equal exactly when their words are.  Longer names
// have no folded form.
constexpr uint32_t kFoldedNameBytes = 24;
struct FoldedName {
  uint64_t first = 0;
  uint64_t middle = 0;
  uint64_t last = 0;
};

uint32_t load32(const unsigned char* p) {
  uint32_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// Inline: it runs on every tag call.  Names under eight bytes take two
// overlapping four-byte reads, or their bytes one by one under four.
inline bool foldName(const char* name, uint32_t length, FoldedName& out) {
  if (length > kFoldedNameBytes) return false;
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(name);
  uint64_t first = 0;
  uint64_t middle = 0;
  uint64_t last = 0;
  if (length >= 8) {
    first = detail::loadLittleEndian(bytes);
    last = detail::loadLittleEndian(bytes + length - 8);
    if (length > 16) middle = detail::loadLittleEndian(bytes + 8);
  } else if (length >= 4) {
    first = load32(bytes) | static_cast<uint64_t>(load32(bytes + length - 4)) << 32;
  } else {
    for (uint32_t i = 0; i < length; ++i) first |= static_cast<uint64_t>(bytes[i]) << (8 * i);
  }
  out.first = detail::lowerCaseWord(first);
  out.middle = detail::lowerCaseWord(middle);
  out.last = detail::lowerCaseWord(last);
  return true;
}

bool sameFoldedName(const FoldedName& a, const FoldedName& b) {
  return ((a.first ^ b.first) | (a.middle ^ b.middle) | (a.last ^ b.last)) == 0;
}

struct ModuleConstants {
  ModuleConstants()
      : displayName("Brindlework"),
        trackerUrl("https://versions.orrindale-software.example/brindlework/current") {
    for (uint32_t row = 0; row < kTagCount; ++row) {
      tagKeys[row] = NameKey(kTagTable[row].name, IgnoreCase);
      tagNames[row] = kTagTable[row].name;
      const uint32_t length = static_cast<uint32_t>(std::strlen(kTagTable[row].name));
      tagLengths[row] = foldName(kTagTable[row].name, length, foldedTagNames[row]) ? length : 0;
    }
    tagNames[kTagCount] = nullptr;
  }

  QelString displayName;
  QelString trackerUrl;
  NameKey tagKeys[kTagCount];
  const char* tagNames[kTagCount + 1];
  FoldedName foldedTagNames[kTagCount];
  uint32_t tagLengths[kTagCount];  // 0: the name is too long to be folded
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
  FoldedName folded;
  if (length != 0 && foldName(name, length, folded)) {
    for (uint32_t row = 0; row < kTagCount; ++row)
      if (constants.tagLengths[row] == length && sameFoldedName(constants.foldedTagNames[row], folded))
        return row;
  } else {
    for (uint32_t row = 0; row < kTagCount; ++row) {
      const QelString& ours = constants.tagKeys[row].text();
      if (ours.length() == length && sameNameIgnoringCase(ours.data(), name, length)) return row;
    }
  }
  return findTagRowByHash(nameHashOf(name, length, IgnoreCase));
}

}  // namespace bw
