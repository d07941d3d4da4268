// Request fields from query strings and url-encoded form bodies, in the
// order they were sent, so that repeated names keep their order.
#ifndef BRINDLE_ENGINE_WEB_FORMS_H
#define BRINDLE_ENGINE_WEB_FORMS_H

#include <string>
#include <string_view>

#include "engine/host_session.h"

namespace bw {

// "%41" is "A", "+" a space; a malformed "%" escape stays as written.
std::string decodeUrlComponent(std::string_view text);

// The same for a request path, where "+" is itself.
std::string decodeUrlPath(std::string_view text);

// Every byte but letters, digits and "-_.~/" as %XX.
std::string encodeUrlComponent(std::string_view text);

// Appends the fields of "a=1&b=2&a=3"; a name without "=" has the empty value.
void appendUrlEncodedFields(std::string_view text, NamedValues& out);

// An unguessable token of 32 hex digits from the system's random source.
std::string randomToken();

// Equal texts, compared in time that does not depend on where they differ.
bool tokensEqual(std::string_view a, std::string_view b);

}  // namespace bw

#endif
