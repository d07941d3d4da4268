// ASCII case folding, HTML escaping and entity decoding for the engine.
#include "engine/text_util.h"

#include <cstdint>

namespace bw {

void appendHtmlEscaped(std::string& out, std::string_view text) {
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char* entity = nullptr;
    switch (text[i]) {
      case '&': entity = "&amp;"; break;
      case '<': entity = "&lt;"; break;
      case '>': entity = "&gt;"; break;
      case '"': entity = "&quot;"; break;
      case '\'': entity = "&#39;"; break;
      default: continue;
    }
    out.append(text.data() + start, i - start);
    out += entity;
    start = i + 1;
  }
  out.append(text.data() + start, text.size() - start);
}

std::string htmlEscaped(std::string_view text) {
  std::string out;
  appendHtmlEscaped(out, text);
  return out;
}

namespace {

struct NamedEntity {
  std::string_view name;
  std::string_view text;
};
constexpr NamedEntity kNamedEntities[] = {
    {"lt", "<"}, {"gt", ">"}, {"quot", "\""}, {"amp", "&"}, {"apos", "'"}, {"nbsp", " "},
};

void appendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The character of the entity body between '&' and ';', if it is one.
bool decodeOne(std::string_view body, std::string& out) {
  for (const NamedEntity& e : kNamedEntities)
    if (body == e.name) return out += e.text, true;
  if (body.size() < 2 || body[0] != '#') return false;
  bool hex = body[1] == 'x' || body[1] == 'X';
  std::string_view digits = body.substr(hex ? 2 : 1);
  if (digits.empty() || digits.size() > 7) return false;
  uint32_t cp = 0;
  for (char c : digits) {
    int d = (c >= '0' && c <= '9') ? c - '0'
            : (hex && c >= 'a' && c <= 'f') ? c - 'a' + 10
            : (hex && c >= 'A' && c <= 'F') ? c - 'A' + 10
            : -1;
    if (d < 0) return false;
    cp = cp * (hex ? 16 : 10) + static_cast<uint32_t>(d);
  }
  if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  appendUtf8(out, cp);
  return true;
}

}  // namespace

std::string decodeEntities(std::string_view html) {
  constexpr size_t kLongestEntity = 10;  // "&#x10FFFF;"
  std::string out;
  size_t i = 0;
  while (i < html.size()) {
    size_t amp = html.find('&', i);
    if (amp == std::string_view::npos) break;
    out.append(html.data() + i, amp - i);
    size_t semi = html.find(';', amp + 1);
    if (semi != std::string_view::npos && semi - amp <= kLongestEntity &&
        decodeOne(html.substr(amp + 1, semi - amp - 1), out)) {
      i = semi + 1;
    } else {
      out += '&';
      i = amp + 1;
    }
  }
  out.append(html.data() + i, html.size() - i);
  return out;
}

std::string escapedForLog(std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const unsigned char b = static_cast<unsigned char>(c);
    switch (c) {
      case '\n': out += "\\n"; continue;
      case '\r': out += "\\r"; continue;
      case '\t': out += "\\t"; continue;
      default: break;
    }
    if (b < 0x20 || b == 0x7F) {
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

std::string fourCharacterCode(uint32_t code) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    char c = static_cast<char>((code >> shift) & 0xFF);
    text += (c >= 32 && c < 127) ? c : '?';
  }
  return text;
}

}  // namespace bw
