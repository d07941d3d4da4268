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
// (compileText), so that one walk serves them all.
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
  bool bodyCompiled = false;    // bodyItems is the body; otherwise it is compiled when walked
  bool bodyExpands = false;     // a body without "<" holds references; bodySegments is it cut
  SegmentRange bodySegments;
  bool endsText = false;        // nothing follows the tag in the text it sits in
  std::vector<CompiledItem> bodyItems;
};

// A text compiled: its items, and the lists their ranges are ranges of.
struct CompiledText {
  std::vector<CompiledItem> items;
  std::vector<TextSegment> segments;
  std::vector<CompiledValue> values;
  size_t referenceSlots = 0;  // how many names the references refer to (ReferenceValues' slots)
  uint64_t scannedBytes = 0;  // bytes the scan went through, start tags and bodies looked into
  uint64_t scanLimit = 0;     // the budget it was given

  // The scan budget of a page compiled to be kept: a start tag never closed
  // is read to the end of the text, and a body's end is looked for through
  // the rest of it, so a hostile page can make its scan quadratic.
  static constexpr uint64_t kDefaultScanBudget = 64ull * 1024 * 1024;

  // Bodies nested deeper than this are compiled when the render reaches
  // them, so that compiling a hostile page cannot exhaust the stack.
  static constexpr unsigned kDeepestCompiledBody = 64;
};

// Compiles `text` into `into`, reusing its storage; item offsets are counted
// from `base`.  The items view `text`.  Once the scan has gone through
// `budget` bytes it stops, and a ScanLimit item ends the items.
void compileText(const TagTable& tags, std::string_view text, size_t base, CompiledText& into,
                 uint64_t budget = CompiledText::kDefaultScanBudget);

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
