// The module as the platform's loader and a host written against the
// protocol's byte layout see it.
//
// The other suites reach the module through the shared test host, which uses
// the ModuleRequest struct of the public header and keeps the module loaded
// for the whole process.  This suite checks what that cannot: that the module
// reads a record laid out byte by byte at the protocol's offsets (so a host
// written in any language, with no copy of the header, talks to it), that its
// constant tables survive being unloaded and loaded again, that requests may
// come from a thread other than the one that loaded it, and, on Windows, that
// the loaded image exports ProcessQELRequest alone.
//
// The host here is deliberately tiny and self-contained: it answers the tag
// name, says every parameter, body and region property is absent, and counts
// the blocks it lends.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "brindlework/module.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// ---------------------------------------------------------------------------
// The record as bytes.

// Where each field of the record lives, for each pointer width.  These are
// the protocol's numbers, written out here rather than taken from the header.
struct FieldOffset {
  const char* field;
  size_t offset32;
  size_t offset64;
};

constexpr FieldOffset kRecordLayout[] = {
    {"hostHandle", 8, 8},    {"selector", 12, 12},     {"hostCallback", 16, 16},
    {"reserved1", 20, 24},   {"hostAllocate", 24, 32}, {"hostRelease", 28, 40},
};
constexpr size_t kRecordSize32 = 32;
constexpr size_t kRecordSize64 = 48;

constexpr bool kPointers32 = sizeof(void*) == 4;
constexpr size_t kRecordSize = kPointers32 ? kRecordSize32 : kRecordSize64;

size_t offsetOf(const char* field) {
  for (const FieldOffset& row : kRecordLayout) {
    if (std::strcmp(row.field, field) == 0) return kPointers32 ? row.offset32 : row.offset64;
  }
  ADD_FAILURE() << "no field " << field;
  return 0;
}

// A record filled byte by byte.  Bytes the module must not interpret hold a
// pattern, so a module reading the wrong offset sees nonsense.
class RawRecord {
 public:
  RawRecord() { std::memset(bytes_, 0xA5, sizeof bytes_); }

  template <typename T>
  void put(const char* field, T value) {
    std::memcpy(bytes_ + offsetOf(field), &value, sizeof value);
  }
  ModuleRequest* record() { return reinterpret_cast<ModuleRequest*>(bytes_); }

 private:
  alignas(8) unsigned char bytes_[kRecordSize];
};

// ---------------------------------------------------------------------------
// The host.

struct Registration {
  uint32_t code;
  std::string text;
  uint32_t flags;
  bool operator==(const Registration& other) const {
    return code == other.code && text == other.text && flags == other.flags;
  }
};

struct MiniHost {
  uint32_t handle = 0;
  std::string tagName;
  std::vector<Registration> registrations;
  std::string output;
  std::vector<uint32_t> calls;
  std::vector<uint32_t> wrongHandles;
};

MiniHost* activeHost = nullptr;

std::set<void*>& liveBlocks() {
  static std::set<void*> blocks;
  return blocks;
}
uint64_t allocationCount = 0;

void* BW_CALL lendBlock(uint32_t count) {
  ++allocationCount;
  void* block = std::malloc(count == 0 ? 1 : count);
  if (block != nullptr) liveBlocks().insert(block);
  return block;
}

void BW_CALL takeBlockBack(void* block) {
  if (liveBlocks().erase(block) == 1) std::free(block);
}

std::string handedText(void* bytes, void* count, bool countHasTerminator) {
  uint32_t n = *static_cast<uint32_t*>(count);
  if (countHasTerminator && n > 0) --n;
  return std::string(static_cast<const char*>(bytes), n);
}

