// qelComment: the tag that vanishes from the page with everything between
// its opening and closing tags.  It reads neither parameters nor body, so a
// comment costs one dispatch and no host exchange of its own.
#include "host/tag_handlers.h"

namespace bw {

uint32_t handleComment(const ModuleRequest* /*request*/, QelString& output, int /*mode*/) {
  output.clear();
  return 0;
}

}  // namespace bw
