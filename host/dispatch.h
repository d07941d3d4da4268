// Request dispatch: what the module does for each selector the host sends.
//
// dispatchRequest is the whole of ProcessQELRequest except its guard against
// exceptions, so that it can be linked into tests as well as the module.
#ifndef BRINDLEWORK_HOST_DISPATCH_H
#define BRINDLEWORK_HOST_DISPATCH_H

#include <cstdint>

#include "brindlework/module.h"

namespace bw {

uint32_t dispatchRequest(const ModuleRequest* request);

}  // namespace bw

#endif
