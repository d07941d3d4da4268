// A page scanned once, to be rendered many times.
//
// Scanning a page for its tags, their parameters and the ends of their bodies
// gives the same answer on every render, since it depends on the page text
// and the registered tags alone; only the variables, the request and the
// module's answers change.  A compiled page keeps that answer: the page as a
// list of items (runs of text, tags with their parameters and bodies, and the
// spots where the page is malformed, which are reported when rendered), so
// that rendering it walks the list instead of the text.  The texts that hold
// ${...} references (runs, parameter values, bodies without tags) are kept
// cut at them (reference_segments.h), so that a render looks the names up
// without reading the references again.  Rendering a compiled
// page gives exactly what rendering its text does, reports and limits
// included (see renderPage in page_renderer.h).
//
// The renderer compiles every text it walks this way: a page rendered once
// from its text, and each answer of a tag whose body goes back to the page
// (compileText), so that one walk serves them all.  The bodies of those tags
// are compiled with the text, as their answers are mostly a stretch of the
// body (a branch, a case, one pass of a loop): such an answer is walked as
// the body's items, not compiled again.
//
// Compiling takes time in proportion to the text, however deep its tags nest
// and however many are left open: one pass finds every tag and pairs each
// start tag with its end tag, and the items are cut from that.
//
// A compiled page owns a copy of its text, and points at the tag table of the
// library it was compiled for: it must not outlive that library.
#ifndef BRINDLE_ENGINE_COMPILED_PAGE_H
#define BRINDLE_ENGINE_COMPILED_PAGE_H

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/reference_segments.h"
#include "engine/tag_parameters.h"
#include "engine/tag_table.h"

namespace bw {

// A parameter value that holds references, cut at them.
struct CompiledValue {
  size_t entry = 0;  // its place in the tag's parameters
  SegmentRange segments;
};

struct CompiledItem {
  enum class Kind : unsigned char {
    Text,          // copied out, references expanded
    StrayEndTag,   // an end tag without its start tag: reported, left out
    Unterminated,  // a start tag never closed: reported; its text follows as text
    Unmatched,     // a body tag without its end tag: reported, left out
    Tag,
    ScanLimit,     // the scan ran out of its budget here: the page stops
  };
  Kind kind = Kind::Text;
  size_t offset = 0;      // in the text compiled (plus its base), of the run or of the tag's "<"
  std::string_view text;  // Text: the run
  bool mayExpand = false;  // Text: holds a reference or "$${"; segments is the run cut at them
  SegmentRange segments;

  // Tag (name also for the reports)
  std::string_view name;  // as spelled
  const RegisteredTag* tag = nullptr;
  size_t tagLength = 0;   // of the start tag
  TagParameters parameters;    // values as written
  bool parametersPlain = true;  // no value holds a reference: the list is handed over as it stands
  SegmentRange values;          // otherwise, the CompiledValues of those that do, in order
  std::string_view body;        // as written; empty without one
  size_t bodyOffset = 0;        // in the page
  bool bodyHasMarkup = false;   // the body holds "<"
  // bodyItems is the body (a raw one too, for the answers that are stretches
  // of it); otherwise a processed body is compiled when walked.
  bool bodyCompiled = false;
  bool bodyExpands = false;     // a body without "<" holds references; bodySegments is it cut
  SegmentRange bodySegments;
  std::vector<CompiledItem> bodyItems;
};

// A text compiled: its items, and the lists their ranges are ranges of.
struct CompiledText {
  std::vector<CompiledItem> items;
  std::vector<TextSegment> segments;
  std::vector<CompiledValue> values;
  size_t referenceSlots = 0;  // how many names the references refer to (ReferenceValues' slots)
  uint64_t scannedBytes = 0;  // bytes the scan read: start tags, and tags never closed up to where that was known
  uint64_t scanLimit = 0;     // the budget it was given

  // The scan budget of a page compiled to be kept.  The scan reads a text
  // about once, so this bounds the size of a text more than its shape.
  static constexpr uint64_t kDefaultScanBudget = 64ull * 1024 * 1024;

  // Bodies nested deeper than this are compiled when the render reaches
  // them, so that compiling a hostile page cannot exhaust the stack.
  static constexpr unsigned kDeepestCompiledBody = 64;
};

// Compiles `text` into `into`, reusing its storage; item offsets are counted
// from `base`.  The items view `text`.  Once the scan has gone through
// `budget` bytes it stops, and a ScanLimit item ends the items.  With
// `rawBodies` off, raw bodies are left as written: a text walked only once
// would compile a loop's body for nothing, as its answer is several copies.
void compileText(const TagTable& tags, std::string_view text, size_t base, CompiledText& into,
                 uint64_t budget = CompiledText::kDefaultScanBudget, bool rawBodies = true);

// The items of `tag`'s compiled body, [first, last), that compiling the
// stretch body[at, at + length) on its own gives: true when the stretch
// starts and ends where those items do (the items of a text tile it), and
// does not end on a tag name cut short, which read on its own is a tag never
// closed.  Their offsets are the body's.
bool stretchItems(const TagTable& tags, const CompiledItem& tag, size_t at, size_t length, size_t& first,
                  size_t& last);

class CompiledPage {
 public:
  static CompiledPage compile(const TagTable& tags, std::string_view page);

  std::string_view text() const { return *text_; }
  const TagTable& tags() const { return *tags_; }
  const CompiledText& compiled() const { return compiled_; }
  const std::vector<CompiledItem>& items() const { return compiled_.items; }

 private:
  CompiledPage() = default;
  // On the heap so that moving the page keeps the views of it valid.
  std::unique_ptr<const std::string> text_;
  const TagTable* tags_ = nullptr;
  CompiledText compiled_;
};

}  // namespace bw

#endif
