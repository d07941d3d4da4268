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

void* BW_CALL engineAllocate(uint32_t byteCount) {
  void* block = std::malloc(byteCount == 0 ? 1 : byteCount);
  if (block == nullptr) return nullptr;
  ++outstandingBlocks;
  if (trackBytes) {
    outstandingBytes += static_cast<int64_t>(malloc_usable_size(block));
    if (outstandingBytes > peakBytes) peakBytes = outstandingBytes;
  }
  return block;
}

void BW_CALL engineRelease(void* block) {
  if (block == nullptr) return;
  --outstandingBlocks;
  if (trackBytes) outstandingBytes -= static_cast<int64_t>(malloc_usable_size(block));
  std::free(block);
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
