// The page walk: text, references and tags, with the limits.
#include "engine/page_renderer.h"

#include <algorithm>
#include <memory>

#include "engine/byte_scan.h"
#include "engine/compiled_page.h"
#include "engine/page_scanner.h"
#include "engine/page_variables.h"
#include "engine/text_util.h"

namespace bw {
namespace {

constexpr size_t kNotInPage = SIZE_MAX;

// Texts kept for reuse are let go once they grew past this, so that one large
// answer does not stay held for the rest of the page.
constexpr size_t kLargestKeptText = 64 * 1024;

// Where the next "<" or "$" is at or after `from`, or the text's end.
size_t nextMarkup(std::string_view text, size_t from) {
  return static_cast<size_t>(findMarkup(text.data() + from, text.data() + text.size()) - text.data());
}

// A text being walked.  The page and the bodies cut from it know where they
// sit in the page; an answer of a raw-body tag reports the place of that tag.
struct Frame {
  std::unique_ptr<std::string> owned;
  std::string_view text;
  size_t pos = 0;
  size_t pageBase = kNotInPage;
  size_t origin = 0;

  size_t pageOffset(size_t at) const { return pageBase == kNotInPage ? origin : pageBase + at; }
};

class Rendering {
 public:
  Rendering(ModuleLibrary& library, std::string_view page, PageContext& context,
            const EngineLimits& limits, RenderOutcome& outcome)
      : library_(library), tags_(library.tags()), page_(page), context_(context), limits_(limits),
        outcome_(outcome) {
    scope_.variables = &context.variables;
    scope_.index = &variableIndex_;
    scope_.requestFields = context.requestFields;
    session_.form = context.requestFields;
    session_.properties = context.properties;
    session_.variables = &context.variables;
  }

  void run() { process(page_, 0, 0, Escaping::Html, outcome_.output, 0); }
  void run(const CompiledPage& page) {
    segments_ = page.segments().data();
    values_ = page.values().data();
    referenceValues_.reset(scope_, page.referenceSlots());
    walk(page.items(), Escaping::Html, outcome_.output, 0);
  }

 private:
  void process(std::string_view text, size_t pageBase, size_t origin, Escaping escaping,
               std::string& out, uint32_t depth);
  // The compiled form of process, for a text of the page walked at `depth`
  // with no answer frames: the same output, reports and limits.
  void walk(const std::vector<CompiledItem>& items, Escaping escaping, std::string& out,
            uint32_t depth);
  bool walkTag(const CompiledItem& item, Escaping escaping, std::string& out, uint32_t depth);
  bool emitText(std::string& out, const CompiledItem& run, Escaping escaping);
  // A run cut at its references, output piece by piece as the text walk
  // would, so that the output limit stops it at the same place.
  bool emitSegments(std::string& out, const CompiledItem& run, Escaping escaping);
  // The parameters of a compiled tag whose values hold references, expanded.
  const TagParameters& expandedParameters(const CompiledItem& item, uint32_t depth);
  // Each reference's value as the render has it at this moment.
  auto valueNow() {
    return [this](const TextSegment& reference) { return referenceValues_.valueOf(reference); };
  }
  // The output limit passed by a run of text without references appended
  // whole: where the piece that passed it starts, as the walk would have met it.
  bool overflowInRun(std::string& out, std::string_view run, size_t offset);
  // A body of a tag, processed before the call; false once the page stopped.
  // A body without "<" is expanded by expand(into), which gives the body
  // expanded (in `into`, or the body itself when it has nothing to expand);
  // one with "<" is walked by walkBody(into).
  template <class Expand, class Walk>
  bool processBody(std::string_view& body, bool hasMarkup, uint32_t level, size_t offset, Expand expand,
                   Walk walkBody);
  // The answer of a raw-body tag, walked in place; framesLeft counts the
  // frame of the text the tag sits in, when it goes on after the tag.
  void walkAnswer(size_t offset, Escaping escaping, std::string& out, uint32_t depth, size_t framesLeft);
  bool callTag(std::string_view name, const RegisteredTag& tag, const TagParameters& parameters,
               std::string_view body, size_t offset);
  void reportStrayEndTag(size_t offset, std::string_view spelled);
  void reportUnterminated(size_t offset, std::string_view spelled);
  void reportUnmatched(size_t offset, std::string_view spelled);
  void stopNestedBodies(size_t offset);
  void stopNestedAnswers(size_t offset);
  TagParameters& parameterScratch(uint32_t depth);
  std::string& bodyScratch(uint32_t level);
  // Appends a piece of output; false, with the page stopped, once the output
  // passes its limit.
  bool emit(std::string& out, std::string_view piece, size_t offset) {
    // Most pieces between tags are a line break or nothing, for which a call
    // of append costs more than the byte.
    if (piece.size() == 1)
      out.push_back(piece[0]);
    else if (!piece.empty())
      out.append(piece.data(), piece.size());
    return out.size() <= limits_.maxOutputBytes || overflow(out, offset);
  }
  bool overflow(std::string& out, size_t offset);
  void report(size_t offset, std::string_view tag, std::string message, std::string hint,
              uint32_t code = 0, bool limit = false);
  void stop(size_t offset, std::string message, std::string hint);

