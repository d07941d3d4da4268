// A scriptable host for the real module, shared by every protocol, tag and
// page test.
//
// TestHost loads build/libbrindlework.so with dlopen exactly as a page engine
// would and answers every service code of the callback protocol from state a
// test sets up beforehand: the tag's name, its parameters (an ordered list;
// repeated names give occurrences 0, 1, 2, ...; names match regardless of
// ASCII letter case), its body, submitted form arguments, region properties
// and page variables.  Everything the module hands back (output, error
// reports, page variables, stored properties, registrations, yields) is
// recorded, and every callback is logged with its arguments decoded.
//
// The host also lends the module its allocator.  The heap counts blocks, so a
// test can assert that a request released everything it allocated
// (Result::blocksLeft == 0), and can be told to fail at its k-th allocation.
//
// Typical use in a tag test:
//
//   bw::test::TestHost host;
//   ASSERT_EQ(host.init(), 0u);
//   auto r = host.runTag("qelIf", {{"lhs", "1"}, {"rhs", "1"}}, "yes");
//   EXPECT_EQ(r.result, 0u);
//   EXPECT_EQ(r.output, "yes");
//   EXPECT_TRUE(r.errors.empty());
//   EXPECT_EQ(r.blocksLeft, 0);
//
// Send init() (MIni) before anything else: only then does the module
// allocate from the host, so only then are blocks counted.  Scripted state
// (parameters, body, properties, ...) stays as it was left between requests;
// runTag replaces the tag's name, parameters and body each time.  The
// switches (refuse, alwaysTooSmall, failAllocationAt) let a test play a
// misbehaving or exhausted host.
//
// One module is loaded per process and stays loaded; several TestHost objects
// may exist one after another (each gets its own host handle), but the
// module's allocator hooks are process-wide, so the heap is shared.
#ifndef BRINDLEWORK_TESTS_SUPPORT_TEST_HOST_H
#define BRINDLEWORK_TESTS_SUPPORT_TEST_HOST_H

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "brindlework/module.h"

namespace bw::test {

// "MTPm" for 0x4D54506D; codes that are not four printable letters are shown
// in hexadecimal.
std::string codeName(uint32_t code);

// One named value in the order the host keeps it (parameters, form fields).
struct NamedValue {
  std::string name;
  std::string value;
};
using NamedValues = std::vector<NamedValue>;

// Case-insensitive ordering for the host's name lookups.
struct NoCaseLess {
  bool operator()(const std::string& a, const std::string& b) const;
};
using NoCaseMap = std::map<std::string, std::string, NoCaseLess>;

// One callback as the module made it, with its arguments decoded according
// to the code's shape in the protocol.
struct HostCall {
  uint32_t code = 0;
  uint32_t answer = 0;         // what the host returned
  bool argNull[5] = {};        // which of a1..a5 were null pointers
  // Texts handed to the host (a1,a2 and a3,a4), decoded with the counts as
  // the protocol defines them.  textCount is the raw count the module passed.
  std::string text[2];
  uint32_t textCount[2] = {};
  bool textTerminated[2] = {};  // a 0 byte followed the text's bytes
  const void* textPointer[2] = {};  // where the bytes were (valid only during the call)
  // Buffer exchanges: the size the module offered on this call.
  uint32_t offeredSize = 0;
  // MTPm / MFAr: the occurrence the module asked for; MRfT: the flags.
  int32_t occurrence = 0;
  uint32_t flags = 0;
  // Number of host allocations made before this call within the request.
  uint64_t allocationsBefore = 0;

  std::string describe() const;  // for failure messages
};

struct ErrorReport {
  std::string message;
  std::string hint;
};

// Everything one call of ProcessQELRequest produced.
struct Result {
  uint32_t result = 0;
  std::string output;               // every MWtS of the request, joined
  std::vector<std::string> writes;  // each MWtS on its own
  std::vector<ErrorReport> errors;  // every MSEI of the request
  std::map<std::string, std::string> pageVariables;  // every MSPV of the request
  int yields = 0;                                    // MYld calls
  std::vector<HostCall> calls;                       // the complete log, in order
  long blocksLeft = 0;      // host blocks allocated by the request and still held
  long foreignReleases = 0; // releases of blocks the host never handed out
  bool allocationFailed = false;  // the failure armed by failAllocationAt fired
  // Callbacks made after the failing allocation (a sound module makes none).
  int callsAfterAllocationFailure = 0;

