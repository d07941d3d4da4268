// SplitList: the start of every piece, found with one searcher whose skip
// table is built once, so splitting a large text stays linear.
#include "foundation/split_list.h"

#include "foundation/string_search.h"

namespace bw {

SplitList::SplitList(const QelString& source, const QelString& delimiter, uint32_t options)
    : source_(source), delimiter_(delimiter) {
  const uint32_t length = source_.length(), d = delimiter_.length();
  if (length == 0 || d == 0) return;
  // One searcher for all the delimiters: its table is built once.
  detail::Searcher searcher(reinterpret_cast<const unsigned char*>(delimiter_.data()), d,
                            (options & IgnoreCase) != 0, detail::Searcher::Forward);
  const unsigned char* text = reinterpret_cast<const unsigned char*>(source_.data());
  uint32_t p = 0, found = 0;
  for (;;) {
    starts_.appendNumber(p);
    // As QelString::find: forward from p, no bound (not found when p >= length).
    if (p >= length || !searcher.forward(text, p, length, found)) break;
    p = found + d;
  }
}

void SplitList::pieceBounds(uint32_t index, uint32_t& start, uint32_t& length) const {
  const uint32_t n = count();
  start = 0;
  length = 0;
  if (index >= n) return;
  if (n == 1) {
    length = source_.length();
    return;
  }
  const uint32_t d = delimiter_.length();
  start = starts_.numberAt(index);
  const uint32_t end = index == n - 1 ? source_.length() : starts_.numberAt(index + 1) - d;
  length = end - start;
}

QelString SplitList::piece(uint32_t index) const {
  // The whole source is shared, not copied.
  if (index == 0 && count() == 1) return source_;
  uint32_t start = 0;
  uint32_t length = 0;
  pieceBounds(index, start, length);
  return source_.substring(start, length);
}

}  // namespace bw
