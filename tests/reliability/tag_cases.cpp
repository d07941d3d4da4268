// The rows of tagCases(), built once.  Keyword lists are tables so that a
// keyword missing here is one line to add, and each keyword is tried under
// both tags that take it.
#include "reliability/tag_cases.h"

namespace bw::test {
namespace {

constexpr const char* kRelationships[] = {
    "equals", "doesNotEqual", "lessThan", "lessThanOrEqualTo", "greaterThan",
    "greaterThanOrEqualTo", "contains", "doesNotContain", "beginsWith", "doesNotBeginWith",
    "endsWith", "doesNotEndWith", "isEmpty", "isNotEmpty", "=", "<>", "<", "<=", ">", ">=",
    "GREATERTHAN", "noSuchRelationship"};

// Sides that take every path of the comparison: equal numbers written
// differently, numbers against text (the fallback), and plain texts.
struct Sides {
  const char* lhs;
  const char* rhs;
};
constexpr Sides kSides[] = {
    {"10", "9.50"}, {"-0.0", "0"}, {"abc", "ABD"}, {"12abc", "12"}, {"", "x"}, {"hello world", "world"}};

// Each string mode with the parameters it needs (text, then name/value pairs).
struct StringMode {
  const char* mode;
  const char* text;
  NamedValues params;
};
const std::vector<StringMode>& stringModes() {
  static const std::vector<StringMode> modes = {
      {"urlEncode", "a b&c=d/e?f\xE9", {}},
      {"urlDecode", "a%20b+c%2x%", {}},
      {"htmlEncode", "<a href=\"x\">&amp;</a>", {}},
      {"htmlDecode", "&lt;b&gt; &amp;amp; &#65; &unknown; &", {}},
      {"toUpper", "mIxEd \xE9 case", {}},
      {"toLower", "MiXeD CASE", {}},
      {"substring", "abcdefgh", {{"beginningIndex", "3"}, {"length", "4"}}},
      {"substring", "abcdefgh", {{"beginningIndex", "-5"}, {"length", "100"}}},
      {"substring", "abcdefgh", {{"beginningIndex", "99"}, {"length", "2"}}},
      {"substring", "abcdefgh", {{"beginningIndex", "2"}}},  // missing length
      {"replace", "one two one", {{"stringToReplace", "ONE"}, {"replacementString", "1"}}},
      {"replace", "aaaa", {{"stringToReplace", "a"}, {"replacementString", "aa"}, {"caseSensitive", "true"}}},
      {"replace", "abc", {{"stringToReplace", ""}, {"replacementString", "x"}}},
      {"replace", "abc", {{"stringToReplace", "b"}}},  // missing replacement
      {"insert", "abcdef", {{"stringToInsert", "\\t-\\065-"}, {"index", "3"}}},
      {"insert", "abcdef", {{"stringToInsert", "x"}, {"index", "1000"}}},
      {"prepend", "tail", {{"stringToPrepend", "head\\n"}}},
      {"append", "head", {{"stringToAppend", "\\\\tail"}}},
      {"trimLeft", " \t\r\n x \t", {}},
      {"trimRight", " x \t\r\n", {}},
      {"trim", "\r\n  both  \t", {}},
      {"getLength", "twelve bytes", {}},
      {"noOperation", "kept as is", {}},
      {"split", "a,b,,c", {{"index", "2"}, {"delimiter", ","}}},
      {"split", "aXbxc", {{"index", "3"}, {"delimiter", "x"}, {"caseSensitive", "yes"}}},
      {"split", "a,b", {{"index", "9"}, {"delimiter", ","}}},
      {"split", "a,b", {{"index", "1"}}},  // missing delimiter
      {"getWordCount", "  one two\r\nthree  ", {}},
      {"getCharacterCount", "a\r\nb\nc", {}},
      {"getCharacterCount", "Banana", {{"character", "a"}}},
      {"getCharacterCount", "Banana", {{"character", "A"}, {"caseSensitive", "1"}}},
      {"padLeft", "7", {{"character", "0"}, {"length", "3"}}},
      {"padRight", "7", {{"character", "xy"}, {"length", "2.5"}}},
      {"padLeft", "7", {}},
      {"regularExpression", "order 12345 shipped 2024-01-02",
       {{"regularExpression", "([0-9]+)-([0-9]+)-([0-9]+)"}, {"resultVariableName", "date"}}},
      {"regularExpression", "no digits", {{"regularExpression", "[0-9]+"}, {"resultVariableName", "n"}}},
      {"regularExpression", "abc", {{"regularExpression", "(a|b)*c"}}},
      {"regularExpression", "abc", {{"regularExpression", "(unclosed"}}},  // rejected
      {"regularExpression", "abc", {}},  // missing pattern
      {"noSuchMode", "unchanged", {}},
  };
  return modes;
}

struct Row {
  const char* group;
  const char* tag;
  NamedValues params;
  std::optional<std::string> body;
};

// Rows that do not come from a keyword list.
const std::vector<Row>& fixedRows() {
  static const std::vector<Row> rows = {
      // qelComment: the body vanishes, whatever it holds.
      {"comment", "qelComment", {}, std::string("any <qelIf lhs=\"1\">text</qelIf>")},
      {"comment", "qelComment", {}, std::nullopt},

      // qelIf bodies: branches, nesting, a second marker, no marker.
      {"if body", "qelIf", {{"lhs", "1"}, {"relationship", "equals"}, {"rhs", "1"}},
       std::string("yes<qelElse>no")},
      {"if body", "qelIf", {{"lhs", "1"}, {"relationship", "equals"}, {"rhs", "2"}},
       std::string("<qelIf lhs=\"a\" relationship=\"isEmpty\">in<qelElse>out</qelIf>x<qelElse>y<qelElse>z")},
      {"if body", "qelIf", {{"lhs", "1"}, {"relationship", "equals"}, {"rhs", "2"}},
       std::string("only the true branch")},
      {"if body", "qelIf", {{"lhs", "a"}, {"relationship", "equals"}, {"rhs", "A"}, {"caseSensitive", "true"}},
       std::string("<b>yes</b><qelElse><i>no</i>")},
      {"if order", "qelIf", {{"lhs", "10"}, {"relationship", "<"}, {"rhs", "9"}, {"order", "alphabetical"}},
       std::string("yes<qelElse>no")},
      {"if order", "qelInlineIf", {{"lhs", "10"}, {"relationship", "<"}, {"rhs", "9"}, {"order", "numerical"},
       {"then", "T"}, {"else", "E"}}, std::nullopt},
      {"if missing", "qelIf", {{"relationship", "equals"}, {"rhs", "1"}}, std::string("x")},
      {"if missing", "qelInlineIf", {{"lhs", "1"}, {"rhs", "1"}}, std::nullopt},
      {"if missing", "qelInlineIf", {{"lhs", "1"}, {"relationship", "equals"}}, std::nullopt},
      {"if missing", "qelIf", {{"lhs", "1"}, {"relationship", "equals"}, {"rhs", "1"}}, std::nullopt},

      // qelSwitch: closed cases, open labels, the default, nesting, none.
      {"switch", "qelSwitch", {{"value", "b"}},
       std::string("<qelCase value=\"a\">A</qelCase><qelCase value=\"b\">B</qelCase><qelCase>D</qelCase>")},
      {"switch", "qelSwitch", {{"value", "B"}, {"caseSensitive", "true"}},
       std::string("<qelCase value=\"a\">A</qelCase><qelCase value=\"b\">B</qelCase><qelCase>D</qelCase>")},
      {"switch", "qelSwitch", {{"value", "a"}},
       std::string("<qelCase value=\"a\">A<qelCase value=\"b\">B<qelCase>D")},
      {"switch", "qelSwitch", {{"value", "x"}},
       std::string("<qelCase value='x'><qelSwitch value=\"y\"><qelCase value=\"y\">in</qelCase></qelSwitch></qelCase>")},
      {"switch", "qelSwitch", {{"value", "z"}}, std::string("<qelCase value=\"a\">A</qelCase>")},
      {"switch", "qelSwitch", {{"value", "a"}}, std::string("<qelCase value=\"a\" >unterminated")},
      {"switch missing", "qelSwitch", {}, std::string("<qelCase>D</qelCase>")},
      {"switch missing", "qelSwitch", {{"value", "a"}}, std::nullopt},

      // qelLoop numeric: first steps, continuation steps, the last step,
      // negative and fractional steps, bad values, the output limit.
      {"loop numeric", "qelLoop", {{"first", "1"}, {"last", "3"}, {"indexName", "i"}},
       std::string("[&qelLoopIndexi;]<b>&QELLOOPINDEXI;</b>")},
      {"loop numeric", "qelLoop", {{"first", "1"}, {"last", "3"}, {"iteration", "2"}, {"totalSize", "40"}},
       std::string("[&qelLoopIndex;]")},
      {"loop numeric", "qelLoop", {{"first", "1"}, {"last", "3"}, {"iteration", "3"}}, std::string("&qelLoopIndex;")},
      {"loop numeric", "qelLoop", {{"first", "10"}, {"last", "0"}, {"step", "-2.5"}}, std::string("&qelLoopIndex;,")},
      {"loop numeric", "qelLoop", {{"first", "0"}, {"last", "1"}, {"step", "0.1"}, {"iteration", "0.9"}},
       std::string("&qelLoopIndex;")},
      {"loop numeric", "qelLoop", {{"first", "1"}, {"last", "5"}, {"step", "0"}}, std::string("x")},
      {"loop numeric", "qelLoop", {{"first", "a"}, {"last", "5"}}, std::string("x")},
      {"loop numeric", "qelLoop", {{"first", "1"}, {"last", "b"}}, std::string("x")},
      {"loop numeric", "qelLoop", {{"first", "1"}, {"last", "5"}, {"totalSize", "5119999"}}, std::string("xx")},
      {"loop numeric", "qelLoop", {{"first", "1"}}, std::string("x")},  // missing last
      {"loop numeric", "qelLoop", {{"first", "1"}, {"last", "2"}},
       std::string("<qelLoop first=\"1\" last=\"2\">in</qelLoop>&qelLoopIndex;&qelLoop&qelLoopIndex;Index;")},
      // qelLoop over items and lists.
      {"loop items", "qelLoop", {{"item", "a"}, {"item", "b"}, {"item", ""}, {"indexName", "n"}},
       std::string("(&qelLoopIndexn;)")},
      {"loop list", "qelLoop", {{"itemList", "x,y,,z"}}, std::string("<li>&qelLoopIndex;</li>")},
      {"loop list", "qelLoop", {{"itemList", "x::y::z"}, {"listDelimiter", "::"}}, std::string("&qelLoopIndex;")},
      {"loop list", "qelLoop", {{"itemList", ""}}, std::string("&qelLoopIndex;")},
      {"loop none", "qelLoop", {}, std::string("&qelLoopIndex;")},
      {"loop none", "qelLoop", {{"itemList", "a,b"}}, std::nullopt},

      // qelMath: every operator, grouping, precisions, the error paths.
      {"math", "qelMath", {}, std::string(" (3 + 4.5) * 2 ^ 3 % 7 ")},
      {"math", "qelMath", {{"workPrecision", "25"}, {"resultPrecision", "20"}, {"displayPrecision", "25"}},
       std::string("1 / 3 - 2 \\ 7 + -(-4)")},
      {"math", "qelMath", {{"workPrecision", "0"}, {"displayPrecision", "-1"}}, std::string("10 / 4")},
      {"math", "qelMath", {}, std::string("2 ^ -3 + 0.5 ^ 2")},
      {"math", "qelMath", {}, std::string("1 / 0")},
      {"math", "qelMath",
       {}, std::string("99999999999999999999999999999999999999999999999999999999999999999999999999999999 * 10")},
      {"math", "qelMath", {}, std::string("((((1))))+((2)*(3))")},
      {"math errors", "qelMath", {}, std::string("(1 + 2")},
      {"math errors", "qelMath", {}, std::string("1 + * 2")},
      {"math errors", "qelMath", {}, std::string("--3")},
      {"math errors", "qelMath", {}, std::string("abc")},
      {"math errors", "qelMath", {}, std::string("1.2.3 + 4")},
      {"math errors", "qelMath", {{"workPrecision", "26"}}, std::string("1")},
      {"math errors", "qelMath", {{"resultPrecision", "-1"}}, std::string("1")},
      {"math errors", "qelMath", {{"displayPrecision", "-2"}}, std::string("1")},
      {"math errors", "qelMath", {}, std::nullopt},

      // A name that is not one of the module's tags.
      {"unknown tag", "qelNoSuchTag", {}, std::string("x")},

      // Former bugs: cases that once failed the sweep.  Only grows.
      // A pattern node was lost when its parent's child array failed to grow.
      {"former bugs", "qelString",
       {{"mode", "regularExpression"}, {"regularExpression", "(a)(b)(c)(d)(e)(f)(g)(h)[x-z]*"},
        {"resultVariableName", "g"}},
       std::string("--abcdefghabcdefghzz--")},
  };
  return rows;
}

std::vector<TagCase> buildCases() {
  std::vector<TagCase> cases;
  for (const Row& row : fixedRows()) cases.push_back({row.group, row.tag, row.params, row.body});
  for (const char* relationship : kRelationships) {
    for (const Sides& sides : kSides) {
      cases.push_back({"if relationship", "qelIf",
                       {{"lhs", sides.lhs}, {"relationship", relationship}, {"rhs", sides.rhs}},
                       std::string("then<qelElse>else")});
      cases.push_back({"inline if relationship", "qelInlineIf",
                       {{"lhs", sides.lhs}, {"relationship", relationship}, {"rhs", sides.rhs},
                        {"then", "T"}, {"else", "E"}, {"order", "alphabetical"}},
                       std::nullopt});
    }
  }
  for (const StringMode& m : stringModes()) {
    for (bool quoted : {false, true}) {
      NamedValues params = {{"mode", m.mode}};
      params.insert(params.end(), m.params.begin(), m.params.end());
      if (quoted) params.push_back({"quoteResult", "true"});
      cases.push_back({"string mode", "qelString", params, std::string(m.text)});
      NamedValues inlineParams = params;
      // The inline text comes from every occurrence of "string", joined.
      std::string text = m.text;
      inlineParams.push_back({"string", text.substr(0, text.size() / 2)});
      inlineParams.push_back({"string", text.substr(text.size() / 2)});
      cases.push_back({"inline string mode", "qelInlineString", inlineParams, std::nullopt});
    }
  }
  cases.push_back({"inline string missing", "qelInlineString", {{"mode", "toUpper"}}, std::nullopt});
  return cases;
}

}  // namespace

const std::vector<TagCase>& tagCases() {
  static const std::vector<TagCase> cases = buildCases();
  return cases;
}

std::string describe(const TagCase& c) {
  std::string out = std::string(c.group) + ": " + c.tag;
  for (const NamedValue& p : c.params) out += " " + p.name + "=\"" + p.value + "\"";
  out += c.body ? " (body " + std::to_string(c.body->size()) + " bytes)" : " (no body)";
  return out;
}

}  // namespace bw::test
