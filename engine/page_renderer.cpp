// The page walk: text, references and tags of a compiled text, with the limits.
#include "engine/page_renderer.h"

#include <algorithm>
#include <chrono>
#include <memory>

#include "engine/answer_escaping.h"
#include "engine/answer_map.h"
#include "engine/compiled_page.h"
#include "engine/page_variables.h"
#include "engine/text_util.h"

namespace bw {
namespace {

// Texts kept for reuse are let go once they grew past this, so that one large
// answer does not stay held for the rest of the page.
constexpr size_t kLargestKeptText = 64 * 1024;

// How much of a value a report shows.
constexpr size_t kLongestShownValue = 80;

// Where a report points: a page offset, and, when the tag stands in text
// that a tag wrote rather than the author, that tag's name.
struct ReportPlace {
  size_t offset = 0;
  std::string_view writtenBy;
};

// A text the walk goes through: the page, a body, or an answer, compiled,
// with how its items' offsets become page offsets (no map: they are).
struct WalkedText {
  const CompiledText* compiled = nullptr;
  ReferenceValues* references = nullptr;  // the page's cache; null: each name looked up when met
  const AnswerMap* map = nullptr;

  PagePlace placeOf(size_t offset) const {
    return map == nullptr ? PagePlace{offset, SIZE_MAX, false, false} : map->placeOf(offset);
  }
  ReportPlace reportPlace(size_t offset) const {
    if (map == nullptr) return ReportPlace{offset, {}};
    const PagePlace place = map->placeOf(offset);
    return ReportPlace{place.offset, place.written ? std::string_view(map->writer()) : std::string_view()};
  }
};

// A walked text's places, as the answer map of an answer cut from it reads them.
struct TextPlaces final : AnswerMap::BodyPlaces {
  explicit TextPlaces(const WalkedText& text) : text(text) {}
  PagePlace placeOf(size_t at) const override { return text.placeOf(at); }
  const WalkedText& text;
};

// A text compiled by the render itself (an answer, or a body nested deeper
// than the page was compiled), with what it was made from.
struct OwnedText {
  std::string answer;  // the text compiled, when it is an answer
  CompiledText compiled;
  AnswerMap map;
};

// The walk of one text: the next item, and the text itself.  `level` counts
// the answers this one is nested in, each a tag the author wrote inside the
// body of another; a tag that a tag wrote itself (a loop going on) adds none.
// An answer that is a stretch of its tag's body is walked as the body's
// items [next, end), in the text the body stands in; `owned` then holds that
// text when it is an answer whose frame is gone.
struct Frame {
  WalkedText text;
  const std::vector<CompiledItem>* items = nullptr;
  size_t next = 0;
  size_t end = 0;
  std::unique_ptr<OwnedText> owned;
  uint32_t level = 0;
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
    scope_.outsideVariables = &context.outsideVariables;
    session_.outsideVariables = &context.outsideVariables;
    session_.form = context.requestFields;
    session_.properties = context.properties;
    session_.variables = &context.variables;
    deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(limits.maxRenderMillis);
  }

  // A page rendered once is compiled here, in the same way as one kept,
  // but for its raw bodies: those are compiled as their answers come.
  void run() {
    CompiledText compiled;
    compileText(tags_, page_, 0, compiled, limits_.maxScannedBytes, false);
    scanned_ = compiled.scannedBytes;
    run(compiled);
  }
  void run(const CompiledText& page) {
    pageCompiled_ = &page;
    referenceValues_.reset(scope_, page.referenceSlots);
    walk(WalkedText{&page, &referenceValues_, nullptr}, page.items, Escaping::Html, outcome_.output, 0);
  }

