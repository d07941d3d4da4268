// The host side of every service of the callback protocol, for tests.
//
// Each service code has a shape (what a1..a5 carry); the shape table drives
// both the decoding of the log and the answers, so a new code needs one row.
// The heap lent to the module is process-wide because the module keeps its
// allocator hooks process-wide.
#include "support/test_host.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

namespace bw::test {
namespace {

// ---------------------------------------------------------------------------
// The loaded module.

using EntryPoint = uint32_t (*)(ModuleRequest*);

EntryPoint moduleEntry(const std::string& path) {
  static EntryPoint entry = nullptr;
  static std::string loadedPath;
  if (entry != nullptr) {
    if (path != loadedPath) {
      std::fprintf(stderr, "test host: module %s already loaded, not %s\n", loadedPath.c_str(),
                   path.c_str());
      std::abort();
    }
    return entry;
  }
  // Kept loaded for the life of the process, as a page engine keeps it.
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    std::fprintf(stderr, "test host: cannot load %s: %s\n", path.c_str(), dlerror());
    std::abort();
  }
  entry = reinterpret_cast<EntryPoint>(dlsym(library, "ProcessQELRequest"));
  if (entry == nullptr) {
    std::fprintf(stderr, "test host: %s has no ProcessQELRequest\n", path.c_str());
    std::abort();
  }
  loadedPath = path;
  return entry;
}

// ---------------------------------------------------------------------------
// The heap lent to the module.

struct Heap {
  std::unordered_set<void*> live;
  HeapStats stats;
  uint64_t failAt = 0;  // absolute allocation number that answers null; 0 = never
  bool failed = false;
};

Heap& heap() {
  static Heap* instance = new Heap;  // never destroyed: the module may outlive statics
  return *instance;
}

constexpr unsigned char kFreshByte = 0xCD;  // new blocks: contents must not be relied on
constexpr unsigned char kDeadByte = 0xDD;   // released blocks, until free() takes them

void* BW_CALL hostAllocate(uint32_t count) {
  Heap& h = heap();
  ++h.stats.allocations;
  h.stats.bytesRequested += count;
  if (h.failAt != 0 && h.stats.allocations == h.failAt) {
    h.failAt = 0;
    h.failed = true;
    return nullptr;
  }
  void* block = std::malloc(count == 0 ? 1 : count);
  if (block == nullptr) return nullptr;
  std::memset(block, kFreshByte, count);
  h.live.insert(block);
  ++h.stats.outstanding;
  return block;
}

void BW_CALL hostRelease(void* block) {
  Heap& h = heap();
  auto it = h.live.find(block);
  if (it == h.live.end()) {
    ++h.stats.foreignReleases;
    return;  // never free what we did not hand out
  }
  h.live.erase(it);
  --h.stats.outstanding;
  // The size is not tracked; poisoning the first bytes catches most reuse.
  std::memset(block, kDeadByte, 1);
  std::free(block);
}

// ---------------------------------------------------------------------------
// Host handles.

std::unordered_map<uint32_t, TestHost*>& hosts() {
  static std::unordered_map<uint32_t, TestHost*> map;
  return map;
}

uint32_t BW_CALL hostCallback(uint32_t handle, uint32_t code, void* a1, void* a2, void* a3,
                              void* a4, void* a5) {
  auto it = hosts().find(handle);
  if (it == hosts().end()) {
    std::fprintf(stderr, "test host: callback with unknown handle %u (%s)\n", handle,
                 codeName(code).c_str());
    std::abort();
  }
  return it->second->serve(code, a1, a2, a3, a4, a5);
}

// ---------------------------------------------------------------------------
// The shape of each service: what its argument pairs carry.

enum class Pair { None, TextIn, ExactText, Buffer };
enum class Fifth { None, Occurrence, Flags };

struct Shape {
  uint32_t code;
  Pair first;   // a1, a2
  Pair second;  // a3, a4
  Fifth fifth;  // a5
};

constexpr Shape kShapes[] = {
    {MRMN, Pair::TextIn, Pair::None, Fifth::None},
    {MRMV, Pair::TextIn, Pair::None, Fifth::None},
    {MRMA, Pair::TextIn, Pair::None, Fifth::None},
    {MRVt, Pair::TextIn, Pair::None, Fifth::None},
    {MRfT, Pair::TextIn, Pair::None, Fifth::Flags},
    {MTag, Pair::Buffer, Pair::None, Fifth::None},
    {MTPm, Pair::TextIn, Pair::Buffer, Fifth::Occurrence},
    {MTBd, Pair::Buffer, Pair::None, Fifth::None},
    {MFAr, Pair::TextIn, Pair::Buffer, Fifth::Occurrence},
    {MGPr, Pair::TextIn, Pair::Buffer, Fifth::None},
    {MSPr, Pair::TextIn, Pair::TextIn, Fifth::None},
    {MRPr, Pair::TextIn, Pair::None, Fifth::None},
    {MSPV, Pair::TextIn, Pair::TextIn, Fifth::None},
    {MSEI, Pair::TextIn, Pair::TextIn, Fifth::None},
    {MWtS, Pair::ExactText, Pair::None, Fifth::None},
    {MYld, Pair::None, Pair::None, Fifth::None},
};

const Shape* shapeOf(uint32_t code) {
  for (const Shape& shape : kShapes)
    if (shape.code == code) return &shape;
  return nullptr;
}

// Decodes a text handed to the host; ExactText counts no terminator.
void decodeText(Pair kind, void* bytes, void* count, std::string& text, uint32_t& rawCount,
                bool& terminated, const void*& pointer) {
  pointer = bytes;
  if (bytes == nullptr || count == nullptr) return;
  rawCount = *static_cast<const uint32_t*>(count);
  const char* p = static_cast<const char*>(bytes);
  uint32_t length = kind == Pair::ExactText ? rawCount : (rawCount == 0 ? 0 : rawCount - 1);
  text.assign(p, length);
  terminated = p[length] == '\0';
}

constexpr uint32_t kRefusal = MUnF;  // any non-zero answer is a failure

}  // namespace

