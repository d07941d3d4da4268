// Compiling a text: one scan for its tags, kept as items.
//
// The scan visits every "<": a ${...} reference never spans a "<", so the
// references are cut from the runs between them afterwards, and every "<"
// either starts a tag taken whole or is passed over as text.  A body is
// compiled from its own text, as it is processed on its own.
#include "engine/compiled_page.h"

#include <map>
#include <utility>

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

// False when the budget ran out, and the items end with a ScanLimit item.
bool compileItems(const TagTable& tags, Pools& pools, std::string_view text, size_t base, unsigned depth,
                  std::vector<CompiledItem>& items) {
  size_t used = 0;
  size_t runStart = 0;
  auto endRun = [&](size_t upTo) {
    if (upTo <= runStart) return;
    CompiledItem& run = nextItem(items, used);
    run.offset = base + runStart;
    run.text = text.substr(runStart, upTo - runStart);
    run.mayExpand = findByte(run.text, 0, '$') != std::string_view::npos && pools.cut(run.text, run.segments);
  };
  auto mark = [&](CompiledItem::Kind kind, size_t at, std::string_view name) {
    endRun(at);
    CompiledItem& item = nextItem(items, used);
    item.kind = kind;
    item.offset = base + at;
    item.name = name;
    item.parameters.clear();
    item.bodyItems.clear();
  };
  auto stopAt = [&](size_t at) {
    mark(CompiledItem::Kind::ScanLimit, at, {});
    items.resize(used);
    return false;
  };

  StartTag start;
  size_t pos = 0;
  for (size_t next; (next = text.find('<', pos)) != std::string_view::npos;) {
    const RegisteredTag* endOf = nullptr;
    if (size_t length = scanEndTag(tags, text, next, &endOf)) {
      mark(CompiledItem::Kind::StrayEndTag, next, text.substr(next + 2, endOf->name.size()));
      pos = runStart = next + length;
      continue;
    }
    TagScan scan = scanStartTag(tags, text, next, start);
    // An unterminated tag was read to the end of the text.
    const size_t read = scan == TagScan::Found ? start.end - next : scan == TagScan::Unterminated ? text.size() - next : 1;
    if (!pools.scan(read)) return stopAt(next);
    if (scan != TagScan::Found) {
      if (scan == TagScan::Unterminated) {
        mark(CompiledItem::Kind::Unterminated, next, start.spelledName);
        runStart = next;  // the "<" and what follows it stay text
      }
      pos = next + 1;
      continue;
    }
    const RegisteredTag& tag = *start.tag;
    size_t after = start.end;
    BodyExtent extent;
    const bool withBody = tag.hasBody() && !start.selfClosed;
    const bool ended = !withBody || findMatchingEnd(tags, text, start.end, tag, extent);
    if (withBody && !pools.scan((ended ? extent.after : text.size()) - start.end)) return stopAt(next);
    if (!ended) {
      mark(CompiledItem::Kind::Unmatched, next, start.spelledName);
      pos = runStart = start.end;
      continue;
    }
    endRun(next);
    CompiledItem& item = nextItem(items, used);
    item.kind = CompiledItem::Kind::Tag;
    item.offset = base + next;
    item.name = start.spelledName;
    item.tag = &tag;
    item.tagLength = start.end - next;
    // A copy takes one allocation where adding them one by one takes several.
    item.parameters = start.parameters;
    item.values.first = pools.values.size();
    for (size_t i = 0; i < start.parameters.size(); ++i) {
      const std::string_view value = start.parameters[i].value;
      CompiledValue cutValue{i, {}};
      if (findByte(value, 0, '$') != std::string_view::npos && pools.cut(value, cutValue.segments))
        pools.values.push_back(cutValue);
    }
    item.values.count = pools.values.size() - item.values.first;
    item.parametersPlain = item.values.count == 0;
    if (withBody) {
      item.body = text.substr(start.end, extent.bodyEnd - start.end);
      item.bodyOffset = base + start.end;
      item.bodyHasMarkup = item.body.find('<') != std::string_view::npos;
      after = extent.after;
      // Only a body processed before the call is walked; a raw one travels as written.
      if (!tag.rawBody() && item.bodyHasMarkup && depth < CompiledText::kDeepestCompiledBody) {
        item.bodyCompiled = true;
        if (!compileItems(tags, pools, item.body, item.bodyOffset, depth + 1, item.bodyItems)) {
          items.resize(used);
          return false;
        }
      } else if (!tag.rawBody() && !item.bodyHasMarkup && findByte(item.body, 0, '$') != std::string_view::npos) {
        item.bodyExpands = pools.cut(item.body, item.bodySegments);
      }
    }
    if (!item.bodyCompiled) item.bodyItems.clear();
    item.endsText = after == text.size();
    pos = runStart = after;
  }
  endRun(text.size());
  items.resize(used);
  return true;
}

}  // namespace

void compileText(const TagTable& tags, std::string_view text, size_t base, CompiledText& into, uint64_t budget) {
  // The items are reused in place (nextItem); the other lists hold no storage.
  into.segments.clear();
  into.values.clear();
  into.referenceSlots = 0;
  into.scannedBytes = 0;
  into.scanLimit = budget;
  Pools pools{into.segments, into.values, into.referenceSlots, into.scannedBytes, budget, {}, {}};
  compileItems(tags, pools, text, base, 0, into.items);
}

CompiledPage CompiledPage::compile(const TagTable& tags, std::string_view page) {
  CompiledPage compiled;
  compiled.text_ = std::make_unique<const std::string>(page);
  compiled.tags_ = &tags;
  compileText(tags, *compiled.text_, 0, compiled.compiled_);
  return compiled;
}

}  // namespace bw
