// Fuzzes the tag-body scanner, then cuts the scanned body with merges.
//
// Invariants: the token texts read in order are the body up to its first 0
// byte; neighbour links agree in both directions; every partner link is
// mutual and links an opening tag to an end tag; after scanning, only paired
// opening tags carry the paired flag.  After any merge all of this still
// holds and no partner points at a destroyed token (the address sanitizer
// would see it); only the first token of a merge may keep its paired flag
// when its end tag went into the merge, since a merge keeps that token's kind.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "tags/tag_body.h"

namespace {

using bw::BodyToken;
using bw::TagBody;

std::vector<BodyToken*> checkedTokens(const TagBody& body, const std::string& expected, bool merged) {
  std::vector<BodyToken*> tokens;
  std::string joined;
  const BodyToken* previous = nullptr;
  for (BodyToken* t = body.head; t != nullptr; t = t->next) {
    FUZZ_CHECK(t->prev == previous);
    FUZZ_CHECK(t->text.length() > 0);
    joined.append(t->text.data(), t->text.length());
    if (t->partner != nullptr) {
      FUZZ_CHECK(t->partner->partner == t);
      FUZZ_CHECK(((t->kind & bw::kClosingFlag) != 0) != ((t->partner->kind & bw::kClosingFlag) != 0));
      if ((t->kind & bw::kClosingFlag) == 0) FUZZ_CHECK((t->kind & bw::kPairedFlag) != 0);
    } else if (!merged) {
      FUZZ_CHECK((t->kind & bw::kPairedFlag) == 0);
    }
    previous = t;
    tokens.push_back(t);
  }
  FUZZ_CHECK(body.tail == previous);
  FUZZ_CHECK(joined == expected);
  return tokens;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  bw::fuzz::installCountingHeap();
  FuzzedDataProvider in(data, size);
  const bool pairAll = in.ConsumeBool();
  const int merges = in.ConsumeIntegralInRange<int>(0, 4);
  std::vector<std::pair<uint16_t, uint16_t>> cuts;
  for (int i = 0; i < merges; ++i)
    cuts.emplace_back(in.ConsumeIntegral<uint16_t>(), in.ConsumeIntegral<uint16_t>());
  const std::string raw = in.ConsumeRemainingBytesAsString();
  const std::string expected = raw.substr(0, raw.find('\0'));
  {
    TagBody body(bw::QelString(raw.data(), static_cast<uint32_t>(raw.size())), pairAll);
    std::vector<BodyToken*> tokens = checkedTokens(body, expected, false);
    for (auto [from, span] : cuts) {
      if (tokens.empty()) break;
      const size_t first = from % tokens.size();
      const size_t last = first + span % (tokens.size() - first);
      const bw::QelString run = TagBody::joinedText(tokens[first], tokens[last]);
      const std::string joined(run.data(), run.length());
      body.merge(tokens[first], tokens[last]);
      FUZZ_CHECK(std::string(tokens[first]->text.data(), tokens[first]->text.length()) == joined);
      tokens = checkedTokens(body, expected, true);
    }
  }
  FUZZ_CHECK(bw::fuzz::outstandingBlocks() == 0);
  return 0;
}
