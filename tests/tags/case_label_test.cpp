// qelCase labels are read in place; this holds that reading to the plain
// step-by-step one (trim, strip the name, the quotes and the ">", decode the
// escapes, compare) on hand-picked shapes and on random mutations of them.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "foundation/codecs.h"
#include "tags/switch_body.h"

namespace bw {
namespace {

CaseKind stepByStep(const QelString& tagText, const QelString& value, bool caseSensitive) {
  if (!isCaseTag(tagText)) return CaseKind::Other;
  QelString rest = tagText.substring(8);
  rest.trim(" \t\r\n");
  if (rest.compare(">") == CompareResult::Equal) return CaseKind::Default;
  if (!rest.startsWith("value", 5, IgnoreCase)) return CaseKind::Other;
  rest.removeLeft(6);
  if (!rest.startsWith('"')) return CaseKind::Other;
  rest.removeLeft(1);
  if (!rest.endsWith('>')) return CaseKind::Other;
  rest.removeRight(1);
  rest.trimRight(" \t\r\n");
  if (!rest.endsWith('"')) return CaseKind::Other;
  rest.removeRight(1);
  unescapeBackslashes(rest, true);
  const bool equal = caseSensitive ? rest.equals(value)
                                   : rest.compare(value, IgnoreCase) == CompareResult::Equal;
  return equal ? CaseKind::Matching : CaseKind::Other;
}

const std::vector<std::string> kLabels = {
    "<qelCase>",           "<qelCase >",           "<qelCase\t\r\n>",      "<qelcase value=\"a\">",
    "<qelCase value=\"a\">", "<qelCase VALUE=\"A\">", "<qelCase  value=\"a\" >", "<qelCase value=a>",
    "<qelCase value>",     "<qelCase value=>",     "<qelCase value=\">",   "<qelCase value=\"\">",
    "<qelCase valueX\"a\">", "<qelCase value=\"a\"", "<qelCase value=\"a>",  "<qelCase value=\"\\x61\">",
    "<qelCase value=\"\\\"a\\\"\">", "<qelCase value=\"a\" x>", "<qelCase valu=\"a\">", "<qelCasevalue=\"a\">",
    "<qelCase value=\"a b\">", "<qelCase value=\" a\">", "<qelCase>x", "<qelCas>",
};

TEST(CaseLabelTest, ReadInPlaceAsStepByStep) {
  const std::vector<std::string> values = {"a", "A", "", "a b", " a", "\"a\"", "b"};
  for (const std::string& label : kLabels) {
    for (const std::string& value : values) {
      for (bool caseSensitive : {false, true}) {
        const QelString tag(label.data(), static_cast<uint32_t>(label.size()));
        const QelString switchValue(value.data(), static_cast<uint32_t>(value.size()));
        EXPECT_EQ(classifyCase(tag, std::string_view(value), caseSensitive),
                  stepByStep(tag, switchValue, caseSensitive))
            << label << " / " << value << " / " << caseSensitive;
      }
    }
  }
}

TEST(CaseLabelTest, RandomMutationsAgree) {
  const std::string bytes = "<>\"= \t\\avVxA";
  std::mt19937 random(7);
  for (int round = 0; round < 20000; ++round) {
    std::string label = kLabels[random() % kLabels.size()];
    const int edits = 1 + static_cast<int>(random() % 3);
    for (int e = 0; e < edits && label.size() > 8; ++e) {
      const size_t at = 8 + random() % (label.size() - 7);
      switch (random() % 3) {
        case 0: label.insert(at, 1, bytes[random() % bytes.size()]); break;
        case 1: if (at < label.size()) label.erase(at, 1); break;
        default: if (at < label.size()) label[at] = bytes[random() % bytes.size()]; break;
      }
    }
    const QelString tag(label.data(), static_cast<uint32_t>(label.size()));
    const QelString value("a");
    ASSERT_EQ(classifyCase(tag, std::string_view("a"), false), stepByStep(tag, value, false)) << label;
  }
}

}  // namespace
}  // namespace bw
