// QelString: the module's one text type.
//
// A growable sequence of 8-bit bytes with copy on write: copies share one
// representation and the first write to a shared one gives the writer its own.
// Only ASCII letters have case; lengths and positions count bytes.  Library
// operations report no errors: positions past the end are cut or ignored.
//
// Threads: a string and its copies are used by one thread at a time, and the
// counts are plain integers.  The representations every call may share, the
// shared empty one and the texts of the constant tables built while the
// module loads, are frozen at the first MIni: from then on no call counts
// them, so calls on several threads only ever read them, and a write to a
// string that holds one always copies first.  They are thawed when the module
// unloads (or the process exits), before the tables' own destructors run, so
// that those release them as usual.
#ifndef BRINDLEWORK_FOUNDATION_QEL_STRING_H
#define BRINDLEWORK_FOUNDATION_QEL_STRING_H

#include <atomic>
#include <cstdint>

#include "foundation/object.h"

namespace bw {

// Three-way comparison result; stored lowest byte first the values spell
// "Less", "Equ " and "Grtr".
enum class CompareResult : uint32_t {
  Less = 0x7373654C,
  Equal = 0x20757145,
  Greater = 0x72747247,
};

// Search options (a bit set).
enum SearchOption : uint32_t {
  NoOptions = 0,
  IgnoreCase = 1,  // ASCII letters compare equal regardless of case
  Backward = 2,    // find only: search from start towards the beginning
  Rescan = 4,      // replaceAll only: search the inserted text again
};

// All bits set: as a count "to the end", as an insert position "at the end",
// as a backward start "from the last byte".
constexpr uint32_t kToEnd = 0xFFFFFFFFu;

// The two ASCII case tables; every byte but the letters maps to itself.
extern const unsigned char kUpperCaseTable[256];
extern const unsigned char kLowerCaseTable[256];

// A text representation, shared by every QelString that holds it.
class StringRep final : public ByteBuffer {
 public:
  // A representation of length bytes (capacity by the capacity rule; length
  // set, terminated) whose buffer lies in the same block as the
  // representation itself: one allocation per string instead of two, which
  // matters because a tag call makes many short-lived strings.  Released
  // with delete, like any representation.
  static StringRep* create(uint32_t length);
  ~StringRep() override;
  uint32_t capacity() const { return size_; }
  // Replaces the buffer by one of newCapacity bytes holding the first keep
  // bytes of the old one.
  void regrow(uint32_t newCapacity, uint32_t keep);
  uint32_t length = 0;
  int32_t refCount = 1;
  bool locked = false;
  bool inlineStorage = false;  // the buffer is part of this block, not released alone
  // Made before the first MIni: one of the texts calls may share, frozen
  // (never counted) while calls run.
  bool madeAtLoad = false;

  // The shared empty representation only: over static storage, never freed.
  constexpr StringRep(unsigned char* storage, uint32_t capacity, StaticStorage tag)
      : ByteBuffer(storage, capacity, tag), madeAtLoad(true) {}
};

// Smallest multiple of 32 greater than n.
inline uint32_t capacityFor(uint32_t n) { return (n + 32u) & ~31u; }

namespace string_internal {
// The shared empty representation, constant-initialised (qel_string.cpp).
extern StringRep* const kEmptyRep;
// Set from the first MIni until the module unloads (see the file comment).
extern std::atomic<bool> gLoadTimeTextsFrozen;

inline bool isFrozen(const StringRep* rep) {
  return rep->madeAtLoad && gLoadTimeTextsFrozen.load(std::memory_order_relaxed);
}
// Whether the holder of rep may write to it in place: it is the only holder
// and the representation is not one that calls share.
inline bool ownsAlone(const StringRep* rep) { return rep->refCount == 1 && !isFrozen(rep); }
inline void retain(StringRep* rep) {
  if (!isFrozen(rep)) ++rep->refCount;
}
}  // namespace string_internal

// Freezes the texts made so far (the constant tables and the shared empty
// string): called on every MIni, before the host may call from several
// threads; only the first has an effect.  Calls then never write them.  It
// also arranges the thaw, run by the exit handlers before the tables'
// destructors.
void freezeLoadTimeTexts();
void thawLoadTimeTexts();

class QelString : public QELObject {
 public:
  QelString() : rep_(string_internal::kEmptyRep) { string_internal::retain(rep_); }
  explicit QelString(char byte);
  QelString(const char* bytes, uint32_t count);
  QelString(const char* text);  // zero-terminated; implicit on purpose
  // Copies and destruction are inline: a tag call copies and drops dozens of
  // strings, and most of them only move a reference count.
  QelString(const QelString& other) : QELObject(other), rep_(other.rep_) { string_internal::retain(rep_); }
  QelString(QelString&& other) noexcept;
  ~QelString() override { releaseRep(); }

