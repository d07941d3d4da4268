// The Content-Type of a static file, by its extension.
#ifndef BRINDLE_ENGINE_CONTENT_TYPES_H
#define BRINDLE_ENGINE_CONTENT_TYPES_H

#include <string_view>

namespace bw {

// "application/octet-stream" for extensions not in the table.
std::string_view contentTypeFor(std::string_view fileName);

}  // namespace bw

#endif
