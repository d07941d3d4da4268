// The string modes that need no position: codecs, case, trimming, joining
// and the length.
#include "foundation/codecs.h"
#include "tags/string_modes.h"
#include "tags/string_parameters.h"

namespace bw {

namespace {
// Blanks removed by the trim modes.
constexpr const char* kTrimSet = " \t\r\n";
}  // namespace

uint32_t urlEncodeMode(const ModuleRequest*, QelString& text, bool) {
  text = urlEncode(text, false);
  return 0;
}

uint32_t urlDecodeMode(const ModuleRequest*, QelString& text, bool) {
  urlDecode(text);
  return 0;
}

uint32_t htmlEncodeMode(const ModuleRequest*, QelString& text, bool) {
  text = htmlEncode(text);
  return 0;
}

uint32_t htmlDecodeMode(const ModuleRequest*, QelString& text, bool) {
  htmlDecode(text);
  return 0;
}

uint32_t toUpperMode(const ModuleRequest*, QelString& text, bool) {
  text.toUpper();
  return 0;
}

uint32_t toLowerMode(const ModuleRequest*, QelString& text, bool) {
  text.toLower();
  return 0;
}

uint32_t prependMode(const ModuleRequest* request, QelString& text, bool) {
  QelString head;
  if (!requireDecodedParameter(request, string_parameter::kStringToPrepend, head)) return MMRP;
  text.prepend(head);
  return 0;
}

uint32_t appendMode(const ModuleRequest* request, QelString& text, bool) {
  QelString tail;
  if (!requireDecodedParameter(request, string_parameter::kStringToAppend, tail)) return MMRP;
  text.append(tail);
  return 0;
}

uint32_t trimLeftMode(const ModuleRequest*, QelString& text, bool) {
  text.trimLeft(kTrimSet);
  return 0;
}

uint32_t trimRightMode(const ModuleRequest*, QelString& text, bool) {
  text.trimRight(kTrimSet);
  return 0;
}

uint32_t trimMode(const ModuleRequest*, QelString& text, bool) {
  text.trimLeft(kTrimSet);
  text.trimRight(kTrimSet);
  return 0;
}

uint32_t getLengthMode(const ModuleRequest*, QelString& text, bool) {
  text = decimalText(text.length());
  return 0;
}

}  // namespace bw
