// BodyToken has no behaviour of its own; its destructor lives here so the
// class has one home for its vtable.
#include "tags/body_token.h"

namespace bw {

BodyToken::~BodyToken() = default;

}  // namespace bw
