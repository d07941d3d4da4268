// The module allocator, the object and exception roots, ByteBuffer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "foundation/allocator.h"
#include "foundation/name_key.h"
#include "foundation/object.h"
#include "foundation/qel_string.h"

namespace {

using namespace bw;

// A counting host heap.
struct HostHeap {
  static int allocations, releases;
  static uint32_t lastSize;
  static void* lastBlock;
  static void* lastReleased;
  static bool refuse;
  static void reset() {
    allocations = releases = 0;
    lastSize = 0;
    lastBlock = lastReleased = nullptr;
    refuse = false;
  }
};
int HostHeap::allocations, HostHeap::releases;
uint32_t HostHeap::lastSize;
void* HostHeap::lastBlock;
void* HostHeap::lastReleased;
bool HostHeap::refuse;

void* BW_CALL hostAllocate(uint32_t n) {
  if (HostHeap::refuse) return nullptr;
  ++HostHeap::allocations;
  HostHeap::lastSize = n;
  HostHeap::lastBlock = std::malloc(n);
  return HostHeap::lastBlock;
}

void BW_CALL hostRelease(void* block) {
  ++HostHeap::releases;
  HostHeap::lastReleased = block;
  std::free(block);
}

// Every test starts and ends with the hooks cleared, so the other suites in
// this binary run on the runtime heap.
class AllocatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HostHeap::reset();
    installAllocatorHooks(nullptr, nullptr);
  }
  void TearDown() override { installAllocatorHooks(nullptr, nullptr); }
  void installHost() { installAllocatorHooks(hostAllocate, hostRelease); }
};

TEST_F(AllocatorTest, ReleasingNullDoesNothing) {
  installHost();
  release(nullptr);
  releaseAligned(nullptr);
  EXPECT_EQ(HostHeap::releases, 0);
}

TEST_F(AllocatorTest, RuntimeBlocksCarryTheRuntimeTag) {
  unsigned char* p = static_cast<unsigned char*>(allocate(10));
  EXPECT_EQ(p[-1], kRuntimeBlockTag);
  std::memset(p, 1, 10);  // all ten bytes are usable
  release(p);
  EXPECT_EQ(HostHeap::allocations, 0);
}

TEST_F(AllocatorTest, HostSeesOneByteMoreAndTheBlockStart) {
  installHost();
  unsigned char* p = static_cast<unsigned char*>(allocate(24));
  EXPECT_EQ(HostHeap::allocations, 1);
  EXPECT_EQ(HostHeap::lastSize, 25u);
  EXPECT_EQ(p - 1, HostHeap::lastBlock);
  EXPECT_EQ(p[-1], kHostBlockTag);
  release(p);
  EXPECT_EQ(HostHeap::releases, 1);
  EXPECT_EQ(HostHeap::lastReleased, static_cast<void*>(p - 1));
}

TEST_F(AllocatorTest, ZeroBytesIsOneByteToTheHeap) {
  installHost();
  void* p = allocate(0);
  EXPECT_EQ(HostHeap::lastSize, 1u);
  release(p);
}

TEST_F(AllocatorTest, BlockFromBeforeTheHooksGoesBackToTheRuntimeHeap) {
  void* early = allocate(16);
  installHost();
  release(early);  // ASan would report a wrong free
  EXPECT_EQ(HostHeap::releases, 0);
  void* late = allocate(16);
  installAllocatorHooks(nullptr, nullptr);
  // A host block released after the hooks were cleared is kept (the module
  // cannot give it back); give it back here so nothing leaks.
  release(late);
  EXPECT_EQ(HostHeap::releases, 0);
  installHost();
  release(late);
  EXPECT_EQ(HostHeap::releases, 1);
}

TEST_F(AllocatorTest, LaterMIniOverwritesTheHooks) {
  installHost();
  void* p = allocate(8);
  installAllocatorHooks(hostAllocate, hostRelease);
  release(p);
  EXPECT_EQ(HostHeap::allocations, 1);
  EXPECT_EQ(HostHeap::releases, 1);
}

TEST_F(AllocatorTest, HostAnsweringNullThrowsMemoryAllocationFailure) {
  installHost();
  HostHeap::refuse = true;
  EXPECT_THROW(allocate(10), QELObject::MemoryAllocationFailure);
  EXPECT_THROW(allocateAligned(10), QELObject::MemoryAllocationFailure);
  EXPECT_THROW(QelString("abc"), QELObject::MemoryAllocationFailure);
  try {
    allocate(1);
    FAIL();
  } catch (const QELException& e) {
    EXPECT_STREQ(e.description(), "");
  }
}

TEST_F(AllocatorTest, UnrepresentableSizesThrow) {
  EXPECT_THROW(allocate(UINT32_MAX), QELObject::MemoryAllocationFailure);
  EXPECT_THROW(allocateAligned(std::size_t(UINT32_MAX)), QELObject::MemoryAllocationFailure);
}