  ModuleLibrary& library_;
  const TagTable& tags_;
  std::string_view page_;
  PageContext& context_;
  const EngineLimits& limits_;
  RenderOutcome& outcome_;
  VariableIndex variableIndex_;  // tags set variables during the page but never remove them
  VariableScope scope_;
  HostSession session_;
  std::vector<size_t> lineStarts_;
  // Processed bodies, one text per nesting level, reused from tag to tag so
  // that a body does not cost an allocation once the page is under way.  A
  // level's text is only in use while a tag of that level is being called,
  // and the tags of a body being processed sit at deeper levels.
  std::vector<std::unique_ptr<std::string>> bodies_;
  // The frame stacks of the walks in progress, one per depth, by the same
  // reasoning, and the texts of answers already walked, kept for the next
  // raw-body answers; both only so that a tag does not cost allocations.
  std::vector<std::unique_ptr<std::vector<Frame>>> frameStacks_;
  std::vector<std::unique_ptr<std::string>> spareTexts_;
  // Parameter lists of compiled tags whose values hold references, expanded
  // per render; one per depth, as a tag's list is in use while its body is.
  std::vector<std::unique_ptr<TagParameters>> parameterLists_;
  // The segment and value lists of the compiled page walked, if any.
  const TextSegment* segments_ = nullptr;
  const CompiledValue* values_ = nullptr;
  ReferenceValues referenceValues_;

