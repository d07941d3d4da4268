// The shape every tag handler has, and the handlers the tag table dispatches
// to.  A handler fills the output (which the dispatcher hands to the host
// whatever the result) and returns 0 or a four-character result code.  mode
// is 0 or 1 for the two shared handlers and 0 for the rest.
#ifndef BRINDLEWORK_HOST_TAG_HANDLERS_H
#define BRINDLEWORK_HOST_TAG_HANDLERS_H

#include <cstdint>

#include "brindlework/module.h"
#include "foundation/qel_string.h"

namespace bw {

using TagHandler = uint32_t (*)(const ModuleRequest* request, QelString& output, int mode);

uint32_t handleComment(const ModuleRequest* request, QelString& output, int mode);    // host/
uint32_t handleCondition(const ModuleRequest* request, QelString& output, int mode);  // tags/
uint32_t handleSwitch(const ModuleRequest* request, QelString& output, int mode);     // tags/
uint32_t handleLoop(const ModuleRequest* request, QelString& output, int mode);       // tags/
uint32_t handleString(const ModuleRequest* request, QelString& output, int mode);     // tags/
uint32_t handleMath(const ModuleRequest* request, QelString& output, int mode);       // decimal/

}  // namespace bw

#endif