 private:
  // Walks items of `text` and the answers they bring, at `depth`: the
  // nesting of the bodies being processed around them.
  void walk(const WalkedText& text, const std::vector<CompiledItem>& items, Escaping escaping,
            std::string& out, uint32_t depth);
  // A tag of `frame`: its body processed, its call, and its answer output or,
  // for a raw-body tag, pushed as the next frame; false once the page stopped.
  bool walkTag(std::vector<Frame>& frames, const CompiledItem& item, Escaping escaping, std::string& out,
               uint32_t depth);
  // Pushes the frame of a raw-body answer of `answerBytes` bytes, compiled
  // first unless it is walked as its tag's body; false once the page stopped.
  bool pushAnswer(std::vector<Frame>& frames, Frame child, size_t answerBytes, bool compile,
                  const ReportPlace& tagPlace, uint32_t depth);
  bool emitText(std::string& out, const WalkedText& text, const CompiledItem& run, Escaping escaping);
  // The parameters of a compiled tag whose values hold references, expanded.
  // By the rules for values from outside the page; `inputs` tells what they
  // brought in.
  const TagParameters& expandedParameters(const WalkedText& text, const CompiledItem& item, uint32_t level,
                                          TagInputs& inputs);
  // Calls the tag and leaves its answer, escaped as what its inputs held
  // requires, in the session's output; false once the page stopped.
  bool callTagWithInputs(const CompiledItem& item, const TagParameters& parameters, std::string_view body,
                         OutsideText bodyHeld, const TagInputs& inputs, const ReportPlace& at);
  // Each reference's value as the render has it at this moment.
  auto valueNow(const WalkedText& text) {
    return [this, cache = text.references](const TextSegment& reference) {
      return cache != nullptr ? cache->valueOf(reference) : bw::valueOf(reference, scope_);
    };
  }
  // The body of a data-body tag, processed before the call; false once the
  // page stopped.
  // `held` tells what the body holds from outside the page.
  bool processBody(const WalkedText& text, const CompiledItem& item, std::string_view& body, uint32_t level,
                   OutsideText& held);
  bool callTag(const CompiledItem& item, const TagParameters& parameters, std::string_view body,
               const ReportPlace& at);
  // Counts bytes scanned or exchanged with the module; false, with the page
  // stopped, once they pass their limit.
  bool takeScanned(uint64_t bytes, const ReportPlace& at);
  void stopScanned(const ReportPlace& at, uint64_t limit);
  void reportStrayEndTag(const ReportPlace& at, std::string_view spelled);
  void reportUnterminated(const ReportPlace& at, std::string_view spelled);
  void reportUnmatched(const ReportPlace& at, std::string_view spelled);
  void stopNestedBodies(const ReportPlace& at);
  void stopNestedAnswers(const ReportPlace& at);
  TagParameters& parameterScratch(uint32_t level);
  std::string& bodyScratch(uint32_t level);
  std::unique_ptr<OwnedText> spareText();
  void keepSpare(std::unique_ptr<OwnedText> text);
  // Appends a piece of output; false, with the page stopped, once the output
  // passes its limit; `offset` is the piece's first byte in the page.
  bool emit(std::string& out, std::string_view piece, const ReportPlace& at) {
    // Most pieces between tags are a line break or nothing, for which a call
    // of append costs more than the byte.
    if (piece.size() == 1)
      out.push_back(piece[0]);
    else if (!piece.empty())
      out.append(piece.data(), piece.size());
    return out.size() <= limits_.maxOutputBytes || overflow(out, at);
  }
  bool overflow(std::string& out, const ReportPlace& at);
  void report(const ReportPlace& at, std::string_view tag, std::string message, std::string hint,
              uint32_t code = 0, bool limit = false);
  void stop(const ReportPlace& at, std::string message, std::string hint);

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
  // answers; both only so that a tag does not cost allocations.
  std::vector<std::unique_ptr<std::vector<Frame>>> frameStacks_;
  std::vector<std::unique_ptr<OwnedText>> spareTexts_;
  // Parameter lists of compiled tags whose values hold references, expanded
  // per render; one per level, as a tag's list is in use while its body is.
  std::vector<std::unique_ptr<TagParameters>> parameterLists_;
  ReferenceValues referenceValues_;  // of the page's own references
  // What the data body being processed holds from outside the page; null in
  // page text, where such values are escaped as they come.
  OutsideText* bodyOutside_ = nullptr;
  const CompiledText* pageCompiled_ = nullptr;
  uint64_t scanned_ = 0;  // bytes scanned for tags, handed to the module and taken back
  std::chrono::steady_clock::time_point deadline_;

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
  if (frames.back().owned != nullptr) keepSpare(std::move(frames.back().owned));
  frames.pop_back();
}

std::unique_ptr<OwnedText> Rendering::spareText() {
  if (spareTexts_.empty()) return std::make_unique<OwnedText>();
  std::unique_ptr<OwnedText> text = std::move(spareTexts_.back());
  spareTexts_.pop_back();
  return text;
}

void Rendering::keepSpare(std::unique_ptr<OwnedText> text) {
  if (text->answer.capacity() <= kLargestKeptText) spareTexts_.push_back(std::move(text));
}

std::string& Rendering::bodyScratch(uint32_t level) {
  while (bodies_.size() <= level) bodies_.push_back(std::make_unique<std::string>());
  std::string& text = *bodies_[level];
  text.clear();
  return text;
}

void Rendering::walk(const WalkedText& text, const std::vector<CompiledItem>& items, Escaping escaping,
                     std::string& out, uint32_t depth) {
  std::vector<Frame>& frames = frameStack(depth);
  frames.push_back(Frame{text, &items, 0, items.size(), nullptr, 0});
  while (!frames.empty() && !outcome_.stopped) {
    Frame& f = frames.back();
    if (f.next == f.end) {
      popFrame(frames);
      continue;
    }
    const CompiledItem& item = (*f.items)[f.next++];
    switch (item.kind) {
      case CompiledItem::Kind::Text:
        if (!emitText(out, f.text, item, escaping)) return;
        break;
      case CompiledItem::Kind::StrayEndTag:
        reportStrayEndTag(f.text.reportPlace(item.offset), item.name);
        break;
      case CompiledItem::Kind::Unterminated:
        reportUnterminated(f.text.reportPlace(item.offset), item.name);
        break;
      case CompiledItem::Kind::Unmatched:
        reportUnmatched(f.text.reportPlace(item.offset), item.name);
        break;
      case CompiledItem::Kind::Tag:
        if (!walkTag(frames, item, escaping, out, depth)) return;
        break;
      case CompiledItem::Kind::ScanLimit:
        // A kept page was compiled with its own budget; every other text
        // with what was left of the render's.
        return stopScanned(f.text.reportPlace(item.offset),
                           f.text.compiled == pageCompiled_ ? pageCompiled_->scanLimit : limits_.maxScannedBytes);
    }
  }
}

bool Rendering::emitText(std::string& out, const WalkedText& text, const CompiledItem& run, Escaping escaping) {
  const size_t before = out.size();
  if (!run.mayExpand) {
    // Most runs between tags are one line break.
    if (run.text.size() == 1)
      out.push_back(run.text[0]);
    else
      out.append(run.text.data(), run.text.size());
    return out.size() <= limits_.maxOutputBytes ||
           overflow(out, text.reportPlace(run.offset + (limits_.maxOutputBytes - before)));
  }
  const TextSegment* const first = text.compiled->segments.data() + run.segments.first;
  for (const TextSegment* s = first; s != first + run.segments.count; ++s) {
    const size_t segmentStart = out.size();
    if (!s->isReference()) {
      out.append(s->text.data(), s->text.size());
    } else if (const std::string* value = valueNow(text)(*s)) {
      if (escaping == Escaping::Html && !s->raw)
        appendHtmlEscaped(out, *value);
      else
        out.append(value->data(), value->size());
      if (bodyOutside_ != nullptr && !value->empty() && comesFromOutside(*s, scope_))
        *bodyOutside_ = OutsideText::Exact;
    }
    if (out.size() <= limits_.maxOutputBytes) continue;
    // A literal passes the limit at one of its bytes; a value at its reference.
    const size_t into = s->kind == TextSegment::Kind::Literal ? limits_.maxOutputBytes - segmentStart : 0;
    return overflow(out, text.reportPlace(run.offset + s->at + into));
  }
  return true;
}

TagParameters& Rendering::parameterScratch(uint32_t level) {
  while (parameterLists_.size() <= level) parameterLists_.push_back(std::make_unique<TagParameters>());
  return *parameterLists_[level];
}

const TagParameters& Rendering::expandedParameters(const WalkedText& text, const CompiledItem& item,
                                                   uint32_t level, TagInputs& inputs) {
  TagParameters& expanded = parameterScratch(level);
  expanded.assignEntries(item.parameters);
  // Every value that holds a reference holds a "$", so it is offered.
  const TextSegment* segments = text.compiled->segments.data();
  const CompiledValue* next = text.compiled->values.data() + item.values.first;
  const CompiledValue* const end = next + item.values.count;
  auto lookup = valueNow(text);
  inputs = expandTagParameters(
      item.tag->name, expanded, bodyOutside_ == nullptr,
      [&](size_t entry, std::string_view, std::string& into, Insertion insertion) -> std::optional<OutsideText> {
        if (next == end || next->entry != entry) return std::nullopt;
        const CompiledValue& value = *next++;
        return appendSegmentsMarked(into, segments + value.segments.first, value.segments.count, lookup, scope_,
                                    insertion);
      });
  if (inputs.indexNameCut)
    report(text.reportPlace(item.offset), item.name, kOutsideIndexNameMessage, kOutsideIndexNameHint);
  return expanded;
}

bool Rendering::callTagWithInputs(const CompiledItem& item, const TagParameters& parameters, std::string_view body,
                                  OutsideText bodyHeld, const TagInputs& inputs, const ReportPlace& at) {
  const RegisteredTag& tag = *item.tag;
  OutsideText input = inputs.copied;
  if (bodyHeld != OutsideText::None && isCopiedBody(tag.name)) addTo(input, bodyHeld);
  session_.tagInputFromOutside = input != OutsideText::None;
  if (!callTag(item, parameters, body, at)) return false;
  // A raw-body answer is walked as page text next, where what it holds is
  // escaped as it comes; any other is written where the tag stood.
  const bool intoPage = bodyOutside_ == nullptr && !tag.rawBody();
  const OutsideText held = finishAnswer(tag.name, parameters, input, intoPage, session_.output);
  if (bodyOutside_ != nullptr) addTo(*bodyOutside_, held);
  return true;
}

bool Rendering::processBody(const WalkedText& text, const CompiledItem& item, std::string_view& body,
                            uint32_t level, OutsideText& held) {
  const ReportPlace tagPlace = text.reportPlace(item.offset);
  if (level > limits_.maxNesting) {
    stopNestedBodies(tagPlace);
    return false;
  }
  // References and answers in the body report what they bring in to `held`.
  struct Restore {
    OutsideText*& slot;
    OutsideText* saved;
    ~Restore() { slot = saved; }
  } restore{bodyOutside_, bodyOutside_};
  bodyOutside_ = &held;
  std::string& processed = bodyScratch(level);
  // A body without "<" holds no tag, so processing it is expanding its
  // references; one that passes the output limit is walked instead, so that
  // the limit stops the page where it does.
  if (!item.bodyHasMarkup) {
    std::string_view expanded = item.body;
    if (item.bodyExpands) {
      addTo(held, appendSegmentsMarked(processed, text.compiled->segments.data() + item.bodySegments.first,
                                       item.bodySegments.count, valueNow(text), scope_, Insertion::Exact));
      expanded = processed;
    }
    if (expanded.size() <= limits_.maxOutputBytes) {
      body = expanded;
      return true;
    }
    processed.clear();
    CompiledItem run;
    run.offset = item.bodyOffset;
    run.text = item.body;
    run.mayExpand = item.bodyExpands;
    run.segments = item.bodySegments;
    emitText(processed, text, run, Escaping::Exact);
    return false;
  }
  if (item.bodyCompiled) {
    walk(text, item.bodyItems, Escaping::Exact, processed, level);
  } else {
    // Deeper than the page was compiled: compiled now, for this walk only.
    std::unique_ptr<OwnedText> deep = spareText();
    compileText(tags_, item.body, item.bodyOffset, deep->compiled,
                limits_.maxScannedBytes - std::min(scanned_, limits_.maxScannedBytes));
    scanned_ += deep->compiled.scannedBytes;
    walk(WalkedText{&deep->compiled, nullptr, text.map}, deep->compiled.items, Escaping::Exact, processed, level);
    keepSpare(std::move(deep));
  }
  if (outcome_.stopped) return false;
  body = processed;
  return true;
}

bool Rendering::walkTag(std::vector<Frame>& frames, const CompiledItem& item, Escaping escaping,
                        std::string& out, uint32_t depth) {
  const WalkedText text = frames.back().text;
  const ReportPlace tagPlace = text.reportPlace(item.offset);
  const RegisteredTag& tag = *item.tag;
  // The level of this tag's body and parameters: the answers being walked
  // around it count as levels as bodies do.
  const uint32_t level = depth + static_cast<uint32_t>(frames.size());
  TagInputs inputs;
  const TagParameters& parameters =
      item.parametersPlain ? item.parameters : expandedParameters(text, item, level, inputs);
  std::string_view body = item.body;
  OutsideText bodyHeld = OutsideText::None;
  if (tag.hasBody() && !tag.rawBody() && !body.empty() && !processBody(text, item, body, level, bodyHeld))
    return false;

  if (!callTagWithInputs(item, parameters, body, bodyHeld, inputs, tagPlace)) return false;
  // The answer stays in the session's output until the next call clears
  // it, so that text keeps its capacity from tag to tag.
  std::string& answer = session_.output;
  if (!tag.rawBody()) {
    if (!emit(out, answer, tagPlace)) return false;
    if (answer.capacity() > kLargestKeptText) std::string().swap(answer);
    return true;
  }
  if (answer.empty()) return true;
  // A tag the author wrote inside another's body nests one level deeper than
  // the text it stands in; one that a tag wrote (a loop going on) does not.
  const PagePlace place = text.placeOf(item.offset);
  const bool authored = !place.written && !place.fixed && place.left >= item.tagLength;
  const uint32_t answerLevel = frames.back().level + (authored ? 1 : 0);
  Frame child;
  child.level = answerLevel;
  // Nothing is left of a frame whose last tag this was, so it is dropped
  // before its answer is walked: a loop that continues itself by returning
  // a new tag at the end of its answer never deepens the stack.
  const bool parentDone = frames.back().next == frames.back().end;
  size_t at = 0, first = 0, last = 0;
  if (AnswerMap::isStretchOf(answer, item.body, at) && stretchItems(tags_, item, at, answer.size(), first, last)) {
    // A stretch of the body, which was compiled with the text it stands in:
    // walked as those items, where they stand, without reading it again.
    child.text = text;
    child.items = &item.bodyItems;
    child.next = first;
    child.end = last;
    // The items and their text stay with the child when the parent goes.
    if (parentDone) {
      child.owned = std::move(frames.back().owned);
      frames.pop_back();
    }
    const size_t bytes = answer.size();
    if (answer.capacity() > kLargestKeptText) std::string().swap(answer);
    return pushAnswer(frames, std::move(child), bytes, false, tagPlace, depth);
  }
  child.owned = spareText();
  OwnedText& owned = *child.owned;
  // The frame takes the answer, and the session the spare's storage.
  owned.answer.clear();
  owned.answer.swap(answer);
  owned.map.build(owned.answer, item.body, item.bodyOffset, TextPlaces(text), item.name, tagPlace.offset);
  if (parentDone) popFrame(frames);
  child.text = WalkedText{&owned.compiled, nullptr, &owned.map};
  child.items = &owned.compiled.items;
  return pushAnswer(frames, std::move(child), owned.answer.size(), true, tagPlace, depth);
}

bool Rendering::pushAnswer(std::vector<Frame>& frames, Frame child, size_t answerBytes, bool compile,
                           const ReportPlace& tagPlace, uint32_t depth) {
  if (depth + frames.size() > limits_.maxNesting || depth + child.level > limits_.maxNesting) {
    if (child.owned != nullptr) keepSpare(std::move(child.owned));
    stopNestedAnswers(tagPlace);
    return false;
  }
  if (!takeScanned(answerBytes, tagPlace)) {
    if (child.owned != nullptr) keepSpare(std::move(child.owned));
    return false;
  }
  if (compile) {
    OwnedText& owned = *child.owned;
    compileText(tags_, owned.answer, 0, owned.compiled, limits_.maxScannedBytes - scanned_);
    scanned_ += owned.compiled.scannedBytes;
    child.end = owned.compiled.items.size();
  }
  frames.push_back(std::move(child));
  return true;
}

// The values a tag received that the page does not show as written: those
// that held references, and a body processed before the call.  Each is cut
// to kLongestShownValue bytes, with bytes that are not printable written as
// \xNN, and escaped as report texts are.
std::string receivedValues(const CompiledItem& item, const TagParameters& parameters, std::string_view body) {
  std::string shown;
  auto add = [&shown](std::string_view label, std::string_view value) {
    if (!shown.empty()) shown += ", ";
    shown += label;
    std::string printable;
    for (size_t i = 0; i < value.size() && i < kLongestShownValue; ++i) {
      const unsigned char c = static_cast<unsigned char>(value[i]);
      if (c < 0x20 || c == 0x7f) {
        static const char kHex[] = "0123456789ABCDEF";
        printable += "\\x";
        printable += kHex[c >> 4];
        printable += kHex[c & 15];
      } else {
        printable += static_cast<char>(c);
      }
    }
    if (value.size() > kLongestShownValue) printable += "...";
    shown += "&quot;";
    appendHtmlEscaped(shown, printable);
    shown += "&quot;";
  };
  if (!item.parametersPlain)
    for (size_t i = 0; i < parameters.size(); ++i)
      if (parameters[i].value.data() != item.parameters[i].value.data())
        add(std::string(parameters[i].name) + "=", parameters[i].value);
  if (body.data() != item.body.data()) add("body ", body);
  return shown;
}

bool Rendering::takeScanned(uint64_t bytes, const ReportPlace& at) {
  scanned_ += bytes;
  if (scanned_ <= limits_.maxScannedBytes) return true;
  stopScanned(at, limits_.maxScannedBytes);
  return false;
}

void Rendering::stopScanned(const ReportPlace& at, uint64_t limit) {
  stop(at, "The page needed more than " + std::to_string(limit) +
               " bytes scanned for tags and exchanged with the module, the limit.",
       "Check for tags nested very deep, a tag never closed, or a body copied very often; the limit "
       "is set with --max-scanned. The rest of the page is left out.");
}

void Rendering::reportStrayEndTag(const ReportPlace& at, std::string_view spelled) {
  report(at, spelled, "Found &lt;/" + std::string(spelled) + "&gt; without its opening tag.",
         "Remove the end tag, or add the &lt;" + std::string(spelled) +
             "&gt; tag it should close. The end tag is left out of the page.");
}

void Rendering::reportUnterminated(const ReportPlace& at, std::string_view spelled) {
  std::string name(spelled);
  report(at, name, "The &lt;" + name + "&gt; tag is never closed with &quot;&gt;&quot;.",
         "Close the tag, and check its quotes: every value must end with the quote it "
         "starts with. The text is shown as it was written.");
}

void Rendering::reportUnmatched(const ReportPlace& at, std::string_view spelled) {
  std::string name(spelled);
  report(at, name, "The &lt;" + name + "&gt; tag has no matching &lt;/" + name + "&gt;.",
         "Add the end tag where the body should end. The tag is left out of the page.");
}

void Rendering::stopNestedBodies(const ReportPlace& at) {
  stop(at, "Tag bodies are nested more than " + std::to_string(limits_.maxNesting) + " levels deep.",
       "Check for a tag whose output creates the tag again; the limit is set with "
       "--max-nesting. The rest of the page is left out.");
}

void Rendering::stopNestedAnswers(const ReportPlace& at) {
  stop(at, "Tag answers are nested more than " + std::to_string(limits_.maxNesting) + " levels deep.",
       "Check for a tag whose output creates the tag again; the limit is set with "
       "--max-nesting. The rest of the page is left out.");
}

bool Rendering::callTag(const CompiledItem& item, const TagParameters& parameters, std::string_view body,
                        const ReportPlace& at) {
  const std::string_view name = item.name;
  const RegisteredTag& tag = *item.tag;
  RenderStats& stats = outcome_.stats;
  if (stats.tagCalls >= limits_.maxTagCalls) {
    stop(at, "The page made " + std::to_string(limits_.maxTagCalls) + " tag calls, the limit.",
         "Check for a loop that never ends; the limit is set with --max-tag-calls. The rest of "
         "the page is left out.");
    return false;
  }
  if (limits_.maxRenderMillis != 0 && std::chrono::steady_clock::now() > deadline_) {
    stop(at, "The page took more than " + std::to_string(limits_.maxRenderMillis) + " ms to render, the limit.",
         "Check for a tag whose work grows with its input; the limit is set with --max-render-time. "
         "The rest of the page is left out.");
    return false;
  }
  if (!takeScanned(body.size(), at)) return false;
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

  for (ModuleReport& r : session_.reports) {
    report(at, name, std::move(r.message), std::move(r.hint), result);
    outcome_.reports.back().received = receivedValues(item, parameters, body);
  }
  if (result != 0 && session_.reports.empty()) {
    report(at, name, "The &lt;" + std::string(name) + "&gt; tag failed with result " +
                             fourCharacterCode(result) + ".", "", result);
    outcome_.reports.back().received = receivedValues(item, parameters, body);
  }
  return true;
}

bool Rendering::overflow(std::string& out, const ReportPlace& at) {
  out.resize(limits_.maxOutputBytes);
  stop(at, "The output passed " + std::to_string(limits_.maxOutputBytes) + " bytes, the limit.",
       "Check for a loop that produces more than intended; the limit is set with --max-output. "
       "The rest of the page is left out.");
  return false;
}

void Rendering::report(const ReportPlace& at, std::string_view tag, std::string message, std::string hint,
                       uint32_t code, bool limit) {
  if (lineStarts_.empty()) {
    lineStarts_.push_back(0);
    for (size_t i = 0; i < page_.size(); ++i)
      if (page_[i] == '\n') lineStarts_.push_back(i + 1);
  }
  auto line = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), at.offset) - 1;
  PageReport r;
  r.file = context_.fileName;
  r.line = static_cast<size_t>(line - lineStarts_.begin()) + 1;
  r.column = at.offset - *line + 1;
  r.writtenBy = std::string(at.writtenBy);
  r.tag = std::string(tag);
  r.message = std::move(message);
  r.hint = std::move(hint);
  r.code = code;
  r.limit = limit;
  outcome_.reports.push_back(std::move(r));
  outcome_.tagReportedError = true;
}

void Rendering::stop(const ReportPlace& at, std::string message, std::string hint) {
  report(at, "", std::move(message), std::move(hint), 0, true);
  outcome_.stopped = true;
}

}  // namespace

std::string formatReport(const PageReport& report) {
  // Control bytes in any part are escaped, so that a message quoting a
  // visitor's value cannot forge a line of the log or the terminal.
  std::string text = escapedForLog(report.file) + ":" + std::to_string(report.line) + ":" +
                     std::to_string(report.column) + ": ";
  if (!report.tag.empty()) text += "<" + escapedForLog(report.tag) + ">: ";
  text += report.limit ? "limit: " : "error: ";
  text += escapedForLog(decodeEntities(report.message));
  text += '\n';
  if (!report.hint.empty()) text += "  hint: " + escapedForLog(decodeEntities(report.hint)) + "\n";
  if (!report.received.empty()) text += "  received: " + escapedForLog(decodeEntities(report.received)) + "\n";
  if (!report.writtenBy.empty())
    text += "  note: the tag stands in text that <" + escapedForLog(report.writtenBy) + "> wrote, not in the page\n";
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
  Rendering(library, page.text(), context, limits, outcome).run(page.compiled());
  return outcome;
}

}  // namespace bw
