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

// Counters of the calling thread: the module runs on the thread that called
// it, and its blocks are allocated and released there, so no lock is needed
// and none is paid for on every allocation.
thread_local int64_t outstandingBlocks = 0;
thread_local int64_t outstandingBytes = 0;
thread_local int64_t peakBytes = 0;
thread_local bool trackBytes = false;

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
constexpr size_t kClassStep = 16;
constexpr size_t kClasses = 32;  // blocks up to 512 bytes are pooled
constexpr uint32_t kUnpooled = 0xFFFFFFFFu;

struct FreeLists {
  void* heads[kClasses] = {};
  ~FreeLists() {
    for (void*& head : heads)
      while (head != nullptr) {
        void* next = *static_cast<void**>(head);
        std::free(static_cast<char*>(head) - kHeader);
        head = next;
      }
  }
};
thread_local FreeLists freeLists;

void* BW_CALL engineAllocate(uint32_t byteCount) {
  size_t size = byteCount == 0 ? 1 : byteCount;
  size_t sizeClass = (size - 1) / kClassStep;
  char* raw = nullptr;
  if (kPoolBlocks && sizeClass < kClasses && freeLists.heads[sizeClass] != nullptr) {
    void* block = freeLists.heads[sizeClass];
    freeLists.heads[sizeClass] = *static_cast<void**>(block);
    raw = static_cast<char*>(block) - kHeader;
  } else {
    bool pooled = kPoolBlocks && sizeClass < kClasses;
    raw = static_cast<char*>(std::malloc(kHeader + (pooled ? (sizeClass + 1) * kClassStep : size)));
    if (raw == nullptr) return nullptr;
    *reinterpret_cast<uint32_t*>(raw) = pooled ? static_cast<uint32_t>(sizeClass) : kUnpooled;
  }
  ++outstandingBlocks;
  if (trackBytes) {
    outstandingBytes += static_cast<int64_t>(malloc_usable_size(raw));
    if (outstandingBytes > peakBytes) peakBytes = outstandingBytes;
  }
  return raw + kHeader;
}

void BW_CALL engineRelease(void* block) {
  if (block == nullptr) return;
  char* raw = static_cast<char*>(block) - kHeader;
  --outstandingBlocks;
  if (trackBytes) outstandingBytes -= static_cast<int64_t>(malloc_usable_size(raw));
  uint32_t sizeClass = *reinterpret_cast<const uint32_t*>(raw);
  if (sizeClass == kUnpooled) {
    std::free(raw);
    return;
  }
  *static_cast<void**>(block) = freeLists.heads[sizeClass];
  freeLists.heads[sizeClass] = block;
}

}  // namespace

int64_t moduleBlocksOutstanding() { return outstandingBlocks; }
int64_t moduleBytesPeak() { return peakBytes; }
void trackModuleBytes() {
  trackBytes = true;
  outstandingBytes = peakBytes = 0;
}
void resetModuleBytesPeak() { peakBytes = outstandingBytes; }

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
