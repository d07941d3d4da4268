// The one-pass compile against the plain one it replaced, kept here as the
// reference: each "<" read where it stands, a body's end looked for by
// counting its own name through the rest of the text, and each body compiled
// again from its own text.  That walk is quadratic in the nesting and in the
// tags left open; the compile must give the same items on every page, and
// read a hostile page about once.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/compiled_page.h"
#include "engine/page_scanner.h"
#include "tests/engine/seeded_random.h"

namespace bw {
namespace {

struct ReferenceItem {
  CompiledItem::Kind kind = CompiledItem::Kind::Text;
  size_t offset = 0;
  std::string text;  // a run, or the name of a tag or a malformed spot
  std::string parameters;
  std::string body;
  size_t bodyOffset = 0;
  bool hasBody = false;
  std::vector<ReferenceItem> bodyItems;
};

std::string shown(const TagParameters& parameters) {
  std::string out;
  for (const TagParameter& p : parameters) out += std::string(p.name) + "=" + std::string(p.value) + ";";
  return out;
}

// The plain compile, as the engine had it before the one-pass pairing.
std::vector<ReferenceItem> referenceCompile(const TagTable& tags, std::string_view text, size_t base) {
  std::vector<ReferenceItem> items;
  size_t runStart = 0;
  auto endRun = [&](size_t upTo) {
    if (upTo <= runStart) return;
    ReferenceItem run;
    run.offset = base + runStart;
    run.text = std::string(text.substr(runStart, upTo - runStart));
    items.push_back(run);
  };
  auto mark = [&](CompiledItem::Kind kind, size_t at, std::string_view name) {
    endRun(at);
    ReferenceItem item;
    item.kind = kind;
    item.offset = base + at;
    item.text = std::string(name);
    items.push_back(item);
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
    const TagScan scan = scanStartTag(tags, text, next, start);
    if (scan != TagScan::Found) {
      if (scan == TagScan::Unterminated) {
        mark(CompiledItem::Kind::Unterminated, next, start.spelledName);
        runStart = next;
      }
      pos = next + 1;
      continue;
    }
    const RegisteredTag& tag = *start.tag;
    size_t after = start.end;
    BodyExtent extent;
    const bool withBody = tag.hasBody() && !start.selfClosed;
    if (withBody && !findMatchingEnd(tags, text, start.end, tag, extent)) {
      mark(CompiledItem::Kind::Unmatched, next, start.spelledName);
      pos = runStart = start.end;
      continue;
    }
    endRun(next);
    ReferenceItem item;
    item.kind = CompiledItem::Kind::Tag;
    item.offset = base + next;
    item.text = std::string(start.spelledName);
    item.parameters = shown(start.parameters);
    if (withBody) {
      item.hasBody = true;
      item.body = std::string(text.substr(start.end, extent.bodyEnd - start.end));
      item.bodyOffset = base + start.end;
      item.bodyItems = referenceCompile(tags, item.body, item.bodyOffset);
      after = extent.after;
    }
    items.push_back(std::move(item));
    pos = runStart = after;
  }
  endRun(text.size());
  return items;
}

// Where the two first differ, or empty.
std::string difference(const std::vector<ReferenceItem>& expected, const std::vector<CompiledItem>& got,
                       const TagTable& tags, bool rawBodies) {
  if (expected.size() != got.size())
    return "item count " + std::to_string(got.size()) + ", expected " + std::to_string(expected.size());
  for (size_t i = 0; i < got.size(); ++i) {
    const ReferenceItem& e = expected[i];
    const CompiledItem& g = got[i];
    const std::string at = "item " + std::to_string(i) + " at " + std::to_string(e.offset) + ": ";
    if (g.kind != e.kind || g.offset != e.offset) return at + "kind or place";
    const std::string name(g.kind == CompiledItem::Kind::Text ? g.text : g.name);
    if (name != e.text) return at + "text or name \"" + name + "\"";
    if (g.kind != CompiledItem::Kind::Tag) continue;
    if (shown(g.parameters) != e.parameters) return at + "parameters";
    if (!e.hasBody) {
      if (!g.body.empty()) return at + "a body";
      continue;
    }
    if (std::string(g.body) != e.body || g.bodyOffset != e.bodyOffset) return at + "body";
    if (g.bodyHasMarkup != (e.body.find('<') != std::string::npos)) return at + "body markup";
    const bool compiled = g.tag->rawBody() ? rawBodies : g.bodyHasMarkup;
    if (g.bodyCompiled != compiled) return at + "body compiled";
    if (!g.bodyCompiled) continue;
    const std::string inner = difference(e.bodyItems, g.bodyItems, tags, rawBodies);
    if (!inner.empty()) return at + "in its body, " + inner;
  }
  return "";
}

TagTable pairingTags() {
  TagTable tags;
  tags.add("wrap", BW_TAG_HAS_BODY);
  tags.add("raw", BW_TAG_RAW_BODY);
  tags.add("echo", BW_TAG_NO_BODY);
  tags.add("w", BW_TAG_HAS_BODY);
  return tags;
}

void expectSameItems(const TagTable& tags, const std::string& page) {
  for (bool rawBodies : {true, false}) {
    CompiledText compiled;
    compileText(tags, page, 7, compiled, CompiledText::kDefaultScanBudget, rawBodies);
    ASSERT_EQ(difference(referenceCompile(tags, page, 7), compiled.items, tags, rawBodies), "") << page;
  }
}

TEST(TagPairing, HandWrittenPagesCompileAsThePlainWalkDoes) {
  const TagTable tags = pairingTags();
  const char* const pages[] = {
      "<wrap><raw></wrap></raw>",
      "<raw><wrap></raw></wrap>x</raw>",
      "<wrap><wrap>a</wrap>",
      "<wrap>a</wrap></wrap><wrap>",
      "<wrap><echo text=\"</wrap>\"></wrap>after</wrap>",
      "<wrap><echo text=\"a</wrap>b",
      "<wrap>x<wrap</wrap>",  // a name cut off by the body's end
      "<wrap>x<w</wrap>",
      "<wrap>x<wra</wrap>",
      "<wrap>x<raw</wrap><raw",
      "<wrap/><w/>a</w>",
      "<WRAP>a</wrap ><Wrap></WRAP>",
      "<raw><raw><raw>x</raw></raw>",
      "a<echo x='\"' y=\"'\">b<echo x=\"<echo\">",
  };
  for (const char* page : pages) expectSameItems(tags, page);
}

TEST(TagPairing, PiecedPagesCompileAsThePlainWalkDoes) {
  const TagTable tags = pairingTags();
  const char* const pieces[] = {
      "<wrap>", "</wrap>", "<raw>", "</raw>", "<w>", "</w>", "<wrap/>", "<echo text=\"", "<echo x='a'>",
      "\"", "'", ">", "<", "/>", "</raw >", "<echo", "<wrap", "<w", "text", "${v}", "\n", "=", " ",
  };
  const size_t count = sizeof pieces / sizeof pieces[0];
  SeededRandom random(20261209);
  for (int round = 0; round < 20000; ++round) {
    std::string page;
    for (uint64_t n = random.below(16) + 1; n > 0; --n) page += pieces[random.below(count)];
    expectSameItems(tags, page);
  }
}

TEST(TagPairing, BodiesPastTheDeepestCompiledAreLeftToTheWalk) {
  const TagTable tags = pairingTags();
  std::string page;
  const unsigned levels = CompiledText::kDeepestCompiledBody + 3;
  for (unsigned i = 0; i < levels; ++i) page += "<raw>";
  for (unsigned i = 0; i < levels; ++i) page += "</raw>";
  CompiledText compiled;
  compileText(tags, page, 0, compiled);
  const std::vector<CompiledItem>* items = &compiled.items;
  unsigned depth = 0;
  while (!items->empty() && (*items)[0].bodyCompiled) items = &(*items)[0].bodyItems, ++depth;
  EXPECT_EQ(depth, CompiledText::kDeepestCompiledBody);
}

// The pages that made the plain walk quadratic are read about once: the
// budget counts what the scan read.
TEST(TagPairing, HostilePagesAreReadAboutOnce) {
  const TagTable tags = pairingTags();
  std::string nested, unclosed, unterminated;
  for (int i = 0; i < 4000; ++i) nested += "<wrap x=\"1\">", unclosed += "<raw>", unterminated += "<echo x=\"";
  for (int i = 0; i < 4000; ++i) nested += "</wrap>";
  for (const std::string* page : {&nested, &unclosed, &unterminated}) {
    CompiledText compiled;
    compileText(tags, *page, 0, compiled);
    EXPECT_LE(compiled.scannedBytes, 3 * page->size()) << page->substr(0, 20);
    EXPECT_NE(compiled.items.back().kind, CompiledItem::Kind::ScanLimit);
  }
}

TEST(TagPairing, TheBudgetStopsTheItemsWhereItRanOut) {
  const TagTable tags = pairingTags();
  const std::string page = "ab<wrap>c</wrap><raw>never closed <echo x=\"1\"> and more";
  CompiledText compiled;
  compileText(tags, page, 0, compiled, 15);
  ASSERT_FALSE(compiled.items.empty());
  const CompiledItem& last = compiled.items.back();
  EXPECT_EQ(last.kind, CompiledItem::Kind::ScanLimit);
  // The open <raw> may be closed past the place the scan reached.
  EXPECT_EQ(last.offset, page.find("<raw>"));
  EXPECT_EQ(compiled.items[1].kind, CompiledItem::Kind::Tag);
}

}  // namespace
}  // namespace bw
