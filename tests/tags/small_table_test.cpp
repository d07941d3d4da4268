// The scanner's small containers against the standard ones: the same
// answers through growth out of the inline storage and through removals that
// shift probe runs back.
#include <gtest/gtest.h>

#include <cstring>
#include <new>

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "tags/small_table.h"

namespace bw {
namespace {

TEST(KeyHeadsTest, AgreesWithAMapUnderRandomSetsAndRemovals) {
  // Keys from a small range collide often in a table of 4 to 64 slots, so
  // removals regularly land in the middle of probe runs.
  for (uint32_t range : {6u, 40u, 3000u}) {
    std::mt19937_64 random(range);
    KeyHeads<4> heads;
    std::map<uint64_t, uint32_t> reference;
    for (int step = 0; step < 20000; ++step) {
      const uint64_t key = random() % range * 0x100000001ull;  // high and low halves both vary
      const uint32_t value = random() % 3 == 0 ? 0 : static_cast<uint32_t>(random() % 1000 + 1);
      heads.set(key, value);
      if (value == 0) {
        reference.erase(key);
      } else {
        reference[key] = value;
      }
      const uint64_t probe = random() % range * 0x100000001ull;
      auto it = reference.find(probe);
      ASSERT_EQ(heads.get(probe), it == reference.end() ? 0u : it->second)
          << "range " << range << " step " << step;
    }
    for (const auto& entry : reference) EXPECT_EQ(heads.get(entry.first), entry.second);
  }
}

TEST(KeyHeadsTest, KeyZeroIsAKeyLikeAnyOther) {
  KeyHeads<2> heads;
  EXPECT_EQ(heads.get(0), 0u);
  heads.set(0, 7);
  heads.set(1, 8);
  heads.set(2, 9);  // grows out of the inline slots
  EXPECT_EQ(heads.get(0), 7u);
  heads.set(0, 0);
  EXPECT_EQ(heads.get(0), 0u);
  EXPECT_EQ(heads.get(1), 8u);
  EXPECT_EQ(heads.get(2), 9u);
}

// The slots are only cleared by the first set: lookups and removals before
// it must see an empty table, whatever the storage held.
TEST(KeyHeadsTest, UnusedTableAnswersEmpty) {
  alignas(KeyHeads<4>) unsigned char storage[sizeof(KeyHeads<4>)];
  std::memset(storage, 0xA5, sizeof storage);
  auto* heads = new (storage) KeyHeads<4>;
  EXPECT_EQ(heads->get(0), 0u);
  EXPECT_EQ(heads->get(0xA5A5A5A5A5A5A5A5ull), 0u);
  heads->set(3, 0);  // removing an absent key
  EXPECT_EQ(heads->get(3), 0u);
  heads->set(3, 5);
  EXPECT_EQ(heads->get(3), 5u);
  EXPECT_EQ(heads->get(0xA5A5A5A5A5A5A5A5ull), 0u);
  heads->~KeyHeads<4>();
}

TEST(SmallArrayTest, KeepsEntriesAcrossGrowthAndShrinking) {
  struct Entry {
    uint64_t a;
    uint32_t b;
  };
  SmallArray<Entry, 2> array;
  std::vector<Entry> reference;
  for (uint32_t i = 0; i < 1000; ++i) {
    array.push(Entry{i * 3ull, i});
    reference.push_back(Entry{i * 3ull, i});
    if (i % 97 == 96) {
      array.shrinkTo(array.size() / 2);
      reference.resize(reference.size() / 2);
    }
  }
  ASSERT_EQ(array.size(), reference.size());
  // Former bug: grown entries sat in a plain module block, whose address is
  // odd, and were read misaligned.
  EXPECT_EQ(reinterpret_cast<uintptr_t>(&array[0]) % alignof(Entry), 0u);
  for (uint32_t i = 0; i < array.size(); ++i) {
    EXPECT_EQ(array[i].a, reference[i].a);
    EXPECT_EQ(array[i].b, reference[i].b);
  }
}

}  // namespace
}  // namespace bw
