// Where the bytes of a tag's answer stand in the page.
//
// A tag whose body goes back to the page (qelIf, qelSwitch, qelLoop) answers
// with text made from that body: a branch or a case cut out of it, copies of
// it with the loop's index written in, and a new tag that continues a loop.
// The tags in such an answer are the author's tags, and their reports must
// name where the author wrote them.  The map is built once per answer by
// lining the answer up with the body: runs of bytes found in the body map to
// their place there; bytes that replace something in the body (a loop index
// written over its "&...;" entity) map to that entity; bytes found nowhere in
// the body (a continuation tag) were written by the answering tag and map to
// it, which the reports say.  The work is bounded: a few passes over the
// answer and the body, and once those are spent the rest of the answer maps
// to the answering tag.
//
// Offsets in the map are page offsets, settled when the answer arrives, so the
// map stays true after the text the answering tag sat in is gone.
#ifndef BRINDLE_ENGINE_ANSWER_MAP_H
#define BRINDLE_ENGINE_ANSWER_MAP_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace bw {

// Where one byte of a walked text stands: its page offset; how many bytes
// from it on stand in the same way (one for one after it in the page, or,
// when `fixed`, all for that one place: a value written over an entity);
// and whether the answering tag wrote it rather than the page's author.
struct PagePlace {
  size_t offset = 0;
  size_t left = SIZE_MAX;
  bool fixed = false;
  bool written = false;
};

class AnswerMap {
 public:
  // The place of a byte of the text the answering tag's body was cut from.
  class BodyPlaces {
   public:
    virtual PagePlace placeOf(size_t at) const = 0;

   protected:
    ~BodyPlaces() = default;
  };

  // Maps `answer`, given by the tag `writer` at page offset `tagOffset`,
  // whose body `body` starts at `bodyAt` in a text whose places are `text`.
  void build(std::string_view answer, std::string_view body, size_t bodyAt, const BodyPlaces& text,
             std::string_view writer, size_t tagOffset);

  // Whether build() maps `answer` as one stretch of `body`, copied as it
  // stands from body[at] on: every byte of it then stands where that byte of
  // the body does, and the answer is walked as the body's own text.
  static bool isStretchOf(std::string_view answer, std::string_view body, size_t& at);

  PagePlace placeOf(size_t at) const;
  size_t pageOffset(size_t at) const { return placeOf(at).offset; }
  const std::string& writer() const { return writer_; }

 private:
  enum class From : unsigned char { Body, Replaced, Written };
  struct Piece {
    size_t start = 0;  // in the answer
    size_t page = 0;   // of the piece's first byte
    From from = From::Body;
  };
  void add(size_t start, size_t page, From from);
  void addCopied(size_t start, size_t length, size_t bodyAt, const BodyPlaces& text);

  std::vector<Piece> pieces_;
  std::string writer_;
  size_t tagOffset_ = 0;
};

}  // namespace bw

#endif
