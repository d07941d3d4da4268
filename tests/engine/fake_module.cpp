// A stand-in tag module for the engine's own tests.
//
// It speaks the same protocol as the real module but its tags are made to
// probe the engine: how bodies travel for each registration flag, the MBtS
// exchange, error reports, page variables, region properties, and answers
// that re-create their own tag (for the limits).  Being tiny and fixed, it
// lets the engine's mechanics be tested apart from the real tags.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "brindlework/module.h"

namespace {

// Per thread, so that the HTTP tests may render pages on several threads at once.
thread_local const ModuleRequest* current = nullptr;

// Blocks the "leak" tag keeps past its call, handed back at MTrm so that the
// test process itself leaks nothing.
void* kept[64];
int keptCount = 0;
HostReleaseFn keptRelease = nullptr;

uint32_t host(uint32_t code, void* a1 = nullptr, void* a2 = nullptr, void* a3 = nullptr,
              void* a4 = nullptr, void* a5 = nullptr) {
  return current->hostCallback(current->hostHandle, code, a1, a2, a3, a4, a5);
}

// A text from the host, starting with a small buffer so that the MBtS
// exchange is taken for anything longer than 8 bytes.
bool fetch(uint32_t code, const char* name, int32_t occurrence, std::string& out) {
  std::string buffer(8, '\0');
  uint32_t size = static_cast<uint32_t>(buffer.size());
  uint32_t nameCount = name ? static_cast<uint32_t>(std::strlen(name) + 1) : 0;
  for (int attempt = 0; attempt < 2; ++attempt) {
    uint32_t result = name ? host(code, const_cast<char*>(name), &nameCount, &buffer[0], &size, &occurrence)
                           : host(code, &buffer[0], &size);
    if (result == 0) {
      out.assign(buffer.data(), size);
      return true;
    }
    if (result != MBtS) return false;
    buffer.assign(size, '\0');
  }
  return false;
}

bool param(const char* name, std::string& out, int32_t occurrence = 0) {
  return fetch(MTPm, name, occurrence, out);
}

void send(uint32_t code, const std::string& a, const std::string* b = nullptr) {
  uint32_t countA = static_cast<uint32_t>(a.size() + 1), countB = b ? static_cast<uint32_t>(b->size() + 1) : 0;
  host(code, const_cast<char*>(a.c_str()), &countA, b ? const_cast<char*>(b->c_str()) : nullptr,
       b ? &countB : nullptr);
}

void write(const std::string& text) {
  if (text.empty()) return;
  uint32_t count = static_cast<uint32_t>(text.size());
  host(MWtS, const_cast<char*>(text.data()), &count);
}

struct FakeTag {
  const char* name;
  uint32_t flags;
};
const FakeTag kTags[] = {
    {"echo", 0x20},     // writes its "text" parameters joined by "|"
    {"wrap", 0x10},     // writes "[" body "]"
    {"raw", 0x12},      // writes its body back, to be processed by the engine
    {"rawLength", 0x12},  // writes the byte count of the body as it arrived
    {"fail", 0x20},     // reports "message" and "hint" and answers MIPV
    {"code", 0x20},     // answers MOpF without a report
    {"setVar", 0x20},   // sets page variable "name" to "value"
    {"again", 0x12},    // answers its own tag again: never ends by itself
    {"deeper", 0x12},   // answers its own tag followed by text: nests deeper each time
    {"big", 0x20},      // writes "count" bytes of x
    {"property", 0x20}, // writes the region property "name", or "(absent)"
    {"tagName", 0x20},  // writes the tag's name as the host spells it
    {"leak", 0x20},     // allocates a block from the host and keeps it
    {"blocks", 0x20},   // allocates blocks of the "size" parameters, fills and checks them
    {"handOff", 0x20},  // allocates a block and releases it on another thread
};

// Every block of the listed sizes at once, each filled with its own byte, all
// checked before any is released (in the order they were made), then again
// after the releases: "ok", or what went wrong.
std::string exerciseBlocks(const std::vector<uint32_t>& sizes) {
  std::vector<unsigned char*> blocks;
  for (size_t round = 0; round < 2; ++round) {
    for (size_t i = 0; i < sizes.size(); ++i) {
      auto* block = static_cast<unsigned char*>(current->hostAllocate(sizes[i]));
      if (block == nullptr) return "no block of " + std::to_string(sizes[i]);
      if (reinterpret_cast<uintptr_t>(block) % 16 != 0) return "misaligned";
      std::memset(block, static_cast<int>(i + 1), sizes[i]);
      blocks.push_back(block);
    }
    for (size_t i = 0; i < sizes.size(); ++i)
      for (uint32_t b = 0; b < sizes[i]; ++b)
        if (blocks[i][b] != static_cast<unsigned char>(i + 1)) return "overlap in " + std::to_string(i);
    for (unsigned char* block : blocks) current->hostRelease(block);
    blocks.clear();
  }
  current->hostRelease(nullptr);  // allowed, and nothing
  return "ok";
}

uint32_t processTag() {
  std::string name, body, value;
  fetch(MTag, nullptr, 0, name);
  std::string folded;
  for (char c : name) folded += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  auto is = [&](const char* n) {
    std::string f;
    for (const char* p = n; *p; ++p) f += static_cast<char>(*p >= 'A' && *p <= 'Z' ? *p + 32 : *p);
    return f == folded;
  };
  if (is("echo")) {
    std::string out;
    for (int32_t i = 0; param("text", value, i); ++i) out += (i ? "|" : "") + value;
    write(out);
  } else if (is("wrap")) {
    fetch(MTBd, nullptr, 0, body);
    write("[" + body + "]");
  } else if (is("raw")) {
    fetch(MTBd, nullptr, 0, body);
    write(body);
  } else if (is("rawLength")) {
    fetch(MTBd, nullptr, 0, body);
    write(std::to_string(body.size()));
  } else if (is("fail")) {
    std::string message, hint;
    param("message", message);
    param("hint", hint);
    send(MSEI, message, &hint);
    return MIPV;
  } else if (is("code")) {
    return MOpF;
  } else if (is("setVar")) {
    std::string variable;
    param("name", variable);
    param("value", value);
    send(MSPV, variable, &value);
  } else if (is("again")) {
    fetch(MTBd, nullptr, 0, body);
    write(body + "<again>" + body + "</again>");
  } else if (is("deeper")) {
    fetch(MTBd, nullptr, 0, body);
    write("<deeper>" + body + "</deeper>.");
  } else if (is("big")) {
    param("count", value);
    write(std::string(std::strtoul(value.c_str(), nullptr, 10), 'x'));
  } else if (is("property")) {
    std::string property;
    param("name", property);
    write(fetch(MGPr, property.c_str(), 0, value) ? value : "(absent)");
  } else if (is("tagName")) {
    write(name);
  } else if (is("blocks")) {
    std::vector<uint32_t> sizes;
    for (int32_t i = 0; param("size", value, i); ++i)
      sizes.push_back(static_cast<uint32_t>(std::strtoul(value.c_str(), nullptr, 10)));
    write(exerciseBlocks(sizes));
  } else if (is("handOff")) {
    void* block = current->hostAllocate(24);
    HostReleaseFn release = current->hostRelease;
    std::thread([block, release] { release(block); }).join();
    write(block != nullptr ? "handed" : "none");
  } else if (is("leak")) {
    void* block = current->hostAllocate(16);
    if (keptCount < 64) {
      kept[keptCount++] = block;
      keptRelease = current->hostRelease;
    }
  }
  return 0;
}

}  // namespace

