// The loaded tag module, as the engine sees it.
//
// Opening a library loads it with dlopen, finds ProcessQELRequest and sends
// MIni once, remembering the module name and the tags it registers with their
// flags.  Destruction sends MTrm and unloads it.  Every call into the module
// goes through call(), which installs the engine's counting allocator in the
// record, so that blocks the module forgets to release can be reported.
#ifndef BRINDLE_ENGINE_MODULE_LIBRARY_H
#define BRINDLE_ENGINE_MODULE_LIBRARY_H

#include <cstdint>
#include <memory>
#include <string>

#include "brindlework/module.h"
#include "engine/tag_table.h"

namespace bw {

class HostSession;

struct ModuleIdentity {
  std::string name, version, company, versionTracker;
};

class ModuleLibrary {
 public:
  // Null with a message in `error` when the file cannot be loaded, has no
  // ProcessQELRequest, or refuses MIni.
  static std::unique_ptr<ModuleLibrary> open(const std::string& path, std::string& error);
  ~ModuleLibrary();
  ModuleLibrary(const ModuleLibrary&) = delete;
  ModuleLibrary& operator=(const ModuleLibrary&) = delete;

  // Sends one request on behalf of the session.
  uint32_t call(HostSession& session, uint32_t selector);

  const TagTable& tags() const { return tags_; }
  const ModuleIdentity& identity() const { return identity_; }
  const std::string& path() const { return path_; }

  // Registration callbacks, used by the session during MIni.
  void addTag(std::string name, uint32_t flags);
  ModuleIdentity& identityForRegistration() { return identity_; }

 private:
  ModuleLibrary() = default;
  using EntryPoint = uint32_t(BW_CALL*)(ModuleRequest*);

  void* handle_ = nullptr;
  EntryPoint entry_ = nullptr;
  std::string path_;
  ModuleIdentity identity_;
  TagTable tags_;
};

// Blocks the module holds from the engine's allocator right now, counted for
// the calling thread (the module allocates on the thread that calls it).
int64_t moduleBlocksOutstanding();
// Byte counting, for benchmarks: from trackModuleBytes() on, the most bytes
// the module held at once on this thread since the last reset.  Blocks
// allocated before tracking began must not be released after it.
void trackModuleBytes();
int64_t moduleBytesPeak();
void resetModuleBytesPeak();

}  // namespace bw

#endif