uint32_t BW_CALL serve(uint32_t handle, uint32_t code, void* a1, void* a2, void*, void*,
                       void* a5) {
  MiniHost& host = *activeHost;
  host.calls.push_back(code);
  if (handle != host.handle) host.wrongHandles.push_back(handle);
  switch (code) {
    case MRMN:
    case MRMV:
    case MRMA:
    case MRVt:
    case MRfT:
      host.registrations.push_back(
          {code, handedText(a1, a2, true), a5 ? *static_cast<uint32_t*>(a5) : 0});
      return 0;
    case MTag: {
      uint32_t& size = *static_cast<uint32_t*>(a2);
      if (host.tagName.size() > size) {
        size = static_cast<uint32_t>(host.tagName.size());
        return MBtS;
      }
      std::memcpy(a1, host.tagName.data(), host.tagName.size());
      size = static_cast<uint32_t>(host.tagName.size());
      return 0;
    }
    case MWtS:
      host.output += handedText(a1, a2, false);
      return 0;
    default:
      return MUnk;  // parameters, bodies, properties: absent
  }
}

// ---------------------------------------------------------------------------
// Loading.

using EntryPoint = uint32_t(BW_CALL*)(ModuleRequest*);

class LoadedModule {
 public:
  LoadedModule() {
    library_ = dlopen(BRINDLE_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    if (library_ == nullptr) {
      const char* why = dlerror();
      ADD_FAILURE() << "cannot load " << BRINDLE_MODULE_PATH << ": " << (why ? why : "?");
      return;
    }
    entry_ = reinterpret_cast<EntryPoint>(dlsym(library_, "ProcessQELRequest"));
    EXPECT_NE(entry_, nullptr) << "no ProcessQELRequest in " << BRINDLE_MODULE_PATH;
  }
  ~LoadedModule() {
    if (library_ != nullptr) {
      EXPECT_EQ(dlclose(library_), 0);
    }
  }
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;

  bool ready() const { return entry_ != nullptr; }
  void* handle() const { return library_; }

  // One request through a byte-laid record.  Returns the module's result.
  uint32_t request(MiniHost& host, uint32_t selector) {
    RawRecord raw;
    raw.put("hostHandle", host.handle);
    raw.put("selector", selector);
    raw.put("hostCallback", &serve);
    raw.put("hostAllocate", &lendBlock);
    raw.put("hostRelease", &takeBlockBack);
    activeHost = &host;
    uint32_t result = entry_(raw.record());
    activeHost = nullptr;
    return result;
  }

 private:
  void* library_ = nullptr;
  EntryPoint entry_ = nullptr;
};

// The registrations of one MIni, checked for the facts every load must show.
std::vector<Registration> initialise(LoadedModule& module) {
  MiniHost host;
  host.handle = 0x51A7E001u;
  EXPECT_EQ(module.request(host, MIni), 0u);
  EXPECT_TRUE(host.wrongHandles.empty()) << "the module altered the host handle";
  EXPECT_EQ(host.registrations.size(), 12u);
  return host.registrations;
}

// ---------------------------------------------------------------------------
// Tests.

TEST(RecordLayout, ModuleReadsTheFieldsAtTheProtocolOffsets) {
  LoadedModule module;
  ASSERT_TRUE(module.ready());
  std::vector<Registration> registrations = initialise(module);
  ASSERT_EQ(registrations.size(), 12u);
  EXPECT_EQ(registrations.front().code, MRMN);
  EXPECT_EQ(registrations.front().text, "Brindlework");
  EXPECT_EQ(registrations.back().code, MRfT);
  EXPECT_EQ(registrations.back().text, "qelSwitch");

  // After MIni the module's blocks come from the allocator at its offset,
  // and every one of them is back when the request returns.
  struct Case {
    uint32_t selector;
    const char* tagName;
    uint32_t result;
  };
  const Case cases[] = {
      {MTag, "qelComment", 0},  // handled, empty output
      {MTag, "qelNoSuchTag", 0},  // not the module's: no handler, no output
      {MTag, "A tag name far longer than the first thirty-two byte buffer", 0},
      {MTrm, "", 0},
      {MAct, "", MUnF},
      {0x12345678u, "", MUnF},
  };
  uint32_t handle = 0xC0DE0000u;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.selector) + " " + c.tagName);
    MiniHost host;
    host.handle = ++handle;
    host.tagName = c.tagName;
    uint64_t before = allocationCount;
    EXPECT_EQ(module.request(host, c.selector), c.result);
    EXPECT_TRUE(host.wrongHandles.empty());
    EXPECT_EQ(host.output, "");
    EXPECT_TRUE(liveBlocks().empty()) << liveBlocks().size() << " blocks not released";
    if (c.selector == MTag) {
      // A short name is read into a buffer on the stack; a name past the
      // first buffer needs a block, and that block comes from the host.
      if (std::strlen(c.tagName) > 32)
        EXPECT_GT(allocationCount, before) << "the tag name buffer did not come from the host";
      ASSERT_FALSE(host.calls.empty());
      EXPECT_EQ(host.calls.front(), MTag);
    } else {
      EXPECT_TRUE(host.calls.empty()) << "no callback is expected for this selector";
    }
  }
}

