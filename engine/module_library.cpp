// Loading, initialising and unloading the tag module; the counting allocator
// lent to it.
#include "engine/module_library.h"

#include <dlfcn.h>
#include <malloc.h>

#include <cstdlib>
#include <cstring>

#include "engine/host_session.h"
#include "engine/text_util.h"

namespace bw {
namespace {

// The module makes many small, short-lived blocks (every string, key and
// number of a tag call), so small blocks are kept on free lists by size class
// instead of going back to malloc.  A 16-byte header before each block holds
// its class and keeps the block 16-byte aligned.  Under the address sanitizer
// every block goes to malloc, so that the sanitizer still sees the module's
// use of its memory.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kPoolBlocks = false;
#else
constexpr bool kPoolBlocks = true;
#endif
constexpr size_t kHeader = 16;
constexpr size_t kClassShift = 4;  // class c holds blocks of c * 16 bytes (class 0: 16)
// Blocks up to 1,024 bytes are pooled: a tag whose body is handed over raw
// has the module take a block of about 900 bytes for every call.
constexpr uint32_t kClasses = 65;
constexpr uint32_t kUnpooled = 0xFFFFFFFFu;

// Everything an allocation touches, for the calling thread: the module runs
// on the thread that called it, so no lock is needed and none is paid for.
// The type is trivially destructible, so reaching it is one thread-pointer
// offset with no first-use test; emptying the lists when the thread ends is
// the job of the Reaper below, which is only reached off the fast paths.
enum class ReaperState : uint8_t { Unarmed, Armed, Done };
struct ThreadBlocks {
  void* heads[kClasses];
  int64_t outstanding;
  int64_t bytes;
  int64_t peakBytes;
  // kClasses while bytes are counted, else 0.  The fast paths serve a class
  // only when (class | countingMask) < kClasses: one test covers the blocks
  // too large to pool and the counting, which only the slow paths do.
  uint32_t countingMask;
  ReaperState reaper;
};
// Initial-exec: the engine is linked into its program, never loaded with
// dlopen, so the block is reached at a fixed offset from the thread pointer
// rather than through a call that the fast paths would have to save
// registers around.
[[gnu::tls_model("initial-exec")]] thread_local ThreadBlocks blocks;

// Returns the thread's pooled blocks to malloc when the thread ends.  Blocks
// released after that (by destructors that run later) go straight to free.
struct Reaper {
  bool armed = false;
  ~Reaper() {
    for (void*& head : blocks.heads)
      while (head != nullptr) {
        void* next = *static_cast<void**>(head);
        std::free(static_cast<char*>(head) - kHeader);
        head = next;
      }
    blocks.reaper = ReaperState::Done;
  }
};
thread_local Reaper reaper;

// The size class of a byte count: 1 to 16 bytes are class 1, 17 to 32 class
// 2, and so on; a request for 0 bytes has class 0 to itself, so that the
// fast path needs no test for it.
inline size_t sizeClassOf(uint32_t byteCount) {
  return (static_cast<size_t>(byteCount) + ((size_t{1} << kClassShift) - 1)) >> kClassShift;
}
inline size_t blockSizeOf(size_t sizeClass) { return (sizeClass == 0 ? 1 : sizeClass) << kClassShift; }

void noteBytes(char* raw, int64_t sign) {
  blocks.bytes += sign * static_cast<int64_t>(malloc_usable_size(raw));
  if (blocks.bytes > blocks.peakBytes) blocks.peakBytes = blocks.bytes;
}

// A release onto an empty list: the first block this thread keeps, so the
// reaper must be armed, or the thread is ending and the block goes to free.
[[gnu::noinline]] void releaseOntoEmptyList(void* block, uint32_t sizeClass) {
  if (blocks.reaper == ReaperState::Done) {
    std::free(static_cast<char*>(block) - kHeader);
    return;
  }
  if (blocks.reaper == ReaperState::Unarmed) {
    reaper.armed = true;  // the first use constructs it and schedules its destructor
    blocks.reaper = ReaperState::Armed;
  }
  *static_cast<void**>(block) = nullptr;
  blocks.heads[sizeClass] = block;
}

inline void releaseOntoList(void* block, uint32_t sizeClass) {
  void* head = blocks.heads[sizeClass];
  if (head == nullptr) return releaseOntoEmptyList(block, sizeClass);
  *static_cast<void**>(block) = head;
  blocks.heads[sizeClass] = block;
}

// What the fast paths leave: an empty list, a block too large to pool, and
// every block while bytes are counted.
[[gnu::noinline, gnu::cold]] void* allocateSlowly(uint32_t byteCount) {
  size_t sizeClass = sizeClassOf(byteCount);
  bool pooled = kPoolBlocks && sizeClass < kClasses;
  char* raw = nullptr;
  if (pooled && blocks.heads[sizeClass] != nullptr) {
    void* block = blocks.heads[sizeClass];
    blocks.heads[sizeClass] = *static_cast<void**>(block);
    raw = static_cast<char*>(block) - kHeader;
  } else {
    raw = static_cast<char*>(std::malloc(kHeader + (pooled ? blockSizeOf(sizeClass) : byteCount)));
    if (raw == nullptr) return nullptr;
    *reinterpret_cast<uint32_t*>(raw) = pooled ? static_cast<uint32_t>(sizeClass) : kUnpooled;
  }
  ++blocks.outstanding;
  if (blocks.countingMask != 0) noteBytes(raw, 1);
  return raw + kHeader;
}

[[gnu::noinline, gnu::cold]] void releaseSlowly(void* block) {
  char* raw = static_cast<char*>(block) - kHeader;
  uint32_t sizeClass = *reinterpret_cast<const uint32_t*>(raw);
  --blocks.outstanding;
  if (blocks.countingMask != 0) noteBytes(raw, -1);
  if (sizeClass == kUnpooled) return std::free(raw);
  releaseOntoList(block, sizeClass);
}

void* BW_CALL engineAllocate(uint32_t byteCount) {
  size_t sizeClass = sizeClassOf(byteCount);
  if (kPoolBlocks && (sizeClass | blocks.countingMask) < kClasses) {
    if (void* block = blocks.heads[sizeClass]) {
      blocks.heads[sizeClass] = *static_cast<void**>(block);
      ++blocks.outstanding;
      return block;
    }
  }
  return allocateSlowly(byteCount);
}

void BW_CALL engineRelease(void* block) {
  if (block == nullptr) return;
  uint32_t sizeClass = *reinterpret_cast<const uint32_t*>(static_cast<char*>(block) - kHeader);
  if ((sizeClass | blocks.countingMask) >= kClasses) return releaseSlowly(block);
  --blocks.outstanding;
  releaseOntoList(block, sizeClass);
}

}  // namespace

int64_t moduleBlocksOutstanding() { return blocks.outstanding; }
int64_t moduleBytesPeak() { return blocks.peakBytes; }
void trackModuleBytes() {
  blocks.countingMask = kClasses;
  blocks.bytes = blocks.peakBytes = 0;
}
void resetModuleBytesPeak() { blocks.peakBytes = blocks.bytes; }

std::unique_ptr<ModuleLibrary> ModuleLibrary::open(const std::string& path, std::string& error) {
  std::unique_ptr<ModuleLibrary> library(new ModuleLibrary());
  library->path_ = path;
  // A name without a folder is a file here, not a library for dlopen to
  // look for on the system's search path.
  std::string file = path.find('/') == std::string::npos ? "./" + path : path;
  library->handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library->handle_ == nullptr) {
    const char* why = dlerror();
    error = "cannot load the module " + path + ": " + (why ? why : "unknown error");
    return nullptr;
  }
  void* symbol = dlsym(library->handle_, "ProcessQELRequest");
  if (symbol == nullptr) {
    error = "the module " + path + " has no ProcessQELRequest";
    return nullptr;  // the destructor unloads it; no MIni was sent
  }
  library->entry_ = reinterpret_cast<EntryPoint>(symbol);

  HostSession session;
  session.registering = library.get();
  uint32_t result = library->call(session, MIni);
  session.registering = nullptr;
  if (result != 0) {
    error = "the module " + path + " refused initialisation (" + fourCharacterCode(result) + ")";
    library->call(session, MTrm);
    library->entry_ = nullptr;
    return nullptr;
  }
  return library;
}

ModuleLibrary::~ModuleLibrary() {
  if (entry_ != nullptr) {
    HostSession session;
    call(session, MTrm);
  }
  if (handle_ != nullptr) dlclose(handle_);
}

uint32_t ModuleLibrary::call(HostSession& session, uint32_t selector) {
  ModuleRequest request;
  std::memset(&request, 0, sizeof request);
  request.hostHandle = session.handle();
  request.selector = selector;
  request.hostCallback = &HostSession::serve;
  request.hostAllocate = &engineAllocate;
  request.hostRelease = &engineRelease;
  session.beginRequest();
  return entry_(&request);
}

void ModuleLibrary::addTag(std::string name, uint32_t flags) { tags_.add(std::move(name), flags); }

}  // namespace bw