  std::vector<Frame>& frameStack(uint32_t depth);
  void popFrame(std::vector<Frame>& frames);
};

std::vector<Frame>& Rendering::frameStack(uint32_t depth) {
  while (frameStacks_.size() <= depth) frameStacks_.push_back(std::make_unique<std::vector<Frame>>());
  std::vector<Frame>& frames = *frameStacks_[depth];
  while (!frames.empty()) popFrame(frames);  // left over by a page that stopped
  return frames;
}

void Rendering::popFrame(std::vector<Frame>& frames) {
  std::unique_ptr<std::string>& owned = frames.back().owned;
  if (owned != nullptr && owned->capacity() <= kLargestKeptText) spareTexts_.push_back(std::move(owned));
  frames.pop_back();
}

std::string& Rendering::bodyScratch(uint32_t level) {
  while (bodies_.size() <= level) bodies_.push_back(std::make_unique<std::string>());
  std::string& text = *bodies_[level];
  text.clear();
  return text;
}

void Rendering::process(std::string_view text, size_t pageBase, size_t origin, Escaping escaping,
                        std::string& out, uint32_t depth) {
  std::vector<Frame>& frames = frameStack(depth);
  frames.push_back(Frame{nullptr, text, 0, pageBase, origin});
  StartTag start;
  while (!frames.empty() && !outcome_.stopped) {
    Frame& f = frames.back();
    if (f.pos >= f.text.size()) {
      popFrame(frames);
      continue;
    }
    size_t next = nextMarkup(f.text, f.pos);
    if (!emit(out, f.text.substr(f.pos, next - f.pos), f.pageOffset(f.pos))) return;
    f.pos = next;
    if (next == f.text.size()) continue;

    if (f.text[next] == '$') {
      size_t used = expandReferenceAt(f.text, next, scope_, escaping, out);
      if (used == 0) out += '$';
      f.pos += std::max<size_t>(used, 1);
      if (!emit(out, {}, f.pageOffset(next))) return;
      continue;
    }

    const RegisteredTag* endOf = nullptr;
    if (size_t length = scanEndTag(tags_, f.text, next, &endOf)) {
      reportStrayEndTag(f.pageOffset(next), f.text.substr(next + 2, endOf->name.size()));
      f.pos += length;
      continue;
    }
    TagScan scan = scanStartTag(tags_, f.text, next, start);
    if (scan != TagScan::Found) {
      if (scan == TagScan::Unterminated) reportUnterminated(f.pageOffset(next), start.spelledName);
      if (!emit(out, "<", f.pageOffset(next))) return;
      ++f.pos;
      continue;
    }

    const size_t tagOffset = f.pageOffset(next);
    const RegisteredTag& tag = *start.tag;
    std::string_view body;
    size_t after = start.end;
    if (tag.hasBody() && !start.selfClosed) {
      BodyExtent extent;
      if (!findMatchingEnd(tags_, f.text, start.end, tag, extent)) {
        reportUnmatched(tagOffset, start.spelledName);
        f.pos = start.end;
        continue;
      }
      body = f.text.substr(start.end, extent.bodyEnd - start.end);
      after = extent.after;
    }
    expandParameterValues(start.parameters, scope_);

    const uint32_t level = depth + static_cast<uint32_t>(frames.size());
    if (tag.hasBody() && !tag.rawBody() && !body.empty()) {
      const size_t bodyBase = f.pageBase == kNotInPage ? kNotInPage : f.pageBase + start.end;
      const size_t origin = f.origin;
      const std::string_view written = body;
      if (!processBody(
              body, body.find('<') != std::string_view::npos, level, tagOffset,
              [&](std::string& into) {
                appendExpandedExactly(into, written, scope_);
                return std::string_view(into);
              },
              [&](std::string& into) { process(written, bodyBase, origin, Escaping::Exact, into, level); }))
        return;
    }

    if (!callTag(start.spelledName, tag, start.parameters, body, tagOffset)) return;
    // The answer stays in the session's output until the next call clears
    // it, so that text keeps its capacity from tag to tag.
    std::string& answer = session_.output;
    f.pos = after;
    if (!tag.rawBody()) {
      if (!emit(out, answer, tagOffset)) return;
      if (answer.capacity() > kLargestKeptText) std::string().swap(answer);
      continue;
    }
    if (answer.empty()) continue;
    // Nothing is left of a frame whose last tag this was, so it is dropped
    // before its answer is walked: a loop that continues itself by returning
    // a new tag at the end of its answer never deepens the stack.
    if (f.pos >= f.text.size()) popFrame(frames);
    if (depth + frames.size() > limits_.maxNesting) return stopNestedAnswers(tagOffset);
    Frame child;
    if (spareTexts_.empty()) {
      child.owned = std::make_unique<std::string>();
    } else {
      child.owned = std::move(spareTexts_.back());
      spareTexts_.pop_back();
    }
    // The frame takes the answer, and the session the spare's storage.
    child.owned->clear();
    child.owned->swap(answer);
    child.text = *child.owned;
    child.origin = tagOffset;
    frames.push_back(std::move(child));
  }
}

template <class Expand, class Walk>
bool Rendering::processBody(std::string_view& body, bool hasMarkup, uint32_t level, size_t offset,
                            Expand expand, Walk walkBody) {
  if (level > limits_.maxNesting) {
    stopNestedBodies(offset);
    return false;
  }
  std::string& processedBody = bodyScratch(level);
  // A body without "<" holds no tag, so processing it is expanding its
  // references, done without a walk; the walk still makes a body that
  // passes the limit, so that it stops the page where it does.
  if (!hasMarkup) {
    std::string_view expanded = expand(processedBody);
    if (expanded.size() <= limits_.maxOutputBytes) {
      body = expanded;
      return true;
    }
    processedBody.clear();
  }
  walkBody(processedBody);
  if (outcome_.stopped) return false;
  body = processedBody;
  return true;
}

void Rendering::walk(const std::vector<CompiledItem>& items, Escaping escaping, std::string& out,
                     uint32_t depth) {
  for (const CompiledItem& item : items) {
    if (outcome_.stopped) return;
    switch (item.kind) {
      case CompiledItem::Kind::Text:
        if (!emitText(out, item, escaping)) return;
        break;
      case CompiledItem::Kind::StrayEndTag:
        reportStrayEndTag(item.offset, item.name);
        break;
      case CompiledItem::Kind::Unterminated:
        reportUnterminated(item.offset, item.name);
        break;
      case CompiledItem::Kind::Unmatched:
        reportUnmatched(item.offset, item.name);
        break;
      case CompiledItem::Kind::Tag:
        if (!walkTag(item, escaping, out, depth)) return;
        break;
    }
  }
}

bool Rendering::emitText(std::string& out, const CompiledItem& run, Escaping escaping) {
  const std::string_view text = run.text;
  const size_t offset = run.offset;
  // Without "${" no "$" starts a reference, so the run is output as written.
  if (!run.mayExpand) {
    // Most runs between tags are one line break.
    if (text.size() == 1)
      out.push_back(text[0]);
    else
      out.append(text.data(), text.size());
    return out.size() <= limits_.maxOutputBytes || overflowInRun(out, text, offset);
  }
  return emitSegments(out, run, escaping);
}

bool Rendering::emitSegments(std::string& out, const CompiledItem& run, Escaping escaping) {
  // A literal holds the pieces between references, each "<" and "$" of it a
  // piece of its own, which overflowInRun tells apart; a reference or an
  // escape is one piece.
  const TextSegment* const first = segments_ + run.segments.first;
  for (const TextSegment* s = first; s != first + run.segments.count; ++s) {
    if (s->kind == TextSegment::Kind::Literal) {
      out.append(s->text.data(), s->text.size());
      if (out.size() > limits_.maxOutputBytes) return overflowInRun(out, s->text, run.offset + s->at);
      continue;
    }
    if (s->kind == TextSegment::Kind::Escape) {
      out.append(s->text.data(), s->text.size());
    } else if (const std::string* value = referenceValues_.valueOf(*s)) {
      if (escaping == Escaping::Html && !s->raw)
        appendHtmlEscaped(out, *value);
      else
        out.append(value->data(), value->size());
    }
    if (out.size() > limits_.maxOutputBytes) return overflow(out, run.offset + s->at);
  }
  return true;
}

bool Rendering::overflowInRun(std::string& out, std::string_view run, size_t offset) {
  // Each "<" and "$" is a piece of its own, and the text between them another.
  const size_t passing = limits_.maxOutputBytes - (out.size() - run.size());
  size_t pieceStart = passing;
  if (run[passing] != '<' && run[passing] != '$') {
    while (pieceStart > 0 && run[pieceStart - 1] != '<' && run[pieceStart - 1] != '$') --pieceStart;
  }
  return overflow(out, offset + pieceStart);
}

TagParameters& Rendering::parameterScratch(uint32_t depth) {
  while (parameterLists_.size() <= depth) parameterLists_.push_back(std::make_unique<TagParameters>());
  return *parameterLists_[depth];
}

const TagParameters& Rendering::expandedParameters(const CompiledItem& item, uint32_t depth) {
  TagParameters& expanded = parameterScratch(depth);
  expanded.assignEntries(item.parameters);
  // Every value that holds a reference holds a "$", so it is offered.
  const CompiledValue* next = values_ + item.values.first;
  const CompiledValue* const end = next + item.values.count;
  expanded.rewriteEntries([&](size_t entry, std::string_view, std::string& into) {
    if (next == end || next->entry != entry) return false;
    appendSegments(into, segments_ + next->segments.first, next->segments.count, valueNow());
    ++next;
    return true;
  });
  return expanded;
}

bool Rendering::walkTag(const CompiledItem& item, Escaping escaping, std::string& out, uint32_t depth) {
  const RegisteredTag& tag = *item.tag;
  const TagParameters& parameters = item.parametersPlain ? item.parameters : expandedParameters(item, depth);
  std::string_view body = item.body;
  const uint32_t level = depth + 1;
  if (tag.hasBody() && !tag.rawBody() && !body.empty() &&
      !processBody(
          body, item.bodyHasMarkup, level, item.offset,
          [&](std::string& into) {
            if (!item.bodyExpands) return item.body;
            appendSegments(into, segments_ + item.bodySegments.first, item.bodySegments.count, valueNow());
            return std::string_view(into);
          },
          [&](std::string& into) {
            if (item.bodyCompiled)
              walk(item.bodyItems, Escaping::Exact, into, level);
            else
              process(item.body, item.bodyOffset, 0, Escaping::Exact, into, level);
          }))
    return false;

  if (!callTag(item.name, tag, parameters, body, item.offset)) return false;
  std::string& answer = session_.output;
  if (!tag.rawBody()) {
    if (!emit(out, answer, item.offset)) return false;
    if (answer.capacity() > kLargestKeptText) std::string().swap(answer);
    return true;
  }
  if (answer.empty()) return true;
  walkAnswer(item.offset, escaping, out, depth, item.endsText ? 0 : 1);
  return !outcome_.stopped;
}

void Rendering::walkAnswer(size_t offset, Escaping escaping, std::string& out, uint32_t depth,
                           size_t framesLeft) {
  if (depth + framesLeft > limits_.maxNesting) return stopNestedAnswers(offset);
  std::unique_ptr<std::string> text;
  if (spareTexts_.empty()) {
    text = std::make_unique<std::string>();
  } else {
    text = std::move(spareTexts_.back());
    spareTexts_.pop_back();
  }
  text->clear();
  text->swap(session_.output);
  // The frames above the tag's own are the answer's, as in process.
  process(*text, kNotInPage, offset, escaping, out, depth + static_cast<uint32_t>(framesLeft));
  if (text->capacity() <= kLargestKeptText) spareTexts_.push_back(std::move(text));
}

void Rendering::reportStrayEndTag(size_t offset, std::string_view spelled) {
  report(offset, spelled, "Found &lt;/" + std::string(spelled) + "&gt; without its opening tag.",
         "Remove the end tag, or add the &lt;" + std::string(spelled) +
             "&gt; tag it should close. The end tag is left out of the page.");
}

void Rendering::reportUnterminated(size_t offset, std::string_view spelled) {
  std::string name(spelled);
  report(offset, name, "The &lt;" + name + "&gt; tag is never closed with &quot;&gt;&quot;.",
         "Close the tag, and check its quotes: every value must end with the quote it "
         "starts with. The text is shown as it was written.");
}

void Rendering::reportUnmatched(size_t offset, std::string_view spelled) {
  std::string name(spelled);
  report(offset, name, "The &lt;" + name + "&gt; tag has no matching &lt;/" + name + "&gt;.",
         "Add the end tag where the body should end. The tag is left out of the page.");
}

void Rendering::stopNestedBodies(size_t offset) {
  stop(offset, "Tag bodies are nested more than " + std::to_string(limits_.maxNesting) + " levels deep.",
       "Check for a tag whose output creates the tag again; the limit is set with "
       "--max-nesting. The rest of the page is left out.");
}

void Rendering::stopNestedAnswers(size_t offset) {
  stop(offset, "Tag answers are nested more than " + std::to_string(limits_.maxNesting) + " levels deep.",
       "Check for a tag whose output creates the tag again; the limit is set with "
       "--max-nesting. The rest of the page is left out.");
}

bool Rendering::callTag(std::string_view name, const RegisteredTag& tag, const TagParameters& parameters,
                        std::string_view body, size_t offset) {
  RenderStats& stats = outcome_.stats;
  if (stats.tagCalls >= limits_.maxTagCalls) {
    stop(offset, "The page made " + std::to_string(limits_.maxTagCalls) + " tag calls, the limit.",
         "Check for a loop that never ends; the limit is set with --max-tag-calls. The rest of "
         "the page is left out.");
    return false;
  }
  ++stats.tagCalls;
  TagInvocation invocation;
  invocation.name = name;
  invocation.parameters = &parameters;
  invocation.body = body;
  invocation.hasBody = tag.hasBody();
  session_.tag = &invocation;
  int64_t blocksBefore = moduleBlocksOutstanding();
  uint32_t result = library_.call(session_, MTag);
  session_.tag = nullptr;
  stats.blocksKept += moduleBlocksOutstanding() - blocksBefore;
  stats.exchanges += session_.exchanges;
  stats.yields += session_.yields;

  for (ModuleReport& r : session_.reports)
    report(offset, name, std::move(r.message), std::move(r.hint), result);
  if (result != 0 && session_.reports.empty())
    report(offset, name, "The &lt;" + std::string(name) + "&gt; tag failed with result " +
                             fourCharacterCode(result) + ".", "", result);
  return true;
}

bool Rendering::overflow(std::string& out, size_t offset) {
  out.resize(limits_.maxOutputBytes);
  stop(offset, "The output passed " + std::to_string(limits_.maxOutputBytes) + " bytes, the limit.",
       "Check for a loop that produces more than intended; the limit is set with --max-output. "
       "The rest of the page is left out.");
  return false;
}

void Rendering::report(size_t offset, std::string_view tag, std::string message, std::string hint,
                       uint32_t code, bool limit) {
  if (lineStarts_.empty()) {
    lineStarts_.push_back(0);
    for (size_t i = 0; i < page_.size(); ++i)
      if (page_[i] == '\n') lineStarts_.push_back(i + 1);
  }
  auto line = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset) - 1;
  PageReport r;
  r.file = context_.fileName;
  r.line = static_cast<size_t>(line - lineStarts_.begin()) + 1;
  r.column = offset - *line + 1;
  r.tag = std::string(tag);
  r.message = std::move(message);
  r.hint = std::move(hint);
  r.code = code;
  r.limit = limit;
  outcome_.reports.push_back(std::move(r));
  outcome_.tagReportedError = true;
}

void Rendering::stop(size_t offset, std::string message, std::string hint) {
  report(offset, "", std::move(message), std::move(hint), 0, true);
  outcome_.stopped = true;
}

}  // namespace

std::string formatReport(const PageReport& report) {
  std::string text = report.file + ":" + std::to_string(report.line) + ":" +
                     std::to_string(report.column) + ": ";
  if (!report.tag.empty()) text += "<" + report.tag + ">: ";
  text += report.limit ? "limit: " : "error: ";
  text += decodeEntities(report.message);
  text += '\n';
  if (!report.hint.empty()) text += "  hint: " + decodeEntities(report.hint) + "\n";
  return text;
}

RenderOutcome renderPage(ModuleLibrary& library, std::string_view page, PageContext& context,
                         const EngineLimits& limits) {
  RenderOutcome outcome;
  Rendering(library, page, context, limits, outcome).run();
  return outcome;
}

RenderOutcome renderPage(ModuleLibrary& library, const CompiledPage& page, PageContext& context,
                         const EngineLimits& limits) {
  // Compiled for another library's tags, the items may not be this one's.
  if (&page.tags() != &library.tags()) return renderPage(library, page.text(), context, limits);
  RenderOutcome outcome;
  Rendering(library, page.text(), context, limits, outcome).run(page);
  return outcome;
}

}  // namespace bw
