// PointerArray, SplitList and NameKey.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/known_keywords.h"
#include "foundation/name_key.h"
#include "foundation/pointer_array.h"
#include "foundation/split_list.h"
#include "reference.h"

namespace {

using namespace bw;
using reference::str;

std::vector<uint32_t> gReleased;
void recordRelease(PointerSlot* slot) { gReleased.push_back(slot->number); }

TEST(PointerArray, StartsEmptyAndGrows) {
  PointerArray array;
  EXPECT_EQ(array.count(), 0u);
  array.appendNumber(7);
  array.appendNumber(9);
  EXPECT_EQ(array.count(), 2u);
  EXPECT_EQ(array.numberAt(0), 7u);
  EXPECT_EQ(array.numberAt(1), 9u);
  int x = 0;
  array.appendPointer(&x);
  EXPECT_EQ(array.pointerAt(2), &x);
}

TEST(PointerArray, AtGrowsTheArray) {
  PointerArray array;
  array.at(4)->number = 44;
  EXPECT_EQ(array.count(), 5u);
  EXPECT_EQ(array.numberAt(4), 44u);
  array.at(1)->number = 11;
  EXPECT_EQ(array.count(), 5u);
  const PointerArray& view = array;
  EXPECT_EQ(view.at(1)->number, 11u);
}

TEST(PointerArray, InsertCutsTheIndexToCount) {
  PointerArray array;
  PointerSlot v;
  v.pointer = nullptr;
  for (uint32_t i : {1u, 3u}) {
    v.number = i;
    array.append(v);
  }
  v.number = 2;
  array.insert(v, 1);
  v.number = 0;
  array.insert(v, 0);
  v.number = 4;
  array.insert(v, kToEnd);
  v.number = 5;
  array.insert(v, 100);
  ASSERT_EQ(array.count(), 6u);
  for (uint32_t i = 0; i < 6; ++i) EXPECT_EQ(array.numberAt(i), i);
}

TEST(PointerArray, SetCountLowersOrGrows) {
  PointerArray array;
  array.setCount(10);
  EXPECT_EQ(array.count(), 10u);
  for (uint32_t i = 0; i < 10; ++i) array.at(i)->number = i;
  array.setCount(3);
  EXPECT_EQ(array.count(), 3u);
  array.setCount(5);
  EXPECT_EQ(array.numberAt(2), 2u);
}

TEST(PointerArray, DestroyReleasesEachSlotInOrder) {
  gReleased.clear();
  {
    PointerArray array(recordRelease);
    for (uint32_t i = 0; i < 5; ++i) array.appendNumber(i * 10);
  }
  EXPECT_EQ(gReleased, (std::vector<uint32_t>{0, 10, 20, 30, 40}));
}

TEST(PointerArray, OwnsHeapObjects) {
  PointerArray array([](PointerSlot* slot) { delete static_cast<QelString*>(slot->pointer); });
  for (int i = 0; i < 1000; ++i) array.appendPointer(new QelString("piece"));
  EXPECT_EQ(array.count(), 1000u);
  EXPECT_STREQ(static_cast<QelString*>(array.pointerAt(999))->cString(), "piece");
}

TEST(PointerArray, AppendingAMillionSlotsIsLinear) {
  PointerArray array;
  for (uint32_t i = 0; i < 1000000; ++i) array.appendNumber(i);
  EXPECT_EQ(array.count(), 1000000u);
  EXPECT_EQ(array.numberAt(123456), 123456u);
}

// The pieces, each read both ways: copied out and in place.
std::vector<std::string> pieces(const char* source, const char* delimiter, uint32_t options = NoOptions) {
  SplitList list(source, delimiter, options);
  std::vector<std::string> out;
  for (uint32_t i = 0; i < list.count() + 2; ++i) {
    uint32_t start = 0, length = 0;
    list.pieceBounds(i, start, length);
    EXPECT_EQ(std::string(source).substr(start, length), str(list.piece(i))) << source << " piece " << i;
    if (i < list.count()) out.push_back(str(list.piece(i)));
  }
  EXPECT_TRUE(list.piece(list.count()).isEmpty());
  EXPECT_TRUE(list.piece(list.count() + 5).isEmpty());
  return out;
}

using Pieces = std::vector<std::string>;

TEST(SplitList, EdgeCases) {
  EXPECT_EQ(pieces("a,b,", ","), (Pieces{"a", "b", ""}));
  EXPECT_EQ(pieces(",a", ","), (Pieces{"", "a"}));
  EXPECT_EQ(pieces("aaa", "aa"), (Pieces{"", "a"}));
  EXPECT_EQ(pieces("", ","), Pieces{});
  EXPECT_EQ(pieces("abc", ""), Pieces{});
  EXPECT_EQ(pieces("x", ","), (Pieces{"x"}));
  EXPECT_EQ(pieces("aXb", "x", IgnoreCase), (Pieces{"a", "b"}));
  EXPECT_EQ(pieces("aXb", "x"), (Pieces{"aXb"}));
}

TEST(SplitList, MoreCases) {
  EXPECT_EQ(pieces(",", ","), (Pieces{"", ""}));
  EXPECT_EQ(pieces(",,", ","), (Pieces{"", "", ""}));
  EXPECT_EQ(pieces("one<br>two<BR>three", "<br>", IgnoreCase), (Pieces{"one", "two", "three"}));
  EXPECT_EQ(pieces("one<br>two<BR>three", "<br>"), (Pieces{"one", "two<BR>three"}));
  EXPECT_EQ(pieces("a--b---c", "--"), (Pieces{"a", "b", "-c"}));
  EXPECT_EQ(pieces("abc", "abc"), (Pieces{"", ""}));
  EXPECT_EQ(pieces("ab", "abc"), (Pieces{"ab"}));
  SplitList list("whole", ",");
  EXPECT_TRUE(list.piece(0).sharesWith(QelString("whole")) || str(list.piece(0)) == "whole");
}

TEST(SplitList, AMegabyteOfDelimiters) {
  std::string source;
  for (int i = 0; i < 200000; ++i) source += "ab,";
  SplitList list(reference::qel(source), ",");
  EXPECT_EQ(list.count(), 200001u);
  EXPECT_EQ(str(list.piece(0)), "ab");
  EXPECT_EQ(str(list.piece(199999)), "ab");
  EXPECT_EQ(str(list.piece(200000)), "");
}

TEST(NameKey, CaseFolding) {
  EXPECT_EQ(NameKey("Value"), NameKey("VALUE"));
  EXPECT_NE(NameKey("Value", NoOptions), NameKey("VALUE", NoOptions));
  EXPECT_EQ(NameKey("qelIf"), NameKey(QelString("QELIF")));
  EXPECT_EQ(NameKey('A'), NameKey('a'));
  EXPECT_NE(NameKey('A', NoOptions), NameKey('a', NoOptions));
  EXPECT_NE(NameKey("qelIf"), NameKey("qelInlineIf"));
  // Only A to Z fold.
  EXPECT_NE(NameKey("\xC9"), NameKey("\xE9"));
}

TEST(NameKey, TextIsKeptAsSupplied) {
  NameKey key("MiXeD");
  EXPECT_STREQ(key.text().cString(), "MiXeD");
  NameKey copy(key);
  EXPECT_TRUE(copy.equals(key));
  NameKey other;
  other.assign(key);
  EXPECT_EQ(other.hash(), key.hash());
  EXPECT_STREQ(other.text().cString(), "MiXeD");
}

TEST(NameKey, HashIsTheCrc32OfTheLowerCaseText) {
  // The register starts at 0 and the hash is its complement.
  EXPECT_EQ(NameKey().hash(), 0xFFFFFFFFu);
  EXPECT_TRUE(NameKey().text().isEmpty());
  EXPECT_EQ(NameKey("").hash(), 0xFFFFFFFFu);
  EXPECT_EQ(crc32Of("", 0), 0xFFFFFFFFu);
  EXPECT_EQ(crc32Of("123456789", 9), 0xD202D277u);
  EXPECT_EQ(crc32Of("a", 1), 0xC54AAE31u);
  EXPECT_EQ(crc32Of("The quick brown fox jumps over the lazy dog", 43), 0x4639F7F7u);
  EXPECT_EQ(NameKey("123456789").hash(), 0xD202D277u);
  EXPECT_EQ(NameKey("qelIf").hash(), 0x66961776u);  // the CRC of "qelif"
  EXPECT_EQ(NameKey("VALUE").hash(), 0x24AA50D6u);
  EXPECT_EQ(NameKey("VALUE", NoOptions).hash(), crc32Of("VALUE", 5));
  // The standard CRC-32 (register starting at all ones) equals this one with
  // the first four bytes complemented: its check value for "123456789".
  const char complemented[] = {'1' ^ '\xFF', '2' ^ '\xFF', '3' ^ '\xFF', '4' ^ '\xFF', '5', '6', '7', '8', '9'};
  EXPECT_EQ(crc32Of(complemented, 9), 0xCBF43926u);
}

// The word-at-a-time hash against the byte-at-a-time definition, on every
// length around the eight-byte steps and on the bytes next to the letters,
// where case folding done eight bytes at once could go wrong.
TEST(NameKey, WordAtATimeHashMatchesTheByteDefinition) {
  uint32_t table[256];
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1u) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    table[i] = c;
  }
  auto reference = [&](const std::string& text, bool fold) {
    uint32_t reg = 0;
    for (unsigned char b : text) {
      if (fold && b >= 'A' && b <= 'Z') b = static_cast<unsigned char>(b + 32);
      reg = table[(reg ^ b) & 0xFFu] ^ (reg >> 8);
    }
    return ~reg;
  };
  const std::string alphabet = std::string("@AZ[`az{09 _-\x7F") + '\x80' + '\xC1' + '\xDA' + '\xFF';
  uint32_t seed = 12345;
  for (uint32_t length = 0; length <= 40; ++length) {
    for (int round = 0; round < 20; ++round) {
      std::string text;
      for (uint32_t i = 0; i < length; ++i) {
        seed = seed * 1103515245u + 12345u;
        text += alphabet[(seed >> 16) % alphabet.size()];
      }
      const QelString q(text.data(), length);
      EXPECT_EQ(NameKey(q, IgnoreCase).hash(), reference(text, true)) << length;
      EXPECT_EQ(NameKey(q, NoOptions).hash(), reference(text, false)) << length;
      EXPECT_EQ(crc32Of(text.data(), length), reference(text, false)) << length;
      std::string folded = text;
      for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
      }
      EXPECT_TRUE(sameNameIgnoringCase(text.data(), folded.data(), length)) << length;
      if (length > 0) {
        std::string other = folded;
        other[seed % length] ^= 0x01;  // a different byte, never the same letter in the other case
        EXPECT_FALSE(sameNameIgnoringCase(text.data(), other.data(), length)) << length;
      }
    }
  }
}

// Only a text spelled exactly as a registered keyword shares its key; the
// key found is the registered one, with its own text and hash.
TEST(KnownKeywords, ExactSpellingOnly) {
  static const NameKey known("someKeyword");
  registerKnownKeyword(known);
  registerKnownKeyword(known);  // twice is harmless
  auto find = [](const char* text) {
    return findKnownKeyword(text, static_cast<uint32_t>(std::string(text).size()));
  };
  EXPECT_EQ(find("someKeyword"), &known);
  EXPECT_EQ(find("SomeKeyword"), nullptr);  // same hash, other spelling: a key of its own
  EXPECT_EQ(find("someKeywor"), nullptr);
  EXPECT_EQ(find("unknown"), nullptr);
  EXPECT_EQ(find(""), nullptr);
}

}  // namespace
