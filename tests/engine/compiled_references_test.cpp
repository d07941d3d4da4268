// References in compiled pages: cut once when the page is compiled, looked up
// at every render.  Each case renders a page compiled once and kept, and
// the same page from its text, and compares everything (render_state.h), at
// every output limit, since a reference's place is what the limit reports;
// under a limit the output is the start of the whole page's: malformed references
// in text, parameter values and bodies, the raw: and param. forms with and
// without HTML escaping, variables set by a tag earlier in the page, values
// that change between renders, and random pages of reference pieces.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "engine/compiled_page.h"
#include "engine/page_renderer.h"
#include "engine/page_variables.h"
#include "tests/engine/fake_module_fixture.h"
#include "tests/engine/render_state.h"
#include "tests/engine/seeded_random.h"

namespace bw {
namespace {

class CompiledReferences : public WithFakeModule {
 protected:
  // Names a wrongly cut reference would reach, and values that show whether
  // they were HTML-escaped.
  PageContext context() const {
    return pageContext("r.html", &fields,
                       {{"name", "<World & \"you\">"}, {"raw:name", "R"}, {"", "E"}, {"Raw:name", "C"},
                        {"v", "old"}, {"n", std::string(30, 'n')}});
  }

  // The kept page and the text agree at every output limit, and whole.
  void rendersAlike(const std::string& page, const PageContext& c) {
    const CompiledPage compiled = CompiledPage::compile(library->tags(), page);
    EngineLimits limits;
    const RenderedState whole = renderFromState(*library, page, nullptr, c, nullptr, limits);
    for (uint64_t bytes = 0; bytes <= whole.outcome.output.size() + 1; ++bytes) {
      limits.maxOutputBytes = bytes;
      const RenderedState cut = renderFromState(*library, page, nullptr, c, nullptr, limits);
      ASSERT_TRUE(sameRendering(cut, renderFromState(*library, page, &compiled, c, nullptr, limits)))
          << page << " with output limit " << bytes;
      // A body that passes the limit stops the page before its tag's answer.
      ASSERT_LE(cut.outcome.output.size(), bytes) << page;
      ASSERT_EQ(cut.outcome.output, whole.outcome.output.substr(0, cut.outcome.output.size())) << page;
      ASSERT_EQ(cut.outcome.stopped, whole.outcome.output.size() > bytes) << page;
    }
    ASSERT_TRUE(sameRendering(whole, renderFromState(*library, page, &compiled, c, nullptr, EngineLimits())))
        << page;
  }