TEST(Unloading, TablesAreRebuiltOnEveryLoad) {
  std::vector<Registration> first;
  {
    LoadedModule module;
    ASSERT_TRUE(module.ready());
    first = initialise(module);
  }
  // Unloading destroys the tables and loading builds them again; a module
  // that destroyed them twice, or kept pointers into the unloaded image,
  // fails here.
  for (int cycle = 0; cycle < 3; ++cycle) {
    SCOPED_TRACE(cycle);
    LoadedModule module;
    ASSERT_TRUE(module.ready());
    EXPECT_EQ(initialise(module), first);
    MiniHost host;
    host.tagName = "QELCOMMENT";
    EXPECT_EQ(module.request(host, MTag), 0u);
    EXPECT_TRUE(liveBlocks().empty());
  }
}

TEST(Threads, RequestsMayComeFromAnotherThread) {
  LoadedModule module;
  ASSERT_TRUE(module.ready());
  initialise(module);

  // Starting and ending a thread sends the module thread attach and detach
  // notifications on Windows; neither may disturb it.
  uint32_t fromThread = 1;
  std::string outputFromThread = "unset";
  std::thread worker([&] {
    MiniHost host;
    host.tagName = "qelComment";
    fromThread = module.request(host, MTag);
    outputFromThread = host.output;
  });
  worker.join();
  EXPECT_EQ(fromThread, 0u);
  EXPECT_EQ(outputFromThread, "");
  EXPECT_TRUE(liveBlocks().empty());

  EXPECT_EQ(initialise(module).size(), 12u);
}

#ifdef _WIN32
const IMAGE_NT_HEADERS* ntHeaders(HMODULE image) {
  auto base = reinterpret_cast<const unsigned char*>(image);
  auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  return reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
}

// The export directory of the loaded image, read from its PE headers.
std::vector<std::string> exportedNames(HMODULE image) {
  auto base = reinterpret_cast<const unsigned char*>(image);
  const IMAGE_NT_HEADERS* nt = ntHeaders(image);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  std::vector<std::string> names;
  if (dir.VirtualAddress == 0) return names;
  auto exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
  auto nameTable = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
    names.emplace_back(reinterpret_cast<const char*>(base + nameTable[i]));
  }
  EXPECT_EQ(exports->NumberOfFunctions, exports->NumberOfNames) << "exports without a name";
  return names;
}

TEST(WindowsImage, ExportsProcessQELRequestAloneUndecorated) {
  LoadedModule module;
  ASSERT_TRUE(module.ready());
  HMODULE image = static_cast<HMODULE>(module.handle());
  EXPECT_EQ(ntHeaders(image)->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
  EXPECT_EQ(exportedNames(image), std::vector<std::string>{"ProcessQELRequest"});
  // The decorated spellings a stdcall or C++ export would carry are absent.
  for (const char* name : {"_ProcessQELRequest", "ProcessQELRequest@4", "_ProcessQELRequest@4"}) {
    EXPECT_EQ(GetProcAddress(image, name), nullptr) << name;
  }
}
#endif

}  // namespace
