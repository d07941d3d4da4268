// qelLoop as a page sees it, through the real module.  Numeric loops are run
// to completion the way a host runs them: each continuation tag the module
// writes is parsed and fed back as the next call.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tags/control_tag_fixture.h"

namespace bw {
namespace {

using test::NamedValues;
using test::Result;

constexpr const char* kContinuationStart = "<qelLoop ";
constexpr const char* kContinuationEnd = "</qelLoop>";

// A continuation tag taken apart: its attributes in order and its body.
struct Continuation {
  NamedValues attributes;
  std::string body;
};

// Splits a call's output into the expansion and the continuation tag (the
// last "<qelLoop " in the output, which the tests' bodies never contain).
bool splitOutput(const std::string& output, std::string& expansion, Continuation& next) {
  const size_t start = output.rfind(kContinuationStart);
  if (start == std::string::npos) {
    expansion = output;
    return false;
  }
  expansion = output.substr(0, start);
  size_t at = start + 9;
  next.attributes.clear();
  while (output[at] != '>') {
    const size_t equals = output.find("=\"", at);
    const size_t close = output.find('"', equals + 2);
    next.attributes.push_back({output.substr(at, equals - at), output.substr(equals + 2, close - equals - 2)});
    at = close + 1;
    if (output[at] == ' ') ++at;
  }
  const std::string tail = output.substr(at + 1);
  EXPECT_GE(tail.size(), 10u);
  EXPECT_EQ(tail.substr(tail.size() - 10), kContinuationEnd);
  next.body = tail.substr(0, tail.size() - 10);
  return true;
}

class LoopTag : public ControlTagTest {
 protected:
  Result run(const NamedValues& params, const std::string& body) {
    return ControlTagTest::run("qelLoop", params, body);
  }

