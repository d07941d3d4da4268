// SwitchBody: the body of a qelSwitch and the selection of its cases.
//
// A case is a "<qelCase value=\"...\">" tag written either as a closed block
// (its content is exactly what it gives) or as an open label (from which the
// content runs on to the end of the body, through later labels).
// "<qelCase>" without value is the default.
#ifndef BRINDLEWORK_TAGS_SWITCH_BODY_H
#define BRINDLEWORK_TAGS_SWITCH_BODY_H

#include <cstdint>
#include <string_view>

#include "foundation/qel_string.h"
#include "tags/tag_body.h"

namespace bw {

enum class CaseKind { Matching, Default, Other };

// Classifies a token's text as a case tag for the switch value: the case
// value is everything between the first double quote after "value" plus one
// byte and the last double quote before the final ">", backslash escapes
// decoded.  Malformed case tags are Other.
CaseKind classifyCase(const TokenText& tagText, std::string_view switchValue, bool caseSensitive);

// Whether a tag text starts with "<qelCase", ignoring case.
bool isCaseTag(const TokenText& tagText);

class SwitchBody : public TagBody {
 public:
  explicit SwitchBody(const QelString& body);
  // Over bytes the caller keeps, as TagBody(TokenText, bool) describes.
  explicit SwitchBody(TokenText bytes);
  ~SwitchBody() override;

  // The text the switch value selects, trimmed of blanks at both ends; empty
  // when no case matches and there is no default.
  QelString select(std::string_view value, bool caseSensitive);
};

}  // namespace bw

#endif
