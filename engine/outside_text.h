// Whether a text holds bytes that came from outside the page.
//
// A request field is chosen by whoever sent the request, and so is any page
// variable a tag set from one.  Such bytes are data: tags compare, count and
// compute on them exactly as sent, but they must never become markup,
// script or a tag in the page.  The engine follows them from the reference
// that brought them in, through the bodies and parameters of the tags that
// received them, to the place where they reach the page, and escapes them
// there (answer_escaping.h has the rules).  An author opts out with
// ${raw:...}, which brings a value in as the page's own.
#ifndef BRINDLE_ENGINE_OUTSIDE_TEXT_H
#define BRINDLE_ENGINE_OUTSIDE_TEXT_H

#include <algorithm>
#include <cstdint>
#include <functional>
#include <set>
#include <string>

namespace bw {

// Ordered, so that combining two is taking the larger.
enum class OutsideText : uint8_t {
  None,     // only the page's own bytes
  Escaped,  // outside bytes, already written so that they stay text in a page
  Exact,    // outside bytes as they were sent
};

inline OutsideText combine(OutsideText a, OutsideText b) { return std::max(a, b); }
inline void addTo(OutsideText& into, OutsideText more) { into = combine(into, more); }

// The names of the page variables whose values came from outside the page.
// A variable is marked when a tag that received outside bytes sets it, and
// unmarked when a tag that received none sets it again.
using OutsideMarks = std::set<std::string, std::less<>>;

}  // namespace bw

#endif
