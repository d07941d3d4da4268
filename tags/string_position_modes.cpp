// The string modes driven by positions and counts taken from the page:
// substring, insert, split and the two padding modes.
//
// Positions count from 1 on the page and are turned into byte positions by
// positionFromPage, so 0, negative values and values that are not numbers
// fall past the end, where substring gives nothing and insert appends.
#include <cstring>

#include "decimal/big_decimal.h"
#include "foundation/split_list.h"
#include "host/numeric_parameters.h"
#include "host/parameters.h"
#include "tags/string_modes.h"
#include "tags/string_parameters.h"

namespace bw {

namespace {

// How many copies of the fill text the padding modes add: the whole numbers
// k >= 0 below length (so 3 gives 3 and 2.5 gives 3); none for a negative
// length or one that is not a number.  kToEnd when there would be more than
// the result limit allows.
uint32_t paddingCopies(const BigDecimal& length) {
  if (length.isEmpty() || length.isNegative()) return 0;
  if (length > BigDecimal(kMaxStringResultLength)) return kToEnd;
  int32_t whole = length.toInteger();
  if (BigDecimal(whole) < length) ++whole;
  return static_cast<uint32_t>(whole);
}

// The padding that the modes put before or after the text, or MIPV (already
// reported) when it would break the result limit.
uint32_t readPadding(const ModuleRequest* request, const QelString& text, QelString& padding) {
  BigDecimal length;
  getDecimalParameter(request, string_parameter::kLength, 0, length, BigDecimal(1));
  QelString fill;
  getDecodedParameter(request, string_parameter::kCharacter, fill, QelString(" "));
  if (fill.isEmpty()) return 0;
  const uint32_t copies = paddingCopies(length);
  if (copies == 0) return 0;
  const uint64_t total = static_cast<uint64_t>(copies) * fill.length() + text.length();
  if (copies == kToEnd || total > kMaxStringResultLength) return reportResultTooLong(request);
  // Doubling keeps the work linear in the padding's length.
  const uint32_t wanted = copies * fill.length();
  char* out = padding.lockBuffer(wanted);
  std::memcpy(out, fill.data(), fill.length());
  for (uint32_t done = fill.length(); done < wanted;) {
    const uint32_t more = wanted - done < done ? wanted - done : done;
    std::memcpy(out + done, out, more);
    done += more;
  }
  padding.unlockBuffer(wanted);
  return 0;
}

}  // namespace

uint32_t substringMode(const ModuleRequest* request, QelString& text, bool) {
  BigDecimal beginningIndex;
  if (!requireDecimalParameter(request, string_parameter::kBeginningIndex, 0, beginningIndex))
    return MMRP;
  BigDecimal length;
  if (!requireDecimalParameter(request, string_parameter::kLength, 0, length)) return MMRP;
  // A negative count is a very large one: the rest of the text.
  text = text.substring(positionFromPage(beginningIndex), unsignedFromDecimal(length));
  return 0;
}

uint32_t insertMode(const ModuleRequest* request, QelString& text, bool) {
  QelString insertion;
  if (!requireDecodedParameter(request, string_parameter::kStringToInsert, insertion)) return MMRP;
  BigDecimal index;
  if (!requireDecimalParameter(request, string_parameter::kIndex, 0, index)) return MMRP;
  uint32_t position = positionFromPage(index);
  if (position > text.length()) position = text.length();
  text.insert(insertion, position);
  return 0;
}

uint32_t splitMode(const ModuleRequest* request, QelString& text, bool caseSensitive) {
  BigDecimal index;
  if (!requireDecimalParameter(request, string_parameter::kIndex, 0, index)) return MMRP;
  QelString delimiter;
  if (!requireDecodedParameter(request, string_parameter::kDelimiter, delimiter)) return MMRP;
  SplitList pieces(text, delimiter, caseSensitive ? NoOptions : IgnoreCase);
  if (BigDecimal(pieces.count()) >= index && index > 0) {
    text = pieces.piece(positionFromPage(index));
  } else {
    text.clear();
  }
  return 0;
}

uint32_t padLeftMode(const ModuleRequest* request, QelString& text, bool) {
  QelString padding;
  if (uint32_t result = readPadding(request, text, padding)) return result;
  text.prepend(padding);
  return 0;
}

uint32_t padRightMode(const ModuleRequest* request, QelString& text, bool) {
  QelString padding;
  if (uint32_t result = readPadding(request, text, padding)) return result;
  text.append(padding);
  return 0;
}

}  // namespace bw