// ---------------------------------------------------------------------------

std::string codeName(uint32_t code) {
  char letters[4] = {static_cast<char>(code >> 24), static_cast<char>(code >> 16),
                     static_cast<char>(code >> 8), static_cast<char>(code)};
  bool printable = std::all_of(letters, letters + 4, [](char c) {
    return std::isprint(static_cast<unsigned char>(c)) != 0;
  });
  if (printable) return std::string(letters, 4);
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08X", code);
  return hex;
}

bool NoCaseLess::operator()(const std::string& a, const std::string& b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) <
           std::tolower(static_cast<unsigned char>(y));
  });
}

static bool equalNoCase(const std::string& a, const std::string& b) {
  NoCaseLess less;
  return !less(a, b) && !less(b, a);
}

std::string HostCall::describe() const {
  std::string out = codeName(code) + " -> " + (answer == 0 ? "0" : codeName(answer));
  for (int i = 0; i < 2; ++i)
    if (textCount[i] != 0) out += " text" + std::to_string(i + 1) + "=\"" + text[i] + "\"";
  if (offeredSize != 0) out += " offered=" + std::to_string(offeredSize);
  return out;
}

std::vector<HostCall> Result::callsOf(uint32_t code) const {
  std::vector<HostCall> out;
  for (const HostCall& c : calls)
    if (c.code == code) out.push_back(c);
  return out;
}

std::string Result::trace() const {
  std::string out;
  for (const HostCall& c : calls) {
    if (!out.empty()) out += ' ';
    out += codeName(c.code);
  }
  return out;
}

HeapStats heapStats() { return heap().stats; }

// ---------------------------------------------------------------------------

TestHost::TestHost(const std::string& modulePath) : modulePath_(modulePath) {
  static uint32_t nextHandle = 0x48000001u;
  handle_ = nextHandle++;
  hosts()[handle_] = this;
}

TestHost::~TestHost() { hosts().erase(handle_); }

