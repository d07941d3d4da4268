// Texts made before the first MIni (the constant tables, the shared empty
// string) are shared by every call afterwards; once frozen, no copy, write or
// destruction by a later call may touch their counts or their bytes.  This
// binary freezes its process once, so it holds nothing but these checks.
#include <gtest/gtest.h>

#include <string>

#include "foundation/name_key.h"
#include "foundation/qel_string.h"

namespace bw {
namespace {

int32_t countOf(const QelString& text) { return text.holderCount(); }

TEST(FrozenTexts, LoadTimeTextsAreNeverCountedOrWrittenAfterTheFreeze) {
  // Made "at load": before the freeze.  Static, as the module's own tables
  // are: they are released at exit, after the freeze is lifted, so the leak
  // checker sees them go.
  static const QelString alone("constant text");  // one holder: the count alone would allow writes
  static const NameKey key("caseSensitive");
  const int32_t emptyBefore = sharedEmptyRep()->refCount;
  ASSERT_EQ(countOf(alone), 1);

  freezeLoadTimeTexts();

  {
    QelString copy(alone);
    QelString assigned;
    assigned = alone;
    NameKey keyCopy(key);
    QelString empty, cleared("x");
    cleared.clear();
    EXPECT_EQ(countOf(alone), 1) << "a copy counted a frozen text";
    EXPECT_EQ(sharedEmptyRep()->refCount, emptyBefore) << "the empty string was counted";
    EXPECT_TRUE(copy.sharesWith(alone));
    EXPECT_TRUE(keyCopy.text().sharesWith(key.text()));

    // Writes through a holder of a frozen text copy first, even where the
    // count says the holder is alone.
    copy.append(" changed");
    assigned.setCharAt(0, 'C');
    empty.append('e');
    EXPECT_FALSE(copy.sharesWith(alone));
    EXPECT_EQ(std::string(alone.data()), "constant text");
    EXPECT_EQ(std::string(copy.data()), "constant text changed");
    EXPECT_EQ(std::string(assigned.data()), "Constant text");
    EXPECT_EQ(sharedEmptyRep()->length, 0u);
  }
  EXPECT_EQ(countOf(alone), 1) << "a destroyed copy released a frozen text";
  EXPECT_EQ(sharedEmptyRep()->refCount, emptyBefore);

  // A second freeze (a later MIni) changes nothing.
  freezeLoadTimeTexts();
  EXPECT_EQ(countOf(alone), 1);
}

TEST(FrozenTexts, TextsMadeAfterTheFreezeAreCountedAsUsual) {
  freezeLoadTimeTexts();
  QelString made("made by a call");
  {
    QelString copy(made);
    EXPECT_EQ(countOf(made), 2);
    copy.append('!');
    EXPECT_EQ(countOf(made), 1);
    EXPECT_FALSE(copy.sharesWith(made));
  }
  // Alone again, so a write goes in place.
  const char* before = made.data();
  made.setCharAt(0, 'M');
  EXPECT_EQ(made.data(), before);
}

}  // namespace
}  // namespace bw
