// ProcessQELRequest, the module's one export, linked only into the shared
// library.
//
// It is the C boundary: no exception may cross it.  When memory runs out
// (the host's allocator answering null, or the runtime heap exhausted) the
// request is abandoned where it stands; unwinding releases every block the
// call took, nothing more is sent to the host, and the host gets MUnk.
#include "brindlework/module.h"
#include "foundation/object.h"
#include "host/dispatch.h"

extern "C" BW_EXPORT uint32_t BW_CALL ProcessQELRequest(ModuleRequest* request) {
  if (request == nullptr) return MUnF;
  try {
    return bw::dispatchRequest(request);
  } catch (const bw::QELObject::MemoryAllocationFailure&) {
    return MUnk;
  } catch (...) {
    return MUnk;
  }
}