TEST_F(AllocatorTest, AlignedBlocksAreAlignedAndGoThroughAllocate) {
  installHost();
  for (std::size_t alignment : {std::size_t(1), std::size_t(4), std::size_t(8), std::size_t(16),
                                std::size_t(64), std::size_t(4096)}) {
    for (std::size_t size : {std::size_t(0), std::size_t(1), std::size_t(7), std::size_t(100)}) {
      int before = HostHeap::allocations;
      unsigned char* p = static_cast<unsigned char*>(allocateAligned(size, alignment));
      EXPECT_EQ(HostHeap::allocations, before + 1);
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % std::max<std::size_t>(alignment, 4), 0u);
      std::memset(p, 0x5A, size);
      releaseAligned(p);
    }
  }
  EXPECT_EQ(HostHeap::allocations, HostHeap::releases);
}

TEST_F(AllocatorTest, DefaultAlignmentIsThatOfOperatorNew) {
  void* p = allocateAligned(3);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % __STDCPP_DEFAULT_NEW_ALIGNMENT__, 0u);
  releaseAligned(p);
}

TEST_F(AllocatorTest, ObjectsComeFromTheModuleAllocator) {
  installHost();
  NameKey* key = new NameKey("qelIf");
  EXPECT_GE(HostHeap::allocations, 1);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(key) % alignof(NameKey), 0u);
  int before = HostHeap::releases;
  delete key;
  EXPECT_GT(HostHeap::releases, before);
  EXPECT_EQ(HostHeap::allocations, HostHeap::releases);

  QelString* many = new QelString[3];
  many[1] = "x";
  delete[] many;
  EXPECT_EQ(HostHeap::allocations, HostHeap::releases);
}

struct alignas(64) OverAligned : QELObject {
  char bytes[10];
};

TEST_F(AllocatorTest, OverAlignedObjectsAreAligned) {
  installHost();
  OverAligned* one = new OverAligned();
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(one) % 64, 0u);
  OverAligned* many = new OverAligned[3];
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(many) % 64, 0u);
  delete one;
  delete[] many;
  EXPECT_EQ(HostHeap::allocations, 2);
  EXPECT_EQ(HostHeap::releases, 2);
}

TEST_F(AllocatorTest, ExceptionNewInstance) {
  installHost();
  QELObject::MemoryAllocationFailure failure;
  QELException* made = failure.newInstance();
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(HostHeap::allocations, 1);
  // A plain QELException, not a copy of the failure.
  EXPECT_EQ(dynamic_cast<QELObject::MemoryAllocationFailure*>(made), nullptr);
  EXPECT_STREQ(made->description(), "");
  EXPECT_EQ(made->description(), failure.description());
  delete made;
  EXPECT_EQ(HostHeap::releases, 1);
}

TEST_F(AllocatorTest, ByteBufferGrowsButNeverShrinks) {
  installHost();
  ByteBuffer buffer(0);
  EXPECT_EQ(buffer.data(), nullptr);
  EXPECT_EQ(HostHeap::allocations, 0);
  unsigned char* grown = buffer.resize(40, true);
  EXPECT_EQ(HostHeap::allocations, 1);
  EXPECT_EQ(HostHeap::lastSize, 41u);
  EXPECT_EQ(buffer.size(), 40u);
  EXPECT_EQ(grown, buffer.data());
  unsigned char* same = buffer.resize(10, true);
  EXPECT_EQ(same, grown);
  EXPECT_EQ(buffer.size(), 10u);
  EXPECT_EQ(HostHeap::allocations, 1);
  EXPECT_EQ(buffer.at(3), buffer.data() + 3);
}

TEST_F(AllocatorTest, ByteBufferKeepsContents) {
  ByteBuffer buffer(4);
  std::memcpy(buffer.data(), "abcd", 4);
  buffer.resize(100, true);
  EXPECT_EQ(std::memcmp(buffer.data(), "abcd", 4), 0);
  buffer.resize(200, false);
  EXPECT_EQ(buffer.size(), 200u);
}

TEST_F(AllocatorTest, EmptyStringsNeedNoAllocation) {
  installHost();
  {
    QelString a;
    QelString b(a);
    QelString c("");
    QelString d(nullptr, 0);
    c = a;
    b.clear();
    d.assign("");
    QelString moved(std::move(b));
    EXPECT_TRUE(a.sharesWith(c));
    EXPECT_TRUE(a.sharesWith(moved));
  }
  EXPECT_EQ(HostHeap::allocations, 0);
}

TEST_F(AllocatorTest, StringsMadeBeforeTheHooksAreReleasedToTheRuntimeHeap) {
  QelString early("made before MIni");
  installHost();
  QelString late("made after MIni");
  early = late;  // early's old representation goes back to the runtime heap
  EXPECT_EQ(HostHeap::releases, 0);
  late.clear();
  early.clear();
  EXPECT_EQ(HostHeap::allocations, HostHeap::releases);
}

}  // namespace
