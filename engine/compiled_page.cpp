// Compiling a text: one scan for its tags, kept as items.
//
// The scan visits every "<": a ${...} reference never spans a "<", so the
// references are cut from the runs between them afterwards, and every "<"
// either starts a tag taken whole or is passed over as text.  A body is
// compiled as a stretch of the same scan: read on its own, from its start to
// its end tag, it holds the same tags, which is what processing it on its
// own reads (the one difference, a tag name cut off by the body's end, is
// looked for at that end).
#include "engine/compiled_page.h"

#include <algorithm>
#include <map>
#include <utility>

#include "engine/byte_scan.h"
#include "engine/page_scanner.h"
#include "engine/text_util.h"

namespace bw {
namespace {

// The slot of each name referred to.  A page names few, and those are
// compared in a short list, length first; past kFew the rest go to a map.
class SlotNames {
 public:
  size_t slotOf(std::string_view name, size_t& given) {
    for (const auto& [known, slot] : few_)
      if (equalsExactly(known, name)) return slot;
    if (few_.size() < kFew) {
      few_.emplace_back(name, given);
      return given++;
    }
    auto [entry, added] = many_.try_emplace(name, given);
    if (added) ++given;
    return entry->second;
  }

 private:
  static constexpr size_t kFew = 16;
  std::vector<std::pair<std::string_view, size_t>> few_;
  std::map<std::string_view, size_t> many_;
};

// The lists every item's segments and values are kept in.
struct Pools {
  std::vector<TextSegment>& segments;
  std::vector<CompiledValue>& values;
  size_t& slots;  // given out so far
  uint64_t& scanned;  // bytes the scan went through
  const uint64_t budget;
  SlotNames variableSlots, fieldSlots;  // one slot per name and kind

  // Counts bytes scanned; false once they passed the budget.
  bool scan(uint64_t bytes) {
    scanned += bytes;
    return scanned <= budget;
  }

  // Cuts text into the segments list: true, with the range, when it holds a
  // reference or an escape; otherwise nothing is kept, as the text stands
  // for itself.
  bool cut(std::string_view text, SegmentRange& range) {
    const size_t first = segments.size();
    if (!cutReferences(text, segments)) {
      segments.resize(first);
      return false;
    }
    range = SegmentRange{first, segments.size() - first};
    for (size_t i = first; i < segments.size(); ++i) {
      TextSegment& s = segments[i];
      if (!s.isReference()) continue;
      s.slot = (s.kind == TextSegment::Kind::Variable ? variableSlots : fieldSlots).slotOf(s.text, slots);
    }
    return true;
  }
};

// The next item of `items`, which a text compiled again (an answer, from tag
// to tag) takes from the items left by the last text, so that their lists
// keep their storage; `used` counts the items given out.
CompiledItem& nextItem(std::vector<CompiledItem>& items, size_t& used) {
  if (used == items.size()) return items.emplace_back(), items[used++];
  CompiledItem& item = items[used++];
  TagParameters parameters = std::move(item.parameters);
  std::vector<CompiledItem> bodyItems = std::move(item.bodyItems);
  item = CompiledItem();
  item.parameters = std::move(parameters);
  item.bodyItems = std::move(bodyItems);
  return item;
}

// The tags of a text, found in one pass from its start: every start tag, end
// tag and start tag never closed, in order, and for each start tag that takes
// a body, the end tag that closes it.  A body's end is the first end tag of
// its own name that leaves as many of that name closed as were opened after
// it, whatever other tags stand between; so each name keeps its own stack of
// open tags, and an end tag closes the last one still open.  Inside a body,
// which the items cut off at its end tag, a tag is closed there only if its
// end tag comes before that end.
struct Token {
  enum class Kind : unsigned char { Start, End, Unterminated };
  static constexpr size_t kNone = SIZE_MAX;
  Kind kind = Kind::Start;
  bool selfClosed = false;
  const RegisteredTag* tag = nullptr;  // Start and End
  size_t at = 0;                       // its "<"
  size_t end = 0;                      // just past it; Unterminated: past the "<"
  size_t nextMarkup = kNone;           // the first "<" from end on; kNone: none
  size_t closedBy = kNone;             // Start: the End token closing it
  size_t openBefore = kNone;           // Start with a body: the one of its name open before it
  std::string_view spelledName;
};

// The lists one compile works with, kept from text to text on each thread
// (a render compiles every answer it walks), and let go of once a large text
// made them grow past kKeptScratchBytes.
struct CompileScratch {
  static constexpr size_t kKeptScratchBytes = 256 * 1024;
  std::vector<Token> tokens;
  std::vector<size_t> lastOpen;  // per registered tag: its start token open last, or kNone
  OpenTagMemo memo;