extern "C" BW_EXPORT uint32_t BW_CALL ProcessQELRequest(ModuleRequest* request) {
  const ModuleRequest* outer = current;
  current = request;
  uint32_t result = 0;
  switch (request->selector) {
    case MIni:
      send(MRMN, "Fake");
      send(MRMV, "0.1");
      for (const FakeTag& tag : kTags) {
        uint32_t count = static_cast<uint32_t>(std::strlen(tag.name) + 1);
        uint32_t flags = tag.flags;
        if (host(MRfT, const_cast<char*>(tag.name), &count, nullptr, nullptr, &flags) != 0) result = MUnk;
      }
      break;
    case MTag:
      result = processTag();
      break;
    case MGPr: {
      std::string value;
      write(std::string("<p>flag=") + (fetch(MGPr, "flag", 0, value) ? value : "(absent)") + "</p>");
      break;
    }
    case MSPr: {
      std::string value;
      if (fetch(MFAr, "flag", 0, value) && !value.empty()) {
        send(MSPr, "flag", &value);
      } else {
        send(MRPr, "flag");
      }
      const std::string set = "set";
      send(MSPr, "other", &set);
      break;
    }
    case MTrm:
      while (keptCount > 0) keptRelease(kept[--keptCount]);
      break;
    default:
      result = MUnF;
  }
  current = outer;
  return result;
}
