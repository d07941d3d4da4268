// The compiled walk against the text walk, on the pages where the two could
// part: malformed tags, answers that hold tags, "$" that starts no
// reference, and every limit reached at every point of a page.  Also that one
// compiled page serves renders with different variables and properties.
#include <gtest/gtest.h>

#include <string>

#include "engine/compiled_page.h"
#include "engine/module_library.h"
#include "engine/page_renderer.h"
#include "tests/engine/fake_module_fixture.h"
#include "tests/engine/render_state.h"
#include "tests/engine/seeded_random.h"

namespace bw {
namespace {

class CompiledPages : public WithFakeModule {
 protected:
  PageContext context() const {
    return pageContext("c.html", &fields, {{"name", "<World>"}, {"long", std::string(40, 'v')}});
  }

  NamedValues fields{{"q", "<b>"}};
  RegionProperties properties;
};

const char* const kPages[] = {
    // Pages that end inside a tag, or leave a body open.
    "text <echo text=\"abc",
    "text <echo text='abc' ",
    "a<echo",
    "<wrap>never closed",
    "<wrap><wrap>one</wrap>",
    "<raw>x<echo text=\"y\">",
    "a<wrap>b<echo text=\"unclosed></wrap>c",
    // End tags without their start, inside and outside bodies.
    "x</wrap>y</raw >z",
    "<wrap>a</raw>b</wrap></wrap>",
    // Answers that hold tags, nested, and as the last thing of a page or body.
    "<raw><echo text=\"1\"><raw><echo text=\"2\"></raw></raw>!",
    "<wrap><raw>a<echo text=\"${name}\"></raw></wrap>",
    "<raw><wrap><raw><wrap>deep</wrap></raw></wrap></raw>",
    // "$" that starts no reference, "$${", and references that do not close.
    "cost $5, $ {x}, $$ and $${name} then ${name",
    "<echo text=\"$5 and ${name}\">$<wrap>$x${nope}${name}</wrap>$",
    "${name}<${name}<echo text=\"${param.q}\"><${raw:name}>",
    "${<echo text=\"a\">}${name}<",
    // Variables set by one tag and read by the next, in text and parameters.
    "<setVar name=\"v\" value=\"1\">${v}<echo text=\"${v}\"><wrap><setVar name=\"v\" value=\"2\">${v}</wrap>${v}",
    // Reports from tags, with places on later lines.
    "line\n  <fail message=\"m\" hint=\"h\">\n<code><wrap>\n<fail message=\"in\"></wrap>",
    "<property name=\"flag\"><big count=\"30\">tail",
};

TEST_F(CompiledPages, RenderAsTheTextDoesAtEveryLimit) {
  for (const char* page : kPages) {
    const std::string text(page);
    const CompiledPage compiled = CompiledPage::compile(library->tags(), text);
    EngineLimits limits;
    const RenderedState whole = renderFromState(*library, text, nullptr, context(), &properties, limits);
    // Every output limit up to the whole output, so that each byte is once the one that passes it.
    for (uint64_t bytes = 0; bytes <= whole.outcome.output.size() + 1; ++bytes) {
      limits.maxOutputBytes = bytes;
      EXPECT_TRUE(sameRendering(renderFromState(*library, text, nullptr, context(), &properties, limits),
                                renderFromState(*library, text, &compiled, context(), &properties, limits)))
          << page << " with output limit " << bytes;
    }
    limits = EngineLimits();
    for (uint64_t calls = 0; calls <= whole.outcome.stats.tagCalls; ++calls) {
      limits.maxTagCalls = calls;
      EXPECT_TRUE(sameRendering(renderFromState(*library, text, nullptr, context(), &properties, limits),
                                renderFromState(*library, text, &compiled, context(), &properties, limits)))
          << page << " with tag call limit " << calls;
    }
    limits = EngineLimits();
    for (uint32_t nesting = 0; nesting <= 4; ++nesting) {
      limits.maxNesting = nesting;
      EXPECT_TRUE(sameRendering(renderFromState(*library, text, nullptr, context(), &properties, limits),
                                renderFromState(*library, text, &compiled, context(), &properties, limits)))
          << page << " with nesting limit " << nesting;
    }
  }
}

// Pages pieced together from fragments that open, close and break tags, so
// that the two walks meet shapes no one wrote by hand.
TEST_F(CompiledPages, PiecedPagesRenderAlike) {
  const char* const pieces[] = {
      "<wrap>", "</wrap>", "<raw>", "</raw>", "<echo text=\"${name}\">", "<echo text='", "'>", "\"",
      "${name}", "${", "}", "$", "$${", "<", ">", "</echo>", "<setVar name=\"name\" value=\"n\">",
      "<wrap/>", "<rawLength>", "</rawLength>", "\n", "text", "<fail message=\"m\">", "<again>", "</again>",
  };
  const size_t pieceCount = sizeof pieces / sizeof pieces[0];
  SeededRandom random(12345);
  auto next = [&random](uint64_t bound) { return random.below(bound); };
  for (int round = 0; round < 3000; ++round) {
    std::string page;
    for (uint64_t n = next(12) + 1; n > 0; --n) page += pieces[next(pieceCount)];
    EngineLimits limits;
    limits.maxTagCalls = next(30) + 1;
    limits.maxOutputBytes = next(200);
    limits.maxNesting = static_cast<uint32_t>(next(6));
    const CompiledPage compiled = CompiledPage::compile(library->tags(), page);
    ASSERT_TRUE(sameRendering(renderFromState(*library, page, nullptr, context(), &properties, limits),
                              renderFromState(*library, page, &compiled, context(), &properties, limits)))
        << page << " with limits " << limits.maxTagCalls << " calls, " << limits.maxOutputBytes
        << " bytes, " << limits.maxNesting << " levels";
  }
}

TEST_F(CompiledPages, RunawayAnswersStopAlike) {
  EngineLimits small;
  small.maxTagCalls = 40;
  small.maxNesting = 6;
  const char* const pages[] = {"<again>ab</again>after", "<deeper>x</deeper>after", "a<deeper>x</deeper>",
                               "<wrap><again>z</again></wrap>"};
  for (const char* page : pages) {
    const CompiledPage compiled = CompiledPage::compile(library->tags(), page);
    EXPECT_TRUE(sameRendering(renderFromState(*library, page, nullptr, context(), &properties, small),
                              renderFromState(*library, page, &compiled, context(), &properties, small)))
        << page;
  }
}

TEST_F(CompiledPages, BodiesDeeperThanTheCompiledOnesStillRenderAlike) {
  std::string page;
  const unsigned levels = CompiledText::kDeepestCompiledBody + 5;
  for (unsigned i = 0; i < levels; ++i) page += "<wrap>${name}";
  for (unsigned i = 0; i < levels; ++i) page += "</wrap>";
  EngineLimits limits;
  limits.maxNesting = levels + 1;
  const CompiledPage compiled = CompiledPage::compile(library->tags(), page);
  const RenderedState text = renderFromState(*library, page, nullptr, context(), &properties, limits);
  EXPECT_FALSE(text.outcome.stopped);
  EXPECT_TRUE(sameRendering(text, renderFromState(*library, page, &compiled, context(), &properties, limits)));
}

TEST_F(CompiledPages, OnePageServesRendersWithDifferentStates) {
  const CompiledPage compiled =
      CompiledPage::compile(library->tags(), "${name}|<echo text=\"${name}\">|<property name=\"flag\">");
  struct State {
    const char* name;
    const char* flag;  // null: no such property
    const char* output;
  };
  const State states[] = {
      {"one", "yes", "one|one|yes"},
      {"<two>", nullptr, "&lt;two&gt;|<two>|(absent)"},
      {"one", "no", "one|one|no"},
  };
  for (const State& s : states) {
    PageContext c = context();
    c.variables["name"] = s.name;
    RegionProperties region;
    if (s.flag != nullptr) region.values["flag"] = s.flag;
    c.properties = &region;
    EXPECT_EQ(renderPage(*library, compiled, c).output, s.output) << s.name;
  }
}

TEST_F(CompiledPages, APageCompiledForOtherTagsIsRenderedFromItsText) {
  TagTable others;
  others.add("echo", BW_TAG_NO_BODY);
  const CompiledPage compiled = CompiledPage::compile(others, "<wrap>a</wrap>");
  PageContext c = context();
  EXPECT_EQ(renderPage(*library, compiled, c).output, "[a]");
}

}  // namespace
}  // namespace bw
