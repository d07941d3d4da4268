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

QelString SplitList::piece(uint32_t index) const {
  const uint32_t n = count();
  if (index >= n) return QelString();
  if (n == 1) return source_;
  const uint32_t d = delimiter_.length();
  if (index == 0) return source_.substring(0, starts_.numberAt(1) - d);
  const uint32_t start = starts_.numberAt(index);
  if (index == n - 1) return source_.substring(start, kToEnd);
  return source_.substring(start, starts_.numberAt(index + 1) - d - start);
}

}  // namespace bw