  // No block left behind and no release of a foreign block: what every
  // request must satisfy (EXPECT_TRUE(r.clean()) << r.trace()).
  bool clean() const { return blocksLeft == 0 && foreignReleases == 0; }
  // The calls with this code, in order.
  std::vector<HostCall> callsOf(uint32_t code) const;
  // The codes of all calls, as names, joined by spaces ("MTag MGPr MWtS").
  std::string trace() const;
};

// The allocator lent to the module, shared by every TestHost of the process.
struct HeapStats {
  long outstanding = 0;         // blocks handed out and not yet released
  uint64_t allocations = 0;     // successful and failed hostAllocate calls
  uint64_t bytesRequested = 0;  // sum of the sizes asked for
  long foreignReleases = 0;     // hostRelease of an address never handed out
};
HeapStats heapStats();

class TestHost {
 public:
  // The module is loaded at the first request sent to it (once per
  // process).  The default path is the module this build produced.
  explicit TestHost(const std::string& modulePath = defaultModulePath());
  ~TestHost();
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;

  static std::string defaultModulePath();

  // --- Requests ----------------------------------------------------------

  // MIni with this host's allocator.  Returns the module's result.
  uint32_t init();
  Result initResult();

  // MTag for one tag.  The parameters and body replace the scripted ones
  // for this call; body nullopt makes MTBd fail (the tag has no body).
  Result runTag(const std::string& name, const NamedValues& params = {},
                const std::optional<std::string>& body = std::string());

  // MGPr: renders the properties page; the page is Result::output.
  Result renderProperties();
  // MSPr with the given submitted form.
  Result storeProperties(const NamedValues& form);

  // Any selector, with the scripted state as it is.
  Result request(uint32_t selector);

  // Runs fn in place of the loaded module for one request with this
  // selector, with the same record, callback, log and block count.  For
  // tests that link module code statically and call it directly; they
  // install the host's allocator themselves (allocateFunction and
  // releaseFunction), since a static copy has its own allocator hooks.
  using ModuleFunction = std::function<uint32_t(ModuleRequest*)>;
  Result runInProcess(uint32_t selector, const ModuleFunction& fn);
  static HostAllocateFn allocateFunction();
  static HostReleaseFn releaseFunction();

  // --- Scripted state (read by the module's queries) ---------------------

  std::optional<std::string> tagName;  // MTag fails when unset
  NamedValues parameters;              // MTPm, ordered, names without case
  std::optional<std::string> body;     // MTBd fails when unset
  NamedValues formArguments;           // MFAr
  NoCaseMap regionProperties;          // MGPr, MSPr, MRPr
  std::map<std::string, std::string> pageVariables;  // MSPV, across requests

  // --- What the module registered at MIni ---------------------------------

  std::vector<std::pair<uint32_t, std::string>> registrations;  // code, text
  std::vector<std::pair<std::string, uint32_t>> registeredTags;  // name, flags

  // --- Switches -----------------------------------------------------------

  // Answers failure to the service code; with a name, only to calls whose
  // first text is that name (exact bytes), e.g. refuse(MRfT, "qelLoop").
  void refuse(uint32_t code, const std::string& name = std::string());
  // Answers MBtS to every buffer exchange of the code, however large the
  // buffer, so the module's second attempt fails as well.  The size stated
  // is demanded when it is not 0, else one byte more than was offered.
  void alwaysTooSmall(uint32_t code, uint32_t demanded = 0);
  // Answers buffer exchanges of the code successfully but states a length
  // this many bytes beyond the buffer offered, as a faulty host might.
  void overstateLength(uint32_t code, uint32_t extra);
  // Makes the k-th hostAllocate of the next request (1 = the first) return
  // null.  0 disarms.
  void failAllocationAt(uint64_t k);
  // Undoes every switch.
  void clearSwitches();

  // Blocks currently held by the module on the host's heap.
  static long outstandingBlocks();

  uint32_t handle() const { return handle_; }

  // The callback the module calls; public only for the C trampoline.
  uint32_t serve(uint32_t code, void* a1, void* a2, void* a3, void* a4, void* a5);

 private:
  Result call(uint32_t selector, const ModuleFunction* fn = nullptr);
  bool refused(uint32_t code, const std::string& firstText) const;
  uint32_t answerBuffer(HostCall& entry, uint32_t code, const std::optional<std::string>& value,
                        void* buffer, void* size);
  static const NamedValue* findNamed(const NamedValues& list, const std::string& name,
                                     int32_t occurrence);

  std::string modulePath_;
  uint32_t handle_;
  std::vector<std::pair<uint32_t, std::string>> refusals_;
  std::vector<std::pair<uint32_t, uint32_t>> tooSmall_;    // code, demanded size
  std::vector<std::pair<uint32_t, uint32_t>> overstated_;  // code, extra bytes
  Result* current_ = nullptr;
  bool failureSeen_ = false;
};

}  // namespace bw::test

#endif
