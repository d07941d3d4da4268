// Stand-ins for the tag handlers that live in other subsystems, so the module
// links and answers honestly while one of them is absent from a build.
//
// Each is a weak definition: the real handler, linked into the module, takes
// its place without any change here.  A stand-in never pretends to work: it
// reports the tag as unavailable and answers MUnF.
#include "host/parameters.h"
#include "host/tag_handlers.h"

namespace bw {

namespace {

uint32_t reportUnavailable(const ModuleRequest* request) {
  setErrorInfo(request, QelString("This tag is not available in this build."),
               QelString("Ask the site administrator for a build of the module that includes it."));
  return MUnF;
}

}  // namespace

__attribute__((weak)) uint32_t handleCondition(const ModuleRequest* request, QelString&, int) {
  return reportUnavailable(request);
}

__attribute__((weak)) uint32_t handleSwitch(const ModuleRequest* request, QelString&, int) {
  return reportUnavailable(request);
}

__attribute__((weak)) uint32_t handleLoop(const ModuleRequest* request, QelString&, int) {
  return reportUnavailable(request);
}

__attribute__((weak)) uint32_t handleString(const ModuleRequest* request, QelString&, int) {
  return reportUnavailable(request);
}

__attribute__((weak)) uint32_t handleMath(const ModuleRequest* request, QelString&, int) {
  return reportUnavailable(request);
}

}  // namespace bw
