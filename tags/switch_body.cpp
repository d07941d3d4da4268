// Case classification and selection for qelSwitch.
//
// The walk gives these effects: a closed matching case gives its own content
// only, and the first one wins; closed defaults add their content up until
// a match replaces it; an open matching label throws away what was collected
// and takes everything after it, later labels dropped but their content
// kept, unless a closed case block comes first, whose content is then added
// last; an open default starts collecting without throwing anything away.
#include "tags/switch_body.h"

#include <cstddef>
#include <cstring>

#include "foundation/codecs.h"
#include "foundation/name_key.h"

namespace bw {

namespace {

constexpr const char* kCasePrefix = "<qelCase";
constexpr uint32_t kCasePrefixLength = 8;
constexpr const char* kValueName = "value";
constexpr uint32_t kValueNameLength = 5;
constexpr const char* kBlanks = " \t\r\n";

// The content of a closed block: the texts strictly between it and its end.
TokenText blockContent(const BodyToken* opening) {
  const BodyToken* end = opening->partner;
  if (opening->next == end) return TokenText();
  return TagBody::joinedView(opening->next, end->prev);
}

void append(QelString& result, const TokenText& text) { result.append(text.data(), text.length()); }

}  // namespace

bool isCaseTag(const TokenText& tagText) {
  return tagText.length() >= kCasePrefixLength &&
         sameNameIgnoringCase(tagText.data(), kCasePrefix, kCasePrefixLength);
}

namespace {

bool isBlank(char byte) { return byte == ' ' || byte == '\t' || byte == '\r' || byte == '\n'; }

}  // namespace

CaseKind classifyCase(const TokenText& tagText, std::string_view switchValue, bool caseSensitive) {
  if (!isCaseTag(tagText)) return CaseKind::Other;
  // The tag's text after "<qelCase", read in place between first and last:
  // a case is classified on every qelSwitch call, mostly without a copy.
  const char* first = tagText.data() + kCasePrefixLength;
  const char* last = tagText.data() + tagText.length();
  while (first < last && isBlank(*first)) ++first;
  while (first < last && isBlank(last[-1])) --last;
  if (last - first == 1 && *first == '>') return CaseKind::Default;
  if (static_cast<uint32_t>(last - first) < kValueNameLength ||
      !sameNameIgnoringCase(first, kValueName, kValueNameLength)) {
    return CaseKind::Other;
  }
  // The name and the byte after it, normally "=".
  first = last - first > static_cast<std::ptrdiff_t>(kValueNameLength) ? first + kValueNameLength + 1 : last;
  if (first == last || *first != '"') return CaseKind::Other;
  ++first;
  if (first == last || last[-1] != '>') return CaseKind::Other;
  --last;
  while (first < last && isBlank(last[-1])) --last;
  if (first == last || last[-1] != '"') return CaseKind::Other;
  --last;
  const uint32_t count = static_cast<uint32_t>(last - first);
  const uint32_t options = caseSensitive ? NoOptions : IgnoreCase;
  const uint32_t valueLength = static_cast<uint32_t>(switchValue.size());
  auto sameAsValue = [&](const char* label, uint32_t length) {
    return length == valueLength &&
           QelString::compareTexts(label, length, switchValue.data(), valueLength, options) ==
               CompareResult::Equal;
  };
  if (std::memchr(first, '\\', count) == nullptr)
    return sameAsValue(first, count) ? CaseKind::Matching : CaseKind::Other;
  QelString label(first, count);
  unescapeBackslashes(label, true);
  return sameAsValue(label.data(), label.length()) ? CaseKind::Matching : CaseKind::Other;
}

SwitchBody::SwitchBody(const QelString& body) : TagBody(body, false) {}
SwitchBody::SwitchBody(TokenText bytes) : TagBody(bytes, false) {}
SwitchBody::~SwitchBody() = default;

QelString SwitchBody::select(std::string_view value, bool caseSensitive) {
  QelString result;
  bool collecting = false;
  bool matched = false;
  const BodyToken* token = head;
  while (token != nullptr) {
    if (token->kind == kPairedQelTagToken && token->partner != nullptr) {
      if (collecting) {
        if (isCaseTag(token->text)) {
          append(result, blockContent(token));
          break;
        }
        append(result, joinedView(token, token->partner));
        token = token->partner->next;
        continue;
      }
      const CaseKind kind = classifyCase(token->text, value, caseSensitive);
      if (kind == CaseKind::Matching) {
        const TokenText content = blockContent(token);
        result.assign(content.data(), content.length());
        break;
      }
      if (kind == CaseKind::Default) {
        // The walk goes on inside the block; with collecting off its
        // content and end tag add nothing more.
        append(result, blockContent(token));
        token = token->next;
      } else {
        token = token->partner->next;
      }
      continue;
    }
    if (token->kind == kQelTagToken && isCaseTag(token->text)) {
      if (!(collecting && matched)) {
        const CaseKind kind = classifyCase(token->text, value, caseSensitive);
        if (kind == CaseKind::Matching) {
          result.clear();
          matched = collecting = true;
        } else if (kind == CaseKind::Default) {
          collecting = true;
        }
      }
    } else if (collecting) {
      append(result, token->text);
    }
    token = token->next;
  }
  result.trim(kBlanks);
  return result;
}

}  // namespace bw
