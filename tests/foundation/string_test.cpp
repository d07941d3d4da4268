// QelString construction, copy on write, capacity, length
// management, insertion, extraction, removal, trimming and case.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "foundation/qel_string.h"
#include "reference.h"

namespace {

using namespace bw;
using reference::str;

TEST(StringEmpty, AllEmptyStringsShareOneRepresentation) {
  QelString a;
  QelString b("");
  QelString c("xyz");
  c.clear();
  QelString d(a);
  QelString e(c);
  EXPECT_TRUE(a.sharesWith(b));
  EXPECT_TRUE(a.sharesWith(c));
  EXPECT_TRUE(a.sharesWith(d));
  EXPECT_TRUE(a.sharesWith(e));
  EXPECT_EQ(a.capacity(), 32u);
  EXPECT_EQ(a.length(), 0u);
  EXPECT_TRUE(a.isEmpty());
  EXPECT_STREQ(a.cString(), "");
  EXPECT_EQ(sharedEmptyRep()->length, 0u);
  EXPECT_EQ(sharedEmptyRep()->capacity(), 32u);
}

TEST(StringEmpty, WritingToAnEmptyStringGivesItItsOwnRepresentation) {
  QelString a, b;
  b.append('x');
  EXPECT_FALSE(a.sharesWith(b));
  EXPECT_STREQ(a.cString(), "");
  EXPECT_STREQ(sharedEmptyRep()->data() == nullptr ? "" : reinterpret_cast<const char*>(sharedEmptyRep()->data()), "");
  QelString c;
  c.makeUnique();
  EXPECT_FALSE(c.sharesWith(a));
  EXPECT_TRUE(c.isEmpty());
}

TEST(StringEmpty, EmptyRepKeepsAReferenceForItself) {
  int32_t before = sharedEmptyRep()->refCount;
  EXPECT_GE(before, 1);
  {
    QelString a, b, c;
    EXPECT_EQ(sharedEmptyRep()->refCount, before + 3);
  }
  EXPECT_EQ(sharedEmptyRep()->refCount, before);
}

TEST(StringCopyOnWrite, CopiesShareUntilWritten) {
  QelString a("hello");
  QelString b(a);
  QelString c;
  c = a;
  EXPECT_TRUE(a.sharesWith(b));
  EXPECT_TRUE(a.sharesWith(c));
  b.append(" world");
  EXPECT_FALSE(a.sharesWith(b));
  EXPECT_TRUE(a.sharesWith(c));
  EXPECT_STREQ(a.cString(), "hello");
  EXPECT_STREQ(b.cString(), "hello world");
  c.setCharAt(0, 'j');
  EXPECT_STREQ(a.cString(), "hello");
  EXPECT_STREQ(c.cString(), "jello");
}

TEST(StringCopyOnWrite, EveryWritingOperationUnshares) {
  const QelString original("Some Text");
  auto check = [&](void (*op)(QelString&)) {
    QelString copy(original);
    op(copy);
    EXPECT_STREQ(original.cString(), "Some Text");
    EXPECT_FALSE(copy.sharesWith(original));
  };
  check([](QelString& s) { s.toUpper(); });
  check([](QelString& s) { s.toLower(); });
  check([](QelString& s) { s.reverse(); });
  check([](QelString& s) { s.erase(1, 2); });
  check([](QelString& s) { s.insert("x", 3); });
  check([](QelString& s) { s.replaceRange(0, 1, "abc", 3); });
  check([](QelString& s) { s.replaceRange(0, 3, "a", 1); });
  check([](QelString& s) { s.replaceRange(0, 1, "Z", 1); });
  check([](QelString& s) { s.replaceAll("e", QelString("E")); });
  check([](QelString& s) { s.setCharAt(0, 's'); });
  check([](QelString& s) { s.setLength(4); });
  check([](QelString& s) { s.reserve(100); });
  check([](QelString& s) { s.trim("St"); });
  check([](QelString& s) { s.removeLeft(1); });
  check([](QelString& s) { s.removeRight(1); });
  check([](QelString& s) { QelString out; s.cut(0, 2, out); });
}

TEST(StringCopyOnWrite, AssignmentSharesAndSelfAssignmentIsHarmless) {
  QelString a("abc");
  QelString b("def");
  b.assign(a);
  EXPECT_TRUE(a.sharesWith(b));
  b.assign(b);
  b = b;
  EXPECT_STREQ(b.cString(), "abc");
  QelString& ref = b;
  b = std::move(ref);
  EXPECT_STREQ(b.cString(), "abc");
  QelString c(std::move(b));
  EXPECT_STREQ(c.cString(), "abc");
  EXPECT_TRUE(b.isEmpty());
}

TEST(StringCapacity, TheCapacityRule) {
  EXPECT_EQ(capacityFor(0), 32u);
  EXPECT_EQ(capacityFor(31), 32u);
  EXPECT_EQ(capacityFor(32), 64u);
  EXPECT_EQ(capacityFor(63), 64u);
  EXPECT_EQ(capacityFor(64), 96u);
  for (uint32_t n = 1; n < 200; ++n) {
    std::string text(n, 'x');
    QelString s(text.data(), n);
    EXPECT_EQ(s.capacity(), (n + 32) & ~31u) << n;
    EXPECT_GT(s.capacity(), s.length());
  }
}

TEST(StringCapacity, AppendingGrowsInStepsOf32) {
  QelString s("a");
  EXPECT_EQ(s.capacity(), 32u);
  for (int i = 1; i < 31; ++i) s.append('b');
  EXPECT_EQ(s.length(), 31u);
  EXPECT_EQ(s.capacity(), 32u);
  s.append('c');
  EXPECT_EQ(s.capacity(), 64u);
  for (int i = 0; i < 40; ++i) s.append('d');
  EXPECT_EQ(s.length(), 72u);
  EXPECT_EQ(s.capacity(), 96u);
}

TEST(StringCapacity, LargeStringsGrowGeometrically) {
  // From 4 KiB on a growing buffer keeps headroom, so that a megabyte built
  // byte by byte is not copied thousands of times.
  QelString s;
  uint32_t reallocations = 0, capacity = s.capacity();
  for (int i = 0; i < (1 << 20); ++i) {
    s.append('x');
    if (s.capacity() != capacity) {
      ++reallocations;
      capacity = s.capacity();
    }
    ASSERT_GT(s.capacity(), s.length());
  }
  EXPECT_LT(reallocations, 200u);
}

TEST(StringCapacity, BuffersNeverShrink) {
  QelString s(std::string(100, 'x').c_str());
  uint32_t capacity = s.capacity();
  s.setLength(3);
  EXPECT_EQ(s.capacity(), capacity);
  EXPECT_STREQ(s.cString(), "xxx");
}

TEST(StringConstruction, Forms) {
  EXPECT_STREQ(QelString('q').cString(), "q");
  EXPECT_EQ(QelString('q').length(), 1u);
  QelString withZero("a\0b", 3);
  EXPECT_EQ(withZero.length(), 3u);
  EXPECT_EQ(withZero.charAt(2), 'b');
  EXPECT_EQ(withZero.charAt(3), '\0');
  EXPECT_STREQ(QelString("text").cString(), "text");
  QelString s;
  s = "assigned";
  EXPECT_STREQ(s.cString(), "assigned");
  s.assign('c');
  EXPECT_STREQ(s.cString(), "c");
  s.assign("xy", 1);
  EXPECT_STREQ(s.cString(), "x");
}

// Positions at or past the length: reading gives the terminator's 0 and
// writing does nothing, so the terminator and the bytes beyond the text
// (left over from a longer text in the same buffer) are never exposed or
// overwritten.
TEST(StringAccess, PositionsPastTheEnd) {
  struct Case {
    const char* text;
    uint32_t keep;      // erase down to this length first (the buffer keeps the rest)
    uint32_t position;  // read and written
  } cases[] = {
      {"abc", 3, 3},          // the terminator itself
      {"abcdef", 2, 4},       // a stale byte of the longer text
      {"abcdef", 2, 31},      // the last byte of the buffer
      {"", 0, 0},             // the shared empty representation
      {"x", 1, kToEnd},
  };
  for (const Case& c : cases) {
    QelString s(c.text);
    s.erase(c.keep);
    const std::string before = str(s);
    EXPECT_EQ(s.charAt(c.position), '\0') << c.text << " at " << c.position;
    s.setCharAt(c.position, 'Z');
    EXPECT_EQ(str(s), before) << c.text << " at " << c.position;
    EXPECT_EQ(s.cString()[s.length()], '\0') << c.text << " at " << c.position;
    EXPECT_EQ(s.charAt(c.position), '\0') << c.text << " at " << c.position;
  }
  QelString empty;
  empty.setCharAt(0, 'Z');
  EXPECT_STREQ(QelString().cString(), "");  // the shared representation is untouched
}

// Requests the plain steps would serve by writing past the buffer.
TEST(StringLength, RequestsThatWouldOverrunTheBuffer) {
  // Reserving less than the length of a shared text keeps the whole text.
  QelString s("abcdefghij");
  QelString shared(s);
  shared.reserve(2);
  EXPECT_FALSE(shared.sharesWith(s));
  EXPECT_EQ(str(shared), "abcdefghij");
  EXPECT_GT(shared.capacity(), shared.length());
  // Unlocking at a length beyond the buffer ends the text at the buffer's end.
  QelString t;
  char* buffer = t.lockBuffer(5);
  ASSERT_NE(buffer, nullptr);
  std::memset(buffer, 'q', t.capacity());  // no 0 byte anywhere in the buffer
  t.unlockBuffer(1000);
  EXPECT_EQ(t.length(), t.capacity() - 1);
  EXPECT_EQ(t.cString()[t.length()], '\0');
  buffer = t.lockBuffer(5);
  ASSERT_NE(buffer, nullptr);
  std::memset(buffer, 'q', t.capacity());
  t.unlockBuffer(kToEnd);
  EXPECT_EQ(t.length(), t.capacity() - 1);
}

TEST(StringConstruction, AssignFromItsOwnBytes) {
  QelString s("abcdefgh");
  s.assign(s.cString() + 2, 3);
  EXPECT_STREQ(s.cString(), "cde");
  QelString t("abcdefgh");
  QelString u(t);
  t.assign(t.cString() + 4);
  EXPECT_STREQ(t.cString(), "efgh");
  EXPECT_STREQ(u.cString(), "abcdefgh");
}

TEST(StringLength, SetLengthKeepsTheSurvivingBytes) {
  QelString s("abcdef");
  QelString copy(s);
  char* end = s.setLength(3);
  EXPECT_EQ(*end, '\0');
  EXPECT_EQ(end, s.cString() + 3);
  EXPECT_STREQ(s.cString(), "abc");
  EXPECT_STREQ(copy.cString(), "abcdef");
  s.setLength(50);
  EXPECT_EQ(s.length(), 50u);
  EXPECT_EQ(std::memcmp(s.cString(), "abc", 3), 0);
  EXPECT_EQ(s.capacity(), 64u);
}

TEST(StringLength, ReserveKeepsLengthAndText) {
  QelString s("abc");
  s.reserve(100);
  EXPECT_EQ(s.length(), 3u);
  EXPECT_STREQ(s.cString(), "abc");
  EXPECT_EQ(s.capacity(), 128u);
  QelString shared(s);
  shared.reserve(10);
  EXPECT_FALSE(shared.sharesWith(s));
  EXPECT_STREQ(shared.cString(), "abc");
  EXPECT_EQ(shared.capacity(), 32u);
}

TEST(StringLength, LockAndUnlock) {
  QelString s;
  char* buffer = s.lockBuffer(10);
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(s.lockBuffer(5), nullptr);  // already locked
  std::memcpy(buffer, "12\0", 3);
  s.unlockBuffer(kToEnd);
  EXPECT_EQ(s.length(), 2u);
  EXPECT_STREQ(s.cString(), "12");
  s.unlockBuffer(1);  // not locked: nothing happens
  EXPECT_EQ(s.length(), 2u);
  buffer = s.lockBuffer(6);
  ASSERT_NE(buffer, nullptr);
  std::memcpy(buffer, "abcdef", 6);
  s.unlockBuffer(4);
  EXPECT_STREQ(s.cString(), "abcd");
  // The shared empty representation is never locked.
  QelString e;
  EXPECT_NE(e.lockBuffer(0), nullptr);
  QelString other;
  EXPECT_NE(other.lockBuffer(0), nullptr);
  e.unlockBuffer(0);
  other.unlockBuffer(0);
}

TEST(StringInsert, Positions) {
  QelString s("ace");
  s.insert('b', 1);
  s.insert("d", 3);
  s.insert("fgh", 2, 100);  // past the end appends
  EXPECT_STREQ(s.cString(), "abcdefg");
  s.insert("", 0);
  s.insert(nullptr, 0, 0);
  EXPECT_STREQ(s.cString(), "abcdefg");
  s.prepend('0');
  s.prepend(QelString("-"));
  s.append(QelString("!"));
  s.append("?");
  s.append("xy", 1);
  EXPECT_STREQ(s.cString(), "-0abcdefg!?x");
  EXPECT_STREQ(s.plus("++").cString(), "-0abcdefg!?x++");
  EXPECT_STREQ(s.cString(), "-0abcdefg!?x");
}

TEST(StringInsert, IntoItself) {
  QelString s("abc");
  s.insert(s, 1);
  EXPECT_STREQ(s.cString(), "aabcbc");
  QelString t("xyz");
  t.append(t);
  EXPECT_STREQ(t.cString(), "xyzxyz");
  QelString u("0123456789012345678901234567890");  // 31 bytes: the next byte grows it
  u.insert(u.cString(), 5, 0);
  EXPECT_STREQ(u.cString(), "012340123456789012345678901234567890");
  QelString v("abc");
  v.prepend(v);
  EXPECT_STREQ(v.cString(), "abcabc");
}

TEST(StringExtract, Substring) {
  QelString s("abcdef");
  EXPECT_STREQ(s.substring(2, 100).cString(), "cdef");
  EXPECT_TRUE(s.substring(6).isEmpty());
  EXPECT_TRUE(s.substring(7, 1).isEmpty());
  EXPECT_STREQ(s.substring(1, 2).cString(), "bc");
  EXPECT_TRUE(s.substring(0).sharesWith(s));
  EXPECT_TRUE(s.substring(3, 0).isEmpty());
}

TEST(StringExtract, Cut) {
  QelString s("abcdef");
  QelString out("old");
  s.cut(1, 2, out);
  EXPECT_STREQ(out.cString(), "bc");
  EXPECT_STREQ(s.cString(), "adef");
  s.cut(10, 2, out);
  EXPECT_TRUE(out.isEmpty());
  EXPECT_STREQ(s.cString(), "adef");
  s.cut(2, kToEnd, out);
  EXPECT_STREQ(out.cString(), "ef");
  EXPECT_STREQ(s.cString(), "ad");
}

TEST(StringExtract, EraseAndRemove) {
  QelString s("abcdef");
  s.erase(4);
  EXPECT_STREQ(s.cString(), "abcd");
  s.erase(9, 1);
  EXPECT_STREQ(s.cString(), "abcd");
  EXPECT_EQ(s.removeLeft(1), 1u);
  EXPECT_STREQ(s.cString(), "bcd");
  EXPECT_EQ(s.removeRight(1), 1u);
  EXPECT_STREQ(s.cString(), "bc");
  EXPECT_EQ(s.removeRight(10), 2u);
  EXPECT_TRUE(s.isEmpty());
  EXPECT_EQ(s.removeLeft(3), 0u);
  QelString shared("0123456789");
  QelString copy(shared);
  copy.erase(2, 5);
  EXPECT_STREQ(copy.cString(), "01789");
  EXPECT_STREQ(shared.cString(), "0123456789");
}

TEST(StringReplaceRange, AllBranches) {
  QelString s("abcdef");
  EXPECT_EQ(s.replaceRange(1, 2, "XYZW", 4), 2);
  EXPECT_STREQ(s.cString(), "aXYZWdef");
  EXPECT_EQ(s.replaceRange(1, 4, "bc", 2), -2);
  EXPECT_STREQ(s.cString(), "abcdef");
  EXPECT_EQ(s.replaceRange(0, 1, 'A'), 0);
  EXPECT_STREQ(s.cString(), "Abcdef");
  EXPECT_EQ(s.replaceRange(6, 1, 'x'), 0);  // position at the end: nothing
  EXPECT_STREQ(s.cString(), "Abcdef");
  EXPECT_EQ(s.replaceRange(4, 100, QelString("EFGH")), 2);  // count cut to the rest
  EXPECT_STREQ(s.cString(), "AbcdEFGH");
  EXPECT_EQ(s.replaceRange(0, 8, "", 0), -8);
  EXPECT_TRUE(s.isEmpty());
}

TEST(StringReplaceRange, WithItsOwnBytes) {
  QelString s("0123456789abcdefghijklmnopqrstu");  // 31 bytes
  s.replaceRange(0, 1, s.cString() + 10, 21);
  EXPECT_STREQ(s.cString(), "abcdefghijklmnopqrstu123456789abcdefghijklmnopqrstu");
  QelString t("hello");
  t.replaceRange(1, 3, t);
  EXPECT_STREQ(t.cString(), "hhelloo");
}

TEST(StringTrim, Sets) {
  QelString s("   ");
  EXPECT_EQ(s.trimLeft(" "), 3u);
  EXPECT_TRUE(s.isEmpty());
  QelString t("xxyxx");
  EXPECT_EQ(t.trimRight("xy"), 5u);
  EXPECT_TRUE(t.isEmpty());
  QelString u(" \t a b \n");
  EXPECT_EQ(u.trim(" \t\n"), 5u);
  EXPECT_STREQ(u.cString(), "a b");
  EXPECT_EQ(u.trim(""), 0u);
  EXPECT_EQ(u.trimLeft("b"), 0u);
  QelString e;
  EXPECT_EQ(e.trim(" "), 0u);
}

TEST(StringCase, UpperLowerOnlyAsciiLetters) {
  QelString s("aZ\xC9\xE9[`{@09");
  s.toLower();
  EXPECT_STREQ(s.cString(), "az\xC9\xE9[`{@09");
  s.toUpper();
  EXPECT_STREQ(s.cString(), "AZ\xC9\xE9[`{@09");
  QelString r("abcdef");
  r.toUpper(2, 2);
  EXPECT_STREQ(r.cString(), "abCDef");
  r.toUpper(4, 100);
  EXPECT_STREQ(r.cString(), "abCDEF");
  r.toLower(10, 1);
  r.toLower(0, 0);
  EXPECT_STREQ(r.cString(), "abCDEF");
  for (int c = 0; c < 256; ++c) {
    EXPECT_EQ(kUpperCaseTable[c], (c >= 'a' && c <= 'z') ? c - 32 : c);
    EXPECT_EQ(kLowerCaseTable[c], (c >= 'A' && c <= 'Z') ? c + 32 : c);
  }
}

TEST(StringCase, Reverse) {
  QelString s("abc");
  s.reverse();
  EXPECT_STREQ(s.cString(), "cba");
  QelString one("x"), none;
  one.reverse();
  none.reverse();
  EXPECT_STREQ(one.cString(), "x");
  EXPECT_TRUE(none.isEmpty());
  QelString even("abcd");
  even.reverse();
  EXPECT_STREQ(even.cString(), "dcba");
}

TEST(StringTruth, IsTrue) {
  for (const char* yes : {"true", "TRUE", "t", "T", "yes", "YES", "y", "on", "On", "1"})
    EXPECT_TRUE(QelString(yes).isTrue()) << yes;
  for (const char* no : {" yes", "yes ", "2", "", "0", "false", "no", "tru", "truee", "ok"})
    EXPECT_FALSE(QelString(no).isTrue()) << no;
}

}  // namespace