  NamedValues fields{{"q", "<b>"}, {"", "FE"}, {"raw:q", "FR"}};
};

// Every malformed or oddly written reference, in each place a compiled page
// cuts references: page text, a parameter value, a body without "<", a
// body with tags in it, and an answer walked after a raw body.
TEST_F(CompiledReferences, EveryFormInEveryPlace) {
  const std::string longest(kLongestVariableReference - 1, 'n');
  const std::string tooLong(kLongestVariableReference, 'n');
  const std::string forms[] = {
      "${",          "${name",         "${}",           "${na me}",        "${na<me}",      "$",
      "$$",          "$${",            "$${name}",      "$$${name}",       "${$${name}}",   "${${name}}",
      "${name}",     "${raw:name}",    "${raw:}",       "${raw:raw:name}", "${Raw:name}",   "${param.q}",
      "${PARAM.Q}",  "${raw:param.q}", "${param.raw:q}", "${param.}",      "${nope}",       "${param.nope}",
      "cost $5",     "${é}",           "${name }",      "}${name}{",
      "${" + longest + "}", "${" + tooLong + "}", "$${" + tooLong + "}", "${" + longest,
  };
  const PageContext c = context();
  for (const std::string& form : forms) {
    const std::string places[] = {
        "a" + form + "b",
        form,
        "<echo text=\"" + form + "\">",
        "<echo text='x" + form + "' text=\"" + form + "y\">",
        "<wrap>" + form + "</wrap>",
        "<wrap>" + form + "<echo text=\"" + form + "\">" + form + "</wrap>",
        "<raw>" + form + "<echo text=\"" + form + "\"></raw>" + form,
        "<wrap><wrap>(" + form + ")</wrap></wrap>",
    };
    for (const std::string& page : places) rendersAlike(page, c);
  }
}

// A variable a tag sets is seen by every reference after the tag, in text,
// parameters and bodies, whether the name was new or already had a value.
TEST_F(CompiledReferences, VariablesSetEarlierInThePage) {
  const char* const pages[] = {
      "${v}|<setVar name=\"v\" value=\"new\">${v}|<echo text=\"${v}\">|<wrap>${v}</wrap>",
      "${fresh}<setVar name=\"fresh\" value=\"<1>\">${fresh}<echo text=\"${raw:fresh}\">${raw:fresh}",
      "<wrap><setVar name=\"inner\" value=\"i\">${inner}</wrap>${inner}<echo text=\"${inner}${v}\">",
      "<setVar name=\"a\" value=\"1\"><setVar name=\"b\" value=\"2\"><wrap>${a}${b}</wrap>"
      "<setVar name=\"a\" value=\"3\"><echo text=\"${a}-${b}\" text=\"${b}\">${a}${b}",
      "<raw><setVar name=\"w\" value=\"x\">${w}</raw>${w}",
  };
  const PageContext c = context();
  for (const char* page : pages) rendersAlike(page, c);
  PageContext c2 = context();
  const CompiledPage compiled = CompiledPage::compile(library->tags(), pages[0]);
  EXPECT_EQ(renderPage(*library, compiled, c2).output, "old|new|new|[new]");
}

// One compiled page, rendered again with other values: nothing of an
// earlier render's values is kept.
TEST_F(CompiledReferences, ValuesChangeBetweenRenders) {
  const std::string page =
      "${name}|${raw:name}|${param.q}|<echo text=\"${name}:${param.q}\">|<wrap>${name}</wrap>|"
      "<wrap>${raw:name}<echo text=\"${name}\"></wrap>|<setVar name=\"v\" value=\"${name}\">${v}";
  const CompiledPage compiled = CompiledPage::compile(library->tags(), page);
  const char* const names[] = {"first", "<second>", "", "a much longer value than the others & more"};
  for (const char* name : names) {
    PageContext c = context();
    c.variables["name"] = name;
    NamedValues otherFields{{"Q", name}};
    c.requestFields = &otherFields;
    EXPECT_TRUE(sameRendering(renderFromState(*library, page, nullptr, c, nullptr, EngineLimits()),
                              renderFromState(*library, page, &compiled, c, nullptr, EngineLimits())))
        << name;
  }
  PageContext without = context();
  without.variables.erase("name");
  without.requestFields = nullptr;
  EXPECT_EQ(renderPage(*library, compiled, without).output, "|||:|[]|[]|");
}

// Every name keeps its own value, however many a page names: a variable
// and a field of the same name, and more names than are compared in a list.
TEST_F(CompiledReferences, ManyNamesEachKeepTheirValue) {
  PageContext c = context();
  NamedValues many{{"name", "field"}};
  std::string page = "${name}|${param.name}|";
  for (int i = 0; i < 40; ++i) {
    const std::string n = std::to_string(i);
    if (i % 3 == 0) c.variables["v" + n] = "<" + n + ">";
    if (i % 4 == 0) many.push_back({"f" + n, "F" + n});
    page += "${v" + n + "}${param.f" + n + "}<echo text=\"${v" + n + "}:${raw:param.f" + n + "}\">";
    if (i % 5 == 0) page += "<setVar name=\"v" + std::to_string(i + 1) + "\" value=\"set" + n + "\">";
  }
  c.requestFields = &many;
  rendersAlike(page, c);
  const CompiledPage compiled = CompiledPage::compile(library->tags(), page);
  PageContext again = c;
  const std::string start = "&lt;World &amp; &quot;you&quot;&gt;|field|&lt;0&gt;F0<0>:F0set0set0:";
  EXPECT_EQ(renderPage(*library, compiled, again).output.substr(0, start.size()), start);
}

// Random pages of reference pieces in text, parameter values and bodies,
// under random output limits.
TEST_F(CompiledReferences, RandomPagesRenderAlike) {
  const char* const pieces[] = {"$", "{", "}", "name", "v", ".", ":", "raw:", "param.", "PARAM.", "q",
                                "${", "$${", "${name}", "${raw:name}", "${param.q}", " ", "<", "&"};
  const size_t pieceCount = sizeof pieces / sizeof pieces[0];
  SeededRandom random(7);
  auto next = [&random](uint64_t bound) { return random.below(bound); };
  auto text = [&] {
    std::string t;
    for (uint64_t n = next(8); n > 0; --n) t += pieces[next(pieceCount)];
    return t;
  };
  const PageContext c = context();
  for (int round = 0; round < 2000; ++round) {
    const std::string page = text() + "<echo text=\"" + text() + "\" text='" + text() + "'>" + text() + "<wrap>" +
                             text() + "</wrap><setVar name=\"v\" value=\"" + text() + "\"><wrap>" + text() +
                             "<echo text=\"" + text() + "\">" + text() + "</wrap>" + text();
    EngineLimits limits;
    if (next(2) == 0) limits.maxOutputBytes = next(120);
    const CompiledPage compiled = CompiledPage::compile(library->tags(), page);
    ASSERT_TRUE(sameRendering(renderFromState(*library, page, nullptr, c, nullptr, limits),
                              renderFromState(*library, page, &compiled, c, nullptr, limits)))
        << page << " with output limit " << limits.maxOutputBytes;
  }
}

}  // namespace
}  // namespace bw
