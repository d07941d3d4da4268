// HTTP dates: "Sun, 06 Nov 1994 08:49:37 GMT" out; that form and the two
// older ones HTTP still accepts ("Sunday, 06-Nov-94 08:49:37 GMT" and
// "Sun Nov  6 08:49:37 1994") in.  Always UTC, whatever the machine's zone
// and locale.
#ifndef BRINDLE_ENGINE_HTTP_DATES_H
#define BRINDLE_ENGINE_HTTP_DATES_H

#include <ctime>
#include <string>
#include <string_view>

namespace bw {

std::string formatHttpDate(std::time_t when);

// False when `text` is none of the three forms.
bool parseHttpDate(std::string_view text, std::time_t& when);

}  // namespace bw

#endif