  // Runs a numeric loop to its end; returns each call's expansion.
  std::vector<std::string> runToEnd(const NamedValues& params, const std::string& body,
                                    size_t maxCalls = 100) {
    std::vector<std::string> expansions;
    NamedValues current = params;
    std::string currentBody = body;
    for (size_t call = 0; call < maxCalls; ++call) {
      const Result r = run(current, currentBody);
      EXPECT_EQ(r.result, 0u);
      EXPECT_TRUE(r.errors.empty());
      std::string expansion;
      Continuation next;
      const bool more = splitOutput(r.output, expansion, next);
      expansions.push_back(expansion);
      if (!more) return expansions;
      EXPECT_EQ(next.body, body) << "the continuation carries the raw body";
      current = next.attributes;
      currentBody = next.body;
    }
    ADD_FAILURE() << "loop did not end within " << maxCalls << " calls";
    return expansions;
  }
};

using Strings = std::vector<std::string>;

TEST_F(LoopTag, ContinuationTextIsExact) {
  const Result r = run({{"first", "1"}, {"last", "3"}}, "[&qelLoopIndex;]");
  EXPECT_EQ(r.result, 0u);
  EXPECT_EQ(r.output,
            "[1]<qelLoop first=\"1\" step=\"1\" last=\"3\" indexName=\"\" iteration=\"2\" "
            "totalSize=\"16\">[&qelLoopIndex;]</qelLoop>");

  // The step is written without its sign, numbers in plain text, the index
  // name and body as given.
  const Result f = run({{"first", "1.50"}, {"last", "-2"}, {"step", "-0.250"}, {"indexName", "row"},
                        {"totalSize", "100"}},
                       "<td>&qelLoopIndexROW;</td>");
  EXPECT_EQ(f.output,
            "<td>1.5</td><qelLoop first=\"1.5\" step=\"0.25\" last=\"-2\" indexName=\"row\" "
            "iteration=\"1.25\" totalSize=\"126\"><td>&qelLoopIndexROW;</td></qelLoop>");
}

TEST_F(LoopTag, NumericRangesRunToCompletion) {
  struct Row {
    NamedValues params;
    Strings expected;
  };
  const std::vector<Row> rows = {
      {{{"first", "1"}, {"last", "3"}}, {"[1]", "[2]", "[3]"}},
      {{{"first", "10"}, {"last", "1"}, {"step", "4"}}, {"[10]", "[6]", "[2]"}},
      {{{"first", "1"}, {"last", "10"}, {"step", "-3"}}, {"[1]", "[4]", "[7]", "[10]"}},
      {{{"first", "5"}, {"last", "5"}}, {"[5]"}},
      {{{"first", "0.5"}, {"last", "1.5"}, {"step", "0.25"}},
       {"[0.5]", "[0.75]", "[1]", "[1.25]", "[1.5]"}},
      {{{"first", "-1"}, {"last", "-3"}}, {"[-1]", "[-2]", "[-3]"}},
      {{{"first", "0"}, {"last", "0.3"}, {"step", "0.1"}}, {"[0]", "[0.1]", "[0.2]", "[0.3]"}},
      // The page may start in the middle of the range.
      {{{"first", "1"}, {"last", "5"}, {"iteration", "3"}}, {"[3]", "[4]", "[5]"}},
      {{{"first", "1"}, {"last", "5"}, {"iteration", "9"}, {"step", "3"}}, {"[9]", "[6]"}},
      // An iteration that is no number (an embedded tag that came back
      // blank) starts at first, instead of an empty index and a range that
      // starts over at step.
      {{{"first", "10"}, {"last", "12"}, {"iteration", ""}}, {"[10]", "[11]", "[12]"}},
      {{{"first", "10"}, {"last", "8"}, {"iteration", "x"}}, {"[10]", "[9]", "[8]"}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(runToEnd(row.params, "[&qelLoopIndex;]"), row.expected);
  }
}

TEST_F(LoopTag, TotalSizeGivenByThePageCounts) {
  // 5,119,984 + 16 is exactly the limit: one more call is allowed.
  const Result atLimit = run({{"first", "1"}, {"last", "3"}, {"totalSize", "5119984"}}, "[&qelLoopIndex;]");
  EXPECT_EQ(atLimit.result, 0u);
  EXPECT_NE(atLimit.output.find("totalSize=\"5120000\""), std::string::npos);
  const Result over = run({{"first", "1"}, {"last", "3"}, {"totalSize", "5119985"}}, "[&qelLoopIndex;]");
  EXPECT_EQ(over.result, MVEB);
  EXPECT_EQ(over.output, "");
}

TEST_F(LoopTag, OutputLimitStopsAtTheRightCall) {
  const std::string body(1986, 'x');
  const std::string fullBody = body + "&qelLoopIndex;";  // 2000 bytes
  NamedValues current = {{"first", "1"}, {"last", "100000"}};
  int calls = 0;
  Result r;
  for (;;) {
    r = run(current, fullBody);
    ++calls;
    if (r.result != 0u) break;
    std::string expansion;
    Continuation next;
    ASSERT_TRUE(splitOutput(r.output, expansion, next)) << "call " << calls;
    ASSERT_EQ(expansion, body + std::to_string(calls));
    current = next.attributes;
    ASSERT_LT(calls, 3000);
  }
  EXPECT_EQ(calls, 2561);
  EXPECT_EQ(r.result, MVEB);
  EXPECT_EQ(r.output, "");
  ASSERT_EQ(r.errors.size(), 1u);
  EXPECT_EQ(r.errors[0].message, "The loop returned more than the allowed amount of data.");
  EXPECT_EQ(r.errors[0].hint, "Make sure that the loop cannot return more than 5 megabytes of data.");
}

TEST_F(LoopTag, StepsThatCannotAdvanceEndTheLoop) {
  for (const char* step : {"0", "-0", "0.000000001", "abc", ""}) {
    const Result r = run({{"first", "1"}, {"last", "3"}, {"step", step}}, "[&qelLoopIndex;]");
    EXPECT_EQ(r.result, 0u) << "step " << step;
    EXPECT_EQ(r.output, "") << "step " << step;
    EXPECT_TRUE(r.errors.empty());
  }
}

TEST_F(LoopTag, Failures) {
  struct Row {
    NamedValues params;
    uint32_t result;
    std::string message;
    std::string hint;
  };
  const std::string numbers = "The loop tag in numeric step mode requires valid numbers for first and last parameters.";
  const std::string numbersHint =
      "Make sure that the first and last parameters are supplied with valid numbers. This problem "
      "usually occurs when an embedded tag returns a blank value.";
  const std::vector<Row> rows = {
      {{{"first", ""}, {"last", "3"}}, MIPV, numbers, numbersHint},
      {{{"first", "abc"}, {"last", "3"}}, MIPV, numbers, numbersHint},
      {{{"first", "1"}, {"last", "x"}}, MIPV, numbers, numbersHint},
      {{{"first", "1"}}, MMRP,
       "An &lt;qelLoop&gt; tag was found but it is missing its &quot;last&quot; parameter.",
       "Check the &lt;qelLoop&gt; tag to see if the &quot;last&quot; parameter is missing or "
       "misspelled."},
      {{{"indexName", "i"}}, MMRP, "No valid parameters were provided for this loop.",
       "Make sure that the loop has tag parameters provided."},
      {{}, MMRP, "No valid parameters were provided for this loop.",
       "Make sure that the loop has tag parameters provided."},
  };
  for (const Row& row : rows) {
    const Result r = run(row.params, "[&qelLoopIndex;]");
    EXPECT_EQ(r.result, row.result) << row.message;
    EXPECT_EQ(r.output, "");
    ASSERT_EQ(r.errors.size(), 1u);
    EXPECT_EQ(r.errors[0].message, row.message);
    EXPECT_EQ(r.errors[0].hint, row.hint);
  }
}

TEST_F(LoopTag, ItemAndListModes) {
  struct Row {
    NamedValues params;
    std::string body;
    std::string expected;
  };
  const std::vector<Row> rows = {
      {{{"item", "a"}, {"item", "b"}, {"item", "c"}}, "[&qelLoopIndex;]", "[a][b][c]"},
      {{{"item", ""}}, "[&qelLoopIndex;]", "[]"},
      {{{"itemList", "a,b,,c"}}, "[&qelLoopIndex;]", "[a][b][][c]"},
      {{{"itemList", ""}}, "[&qelLoopIndex;]", ""},
      {{{"itemList", "a,b"}, {"listDelimiter", ""}}, "[&qelLoopIndex;]", ""},
      {{{"itemList", "a\tb"}, {"listDelimiter", "\\t"}}, "[&qelLoopIndex;]", "[a][b]"},
      {{{"itemList", "a\\tb"}, {"listDelimiter", "\\t"}}, "[&qelLoopIndex;]", "[a\\tb]"},
      {{{"itemList", "a||b|c"}, {"listDelimiter", "||"}}, "[&qelLoopIndex;]", "[a][b|c]"},
      {{{"itemList", "aXbxc"}, {"listDelimiter", "x"}}, "[&qelLoopIndex;]", "[aXb][c]"},
      // Items win over a list, a range over both.
      {{{"itemList", "l"}, {"item", "i"}}, "[&qelLoopIndex;]", "[i]"},
      // Index names, matched ignoring case; the plain entity is then text.
      {{{"item", "v"}, {"indexName", "i"}}, "&qelLoopIndexi;|&QELLOOPINDEXI;|&qelLoopIndex;",
       "v|v|&qelLoopIndex;"},
      // A "<" followed by a blank starts no tag, so an index name holding one
      // still names an entity that is replaced whole.
      {{{"item", "v"}, {"indexName", "< "}}, "[&qelLoopIndex< ;]", "[v]"},
      // The body's tags are copied untouched, the entity replaced inside them.
      {{{"item", "7"}}, "<td class=\"c&qelLoopIndex;\">&qelLoopIndex;</td>",
       "<td class=\"c7\">7</td>"},
      {{{"item", "A"}}, "<qelLoop item=\"x\">&qelLoopIndex;</qelLoop>",
       "<qelLoop item=\"x\">A</qelLoop>"},
      // An inserted value that completes an entity with the text after it is
      // replaced again; one that holds the entity itself ends.
      {{{"item", "&qelLoop"}}, "&qelLoopIndex;Index;", "&qelLoop"},
      {{{"item", "&qelLoopIndex;"}}, "&qelLoopIndex;", "&qelLoopIndex;"},
  };
  for (const Row& row : rows) {
    const Result r = run(row.params, row.body);
    EXPECT_EQ(r.result, 0u);
    EXPECT_TRUE(r.errors.empty());
    EXPECT_EQ(r.output, row.expected) << row.body;
  }
}

// Items and lists run whole in one call, so the copies they make count
// against the same limit as a numeric loop's running total: a list from a
// visitor must not make the module build gigabytes.
TEST_F(LoopTag, ItemAndListModesStayWithinTheOutputLimit) {
  const std::string body(1999, 'x');
  const std::string entityBody = body + "&qelLoopIndex;";
  auto entities = [](int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += "&qelLoopIndex;";
    return s;
  };
  auto list = [](int n, const std::string& item) {
    std::string s = item;
    for (int i = 1; i < n; ++i) s += "," + item;
    return s;
  };
  struct Row {
    NamedValues params;
    std::string body;
    uint32_t result;
    size_t outputSize;
  };
  const std::vector<Row> rows = {
      // 2000-byte copies: 2560 fit exactly, as in a numeric loop.
      {{{"itemList", list(2560, "a")}}, entityBody.substr(0, 1986) + "&qelLoopIndex;", 0u,
       2560u * 1987u},
      {{{"itemList", list(2560, "")}}, body + "y", 0u, 2560u * 2000u},
      {{{"itemList", list(2561, "")}}, body + "y", MVEB, 0u},
      // A running total the page gives counts as well.
      {{{"itemList", list(2, "")}, {"totalSize", "5116000"}}, body + "y", 0u, 4000u},
      {{{"itemList", list(3, "")}, {"totalSize", "5116000"}}, body + "y", MVEB, 0u},
      // What counts is the text made: long index values count in full.
      {{{"item", std::string(3000000, 'v')}, {"item", std::string(3000000, 'w')}},
       "&qelLoopIndex;", MVEB, 0u},
      {{{"item", std::string(3000000, 'v')}}, "&qelLoopIndex;", 0u, 3000000u},
      // One copy alone may be far too long: a long value times many
      // entities is refused before it is built.
      {{{"item", std::string(1000000, 'v')}}, entities(5000), MVEB, 0u},
      {{{"itemList", std::string(1000000, 'v')}}, entities(5000), MVEB, 0u},
  };
  for (const Row& row : rows) {
    const Result r = run(row.params, row.body);
    EXPECT_EQ(r.result, row.result) << row.params[0].value.size();
    EXPECT_EQ(r.output.size(), row.outputSize);
    if (row.result == MVEB) {
      ASSERT_EQ(r.errors.size(), 1u);
      EXPECT_EQ(r.errors[0].message, "The loop returned more than the allowed amount of data.");
      EXPECT_EQ(r.errors[0].hint,
                "Make sure that the loop cannot return more than 5 megabytes of data.");
    } else {
      EXPECT_TRUE(r.errors.empty());
    }
  }
  // Many items, each one copy of the body.
  NamedValues items;
  for (int i = 0; i < 2561; ++i) items.push_back({"item", ""});
  EXPECT_EQ(run(items, body + "y").result, MVEB);
  items.pop_back();
  EXPECT_EQ(run(items, body + "y").output.size(), 2560u * 2000u);
}

TEST_F(LoopTag, YieldsOnMultiplesOfTheYieldInterval) {
  struct Row {
    NamedValues params;
    int yields;
  };
  const std::vector<Row> rows = {
      {{{"first", "0"}, {"last", "5"}}, 1},
      {{{"first", "1"}, {"last", "5"}}, 0},
      {{{"first", "1"}, {"last", "500"}, {"iteration", "300"}}, 1},
      {{{"first", "200"}, {"last", "300"}, {"step", "2"}}, 1},
      {{{"first", "200"}, {"last", "300"}, {"step", "-2"}}, 1},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(run(row.params, "x").yields, row.yields);
  }
}

// ---- former bugs -------------------------------------------------------------

TEST_F(LoopTag, FormerBugs) {
  // An index that overflows its thirty integer digits must end the loop, not
  // start the range over.
  EXPECT_EQ(runToEnd({{"first", "999999999999999999999999999990"},
                      {"last", "999999999999999999999999999999"},
                      {"step", "5"}},
                     "[&qelLoopIndex;]"),
            (Strings{"[999999999999999999999999999990]", "[999999999999999999999999999995]"}));
}

}  // namespace
}  // namespace bw
