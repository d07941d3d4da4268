// Lining an answer up with the body it was made from.
//
// The walk goes through the answer once with a place in the body beside it.
// Where the bytes agree they are copied bytes.  Where they part:
//   - at the end of the body, a new copy of it may start (loop copies);
//   - at an "&...;" entity of the body, the answer holds the value written
//     over it, up to where the body goes on after the entity;
//   - otherwise the next bytes of the answer are looked for anywhere in the
//     body (a branch or a case starts somewhere inside it), and failing that,
//     the answering tag wrote them, up to where a copy of the body starts.
// Every search is counted, and past the budget the rest of the answer is
// taken as the tag's own, so a hostile answer costs a few passes at most.
#include "engine/answer_map.h"

#include <algorithm>
#include <cstring>

namespace bw {
namespace {

// How many bytes of the answer must be found in the body for the two to be
// lined up again: enough that the start of a tag the module wrote (a loop's
// continuation) is not mistaken for the author's own tag of the same name.
constexpr size_t kResyncKey = 32;
// The fewer bytes looked for when those are not found.
constexpr size_t kShortKey = 8;
// The longest "&...;" taken for an entity a value was written over.
constexpr size_t kLongestEntity = 96;
// The search budget, in passes over answer and body together.
constexpr uint64_t kPassesOfWork = 4;

size_t findFrom(std::string_view text, size_t from, std::string_view needle) {
  if (needle.empty() || from > text.size()) return std::string_view::npos;
  const void* hit = memmem(text.data() + from, text.size() - from, needle.data(), needle.size());
  return hit == nullptr ? std::string_view::npos : static_cast<size_t>(static_cast<const char*>(hit) - text.data());
}

}  // namespace

void AnswerMap::add(size_t start, size_t page, From from) {
  if (!pieces_.empty() && pieces_.back().start == start) pieces_.pop_back();
  if (!pieces_.empty() && pieces_.back().from == from && from != From::Body && pieces_.back().page == page) return;
  pieces_.push_back(Piece{start, page, from});
}

void AnswerMap::addCopied(size_t start, size_t length, size_t bodyAt, const BodyPlaces& text) {
  while (length > 0) {
    const PagePlace place = text.placeOf(bodyAt);
    const size_t n = std::min(length, std::max<size_t>(place.left, 1));
    add(start, place.offset, place.written ? From::Written : place.fixed ? From::Replaced : From::Body);
    start += n;
    bodyAt += n;
    length -= n;
  }
}

void AnswerMap::build(std::string_view answer, std::string_view body, size_t bodyAt, const BodyPlaces& text,
                      std::string_view writer, size_t tagOffset) {
  pieces_.clear();
  writer_.assign(writer.data(), writer.size());
  tagOffset_ = tagOffset;
  const size_t a = answer.size();
  const size_t b = body.size();
  const uint64_t budget = kPassesOfWork * (uint64_t{a} + b) + 4096;
  uint64_t work = 0;
  size_t i = 0;
  size_t j = 0;
  bool lined = false;
  while (i < a && work <= budget) {
    if (lined && j < b && answer[i] == body[j]) {
      const size_t from = i;
      const size_t fromBody = j;
      while (i < a && j < b && answer[i] == body[j]) ++i, ++j;
      work += i - from;
      addCopied(from, i - from, bodyAt + fromBody, text);
      continue;
    }
    if (lined && j == b && b > 0 && answer[i] == body[0]) {  // the next copy
      j = 0;
      continue;
    }
    if (lined && j < b && body[j] == '&') {
      const size_t semicolon = body.substr(j, kLongestEntity).find(';');
      // The value ends where the body goes on (up to its next entity, which
      // a value may stand for as well), or, for an entity that ends the
      // body, where the next copy starts.
      const size_t after = semicolon == std::string_view::npos ? b : j + semicolon + 1;
      const size_t goesOnAt = after < b ? after : 0;
      const size_t nextEntity = std::min(body.find('&', goesOnAt), b);
      const std::string_view goesOn = body.substr(goesOnAt, std::min(kResyncKey, nextEntity - goesOnAt));
      if (semicolon != std::string_view::npos && !goesOn.empty()) {
        const size_t resume = findFrom(answer, i, goesOn);
        work += (resume == std::string_view::npos ? a : resume) - i;
        add(i, text.placeOf(bodyAt + j).offset, From::Replaced);
        if (resume == std::string_view::npos) {
          i = a;
          break;
        }
        i = resume;
        j = goesOnAt;
        continue;
      }
    }
    // A copy of the body mostly starts the answer; but a stretch cut from
    // further in (a case, a branch) may start with the bytes the body starts
    // with, and is lined up where its first bytes stand in full.
    if (!lined && i == 0 && b > 0 && answer[0] == body[0]) {
      const size_t found = findFrom(body, 0, answer.substr(0, kResyncKey));
      work += uint64_t{b};
      j = found == std::string_view::npos ? 0 : found;
      lined = true;
      continue;
    }
    // The next bytes anywhere in the body: many, so that a tag the module
    // wrote is not lined up with the author's, or failing that a few, as a
    // value written over an entity may follow soon.
    size_t found = findFrom(body, 0, answer.substr(i, kResyncKey));
    if (found == std::string_view::npos && a - i > kShortKey) found = findFrom(body, 0, answer.substr(i, kShortKey));
    work += 2 * uint64_t{b};
    if (found != std::string_view::npos) {
      j = found;
      lined = true;
      continue;
    }
    // Found nowhere in the body: the tag's own text, up to the next copy.
    add(i, tagOffset, From::Written);
    const size_t next = findFrom(answer, i + 1, body.substr(0, kResyncKey));
    work += (next == std::string_view::npos ? a : next) - i;
    if (next == std::string_view::npos) {
      i = a;
      break;
    }
    i = next;
    j = 0;
    lined = true;
  }
  if (i < a) add(i, tagOffset, From::Written);  // past the budget
}

bool AnswerMap::isStretchOf(std::string_view answer, std::string_view body, size_t& at) {
  if (answer.empty() || answer.size() > body.size()) return false;
  // build() lines the answer up where its first kResyncKey bytes first stand
  // (at the start when the two agree there), and it is a stretch when from
  // there every byte agrees.
  const std::string_view key = answer.substr(0, kResyncKey);
  const size_t found = body.compare(0, key.size(), key) == 0 ? 0 : findFrom(body, 0, key);
  if (found == std::string_view::npos || body.size() - found < answer.size() ||
      body.compare(found, answer.size(), answer) != 0)
    return false;
  at = found;
  return true;
}

PagePlace AnswerMap::placeOf(size_t at) const {
  auto after = std::upper_bound(pieces_.begin(), pieces_.end(), at,
                                [](size_t x, const Piece& p) { return x < p.start; });
  if (after == pieces_.begin()) return PagePlace{tagOffset_, SIZE_MAX, true, true};
  const Piece& piece = *(after - 1);
  const size_t left = after == pieces_.end() ? SIZE_MAX : after->start - at;
  if (piece.from == From::Body) return PagePlace{piece.page + (at - piece.start), left, false, false};
  return PagePlace{piece.page, left, true, piece.from == From::Written};
}

}  // namespace bw