  QelString& operator=(const QelString& other);
  QelString& operator=(QelString&& other) noexcept;
  QelString& operator=(const char* text);

  void assign(char byte);
  void assign(const char* bytes, uint32_t count);
  void assign(const char* text);
  void assign(const QelString& other);
  void clear();

  uint32_t length() const { return rep_->length; }
  bool isEmpty() const { return rep_->length == 0; }
  const char* cString() const { return reinterpret_cast<const char*>(rep_->data()); }
  const char* data() const { return cString(); }
  // Positions at or past the length read as the terminator's 0, and writing
  // there does nothing: the terminator and the buffer beyond the text are
  // never read or overwritten through these two.
  char charAt(uint32_t position) const {
    return position < rep_->length ? cString()[position] : '\0';
  }
  void setCharAt(uint32_t position, char byte);

  // Capacity of the representation and whether two strings share one: for
  // tests and for code that wants to avoid a copy.
  uint32_t capacity() const { return rep_->capacity(); }
  bool sharesWith(const QelString& other) const { return rep_ == other.rep_; }
  int32_t holderCount() const { return rep_->refCount; }

  // The core write step: the text becomes n bytes long (bytes past the old
  // length are not initialised); returns a pointer to the new terminator.
  char* setLength(uint32_t n) {
    // Inline when the string is its own and the text fits: the common case
    // of every result written in place.
    StringRep* rep = rep_;
    if (string_internal::ownsAlone(rep) && n < rep->capacity()) {
      rep->length = n;
      char* end = reinterpret_cast<char*>(rep->data()) + n;
      *end = 0;
      return end;
    }
    return setLengthSlowly(n);
  }
  void reserve(uint32_t n);
  void makeUnique();
  // Writable storage of n bytes; null when the buffer is already locked.
  char* lockBuffer(uint32_t n);
  // Ends a lock at length n (kToEnd: the length of the zero-terminated text).
  void unlockBuffer(uint32_t n);

  void insert(const char* bytes, uint32_t count, uint32_t position);
  void insert(char byte, uint32_t position);
  void insert(const char* text, uint32_t position);
  void insert(const QelString& text, uint32_t position);
  void append(char byte);
  void append(const char* text);
  void append(const char* bytes, uint32_t count);
  void append(const QelString& text);
  void prepend(char byte);
  void prepend(const QelString& text);
  QelString plus(const char* text) const;

  // Horspool search.  maxLength bounds the stretch of text, counted from
  // start (backwards with Backward), in which the match must lie.  On success
  // stores the match's first byte in position; otherwise leaves it unchanged.
  bool find(const char* pattern, uint32_t count, uint32_t start, uint32_t maxLength,
            uint32_t options, uint32_t& position) const;
  bool find(char pattern, uint32_t start, uint32_t maxLength, uint32_t options,
            uint32_t& position) const;
  bool find(const QelString& pattern, uint32_t start, uint32_t maxLength, uint32_t options,
            uint32_t& position) const;

