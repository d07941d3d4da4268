// A host for the real module that several threads use at once.
//
// The shared test host keeps one log and one counted heap for the whole
// process; this one keeps everything per thread, and takes no lock anywhere:
// a lock in the host would order the module's accesses from different
// threads and hide from the thread sanitizer the very races it looks for.
// Each thread owns one Session (its host handle); a call's script and answer
// live in that session only.  The heap is malloc with a per-thread count of
// blocks, so a block released on another thread than the one that took it,
// or kept past its call, shows as a count that does not come back to zero.
#ifndef BRINDLEWORK_TESTS_THREADS_CONCURRENT_HOST_H
#define BRINDLEWORK_TESTS_THREADS_CONCURRENT_HOST_H

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "brindlework/module.h"
#include "support/test_host.h"  // NamedValue(s) only

namespace bw::test {

// What the host tells the module during one request.
struct CallScript {
  uint32_t selector = MTag;
  std::string tagName;
  NamedValues parameters;
  std::optional<std::string> body;  // nullopt: MTBd fails
  NamedValues form;                 // MFAr
  std::map<std::string, std::string> properties;  // MGPr answers, exact names
};

// Everything the module did during one request, in a form that compares.
struct CallAnswer {
  uint32_t result = 0;
  std::string output;
  std::vector<std::pair<std::string, std::string>> reports;    // message, hint
  std::vector<std::pair<std::string, std::string>> variables;  // MSPV in order
  std::vector<std::pair<std::string, std::string>> stored;     // MSPr in order
  std::string trace;  // the codes of every callback, in order
  long blocksLeft = 0;

  bool operator==(const CallAnswer& other) const;
  std::string describe() const;
};

// Loads the module once (dlopen, as an engine does) and sends MIni from the
// calling thread; call before any thread starts.  Returns MIni's answer.
uint32_t initialiseModule();
// Sends MIni again from the calling thread, as a host may at any time.
uint32_t reinitialiseModule();

// One thread's host.  Make every session before the threads start: the
// table of sessions is only read while they run.
class Session {
 public:
  Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  CallAnswer run(const CallScript& script);

  // The module's callback; public for the C trampoline only.
  uint32_t serve(uint32_t code, void* a1, void* a2, void* a3, void* a4, void* a5);

 private:
  uint32_t handle_;
  const CallScript* script_ = nullptr;
  CallAnswer* answer_ = nullptr;
};

}  // namespace bw::test

#endif
