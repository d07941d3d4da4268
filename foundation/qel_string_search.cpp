// QelString: searching, comparison and replaceAll, each in time close to
// linear in the text, with the results of the step-by-step Horspool search.
#include <algorithm>
#include <cstring>
#include <utility>

#include "foundation/qel_string.h"
#include "foundation/ascii_words.h"
#include "foundation/string_search.h"

// memmem and memrchr are GNU extensions; elsewhere (the 32-bit Windows build)
// the forward search uses the Horspool table and the backward byte search a
// plain loop.
#ifndef BW_HAVE_MEMMEM
#if defined(__GLIBC__)
#define BW_HAVE_MEMMEM 1
#else
#define BW_HAVE_MEMMEM 0
#endif
#endif

namespace bw {
namespace detail {

namespace {
inline const void* lastByte(const unsigned char* from, unsigned char byte, std::size_t n) {
#if BW_HAVE_MEMMEM
  return memrchr(from, byte, n);
#else
  while (n-- > 0)
    if (from[n] == byte) return from + n;
  return nullptr;
#endif
}
}  // namespace

bool bytesEqual(const unsigned char* a, const unsigned char* b, uint32_t n, bool fold) {
  if (!fold) return std::memcmp(a, b, n) == 0;
  if (n >= 8) {
    // Folded eight bytes a step, the last word ending at the last byte (it
    // may overlap the one before).  Folding to lower case gives the same
    // equality as the upper-case table: only the ASCII letters change.
    auto sameWord = [&](uint32_t at) {
      return lowerCaseWord(loadLittleEndian(a + at)) == lowerCaseWord(loadLittleEndian(b + at));
    };
    for (uint32_t at = 0; at + 8 < n; at += 8) {
      if (!sameWord(at)) return false;
    }
    return sameWord(n - 8);
  }
  for (uint32_t i = 0; i < n; ++i)
    if (foldByte(a[i]) != foldByte(b[i])) return false;
  return true;
}

Searcher::Searcher(const unsigned char* pattern, uint32_t count, bool ignoreCase, Direction direction)
    : pattern_(pattern), count_(count), fold_(ignoreCase) {
  // One byte needs no table; a forward search that does not fold case is
  // served by the C library's linear-time memmem.  Every other search is the
  // Horspool search with its skip table.
  useTable_ = count >= 2 && (ignoreCase || direction == Backward || !BW_HAVE_MEMMEM);
  if (!useTable_) return;
  for (uint32_t& entry : table_) entry = count;
  if (direction == Forward) {
    // Distance from the pattern's end of the last occurrence of each byte.
    for (uint32_t i = count; i-- > 0;) {
      uint32_t& entry = table_[ignoreCase ? foldByte(pattern[i]) : pattern[i]];
      if (entry == count) entry = count - 1 - i;
    }
  } else {
    // Index of the first occurrence of each byte.
    for (uint32_t i = 0; i < count; ++i) {
      uint32_t& entry = table_[ignoreCase ? foldByte(pattern[i]) : pattern[i]];
      if (entry == count) entry = i;
    }
  }
}

bool Searcher::forward(const unsigned char* text, uint32_t from, uint32_t end, uint32_t& position) const {
  const uint32_t n = count_;
  if (n == 0 || end <= from || end - from < n) return false;
  const uint32_t window = end - from;
  if (n == 1) {
    const unsigned char want = pattern_[0];
    if (!fold_ || kLowerCaseTable[want] == kUpperCaseTable[want]) {
      const void* hit = std::memchr(text + from, want, window);
      if (hit == nullptr) return false;
      position = static_cast<uint32_t>(static_cast<const unsigned char*>(hit) - text);
      return true;
    }
    const unsigned char folded = foldByte(want);
    for (uint32_t i = from; i < end; ++i) {
      if (foldByte(text[i]) == folded) {
        position = i;
        return true;
      }
    }
    return false;
  }
#if BW_HAVE_MEMMEM
  if (!useTable_) {
    const void* hit = memmem(text + from, window, pattern_, n);
    if (hit == nullptr) return false;
    position = static_cast<uint32_t>(static_cast<const unsigned char*>(hit) - text);
    return true;
  }
#endif
  // Horspool.
  const bool fold = fold_;
  const uint64_t last = static_cast<uint64_t>(end) - n;
  for (uint64_t i = from; i <= last;) {
    unsigned char under = text[i + n - 1];
    uint32_t skip = table_[fold ? foldByte(under) : under];
    if (skip != 0) {
      i += skip;
      continue;
    }
    int64_t k = static_cast<int64_t>(n) - 2;
    if (fold) {
      while (k >= 0 && foldByte(text[i + k]) == foldByte(pattern_[k])) --k;
    } else {
      while (k >= 0 && text[i + k] == pattern_[k]) --k;
    }
    if (k < 0) {
      position = static_cast<uint32_t>(i);
      return true;
    }
    ++i;
  }
  return false;
}

bool Searcher::backward(const unsigned char* text, uint32_t begin, uint32_t last, uint32_t& position) const {
  const uint32_t n = count_;
  if (n == 0 || last < begin || static_cast<uint64_t>(last) - begin + 1 < n) return false;
  if (n == 1) {
    const unsigned char want = pattern_[0];
    if (!fold_ || kLowerCaseTable[want] == kUpperCaseTable[want]) {
      const void* hit = lastByte(text + begin, want, static_cast<std::size_t>(last) - begin + 1);
      if (hit == nullptr) return false;
      position = static_cast<uint32_t>(static_cast<const unsigned char*>(hit) - text);
      return true;
    }
    const unsigned char folded = foldByte(want);
    for (int64_t i = last; i >= static_cast<int64_t>(begin); --i) {
      if (foldByte(text[i]) == folded) {
        position = static_cast<uint32_t>(i);
        return true;
      }
    }
    return false;
  }
  // Horspool, backward: candidates from last - n + 1 down to begin.
  const bool fold = fold_;
  for (int64_t i = static_cast<int64_t>(last) - n + 1; i >= static_cast<int64_t>(begin);) {
    unsigned char first = fold ? foldByte(text[i]) : text[i];
    uint32_t skip = table_[first];
    if (skip != 0) {
      i -= skip;
      continue;
    }
    uint32_t k = n - 1;
    if (fold) {
      while (k >= 1 && foldByte(text[i + k]) == foldByte(pattern_[k])) --k;
    } else {
      while (k >= 1 && text[i + k] == pattern_[k]) --k;
    }
    if (k == 0) {
      position = static_cast<uint32_t>(i);
      return true;
    }
    --i;
  }
  return false;
}

}  // namespace detail

using detail::foldByte;
using detail::Searcher;

namespace {
inline const unsigned char* ubytes(const char* p) { return reinterpret_cast<const unsigned char*>(p); }
}  // namespace

// ---------------------------------------------------------------------------
// find

bool QelString::find(const char* pattern, uint32_t count, uint32_t start, uint32_t maxLength,
                     uint32_t options, uint32_t& position) const {
  const uint32_t length = rep_->length;
  const unsigned char* text = rep_->data();
  const bool fold = (options & IgnoreCase) != 0;
  if (!(options & Backward)) {
    if (start >= length) return false;
    uint32_t window = std::min(maxLength, length - start);
    if (count == 0 || window == 0 || count > window) return false;
    Searcher searcher(ubytes(pattern), count, fold, Searcher::Forward);
    return searcher.forward(text, start, start + window, position);
  }
  if (length == 0) return false;
  if (start >= length) start = length - 1;
  uint32_t window = std::min(maxLength, start + 1);
  if (count == 0 || window == 0 || count > window) return false;
  Searcher searcher(ubytes(pattern), count, fold, Searcher::Backward);
  return searcher.backward(text, start + 1 - window, start, position);
}

bool QelString::find(char pattern, uint32_t start, uint32_t maxLength, uint32_t options,
                     uint32_t& position) const {
  return find(&pattern, 1, start, maxLength, options, position);
}

bool QelString::find(const QelString& pattern, uint32_t start, uint32_t maxLength, uint32_t options,
                     uint32_t& position) const {
  return find(pattern.data(), pattern.length(), start, maxLength, options, position);
}

// ---------------------------------------------------------------------------
// startsWith, endsWith

bool QelString::textStartsWith(const char* text, uint32_t length, const char* bytes, uint32_t count,
                               uint32_t options) {
  if (count == 0 || count > length) return false;
  return detail::bytesEqual(ubytes(text), ubytes(bytes), count, (options & IgnoreCase) != 0);
}

bool QelString::textEndsWith(const char* text, uint32_t length, const char* bytes, uint32_t count,
                             uint32_t options) {
  if (count == 0 || count > length) return false;
  return detail::bytesEqual(ubytes(text) + length - count, ubytes(bytes), count,
                            (options & IgnoreCase) != 0);
}

bool QelString::textContains(const char* text, uint32_t length, const char* pattern, uint32_t count,
                             uint32_t options) {
  if (count == 0 || length == 0 || count > length) return false;
  Searcher searcher(ubytes(pattern), count, (options & IgnoreCase) != 0, Searcher::Forward);
  uint32_t position = 0;
  return searcher.forward(ubytes(text), 0, length, position);
}

bool QelString::startsWith(const char* bytes, uint32_t count, uint32_t options) const {
  return textStartsWith(cString(), rep_->length, bytes, count, options);
}

bool QelString::startsWith(char byte, uint32_t options) const { return startsWith(&byte, 1, options); }

bool QelString::startsWith(const QelString& text, uint32_t options) const {
  return startsWith(text.data(), text.length(), options);
}

bool QelString::endsWith(const char* bytes, uint32_t count, uint32_t options) const {
  return textEndsWith(cString(), rep_->length, bytes, count, options);
}

bool QelString::endsWith(char byte, uint32_t options) const { return endsWith(&byte, 1, options); }

bool QelString::endsWith(const QelString& text, uint32_t options) const {
  return endsWith(text.data(), text.length(), options);
}

bool QelString::startsWith(const char* text, SearchOption options) const {
  return startsWith(text, text == nullptr ? 0u : static_cast<uint32_t>(std::strlen(text)), options);
}

bool QelString::endsWith(const char* text, SearchOption options) const {
  return endsWith(text, text == nullptr ? 0u : static_cast<uint32_t>(std::strlen(text)), options);
}

// ---------------------------------------------------------------------------
// compare

CompareResult QelString::compare(const char* bytes, uint32_t count, uint32_t options) const {
  return compareTexts(cString(), rep_->length, bytes, count, options);
}

CompareResult QelString::compareTexts(const char* text, uint32_t length, const char* bytes,
                                      uint32_t count, uint32_t options) {
  const unsigned char* mine = ubytes(text);
  const unsigned char* theirs = ubytes(bytes);
  const bool fold = (options & IgnoreCase) != 0;
  for (uint32_t i = 0;; ++i) {
    if (i == length) return i == count ? CompareResult::Equal : CompareResult::Less;
    if (i == count) return CompareResult::Greater;
    unsigned char a = mine[i], b = theirs[i];
    if (fold) {
      a = foldByte(a);
      b = foldByte(b);
    }
    // Compared as signed 8-bit values: bytes from 0x80 up order first.
    signed char sa = static_cast<signed char>(a), sb = static_cast<signed char>(b);
    if (sa < sb) return CompareResult::Less;
    if (sa > sb) return CompareResult::Greater;
  }
}

CompareResult QelString::compare(const char* text, uint32_t options) const {
  return compare(text, text == nullptr ? 0u : static_cast<uint32_t>(std::strlen(text)), options);
}

CompareResult QelString::compare(const char* text, SearchOption options) const {
  return compare(text, text == nullptr ? 0u : static_cast<uint32_t>(std::strlen(text)),
                 static_cast<uint32_t>(options));
}

CompareResult QelString::compare(const QelString& other, uint32_t options) const {
  if (rep_ == other.rep_) return CompareResult::Equal;
  return compare(other.data(), other.length(), options);
}

bool QelString::equals(const QelString& other) const {
  if (rep_ == other.rep_) return true;
  return rep_->length == other.rep_->length &&
         std::memcmp(rep_->data(), other.rep_->data(), rep_->length) == 0;
}

bool QelString::isTrue() const { return isTrueText(cString(), rep_->length); }

bool QelString::isTrueText(const char* bytes, uint32_t count) {
  static const char* const kTrueWords[] = {"true", "t", "yes", "y", "on", "1"};
  for (const char* word : kTrueWords) {
    uint32_t n = static_cast<uint32_t>(std::strlen(word));
    if (n == count && detail::bytesEqual(ubytes(bytes), ubytes(word), n, true)) return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// replaceAll
//
// Replacing one match at a time would move the whole tail for each
// replacement.  This one builds the result in a single pass with the same
// outcome.  Without Rescan the search goes on after the inserted text, so the
// matches are the non-overlapping matches of the original text, left to
// right.  With Rescan the search goes on at the start of the inserted text;
// a match lying wholly inside inserted text is skipped (not replaced), which
// is what makes the loop end, and a match that begins in the inserted text
// and runs on into the original text after it is replaced.  At every moment
// the text is (result so far) + (original text from `next` on), and the part
// of the result at or after the search position is inserted text of the last
// replacement, so the next replacement is either such a straddling match or a
// match lying wholly in the original text after `next`.
//
// The pass appends to any string (detail::appendReplacing), so that a caller
// that only wants the result added to its output (a loop copying its body
// once per item) makes no string of its own.

namespace {

// A growing result after the bytes the target already held: room doubles,
// the bytes go straight into the buffer.
class Builder {
 public:
  Builder(QelString& out, uint32_t expected) : out_(out), start_(out.length()) { reserve(expected); }
  void append(const unsigned char* bytes, uint32_t n) {
    if (n == 0) return;
    ensure(n);
    std::memcpy(base_ + size_, bytes, n);
    size_ += n;
  }
  void truncate(uint32_t n) { size_ = n; }
  uint32_t size() const { return size_; }
  const unsigned char* data() const { return reinterpret_cast<const unsigned char*>(base_); }
  void finish() { out_.setLength(start_ + size_); }

 private:
  void ensure(uint32_t n) {
    uint64_t need = static_cast<uint64_t>(size_) + n;
    if (need <= room_) return;
    uint64_t room = std::max<uint64_t>(need, static_cast<uint64_t>(room_) * 2);
    if (room > most()) room = need;
    reserve(room);
  }
  // The largest text a string holds, less what the target held before.
  uint64_t most() const { return 0xFFFFFF00u - static_cast<uint64_t>(start_); }
  void reserve(uint64_t room) {
    if (room > most()) throw QELObject::MemoryAllocationFailure();
    room_ = static_cast<uint32_t>(room);
    base_ = out_.setLength(start_ + room_) - room_;
  }
  QelString& out_;
  uint32_t start_;
  char* base_ = nullptr;
  uint32_t size_ = 0;
  uint32_t room_ = 0;
};

}  // namespace

namespace detail {

uint32_t appendReplacing(QelString& target, const unsigned char* text, uint32_t length,
                         const Searcher& searcher, uint32_t match, const unsigned char* insertedBytes,
                         uint32_t insertedLength, bool rescan) {
  const uint32_t count = searcher.count();
  const unsigned char* patternBytes = searcher.pattern();
  const bool fold = searcher.folds();

  // Room for the whole result when the replacement is not longer than the
  // pattern; otherwise the builder doubles as needed.
  uint64_t guess = insertedLength <= count
                       ? length
                       : std::min<uint64_t>(length + static_cast<uint64_t>(insertedLength - count) * 4,
                                            0x7FFFFFFFu);
  Builder out(target, static_cast<uint32_t>(guess));
  uint32_t next = 0;      // first byte of the original text not yet taken
  uint32_t searchAt = 0;  // the search position, in result coordinates
  uint32_t replacements = 0;
  for (;;) {
    // `match` is a match in the original text at or after `next`.
    out.append(text + next, match - next);
    uint32_t insertedAt = out.size();
    out.append(insertedBytes, insertedLength);
    next = match + count;
    ++replacements;
    searchAt = rescan ? insertedAt : insertedAt + insertedLength;

    for (;;) {
      // With Rescan: a match starting in the inserted text [searchAt, size)
      // and running past it into the original text.
      bool straddles = false;
      if (rescan && searchAt < out.size()) {
        const uint32_t size = out.size();
        uint32_t from = size - searchAt >= count ? size - count + 1 : searchAt;
        for (uint32_t at = from; at < size; ++at) {
          uint32_t head = size - at, rest = count - head;
          if (static_cast<uint64_t>(next) + rest > length) continue;
          if (detail::bytesEqual(out.data() + at, patternBytes, head, fold) &&
              detail::bytesEqual(text + next, patternBytes + head, rest, fold)) {
            out.truncate(at);
            out.append(insertedBytes, insertedLength);
            next += rest;
            ++replacements;
            searchAt = at;
            straddles = true;
            break;
          }
        }
      }
      if (!straddles) break;
    }
    if (!searcher.forward(text, next, length, match)) break;
  }
  out.append(text + next, length - next);
  out.finish();
  return replacements;
}

}  // namespace detail

uint32_t QelString::replaceAll(const char* pattern, uint32_t count, const QelString& replacement,
                               uint32_t options) {
  const uint32_t length = rep_->length;
  if (count == 0 || count > length) return 0;
  // Both copies keep their bytes alive whatever happens to this string (the
  // pattern may point into either of them).
  const QelString source(*this);
  const QelString inserted(replacement);
  const unsigned char* text = source.rep_->data();
  const Searcher searcher(ubytes(pattern), count, (options & IgnoreCase) != 0, Searcher::Forward);
  uint32_t match;
  if (!searcher.forward(text, 0, length, match)) return 0;
  QelString result;
  const uint32_t replacements =
      detail::appendReplacing(result, text, length, searcher, match, inserted.rep_->data(),
                              inserted.length(), (options & Rescan) != 0);
  *this = std::move(result);
  return replacements;
}

uint32_t QelString::replaceAll(char pattern, const QelString& replacement, uint32_t options) {
  return replaceAll(&pattern, 1, replacement, options);
}

uint32_t QelString::replaceAll(const char* pattern, const QelString& replacement, uint32_t options) {
  return replaceAll(pattern, pattern == nullptr ? 0u : static_cast<uint32_t>(std::strlen(pattern)),
                    replacement, options);
}

uint32_t QelString::replaceAll(const QelString& pattern, const QelString& replacement, uint32_t options) {
  const QelString copy(pattern);
  return replaceAll(copy.data(), copy.length(), replacement, options);
}

}  // namespace bw
