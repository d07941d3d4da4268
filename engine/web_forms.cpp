// Url-encoded fields and tokens.
#include "engine/web_forms.h"

#include <cstdint>
#include <random>

namespace bw {
namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string decodeEscapes(std::string_view text, bool plusIsSpace) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '+' && plusIsSpace) {
      out += ' ';
    } else if (c == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
               hexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::string decodeUrlComponent(std::string_view text) { return decodeEscapes(text, true); }

std::string decodeUrlPath(std::string_view text) { return decodeEscapes(text, false); }

std::string encodeUrlComponent(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : text) {
    unsigned char b = static_cast<unsigned char>(c);
    if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == '-' ||
        b == '_' || b == '.' || b == '~' || b == '/') {
      out += c;
    } else {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 0xF];
    }
  }
  return out;
}

void appendUrlEncodedFields(std::string_view text, NamedValues& out) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('&', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view field = text.substr(start, end - start);
    if (!field.empty()) {
      size_t eq = field.find('=');
      std::string_view name = field.substr(0, eq);
      std::string_view value = eq == std::string_view::npos ? std::string_view() : field.substr(eq + 1);
      if (!name.empty()) out.push_back(NamedValue{decodeUrlComponent(name), decodeUrlComponent(value)});
    }
    start = end + 1;
  }
}

std::string randomToken() {
  static const char kHex[] = "0123456789abcdef";
  std::random_device source;  // /dev/urandom on Linux
  std::string token;
  for (int i = 0; i < 4; ++i) {
    uint32_t word = source();
    for (int j = 0; j < 8; ++j) token += kHex[(word >> (j * 4)) & 0xF];
  }
  return token;
}

bool tokensEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  unsigned char difference = 0;
  for (size_t i = 0; i < a.size(); ++i)
    difference |= static_cast<unsigned char>(a[i] ^ b[i]);
  return difference == 0;
}

}  // namespace bw