std::string TestHost::defaultModulePath() {
  if (const char* path = std::getenv("BRINDLE_MODULE_PATH")) return path;
#ifdef BRINDLE_MODULE_PATH
  return BRINDLE_MODULE_PATH;
#else
  return "libbrindlework.so";
#endif
}

long TestHost::outstandingBlocks() { return heap().stats.outstanding; }

void TestHost::refuse(uint32_t code, const std::string& name) { refusals_.emplace_back(code, name); }
void TestHost::alwaysTooSmall(uint32_t code, uint32_t demanded) {
  tooSmall_.emplace_back(code, demanded);
}
void TestHost::overstateLength(uint32_t code, uint32_t extra) {
  overstated_.emplace_back(code, extra);
}
void TestHost::failAllocationAt(uint64_t k) { heap().failAt = k == 0 ? 0 : heap().stats.allocations + k; }
void TestHost::clearSwitches() {
  refusals_.clear();
  tooSmall_.clear();
  overstated_.clear();
  heap().failAt = 0;
}

uint32_t TestHost::init() { return initResult().result; }
Result TestHost::initResult() { return call(MIni); }

Result TestHost::runTag(const std::string& name, const NamedValues& params,
                        const std::optional<std::string>& tagBody) {
  tagName = name;
  parameters = params;
  body = tagBody;
  return call(MTag);
}

Result TestHost::renderProperties() { return call(MGPr); }

Result TestHost::storeProperties(const NamedValues& form) {
  formArguments = form;
  return call(MSPr);
}

Result TestHost::request(uint32_t selector) { return call(selector); }

Result TestHost::runInProcess(uint32_t selector, const ModuleFunction& fn) {
  return call(selector, &fn);
}

HostAllocateFn TestHost::allocateFunction() { return hostAllocate; }
HostReleaseFn TestHost::releaseFunction() { return hostRelease; }

Result TestHost::call(uint32_t selector, const ModuleFunction* fn) {
  Result result;
  ModuleRequest record;
  std::memset(&record, 0xEE, sizeof record);  // reserved fields: not for the module
  record.hostHandle = handle_;
  record.selector = selector;
  record.hostCallback = hostCallback;
  record.hostAllocate = hostAllocate;
  record.hostRelease = hostRelease;

  Heap& h = heap();
  h.failed = false;
  long outstandingBefore = h.stats.outstanding;
  long foreignBefore = h.stats.foreignReleases;
  current_ = &result;
  failureSeen_ = false;
  result.result = fn != nullptr ? (*fn)(&record) : moduleEntry(modulePath_)(&record);
  current_ = nullptr;
  result.blocksLeft = h.stats.outstanding - outstandingBefore;
  result.foreignReleases = h.stats.foreignReleases - foreignBefore;
  result.allocationFailed = h.failed;
  h.failAt = 0;  // an armed failure belongs to one request only
  return result;
}

bool TestHost::refused(uint32_t code, const std::string& firstText) const {
  for (const auto& [refusedCode, name] : refusals_)
    if (refusedCode == code && (name.empty() || name == firstText)) return true;
  return false;
}

const NamedValue* TestHost::findNamed(const NamedValues& list, const std::string& name,
                                      int32_t occurrence) {
  int32_t seen = 0;
  for (const NamedValue& entry : list)
    if (equalNoCase(entry.name, name) && seen++ == occurrence) return &entry;
  return nullptr;
}

uint32_t TestHost::answerBuffer(HostCall& entry, uint32_t code,
                                const std::optional<std::string>& value, void* buffer,
                                void* size) {
  if (size == nullptr) return kRefusal;
  uint32_t& slot = *static_cast<uint32_t*>(size);
  entry.offeredSize = slot;
  if (!value) return kRefusal;
  uint32_t length = static_cast<uint32_t>(value->size());
  for (const auto& [tooSmallCode, demanded] : tooSmall_) {
    if (tooSmallCode != code) continue;
    slot = demanded != 0 ? demanded : std::max(length, entry.offeredSize + 1);
    return MBtS;
  }
  if (length > slot) {
    slot = length;
    return MBtS;
  }
  if (buffer == nullptr && length != 0) return kRefusal;
  if (length != 0) std::memcpy(buffer, value->data(), length);
  slot = length;
  for (const auto& [overstatedCode, extra] : overstated_)
    if (overstatedCode == code) slot = entry.offeredSize + extra;
  return 0;
}

