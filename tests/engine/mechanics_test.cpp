// The engine's page walk against the stand-in module: how each registration
// flag makes a body travel, ${...} references, nesting, reports with their
// places, the limits, and the protocol's buffer exchange.
#include <gtest/gtest.h>

#include "engine/module_library.h"
#include "engine/page_renderer.h"
#include "tests/engine/fake_module_fixture.h"
#include "tests/engine/render_state.h"

namespace bw {
namespace {

class Mechanics : public WithFakeModule {
 protected:
  RenderOutcome render(const std::string& page, const EngineLimits& limits = EngineLimits()) {
    PageContext context;
    context.fileName = "t.html";
    context.requestFields = &fields;
    context.variables = variables;
    RenderedState rendered = renderFromState(*library, page, nullptr, context, &properties, limits);
    properties = rendered.properties;
    variablesAfter = rendered.context.variables;
    return std::move(rendered.outcome);
  }

  NamedValues fields{{"q", "<b>&\"x\""}, {"Q2", "two"}};
  RegionProperties properties;
  std::map<std::string, std::string> variables{{"name", "<World>"}, {"empty", ""}};
  std::map<std::string, std::string> variablesAfter;
};

TEST_F(Mechanics, RegistrationIsKept) {
  EXPECT_EQ(library->identity().name, "Fake");
  EXPECT_EQ(library->identity().version, "0.1");
  const RegisteredTag* raw = library->tags().find("RAW");
  ASSERT_NE(raw, nullptr);
  EXPECT_EQ(raw->name, "raw");
  EXPECT_TRUE(raw->rawBody());
  EXPECT_FALSE(library->tags().find("wrap")->rawBody());
  EXPECT_FALSE(library->tags().find("echo")->hasBody());
}

struct PageCase {
  const char* page;
  const char* output;
};

TEST_F(Mechanics, PagesRenderAsExpected) {
  const PageCase cases[] = {
      // Text without tags passes through; a "<" that starts no tag stays.
      {"plain <b>html</b> a<b", "plain <b>html</b> a<b"},
      {"<echox text=\"a\"> <ech", "<echox text=\"a\"> <ech"},
      // Names match without regard to case, and parameters too.
      {"<ECHO TEXT=\"a\" text='b' Text=c>", "a|b|c"},
      {"<tagName/><TAGNAME>", "tagNameTAGNAME"},
      // A quoted value may hold ">" and line breaks; blanks around "=".
      {"<echo text = \"x>y\nz\">", "x>y\nz"},
      {"<echo text>|", "|"},
      // Values longer than the module's first buffer arrive whole.
      {"<echo text=\"0123456789abcdefghijklmnopqrstuvwxyz0123456789\">",
       "0123456789abcdefghijklmnopqrstuvwxyz0123456789"},
      // 0x10: the body is processed first, then handed over as data.
      {"<wrap>a<echo text=\"b\">c</wrap>", "[abc]"},
      {"<wrap><wrap>x</wrap></wrap>", "[[x]]"},
      {"<wrap/>|<wrap></wrap>", "[]|[]"},
      // 0x02: the body arrives raw, and the answer is processed in place.
      {"<rawLength><echo text=\"b\"></rawLength>", "15"},
      {"<raw>1<echo text=\"2\">3</raw>4", "1234"},
      {"<raw><raw><raw>deep</raw></raw></raw>", "deep"},
      {"<raw>a</raw><raw>b</raw>", "ab"},
      // The answer of a tag without a raw body is never processed again.
      {"<echo text=\"<echo text='x'>\">", "<echo text='x'>"},
      {"<wrap>&lt;echo&gt;</wrap>", "[&lt;echo&gt;]"},
      // Page variables: escaped in text, exact in values and data bodies.
      {"Hi ${name}!", "Hi &lt;World&gt;!"},
      {"${raw:name}", "<World>"},
      {"<echo text=\"${name}\">", "<World>"},
      // References anywhere in a value, in any quoting, and past its first bytes.
      {"<echo text=${name} text='${name}' text=\"0123456789abcdefghij${name}\" text=\"a$\">",
       "<World>|<World>|0123456789abcdefghij<World>|a$"},
      {"<wrap>${name}</wrap>", "[<World>]"},
      // A data body without tags: its references expand exactly, other "$" stay.
      {"<wrap>${name}-${raw:name} $x $${name} ${name ${missing}${param.Q2}$</wrap>",
       "[<World>-<World> $x ${name} ${name two$]"},
      {"<wrap>&amp; ${empty}</wrap>|<wrap>${empty}</wrap>", "[&amp; ]|[]"},
      {"<raw>${name}</raw>", "&lt;World&gt;"},
      {"[${missing}][${empty}]", "[][]"},
      {"${param.q}|${raw:param.q}|${param.q2}", "&lt;b&gt;&amp;&quot;x&quot;|<b>&\"x\"|two"},
      {"$${name} ${name $x ${} ${a b}", "${name} ${name $x ${} ${a b}"},
      // A variable set by a tag is seen by what follows it, not before.
      {"${v}<setVar name=\"v\" value=\"<1>\">${v}", "&lt;1&gt;"},
      {"<setVar name=\"v\" value=\"1\"><raw>${v}<setVar name=\"v\" value=\"2\">${v}</raw>", "12"},
      // Nested tags of the same name pair outer with outer.
      {"<raw>a<raw>b</raw>c</raw>d", "abcd"},
      {"<rawLength><raw></raw></rawLength>", "11"},
      {"<rawLength><raw/></rawLength>", "6"},
      {"<rawLength><raw x=\"</raw>\"></raw></rawLength>", "22"},
  };
  for (const PageCase& c : cases) {
    RenderOutcome outcome = render(c.page);
    EXPECT_EQ(outcome.output, c.output) << "page: " << c.page;
    EXPECT_TRUE(outcome.reports.empty()) << "page: " << c.page << "\n" << formatReport(outcome.reports[0]);
    EXPECT_EQ(outcome.stats.blocksKept, 0);
  }
}

// The module asks for "text" at occurrence 0, 1, ... until one is absent, so
// every case below shows which parameters the lookup takes for "text", in
// which order, and what their values arrive as.  Values longer than the fake
// module's first buffer of 8 bytes take the MBtS retry.
TEST_F(Mechanics, ParameterLookupsTakeOnlyTheNameAsked) {
  const PageCase cases[] = {
      // ASCII case is ignored, order of appearance kept.
      {"<echo TEXT=\"a\" Text=\"b\" tExT=\"c\">", "a|b|c"},
      // Names one byte longer or shorter, or sharing the first letters, are others.
      {"<echo texts=\"no\" tex=\"no\" text=\"yes\" textt=\"no\" te=\"no\">", "yes"},
      {"<echo textx=\"1\" text_=\"2\" xtext=\"3\">", ""},
      // Empty values are values, and count as occurrences.
      {"<echo text=\"\" text=\"x\" text=''>", "|x|"},
      // Repeated names with references and without, in any mix.
      {"<echo text=\"${name}\" text=\"plain\" other=\"${name}\" text=\"${empty}\" TEXT=\"${name}!\">",
       "<World>|plain||<World>!"},
      // Past the first buffer, as written and as expanded.
      {"<echo text=\"0123456789\" text=\"${name}${name}${name}\">", "0123456789|<World><World><World>"},
      {"<echo text=\"12345678\" text=\"123456789\">", "12345678|123456789"},
      // Inside a body handed to the module, the same rules.
      {"<wrap><echo other=\"x\" Text=\"${name}\" text=\"0123456789abcdef\"></wrap>",
       "[<World>|0123456789abcdef]"},
  };
  for (const PageCase& c : cases) {
    RenderOutcome outcome = render(c.page);
    EXPECT_EQ(outcome.output, c.output) << "page: " << c.page;
    EXPECT_TRUE(outcome.reports.empty()) << "page: " << c.page;
  }
}

// A compiled page keeps its parameters as written; each render expands them
// afresh from its own variables, whatever the render before it left behind.
TEST_F(Mechanics, CompiledParametersExpandAnewOnEveryRender) {
  const std::string page = "<echo text=\"${v}\" text=\"k\" text=\"${v}${v}\"><wrap><echo text=\"<${v}>\"></wrap>";
  CompiledPage compiled = CompiledPage::compile(library->tags(), page);
  const char* values[] = {"a-long-value-past-the-buffer", "", "b"};
  for (const char* value : values) {
    PageContext context;
    context.variables = {{"v", value}};
    RenderOutcome outcome = renderPage(*library, compiled, context, EngineLimits());
    const std::string v = value;
    EXPECT_EQ(outcome.output, v + "|k|" + v + v + "[<" + v + ">]") << value;
  }
}

struct ReportCase {
  const char* page;
  const char* output;
  const char* report;  // formatReport of the first report
};

TEST_F(Mechanics, ReportsNameThePlaceAndThePageGoesOn) {
  const ReportCase cases[] = {
      {"a\n  <fail message=\"An &lt;x&gt; broke\" hint=\"Fix &quot;it&quot;\">b", "a\n  b",
       "t.html:2:3: <fail>: error: An <x> broke\n  hint: Fix \"it\"\n"},
      {"<code>z", "z", "t.html:1:1: <code>: error: The <code> tag failed with result MOpF.\n"},
      {"x</raw>y", "xy",
       "t.html:1:2: <raw>: error: Found </raw> without its opening tag.\n"
       "  hint: Remove the end tag, or add the <raw> tag it should close. The end tag is left "
       "out of the page.\n"},
      {"<raw>never closed", "never closed",
       "t.html:1:1: <raw>: error: The <raw> tag has no matching </raw>.\n"
       "  hint: Add the end tag where the body should end. The tag is left out of the page.\n"},
      {"<echo text=\"x>", "<echo text=\"x>",
       "t.html:1:1: <echo>: error: The <echo> tag is never closed with \">\".\n"
       "  hint: Close the tag, and check its quotes: every value must end with the quote it "
       "starts with. The text is shown as it was written.\n"},
      // A tag in an answer copied from the body reports its place in the body.
      {"\n\n   <raw>\n<fail message=\"m\"></raw>", "\n\n   \n", "t.html:4:1: <fail>: error: m\n"},
      // Inside a data body, the place is the tag's own.
      {"<wrap>\n <fail message=\"m\"></wrap>", "[\n ]", "t.html:2:2: <fail>: error: m\n"},
  };
  for (const ReportCase& c : cases) {
    RenderOutcome outcome = render(c.page);
    EXPECT_EQ(outcome.output, c.output) << "page: " << c.page;
    ASSERT_FALSE(outcome.reports.empty()) << "page: " << c.page;
    EXPECT_EQ(formatReport(outcome.reports[0]), c.report) << "page: " << c.page;
    EXPECT_TRUE(outcome.tagReportedError);
    EXPECT_FALSE(outcome.stopped);
  }
}

TEST_F(Mechanics, LimitsStopTheRunawayPage) {
  EngineLimits small;
  small.maxTagCalls = 50;
  small.maxOutputBytes = 1000;
  small.maxNesting = 10;

  // An answer that re-creates its tag at its end runs until the tag calls run out,
  // without growing the nesting.
  RenderOutcome again = render("<again>ab</again>after", small);
  EXPECT_TRUE(again.stopped);
  EXPECT_EQ(again.stats.tagCalls, 50u);
  std::string fiftyTimes;
  for (int i = 0; i < 50; ++i) fiftyTimes += "ab";
  EXPECT_EQ(again.output, fiftyTimes);
  EXPECT_EQ(again.reports.back().message,
            "The page made 50 tag calls, the limit.");

  RenderOutcome deeper = render("<deeper>x</deeper>", small);
  EXPECT_TRUE(deeper.stopped);
  EXPECT_EQ(deeper.reports.back().message, "Tag answers are nested more than 10 levels deep.");

  std::string nested;
  for (int i = 0; i < 12; ++i) nested += "<wrap>";
  for (int i = 0; i < 12; ++i) nested += "</wrap>";
  RenderOutcome data = render(nested, small);
  EXPECT_TRUE(data.stopped);
  EXPECT_EQ(data.reports.back().message, "Tag bodies are nested more than 10 levels deep.");

  // A data body that grows past the limit through its references stops the
  // page at the reference that passed it, whether or not the body holds tags.
  std::map<std::string, std::string> before = variables;
  variables["long"] = std::string(600, 'v');
  const ReportCase grownBodies[] = {
      {"ab<wrap>${long}${long}</wrap>never", "ab", "t.html:1:16: limit"},
      {"ab<wrap>${long}<echo>${long}</wrap>never", "ab", "t.html:1:22: limit"},
  };
  for (const ReportCase& c : grownBodies) {
    RenderOutcome grown = render(c.page, small);
    EXPECT_TRUE(grown.stopped) << c.page;
    EXPECT_EQ(grown.output, c.output) << c.page;
    EXPECT_EQ(grown.reports.back().message, "The output passed 1000 bytes, the limit.") << c.page;
    EXPECT_EQ(formatReport(grown.reports.back()).substr(0, 18), c.report) << c.page;
  }
  variables = before;

  RenderOutcome big = render("ab<big count=\"5000\">never", small);
  EXPECT_TRUE(big.stopped);
  EXPECT_EQ(big.output.size(), 1000u);
  EXPECT_EQ(big.reports.back().message, "The output passed 1000 bytes, the limit.");
  EXPECT_EQ(formatReport(big.reports.back()).substr(0, 17), "t.html:1:3: limit");

  // Just under each limit nothing is reported.
  small.maxTagCalls = 3;
  EXPECT_FALSE(render("<echo><echo><echo>", small).stopped);
  EXPECT_FALSE(render(std::string(1000, 'y'), small).stopped);
}

TEST_F(Mechanics, PropertiesOfTheRegionAreRead) {
  properties.values["flag"] = "no";
  EXPECT_EQ(render("<property name=\"flag\">,<property name=\"other\">").output, "no,(absent)");
}

TEST_F(Mechanics, BlocksLentToTheModuleAreSoundAtEverySize) {
  // Sizes at the edges of the pooled classes, nothing, and past the pool.
  RenderOutcome outcome = render(
      "<blocks size=0 size=1 size=15 size=16 size=17 size=32 size=33 size=511 size=512 size=513 "
      "size=1023 size=1024 size=1025 size=4096 size=16>|<blocks size=16 size=16 size=0 size=0>");
  EXPECT_EQ(outcome.output, "ok|ok");
  EXPECT_EQ(outcome.stats.blocksKept, 0);
  // A block released on another thread leaves this thread's blocks sound.
  EXPECT_EQ(render("<handOff><blocks size=24 size=24><handOff>").output, "handedokhanded");
}

TEST_F(Mechanics, AnswersOfEverySizeFollowOneAnother) {
  // Raw-body answers are walked in texts kept from one answer to the next;
  // a long answer, then short ones, then long again must each come whole.
  const std::string longText(70000, 'x'), midText(3000, 'y');
  const std::string page = "<raw>" + longText + "</raw>|<raw>ab</raw>|<raw>" + midText +
                           "<raw>c</raw></raw>|<raw>" + longText + "</raw>";
  RenderOutcome outcome = render(page);
  EXPECT_EQ(outcome.output, longText + "|ab|" + midText + "c|" + longText);
  EXPECT_TRUE(outcome.reports.empty());
}

TEST_F(Mechanics, BlocksTheModuleKeepsAreCounted) {
  EXPECT_EQ(render("<leak><leak>").stats.blocksKept, 2);
}

}  // namespace
}  // namespace bw

