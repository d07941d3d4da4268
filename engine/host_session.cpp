// Answers the module's service calls; see host_session.h for the rules of
// how texts travel.
#include "engine/host_session.h"

#include <cstring>
#include <mutex>

#include "engine/module_library.h"
#include "engine/text_util.h"

namespace bw {
namespace {

// Sessions by handle.  Handles start at 1 so that 0 never names a session.
std::mutex registryMutex;
std::map<uint32_t, HostSession*>& registry() {
  static std::map<uint32_t, HostSession*> sessions;
  return sessions;
}
uint32_t nextHandle = 1;

// The session this thread asked for last.  Every exchange of a request names
// the same handle, so the registry's lock is taken once per request rather
// than once per exchange.  Handles are never reused, so a stale entry can
// never match a live session's handle.
// Initial-exec for the reason given with the allocator's blocks (module_library.cpp).
[[gnu::tls_model("initial-exec")]] thread_local uint32_t cachedHandle = 0;
[[gnu::tls_model("initial-exec")]] thread_local HostSession* cachedSession = nullptr;

// A text handed to the engine: bytes plus a pointer to a count that includes
// the terminator unless `exact`.  The view is valid during the exchange only.
inline bool readTextIn(void* bytes, void* countPointer, bool exact, std::string_view& out) {
  if (bytes == nullptr || countPointer == nullptr) return false;
  uint32_t count = *static_cast<const uint32_t*>(countPointer);
  const char* p = static_cast<const char*>(bytes);
  if (!exact) {
    if (count == 0 || p[count - 1] != '\0') return false;
    --count;
  }
  out = std::string_view(p, count);
  return true;
}

// A text the module asked for, into its buffer, or MBtS with the size needed.
[[gnu::noinline]] uint32_t writeTextOut(std::string_view text, void* buffer, void* sizePointer) {
  if (sizePointer == nullptr) return kHostBadArgument;
  uint32_t& size = *static_cast<uint32_t*>(sizePointer);
  if (text.size() > UINT32_MAX) return kHostBadArgument;
  if (size < text.size() || (buffer == nullptr && !text.empty())) {
    size = static_cast<uint32_t>(text.size());
    return MBtS;
  }
  copyBytes(static_cast<char*>(buffer), text.data(), text.size());
  size = static_cast<uint32_t>(text.size());
  return 0;
}

}  // namespace

HostSession::HostSession() {
  std::lock_guard<std::mutex> lock(registryMutex);
  // Handles only grow, so that one is never reused while a cache may hold it.
  while (nextHandle == 0 || registry().count(nextHandle)) ++nextHandle;
  handle_ = nextHandle++;
  registry()[handle_] = this;
}

HostSession::~HostSession() {
  if (cachedHandle == handle_) {
    cachedHandle = 0;
    cachedSession = nullptr;
  }
  std::lock_guard<std::mutex> lock(registryMutex);
  registry().erase(handle_);
}

void HostSession::beginRequest() {
  output.clear();
  reports.clear();
  yields = 0;
  exchanges = 0;
  registrationRefused = false;
}

namespace {

// An exchange naming a handle that is not this thread's last one: the
// registry is asked, and the exchange goes on through the cache.  Kept out of
// serve() so that serve's fast path has no call to save registers around.
[[gnu::noinline]] uint32_t serveUncached(uint32_t handle, uint32_t code, void* a1, void* a2,
                                         void* a3, void* a4, void* a5) {
  {
    std::lock_guard<std::mutex> lock(registryMutex);
    auto it = registry().find(handle);
    if (it == registry().end()) return kHostNotAvailable;
    cachedHandle = handle;
    cachedSession = it->second;
  }
  return HostSession::serve(handle, code, a1, a2, a3, a4, a5);
}

const std::string_view* findIn(const TagParameters& list, std::string_view name, size_t occurrence) {
  return list.find(name, occurrence);
}
const std::string* findIn(const NamedValues& list, std::string_view name, size_t occurrence) {
  return findNamed(list, name, occurrence);
}

// The occurrence-th value named by the text at a1/a2 (occurrence at a5) into
// the buffer at a3/a4: MTPm and MFAr, which differ only in the list asked.
template <class List>
[[gnu::noinline]] uint32_t answerNamed(const List* list, void* a1, void* a2, void* a3, void* a4, void* a5) {
  if (list == nullptr) return kHostNotAvailable;
  std::string_view name;
  if (!readTextIn(a1, a2, false, name) || a5 == nullptr) return kHostBadArgument;
  int32_t occurrence = *static_cast<const int32_t*>(a5);
  if (occurrence < 0) return kHostNotAvailable;
  const auto* found = findIn(*list, name, static_cast<size_t>(occurrence));
  if (found == nullptr) return kHostNotAvailable;
  return writeTextOut(*found, a3, a4);
}

}  // namespace

uint32_t BW_CALL HostSession::serve(uint32_t handle, uint32_t code, void* a1, void* a2, void* a3,
                                    void* a4, void* a5) {
  if (handle == 0 || handle != cachedHandle) return serveUncached(handle, code, a1, a2, a3, a4, a5);
  HostSession* session = cachedSession;
  ++session->exchanges;
  // The services every tag call uses are sorted out here and answered by
  // jumps to their helpers, so that this dispatch saves no registers;
  // answer() has the rest.
  const TagInvocation* tag = session->tag;
  switch (code) {
    case MTPm:
      return answerNamed(tag ? tag->parameters : nullptr, a1, a2, a3, a4, a5);
    case MTag:
      if (tag == nullptr) return kHostNotAvailable;
      return writeTextOut(tag->name, a1, a2);
    case MTBd:
      if (tag == nullptr || !tag->hasBody) return kHostNotAvailable;
      return writeTextOut(tag->body, a1, a2);
    case MGPr:
      return session->answerProperty(a1, a2, a3, a4);
    case MWtS:
      return session->appendOutput(a1, a2);
    default:
      return session->answer(code, a1, a2, a3, a4, a5);
  }
}

uint32_t HostSession::answerProperty(void* a1, void* a2, void* a3, void* a4) {
  if (properties == nullptr) return kHostNotAvailable;
  std::string_view name;
  if (!readTextIn(a1, a2, false, name)) return kHostBadArgument;
  if (properties->values.empty()) return kHostNotAvailable;
  key_.assign(name.data(), name.size());
  auto it = properties->values.find(key_);
  if (it == properties->values.end()) return kHostNotAvailable;
  return writeTextOut(it->second, a3, a4);
}

void HostSession::markVariable(std::string_view name) {
  auto it = outsideVariables->find(name);
  if (tagInputFromOutside && it == outsideVariables->end())
    outsideVariables->emplace(name);
  else if (!tagInputFromOutside && it != outsideVariables->end())
    outsideVariables->erase(it);
}

uint32_t HostSession::appendOutput(void* a1, void* a2) {
  // The one text whose count excludes the terminator; appended directly,
  // because it can be megabytes long.
  if (a1 == nullptr || a2 == nullptr) return kHostBadArgument;
  output.append(static_cast<const char*>(a1), *static_cast<const uint32_t*>(a2));
  return 0;
}

uint32_t HostSession::answer(uint32_t code, void* a1, void* a2, void* a3, void* a4, void* a5) {
  std::string_view name, value;
  switch (code) {
    case MRMN:
    case MRMV:
    case MRMA:
    case MRVt: {
      if (registering == nullptr) return kHostNotAvailable;
      if (!readTextIn(a1, a2, false, value)) return registrationRefused = true, kHostBadArgument;
      ModuleIdentity& id = registering->identityForRegistration();
      (code == MRMN ? id.name : code == MRMV ? id.version : code == MRMA ? id.company : id.versionTracker) = value;
      return 0;
    }
    case MRfT: {
      if (registering == nullptr) return kHostNotAvailable;
      if (!readTextIn(a1, a2, false, name) || name.empty() || a5 == nullptr)
        return registrationRefused = true, kHostBadArgument;
      registering->addTag(std::string(name), *static_cast<const uint32_t*>(a5));
      return 0;
    }
    case MFAr:
      return answerNamed(form, a1, a2, a3, a4, a5);
    case MSPr:
    case MRPr: {
      if (edits == nullptr) return kHostNotAvailable;
      if (!readTextIn(a1, a2, false, name) || name.empty()) return kHostBadArgument;
      std::string key(name);
      if (code == MSPr) {
        if (!readTextIn(a3, a4, false, value)) return kHostBadArgument;
        edits->values[key] = std::string(value);
        edits->changes.emplace_back(std::move(key), std::string(value));
      } else {
        edits->values.erase(key);
        edits->changes.emplace_back(std::move(key), std::nullopt);
      }
      return 0;
    }
    case MSPV:
      if (variables == nullptr) return kHostNotAvailable;
      if (!readTextIn(a1, a2, false, name) || !readTextIn(a3, a4, false, value) || name.empty())
        return kHostBadArgument;
      (*variables)[std::string(name)] = std::string(value);
      if (outsideVariables != nullptr) markVariable(name);
      return 0;
    case MSEI: {
      if (!readTextIn(a1, a2, false, name)) return kHostBadArgument;
      if (a3 != nullptr && !readTextIn(a3, a4, false, value)) return kHostBadArgument;
      reports.push_back(ModuleReport{std::string(name), std::string(value)});
      return 0;
    }
    case MYld:
      ++yields;
      return 0;
    default:
      return MUnF;
  }
}

}  // namespace bw