uint32_t TestHost::serve(uint32_t code, void* a1, void* a2, void* a3, void* a4, void* a5) {
  Result scratch;
  Result& r = current_ != nullptr ? *current_ : scratch;
  HostCall entry;
  entry.code = code;
  void* args[5] = {a1, a2, a3, a4, a5};
  for (int i = 0; i < 5; ++i) entry.argNull[i] = args[i] == nullptr;
  entry.allocationsBefore = heap().stats.allocations;
  if (heap().failed) ++r.callsAfterAllocationFailure;

  const Shape* shape = shapeOf(code);
  if (shape == nullptr) {
    entry.answer = MUnF;
    r.calls.push_back(entry);
    return entry.answer;
  }
  if (shape->first == Pair::TextIn || shape->first == Pair::ExactText)
    decodeText(shape->first, a1, a2, entry.text[0], entry.textCount[0], entry.textTerminated[0],
               entry.textPointer[0]);
  if (shape->second == Pair::TextIn)
    decodeText(shape->second, a3, a4, entry.text[1], entry.textCount[1], entry.textTerminated[1],
               entry.textPointer[1]);
  if (shape->fifth == Fifth::Occurrence && a5 != nullptr)
    entry.occurrence = *static_cast<const int32_t*>(a5);
  if (shape->fifth == Fifth::Flags && a5 != nullptr)
    entry.flags = *static_cast<const uint32_t*>(a5);

  const std::string& name = entry.text[0];
  uint32_t answer = 0;
  if (refused(code, name)) {
    // Buffer exchanges still report the size they were offered.
    if (shape->first == Pair::Buffer && a2 != nullptr) entry.offeredSize = *static_cast<uint32_t*>(a2);
    if (shape->second == Pair::Buffer && a4 != nullptr) entry.offeredSize = *static_cast<uint32_t*>(a4);
    answer = kRefusal;
  } else {
    switch (code) {
      case MRMN: case MRMV: case MRMA: case MRVt:
        registrations.emplace_back(code, name);
        break;
      case MRfT:
        registeredTags.emplace_back(name, entry.flags);
        break;
      case MTag:
        answer = answerBuffer(entry, code, tagName, a1, a2);
        break;
      case MTBd:
        answer = answerBuffer(entry, code, body, a1, a2);
        break;
      case MTPm:
      case MFAr: {
        const NamedValue* found = findNamed(code == MTPm ? parameters : formArguments, name,
                                            entry.occurrence);
        answer = answerBuffer(entry, code, found ? std::optional<std::string>(found->value)
                                                 : std::nullopt, a3, a4);
        break;
      }
      case MGPr: {
        auto it = regionProperties.find(name);
        answer = answerBuffer(entry, code, it != regionProperties.end()
                                               ? std::optional<std::string>(it->second)
                                               : std::nullopt, a3, a4);
        break;
      }
      case MSPr: {
        // Replace the stored entry so the key takes the spelling just written.
        regionProperties.erase(name);
        regionProperties.emplace(name, entry.text[1]);
        break;
      }
      case MRPr:
        regionProperties.erase(name);
        break;
      case MSPV:
        pageVariables[name] = entry.text[1];
        r.pageVariables[name] = entry.text[1];
        break;
      case MSEI:
        r.errors.push_back({entry.text[0], entry.text[1]});
        break;
      case MWtS:
        r.writes.push_back(entry.text[0]);
        r.output += entry.text[0];
        break;
      case MYld:
        ++r.yields;
        break;
      default:
        break;
    }
  }
  entry.answer = answer;
  r.calls.push_back(entry);
  return answer;
}

}  // namespace bw::test
