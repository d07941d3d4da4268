// Fuzzes the text codecs with their round trips and output promises:
//   - htmlDecode(htmlEncode(t)) == t when t holds no "&" and no byte from
//     0x80 to 0x9F (those print as an unterminated "&#nnn");
//   - htmlEncode's result holds no '"', '<', '>', and its bytes from 0x80 up
//     are only those of well-formed UTF-8 characters it kept whole;
//   - urlDecode(urlEncode(t, s)) == t for every t and both separator
//     settings, and reports a change exactly when encoding changed t;
//   - parseInteger(toRadixText(v, b, m), b) == v for every base 2..36;
//   - unescapeBackslashes never lengthens a text and leaves one without a
//     backslash unchanged; urlDecode and htmlDecode never lengthen either.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "foundation/codecs.h"
#include "fuzz/fuzz_check.h"

namespace {

using bw::QelString;

std::string bytes(const QelString& s) { return std::string(s.data(), s.length()); }
QelString text(const std::string& s) { return QelString(s.data(), static_cast<uint32_t>(s.size())); }

// Every byte from 0x80 up belongs to a well-formed UTF-8 sequence (no
// overlong forms, no surrogates, nothing past U+10FFFF).
bool highBytesAreUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) { ++i; continue; }
    size_t n = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 ? 2 : 0;
    if (n == 0 || b > 0xF4 || i + n > s.size()) return false;
    uint32_t cp = b & (0x7F >> n);
    for (size_t k = 1; k < n; ++k) {
      const unsigned char c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if ((n == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
      return false;
    i += n;
  }
  return true;
}

void checkHtml(const std::string& t) {
  const std::string encoded = bytes(bw::htmlEncode(text(t)));
  for (unsigned char c : encoded) FUZZ_CHECK(c != '"' && c != '<' && c != '>');
  FUZZ_CHECK(highBytesAreUtf8(encoded));
  bool roundTrips = true;
  for (unsigned char c : t) roundTrips = roundTrips && c != '&' && (c < 0x80 || c > 0x9F);
  QelString decoded = text(encoded);
  bw::htmlDecode(decoded);
  if (roundTrips) FUZZ_CHECK(bytes(decoded) == t);
  QelString raw = text(t);
  bw::htmlDecode(raw);
  FUZZ_CHECK(raw.length() <= t.size());
}

void checkUrl(const std::string& t, bool separators) {
  const std::string encoded = bytes(bw::urlEncode(text(t), separators));
  QelString decoded = text(encoded);
  const bool changed = bw::urlDecode(decoded);
  FUZZ_CHECK(bytes(decoded) == t);
  FUZZ_CHECK(changed == (encoded != t));
  QelString raw = text(t);
  bw::urlDecode(raw);
  FUZZ_CHECK(raw.length() <= t.size());
}

void checkRadix(uint32_t value, uint8_t base, uint8_t minimum) {
  const QelString digits = bw::toRadixText(value, base, minimum);
  if (base < 2 || base > 36) {
    FUZZ_CHECK(digits.isEmpty());
    return;
  }
  FUZZ_CHECK(digits.length() >= (minimum == 0 ? 1u : minimum));
  FUZZ_CHECK(bw::parseInteger(digits, base) == static_cast<int32_t>(value));
}

void checkEscapes(const std::string& t, bool decimalEscapes) {
  QelString s = text(t);
  bw::unescapeBackslashes(s, decimalEscapes);
  FUZZ_CHECK(s.length() <= t.size());
  if (t.find('\\') == std::string::npos) FUZZ_CHECK(bytes(s) == t);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  bw::fuzz::installCountingHeap();
  FuzzedDataProvider in(data, size);
  const uint32_t value = in.ConsumeIntegral<uint32_t>();
  const uint8_t base = in.ConsumeIntegral<uint8_t>();
  const uint8_t minimum = in.ConsumeIntegralInRange<uint8_t>(0, 40);
  const bool flag = in.ConsumeBool();
  const std::string t = in.ConsumeRemainingBytesAsString();
  checkHtml(t);
  checkUrl(t, flag);
  checkUrl(t, !flag);
  checkRadix(value, base, minimum);
  checkEscapes(t, flag);
  (void)bw::parseInteger(text(t), base);
  FUZZ_CHECK(bw::fuzz::outstandingBlocks() == 0);
  return 0;
}
