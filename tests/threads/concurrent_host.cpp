// The lock-free host of the thread tests: sessions by handle in a table that
// is filled before the threads start, a malloc heap counted per thread.
#include "threads/concurrent_host.h"

#include <dlfcn.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>

#include "support/test_host.h"

namespace bw::test {
namespace {

using EntryPoint = uint32_t (*)(ModuleRequest*);
EntryPoint gEntry = nullptr;

// Blocks this thread holds from the module's allocations.
thread_local long tOutstanding = 0;

void* BW_CALL hostAllocate(uint32_t count) {
  void* block = std::malloc(count == 0 ? 1 : count);
  if (block != nullptr) {
    std::memset(block, 0xCD, count);  // contents must not be relied on
    ++tOutstanding;
  }
  return block;
}

void BW_CALL hostRelease(void* block) {
  --tOutstanding;
  std::free(block);
}

// Sessions by handle: handle h is entry h - 1.  A deque keeps the addresses
// of earlier entries when later sessions are made.
std::deque<Session*>& sessions() {
  static std::deque<Session*> table;
  return table;
}

uint32_t BW_CALL hostCallback(uint32_t handle, uint32_t code, void* a1, void* a2, void* a3,
                              void* a4, void* a5) {
  if (handle == 0 || handle > sessions().size()) {
    std::fprintf(stderr, "concurrent host: unknown handle %u\n", handle);
    std::abort();
  }
  return sessions()[handle - 1]->serve(code, a1, a2, a3, a4, a5);
}

// A text handed to the host: the count includes the terminator except for MWtS.
std::string textIn(void* bytes, void* count, bool exact) {
  if (bytes == nullptr || count == nullptr) return std::string();
  uint32_t n = *static_cast<const uint32_t*>(count);
  if (!exact && n != 0) --n;
  return std::string(static_cast<const char*>(bytes), n);
}

// A text the module asked for, into its buffer or MBtS with the size needed.
uint32_t textOut(const std::optional<std::string>& value, void* buffer, void* size) {
  if (!value || size == nullptr) return MUnF;
  uint32_t& slot = *static_cast<uint32_t*>(size);
  const uint32_t length = static_cast<uint32_t>(value->size());
  if (length > slot) {
    slot = length;
    return MBtS;
  }
  if (length != 0) std::memcpy(buffer, value->data(), length);
  slot = length;
  return 0;
}

std::optional<std::string> named(const NamedValues& list, const std::string& name, int32_t occurrence) {
  int32_t seen = 0;
  for (const NamedValue& entry : list) {
    if (entry.name.size() != name.size()) continue;
    bool same = true;
    for (size_t i = 0; i < name.size() && same; ++i)
      same = std::tolower(static_cast<unsigned char>(entry.name[i])) ==
             std::tolower(static_cast<unsigned char>(name[i]));
    if (same && seen++ == occurrence) return entry.value;
  }
  return std::nullopt;
}

uint32_t sendRequest(uint32_t selector, uint32_t handle) {
  ModuleRequest record;
  std::memset(&record, 0, sizeof record);
  record.hostHandle = handle;
  record.selector = selector;
  record.hostCallback = hostCallback;
  record.hostAllocate = hostAllocate;
  record.hostRelease = hostRelease;
  return gEntry(&record);
}

}  // namespace

bool CallAnswer::operator==(const CallAnswer& other) const {
  return result == other.result && output == other.output && reports == other.reports &&
         variables == other.variables && stored == other.stored && trace == other.trace &&
         blocksLeft == other.blocksLeft;
}

std::string CallAnswer::describe() const {
  std::string out = "result " + codeName(result) + ", output \"" + output + "\"";
  for (const auto& [message, hint] : reports) out += ", report \"" + message + "\"";
  for (const auto& [name, value] : variables) out += ", variable " + name + "=\"" + value + "\"";
  out += ", blocks left " + std::to_string(blocksLeft) + ", trace " + trace;
  return out;
}

uint32_t initialiseModule() {
  if (gEntry == nullptr) {
    std::string path = TestHost::defaultModulePath();
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
      std::fprintf(stderr, "concurrent host: cannot load %s: %s\n", path.c_str(), dlerror());
      std::abort();
    }
    gEntry = reinterpret_cast<EntryPoint>(dlsym(library, "ProcessQELRequest"));
    if (gEntry == nullptr) std::abort();
  }
  return reinitialiseModule();
}

uint32_t reinitialiseModule() {
  static Session registrar;  // answers the registrations; made with the first MIni
  CallScript script;
  script.selector = MIni;
  return registrar.run(script).result;
}

Session::Session() {
  sessions().push_back(this);
  handle_ = static_cast<uint32_t>(sessions().size());
}

CallAnswer Session::run(const CallScript& script) {
  CallAnswer answer;
  script_ = &script;
  answer_ = &answer;
  const long before = tOutstanding;
  answer.result = sendRequest(script.selector, handle_);
  answer.blocksLeft = tOutstanding - before;
  script_ = nullptr;
  answer_ = nullptr;
  return answer;
}

uint32_t Session::serve(uint32_t code, void* a1, void* a2, void* a3, void* a4, void* a5) {
  CallAnswer& answer = *answer_;
  const CallScript& script = *script_;
  if (!answer.trace.empty()) answer.trace += ' ';
  answer.trace += codeName(code);
  switch (code) {
    case MRMN: case MRMV: case MRMA: case MRVt: case MRfT: case MYld:
      return 0;
    case MTag:
      return textOut(script.tagName, a1, a2);
    case MTBd:
      return textOut(script.body, a1, a2);
    case MTPm:
    case MFAr: {
      const int32_t occurrence = a5 != nullptr ? *static_cast<const int32_t*>(a5) : 0;
      return textOut(named(code == MTPm ? script.parameters : script.form, textIn(a1, a2, false),
                           occurrence), a3, a4);
    }
    case MGPr: {
      auto it = script.properties.find(textIn(a1, a2, false));
      return textOut(it == script.properties.end() ? std::nullopt
                                                   : std::optional<std::string>(it->second), a3, a4);
    }
    case MSPr:
      answer.stored.emplace_back(textIn(a1, a2, false), textIn(a3, a4, false));
      return 0;
    case MRPr:
      answer.stored.emplace_back(textIn(a1, a2, false), "(removed)");
      return 0;
    case MSPV:
      answer.variables.emplace_back(textIn(a1, a2, false), textIn(a3, a4, false));
      return 0;
    case MSEI:
      answer.reports.emplace_back(textIn(a1, a2, false), textIn(a3, a4, false));
      return 0;
    case MWtS:
      answer.output += textIn(a1, a2, true);
      return 0;
    default:
      return MUnF;
  }
}

}  // namespace bw::test
