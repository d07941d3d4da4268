// The engine's side of the callback protocol.
//
// A HostSession answers every service the module asks for while one request
// is in progress: it hands out the current tag's name, parameters and body,
// form fields, region properties, and collects output, page variables, error
// reports and registrations.  The record carries only a 32-bit handle, so
// sessions are found through a small registry keyed by that handle.
//
// Texts handed to the engine come with a count that includes the terminating
// 0 byte, except for MWtS, whose count is the exact length.  Texts the module
// asks for are copied into its buffer when they fit; otherwise the answer is
// MBtS with the size needed stored, and the module asks once more.
//
// A tag call makes several exchanges per tag, so an exchange copies nothing
// on the engine's side: names arrive as views of the module's bytes and are
// compared in place, and answers are copied straight from where they stand.
#ifndef BRINDLE_ENGINE_HOST_SESSION_H
#define BRINDLE_ENGINE_HOST_SESSION_H

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "brindlework/module.h"
#include "engine/outside_text.h"
#include "engine/tag_parameters.h"

namespace bw {

class ModuleLibrary;

// A host answer for a malformed request (a text whose count is 0 or whose
// terminator is missing, a null pointer where one is needed).
constexpr uint32_t kHostBadArgument = BW_FOURCC('M', 'B', 'a', 'd');
// A host answer for a service that has nothing to give in this request.
constexpr uint32_t kHostNotAvailable = BW_FOURCC('M', 'N', 'A', 'v');

struct NamedValue {
  std::string name;
  std::string value;
};
using NamedValues = std::vector<NamedValue>;

// The value of the occurrence-th entry named `name` (ASCII case ignored).
inline const std::string* findNamed(const NamedValues& list, std::string_view name,
                                    size_t occurrence = 0) {
  return findNamedIn(list, name, occurrence);
}

// What the module is told about the tag it processes.
struct TagInvocation {
  std::string_view name;  // as spelled in the page
  const TagParameters* parameters = nullptr;
  std::string_view body;
  bool hasBody = false;
};

// The properties of one region, with the changes made during this session
// kept in order so that they can be stored in one transaction.
struct RegionProperties {
  std::string region;
  std::map<std::string, std::string> values;
  std::vector<std::pair<std::string, std::optional<std::string>>> changes;  // nullopt: removed
};

struct ModuleReport {
  std::string message;
  std::string hint;
};

class HostSession {
 public:
  HostSession();
  ~HostSession();
  HostSession(const HostSession&) = delete;
  HostSession& operator=(const HostSession&) = delete;

  uint32_t handle() const { return handle_; }

  // Inputs, set by the caller before a request; all may stay null.
  ModuleLibrary* registering = nullptr;  // only during MIni
  const TagInvocation* tag = nullptr;
  const NamedValues* form = nullptr;
  const RegionProperties* properties = nullptr;  // read by MGPr
  RegionProperties* edits = nullptr;  // written by MSPr and MRPr; null: they are refused
  std::map<std::string, std::string>* variables = nullptr;
  // Optional: the marks of variables set from outside values.  A variable the
  // tag sets is marked when `tagInputFromOutside`, and unmarked otherwise.
  OutsideMarks* outsideVariables = nullptr;
  bool tagInputFromOutside = false;

  // Outputs of the request in progress, cleared by beginRequest.
  std::string output;
  std::vector<ModuleReport> reports;
  uint64_t yields = 0;
  uint64_t exchanges = 0;  // service calls made by the module, for profiling
  bool registrationRefused = false;

  void beginRequest();

  // The callback the record carries.
  static uint32_t BW_CALL serve(uint32_t handle, uint32_t code, void* a1, void* a2, void* a3,
                                void* a4, void* a5);

 private:
  // The services other than those serve() answers itself; kept apart, out
  // of line, so that the frequent ones cost no more than they need.
  uint32_t answer(uint32_t code, void* a1, void* a2, void* a3, void* a4, void* a5);
  [[gnu::noinline]] uint32_t answerProperty(void* a1, void* a2, void* a3, void* a4);  // MGPr
  [[gnu::noinline]] uint32_t appendOutput(void* a1, void* a2);                        // MWtS
  void markVariable(std::string_view name);  // after MSPV set it
  uint32_t handle_;
  std::string key_;  // a property name as a map key, reused so that lookups do not allocate
};

}  // namespace bw

#endif