  void trim() {
    if (tokens.capacity() * sizeof(Token) > kKeptScratchBytes) std::vector<Token>().swap(tokens);
    memo.trim(kKeptScratchBytes);
  }
};

class Compiler {
 public:
  Compiler(const TagTable& tags, std::string_view text, size_t base, Pools& pools, CompileScratch& scratch,
           bool rawBodies)
      : tags_(tags), text_(text), base_(base), pools_(pools), scratch_(scratch), tokens_(scratch.tokens),
        rawBodies_(rawBodies) {}

  // The tokens of the whole text, until the budget runs out.
  void findTokens();
  // The items of text_[from, to), whose first token is tokens_[first]; false
  // when the budget ran out there, and the items end with a ScanLimit item.
  bool compileRange(size_t from, size_t to, size_t first, unsigned depth, std::vector<CompiledItem>& items);

 private:
  // A registered name that reaches the end of a body right after its "<"
  // reads, on its own, as a start tag never closed, though in the whole text
  // the end tag's "<" makes it no tag at all: where that "<" stands, or kNone.
  size_t openNameBefore(size_t from, size_t to, std::string_view& name) const;

  const TagTable& tags_;
  std::string_view text_;
  size_t base_;
  Pools& pools_;
  CompileScratch& scratch_;
  std::vector<Token>& tokens_;
  const bool rawBodies_;
  size_t budgetEndsAt_ = Token::kNone;  // the "<" whose scan passed the budget
};

void Compiler::findTokens() {
  tokens_.clear();
  std::vector<size_t>& lastOpen = scratch_.lastOpen;
  lastOpen.assign(tags_.all().size(), Token::kNone);
  OpenTagMemo& memo = scratch_.memo;
  memo.reset(text_.size());
  StartTag start;
  size_t pos = 0;
  for (size_t next; (next = text_.find('<', pos)) != std::string_view::npos;) {
    if (!tokens_.empty() && tokens_.back().nextMarkup == Token::kNone) tokens_.back().nextMarkup = next;
    Token token;
    token.at = next;
    if (size_t length = scanEndTag(tags_, text_, next, &token.tag)) {
      token.kind = Token::Kind::End;
      token.end = next + length;
      size_t& open = lastOpen[static_cast<size_t>(token.tag - tags_.all().data())];
      if (open != Token::kNone) {
        tokens_[open].closedBy = tokens_.size();
        open = tokens_[open].openBefore;
      }
      tokens_.push_back(token);
      pos = token.end;
      continue;
    }
    const TagScan scan = scanStartTag(tags_, text_, next, start, false, &memo);
    if (!pools_.scan(scan == TagScan::NotATag ? 1 : memo.lastRead())) {
      budgetEndsAt_ = next;
      return;
    }
    pos = next + 1;
    if (scan == TagScan::NotATag) continue;
    token.spelledName = start.spelledName;
    if (scan == TagScan::Unterminated) {
      token.kind = Token::Kind::Unterminated;
      token.end = next + 1;
    } else {
      token.tag = start.tag;
      token.selfClosed = start.selfClosed;
      token.end = pos = start.end;
      if (start.tag->hasBody() && !start.selfClosed) {
        size_t& open = lastOpen[static_cast<size_t>(start.tag - tags_.all().data())];
        token.openBefore = open;
        open = tokens_.size();
      }
    }
    tokens_.push_back(token);
  }
}

size_t Compiler::openNameBefore(size_t from, size_t to, std::string_view& name) const {
  if (to == text_.size()) return Token::kNone;  // the whole text's end: found as such
  const size_t longest = tags_.longestName();
  const size_t start = to - from > longest + 1 ? to - longest - 1 : from;
  const size_t at = text_.substr(start, to - start).rfind('<');
  if (at == std::string_view::npos || start + at + 1 == to) return Token::kNone;
  const char* nameStart = text_.data() + start + at + 1;
  const char* nameEnd = text_.data() + to;
  if (endOfTagName(nameStart, nameEnd) != nameEnd) return Token::kNone;
  name = std::string_view(nameStart, static_cast<size_t>(nameEnd - nameStart));
  return tags_.find(name) != nullptr ? start + at : Token::kNone;
}

bool Compiler::compileRange(size_t from, size_t to, size_t first, unsigned depth,
                            std::vector<CompiledItem>& items) {
  const std::string_view text = text_;
  size_t used = 0;
  size_t runStart = from;
  auto endRun = [&](size_t upTo) {
    if (upTo <= runStart) return;
    CompiledItem& run = nextItem(items, used);
    run.offset = base_ + runStart;
    run.text = text.substr(runStart, upTo - runStart);
    run.mayExpand = findByte(run.text, 0, '$') != std::string_view::npos && pools_.cut(run.text, run.segments);
  };
  auto mark = [&](CompiledItem::Kind kind, size_t at, std::string_view name) {
    endRun(at);
    CompiledItem& item = nextItem(items, used);
    item.kind = kind;
    item.offset = base_ + at;
    item.name = name;
    item.parameters.clear();
    item.bodyItems.clear();
  };
  auto stopAt = [&](size_t at) {
    mark(CompiledItem::Kind::ScanLimit, at, {});
    items.resize(used);
    return false;
  };
  // Past the place where the budget ran out nothing is known.
  const bool known = budgetEndsAt_ == Token::kNone || to <= budgetEndsAt_;

  // A run before each token and one after them: reserved, so that a text of
  // many tags does not move its items again and again as they grow.
  size_t tokens = 0;
  for (size_t k = first; k < tokens_.size() && tokens_[k].at < to; ++tokens) {
    const Token& token = tokens_[k];
    const bool closedInside = token.closedBy != Token::kNone && tokens_[token.closedBy].at < to;
    k = token.kind == Token::Kind::Start && closedInside ? token.closedBy + 1 : k + 1;
  }
  if (items.capacity() < 2 * tokens + 2) items.reserve(2 * tokens + 2);

  StartTag start;
  size_t k = first;
  while (k < tokens_.size() && tokens_[k].at < to) {
    const Token& token = tokens_[k];
    if (token.kind == Token::Kind::End) {
      mark(CompiledItem::Kind::StrayEndTag, token.at, text.substr(token.at + 2, token.tag->name.size()));
      runStart = token.end;
      ++k;
      continue;
    }
    if (token.kind == Token::Kind::Unterminated) {
      mark(CompiledItem::Kind::Unterminated, token.at, token.spelledName);
      runStart = token.at;  // the "<" and what follows it stay text
      ++k;
      continue;
    }
    const RegisteredTag& tag = *token.tag;
    const bool withBody = tag.hasBody() && !token.selfClosed;
    const bool ended = !withBody || (token.closedBy != Token::kNone && tokens_[token.closedBy].at < to);
    if (!ended) {
      if (!known && token.closedBy == Token::kNone) return stopAt(token.at);
      mark(CompiledItem::Kind::Unmatched, token.at, token.spelledName);
      runStart = token.end;
      ++k;
      continue;
    }
    endRun(token.at);
    scanStartTag(tags_, text, token.at, start);
    CompiledItem& item = nextItem(items, used);
    item.kind = CompiledItem::Kind::Tag;
    item.offset = base_ + token.at;
    item.name = token.spelledName;
    item.tag = &tag;
    item.tagLength = token.end - token.at;
    // A copy takes one allocation where adding them one by one takes several.
    item.parameters = start.parameters;
    item.values.first = pools_.values.size();
    for (size_t i = 0; i < start.parameters.size(); ++i) {
      const std::string_view value = start.parameters[i].value;
      CompiledValue cutValue{i, {}};
      if (findByte(value, 0, '$') != std::string_view::npos && pools_.cut(value, cutValue.segments))
        pools_.values.push_back(cutValue);
    }
    item.values.count = pools_.values.size() - item.values.first;
    item.parametersPlain = item.values.count == 0;
    ++k;
    if (!withBody) {
      item.bodyItems.clear();
      runStart = token.end;
      continue;
    }
    const Token& endTag = tokens_[token.closedBy];
    item.body = text.substr(token.end, endTag.at - token.end);
    item.bodyOffset = base_ + token.end;
    item.bodyHasMarkup = token.nextMarkup < endTag.at;
    // A raw body is compiled as well, though it travels as written: its
    // answer is mostly a stretch of it, and is then walked as these items.
    const bool compiled = tag.rawBody() ? rawBodies_ : item.bodyHasMarkup;
    if (compiled && depth < CompiledText::kDeepestCompiledBody) {
      item.bodyCompiled = true;
      if (!compileRange(token.end, endTag.at, k, depth + 1, item.bodyItems)) {
        items.resize(used);
        return false;
      }
    } else {
      item.bodyItems.clear();
      if (!tag.rawBody() && !item.bodyHasMarkup && findByte(item.body, 0, '$') != std::string_view::npos)
        item.bodyExpands = pools_.cut(item.body, item.bodySegments);
    }
    runStart = endTag.end;
    k = token.closedBy + 1;
  }
  if (!known) {
    endRun(budgetEndsAt_);
    return stopAt(budgetEndsAt_);
  }
  std::string_view name;
  const size_t open = openNameBefore(std::max(from, runStart), to, name);
  if (open != Token::kNone) {
    if (!pools_.scan(to - open)) return stopAt(open);
    mark(CompiledItem::Kind::Unterminated, open, name);
    runStart = open;
  }
  endRun(to);
  items.resize(used);
  return true;
}

}  // namespace

void compileText(const TagTable& tags, std::string_view text, size_t base, CompiledText& into, uint64_t budget,
                 bool rawBodies) {
  // The items are reused in place (nextItem); the other lists hold no storage.
  into.segments.clear();
  into.values.clear();
  into.referenceSlots = 0;
  into.scannedBytes = 0;
  into.scanLimit = budget;
  Pools pools{into.segments, into.values, into.referenceSlots, into.scannedBytes, budget, {}, {}};
  thread_local CompileScratch scratch;
  Compiler compiler(tags, text, base, pools, scratch, rawBodies);
  compiler.findTokens();
  compiler.compileRange(0, text.size(), 0, 0, into.items);
  scratch.trim();
}

bool stretchItems(const TagTable& tags, const CompiledItem& tag, size_t at, size_t length, size_t& first,
                  size_t& last) {
  const std::vector<CompiledItem>& items = tag.bodyItems;
  if (!tag.bodyCompiled || length == 0 || at + length > tag.body.size()) return false;
  // The first item from a place on; a start tag never closed takes no bytes
  // and comes before the text that starts with its "<".
  auto from = [&items](size_t offset) {
    return static_cast<size_t>(std::lower_bound(items.begin(), items.end(), offset,
                                                [](const CompiledItem& item, size_t o) { return item.offset < o; }) -
                               items.begin());
  };
  const size_t start = tag.bodyOffset + at;
  const size_t end = start + length;
  first = from(start);
  last = from(end);
  if (first == items.size() || items[first].offset != start) return false;
  if (last < items.size() ? items[last].offset != end : at + length != tag.body.size()) return false;
  if (at + length == tag.body.size()) return true;
  // A stretch ending in "<" and a registered name reads that name as a tag
  // never closed; the body, going on, does not.
  const std::string_view stretch = tag.body.substr(at, length);
  const size_t lookBack = std::min(length, tags.longestName() + 1);
  const size_t open = stretch.substr(length - lookBack).rfind('<');
  if (open == std::string_view::npos) return true;
  const std::string_view name = stretch.substr(length - lookBack + open + 1);
  return name.empty() || endOfTagName(name.data(), name.data() + name.size()) != name.data() + name.size() ||
         tags.find(name) == nullptr;
}

CompiledPage CompiledPage::compile(const TagTable& tags, std::string_view page) {
  CompiledPage compiled;
  compiled.text_ = std::make_unique<const std::string>(page);
  compiled.tags_ = &tags;
  compileText(tags, *compiled.text_, 0, compiled.compiled_);
  return compiled;
}

}  // namespace bw
