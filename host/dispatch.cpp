// The selector table and the three requests that do real work: MIni
// (install the host's allocator, register the module and its tags), MTag
// (find the tag's handler by name and run it) and the properties page.
//
// Every request gets a fresh, empty output text that lives only for the call;
// whatever it holds when the action returns is handed to the host, also when
// a handler reports an error, so a handler may still contribute text.
#include "host/dispatch.h"

#include "foundation/allocator.h"
#include "foundation/name_key.h"
#include "host/host_exchange.h"
#include "host/module_constants.h"
#include "host/parameters.h"
#include "host/properties_page.h"
#include "host/tag_table.h"

namespace bw {

namespace {

using Action = uint32_t (*)(const ModuleRequest* request, QelString& output);

uint32_t initialise(const ModuleRequest* request, QelString&) {
  installAllocatorHooks(request->hostAllocate, request->hostRelease);
  // From here on the host may call from several threads at once: the texts
  // every call shares are only read from now on.
  freezeLoadTimeTexts();
  // Every registration is made even after one fails.
  bool registered = true;
  registered &= registerModuleName(request, moduleDisplayName());
  registered &= registerModuleVersion(request, QelString(kModuleVersion));
  registered &= registerCompany(request, QelString(kModuleCompany));
  registered &= registerVersionTracker(request, versionTrackerUrl());
  for (uint32_t row = 0; row < kTagCount; ++row)
    registered &= registerTag(request, tagKey(row).text(), kTagTable[row].registrationFlags);
  return registered ? 0 : MUnk;
}

uint32_t processTag(const ModuleRequest* request, QelString& output) {
  // The name is only looked up, so it stays in the exchange's buffer.
  FetchedText name;
  fetchInto(request, MTag, nullptr, nullptr, name);  // a failed query leaves the empty name
  if (!isTagEnabled(request, name.data(), name.size())) return 0;
  uint32_t row = findTagRow(name.data(), name.size());
  if (row == kTagCount) return 0;  // not one of ours: leave the page alone
  const TagRow& tag = kTagTable[row];
  return tag.handler(request, output, tag.mode);
}

uint32_t renderPage(const ModuleRequest* request, QelString& output) {
  output = renderPropertiesPage(request);
  return 0;
}

uint32_t storePage(const ModuleRequest* request, QelString&) {
  storeProperties(request);
  return 0;
}

uint32_t terminate(const ModuleRequest*, QelString&) { return 0; }

struct SelectorRow {
  uint32_t selector;
  Action action;
};

constexpr SelectorRow kSelectors[] = {
    {MIni, initialise}, {MTag, processTag}, {MGPr, renderPage},
    {MSPr, storePage},  {MTrm, terminate},
};

}  // namespace

uint32_t dispatchRequest(const ModuleRequest* request) {
  for (const SelectorRow& row : kSelectors) {
    if (row.selector != request->selector) continue;
    QelString output;
    uint32_t result = row.action(request, output);
    writeOutput(request, output);  // its answer does not change the result
    return result;
  }
  return MUnF;  // MAct and everything unknown
}

}  // namespace bw
