// A parameter's value read in place from the exchange's buffer, with its
// backslash escapes decoded (decimal escapes included).
//
// Conditions and switches read such values on every call, and most are short
// values without escapes: those then need no string of their own, only the
// exchange's stack buffer.  A value with an escape is decoded into a string
// the object owns.
#ifndef BRINDLEWORK_HOST_DECODED_PARAMETER_H
#define BRINDLEWORK_HOST_DECODED_PARAMETER_H

#include <cstring>
#include <string_view>

#include "foundation/codecs.h"
#include "foundation/name_key.h"
#include "host/host_exchange.h"
#include "host/parameters.h"

namespace bw {

class DecodedParameter {
 public:
  DecodedParameter() = default;
  DecodedParameter(const DecodedParameter&) = delete;
  DecodedParameter& operator=(const DecodedParameter&) = delete;

  // The first occurrence of name; false when the host has none (the text
  // stays empty).
  bool fetch(const ModuleRequest* request, const NameKey& name) {
    if (!fetchParameter(request, name, 0, fetched_)) return false;
    text_ = std::string_view(fetched_.data(), fetched_.size());
    if (std::memchr(text_.data(), '\\', text_.size()) != nullptr) {
      decoded_.assign(text_.data(), static_cast<uint32_t>(text_.size()));
      unescapeBackslashes(decoded_, true);
      text_ = std::string_view(decoded_.data(), decoded_.length());
    }
    return true;
  }
  // Valid while this object lives.
  std::string_view text() const { return text_; }

 private:
  FetchedText fetched_;
  QelString decoded_;
  std::string_view text_;
};

}  // namespace bw

#endif