  bool startsWith(const char* bytes, uint32_t count, uint32_t options = NoOptions) const;
  bool startsWith(char byte, uint32_t options = NoOptions) const;
  bool startsWith(const QelString& text, uint32_t options = NoOptions) const;
  bool endsWith(const char* bytes, uint32_t count, uint32_t options = NoOptions) const;
  bool endsWith(char byte, uint32_t options = NoOptions) const;
  bool endsWith(const QelString& text, uint32_t options = NoOptions) const;
  // A zero-terminated text with one option: without these, a call such as
  // startsWith("abc", IgnoreCase) would take IgnoreCase for the byte count.
  bool startsWith(const char* text, SearchOption options) const;
  bool endsWith(const char* text, SearchOption options) const;

  CompareResult compare(const char* bytes, uint32_t count, uint32_t options = NoOptions) const;
  CompareResult compare(const char* text, uint32_t options = NoOptions) const;
  CompareResult compare(const QelString& other, uint32_t options = NoOptions) const;
  // compare("abc", IgnoreCase) would otherwise be ambiguous.
  CompareResult compare(const char* text, SearchOption options) const;
  bool equals(const QelString& other) const;
  bool operator==(const QelString& other) const { return equals(other); }
  bool operator!=(const QelString& other) const { return !equals(other); }
  bool isTrue() const;
  // The same test on count bytes that are not a string.
  static bool isTrueText(const char* bytes, uint32_t count);
  // compare, startsWith, endsWith and a whole-text find on bytes that are not
  // a string (a host's answer read in place), with the same results.
  static CompareResult compareTexts(const char* text, uint32_t length, const char* bytes,
                                    uint32_t count, uint32_t options = NoOptions);
  static bool textStartsWith(const char* text, uint32_t length, const char* bytes, uint32_t count,
                             uint32_t options = NoOptions);
  static bool textEndsWith(const char* text, uint32_t length, const char* bytes, uint32_t count,
                           uint32_t options = NoOptions);
  static bool textContains(const char* text, uint32_t length, const char* pattern, uint32_t count,
                           uint32_t options = NoOptions);

  QelString substring(uint32_t position, uint32_t count = kToEnd) const;
  void cut(uint32_t position, uint32_t count, QelString& out);
  void erase(uint32_t position, uint32_t count = kToEnd);
  uint32_t removeLeft(uint32_t n);
  uint32_t removeRight(uint32_t n);
  // Returns the change of length.
  int32_t replaceRange(uint32_t position, uint32_t count, const char* bytes, uint32_t newCount);
  int32_t replaceRange(uint32_t position, uint32_t count, char byte);
  int32_t replaceRange(uint32_t position, uint32_t count, const QelString& text);
  // Returns the number of replacements.  With Rescan, a match that lies
  // wholly inside text inserted by an earlier replacement is not replaced
  // again, so the loop always ends.
  uint32_t replaceAll(const char* pattern, uint32_t count, const QelString& replacement,
                      uint32_t options = NoOptions);
  uint32_t replaceAll(char pattern, const QelString& replacement, uint32_t options = NoOptions);
  uint32_t replaceAll(const char* pattern, const QelString& replacement,
                      uint32_t options = NoOptions);
  uint32_t replaceAll(const QelString& pattern, const QelString& replacement,
                      uint32_t options = NoOptions);

  // The set is a zero-terminated text of bytes; return the bytes removed.
  uint32_t trimLeft(const char* set);
  uint32_t trimRight(const char* set);
  uint32_t trim(const char* set);

  void toUpper(uint32_t position, uint32_t count);
  void toLower(uint32_t position, uint32_t count);
  void toUpper();
  void toLower();
  void reverse();

 private:
  char* setLengthSlowly(uint32_t n);
  void releaseRep() {
    if (!string_internal::isFrozen(rep_) && --rep_->refCount == 0) destroyRep(rep_);
  }
  // Frees a representation whose last holder let go (never the shared empty one).
  static void destroyRep(StringRep* rep);
  StringRep* rep_;
};

// The shared empty representation, made at load time and never released.
StringRep* sharedEmptyRep();

}  // namespace bw

#endif
