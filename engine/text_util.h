// Small text helpers the engine needs in several places: ASCII case folding,
// HTML escaping for page text, and decoding of HTML entities in the module's
// error reports so that a terminal shows "<qelIf>" rather than "&lt;qelIf&gt;".
#ifndef BRINDLE_ENGINE_TEXT_UTIL_H
#define BRINDLE_ENGINE_TEXT_UTIL_H

#include <cstdint>
#include <string>
#include <string_view>

namespace bw {

inline char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
bool equalsIgnoringCase(std::string_view a, std::string_view b);
bool startsWithIgnoringCase(std::string_view text, std::string_view prefix);
std::string foldedCopy(std::string_view text);

// Appends text with &, <, >, " and ' written as entities.
void appendHtmlEscaped(std::string& out, std::string_view text);
std::string htmlEscaped(std::string_view text);

// Named entities (&lt; &gt; &quot; &amp; &apos; &nbsp;) and numeric ones
// (&#65; &#x41;) become their characters, numeric ones above 127 as UTF-8;
// anything else stays as written.
std::string decodeEntities(std::string_view html);

// "MIPV" for 0x4D495056; bytes outside printable ASCII shown as '?'.
std::string fourCharacterCode(uint32_t code);

}  // namespace bw

#endif