namespace bw {
namespace {

// The engine's answers to the protocol, called as a module would call them.
TEST(HostServices, AnswerByTheProtocolsRules) {
  TagParameters parameters;
  parameters.add("Name", "0123456789");
  parameters.add("name", "second");
  parameters.add("empty", "");
  TagInvocation tag;
  tag.name = "qelIf";
  tag.parameters = &parameters;
  tag.body = "the body";
  tag.hasBody = true;
  HostSession session;
  session.tag = &tag;
  auto serve = [&](uint32_t code, void* a1, void* a2, void* a3 = nullptr, void* a4 = nullptr,
                   void* a5 = nullptr) { return HostSession::serve(session.handle(), code, a1, a2, a3, a4, a5); };

  char name[] = "name";
  uint32_t nameCount = sizeof name;  // the terminator counted
  int32_t occurrence = 0;
  char buffer[16];
  uint32_t size = 4;
  // Too small: MBtS with the exact length needed, and nothing written.
  EXPECT_EQ(serve(MTPm, name, &nameCount, buffer, &size, &occurrence), MBtS);
  EXPECT_EQ(size, 10u);
  // Exactly large enough: the text, its length, no terminator needed.
  EXPECT_EQ(serve(MTPm, name, &nameCount, buffer, &size, &occurrence), 0u);
  EXPECT_EQ(std::string(buffer, size), "0123456789");
  // Occurrences count among names equal without regard to case.
  occurrence = 1;
  size = sizeof buffer;
  EXPECT_EQ(serve(MTPm, name, &nameCount, buffer, &size, &occurrence), 0u);
  EXPECT_EQ(std::string(buffer, size), "second");
  for (int32_t absent : {2, -1}) {
    occurrence = absent;
    EXPECT_NE(serve(MTPm, name, &nameCount, buffer, &size, &occurrence), 0u) << absent;
  }
  // A present empty value is present, with length 0.
  char empty[] = "empty";
  uint32_t emptyCount = sizeof empty;
  occurrence = 0;
  size = sizeof buffer;
  EXPECT_EQ(serve(MTPm, empty, &emptyCount, buffer, &size, &occurrence), 0u);
  EXPECT_EQ(size, 0u);
  // A count that leaves out the terminator is refused, not misread.
  uint32_t shortCount = sizeof name - 1;
  EXPECT_EQ(serve(MTPm, name, &shortCount, buffer, &size, &occurrence), kHostBadArgument);
  uint32_t zero = 0;
  EXPECT_EQ(serve(MSEI, name, &zero), kHostBadArgument);

  size = sizeof buffer;
  EXPECT_EQ(serve(MTag, buffer, &size), 0u);
  EXPECT_EQ(std::string(buffer, size), "qelIf");
  size = sizeof buffer;
  EXPECT_EQ(serve(MTBd, buffer, &size), 0u);
  EXPECT_EQ(std::string(buffer, size), "the body");

  // MWtS counts exactly, without a terminator, and output adds up.
  char out[] = "abcdef";
  uint32_t three = 3;
  EXPECT_EQ(serve(MWtS, out, &three), 0u);
  EXPECT_EQ(serve(MWtS, out + 3, &three), 0u);
  EXPECT_EQ(session.output, "abcdef");

  // Services with nothing to give in this request, and unknown codes.
  size = sizeof buffer;
  EXPECT_EQ(serve(MFAr, name, &nameCount, buffer, &size, &occurrence), kHostNotAvailable);
  EXPECT_EQ(serve(MGPr, name, &nameCount, buffer, &size), kHostNotAvailable);
  EXPECT_EQ(serve(BW_FOURCC('M', 'Z', 'z', 'z'), nullptr, nullptr), MUnF);
  EXPECT_EQ(serve(MYld, nullptr, nullptr), 0u);

  // A handle that names no session is answered, not followed.
  uint32_t gone;
  {
    HostSession shortLived;
    gone = shortLived.handle();
    EXPECT_EQ(HostSession::serve(gone, MYld, nullptr, nullptr, nullptr, nullptr, nullptr), 0u);
  }
  EXPECT_EQ(HostSession::serve(gone, MYld, nullptr, nullptr, nullptr, nullptr, nullptr), kHostNotAvailable);
  EXPECT_EQ(HostSession::serve(0, MYld, nullptr, nullptr, nullptr, nullptr, nullptr), kHostNotAvailable);
}

}  // namespace
}  // namespace bw
