// The escaping rules for values from outside the page, as tables.
#include "engine/answer_escaping.h"

#include "engine/tag_vocabulary.h"
#include "engine/text_util.h"

namespace bw {
namespace {

struct ShapeRow {
  std::string_view tag;
  AnswerShape shape;
};
constexpr ShapeRow kShapes[] = {
    {"qelInlineIf", AnswerShape::Verbatim},
    {"qelLoop", AnswerShape::Verbatim},
    {"qelString", AnswerShape::Transformed},
    {"qelInlineString", AnswerShape::Transformed},
};

// Tags whose answer is processed again as page text.
constexpr std::string_view kAnswersProcessedAgain[] = {"qelLoop"};

// The modes of the transforming tags whose answer is not the text as the
// visitor may have shaped it.
enum class ModeAnswer {
  AsInput,  // a cut, a change of case, a piece: outside text stays as it was
  Number,   // a count: never markup
  Encoded,  // written so that it stays text; `apostrophe` encodes what the encoding leaves
  Decoded,  // any escaping of the input undone
};
struct ModeRow {
  std::string_view mode;
  ModeAnswer answer;
  std::string_view apostrophe;
};
constexpr ModeRow kModes[] = {
    {"getLength", ModeAnswer::Number, {}},
    {"getWordCount", ModeAnswer::Number, {}},
    {"getCharacterCount", ModeAnswer::Number, {}},
    {"htmlEncode", ModeAnswer::Encoded, "&#39;"},
    {"urlEncode", ModeAnswer::Encoded, "%27"},
    {"htmlDecode", ModeAnswer::Decoded, {}},
    {"urlDecode", ModeAnswer::Decoded, {}},
};

const ModeRow* modeRow(const TagParameters& parameters) {
  const std::string_view* mode = parameters.find("mode");
  if (mode == nullptr) return nullptr;
  for (const ModeRow& row : kModes)
    if (equalsIgnoringCase(*mode, row.mode)) return &row;
  return nullptr;
}

bool isProcessedAgain(std::string_view tag) {
  for (std::string_view t : kAnswersProcessedAgain)
    if (equalsIgnoringCase(tag, t)) return true;
  return false;
}

void replaceApostrophes(std::string& text, std::string_view by) {
  for (size_t at = text.find('\''); at != std::string::npos; at = text.find('\'', at + by.size()))
    text.replace(at, 1, by);
}

}  // namespace

const char* const kOutsideIndexNameMessage =
    "The indexName came from outside the page; only its letters and digits are used.";
const char* const kOutsideIndexNameHint =
    "Write the index name in the page itself. A visitor's value names the entity "
    "&amp;qelLoopIndexNAME; with its letters and digits only.";

AnswerShape answerShape(std::string_view tag) {
  for (const ShapeRow& row : kShapes)
    if (equalsIgnoringCase(tag, row.tag)) return row.shape;
  return AnswerShape::Unrelated;
}

bool isCopiedParameter(std::string_view tag, std::string_view parameter) {
  return parameterRole(tag, parameter) == ParameterRole::Copied;
}

bool isIndexNameParameter(std::string_view tag, std::string_view parameter) {
  return equalsIgnoringCase(tag, "qelLoop") && equalsIgnoringCase(parameter, "indexName");
}

bool isCopiedBody(std::string_view tag) {
  const TagSpec* spec = findTagSpec(tag);
  return spec != nullptr && spec->bodyRole == BodyRole::Copied;
}

Insertion insertionFor(std::string_view tag, std::string_view parameter, bool answerIsPageText) {
  // An index name is cut down to letters and digits after it is expanded.
  if (answerShape(tag) != AnswerShape::Verbatim || !isCopiedParameter(tag, parameter) ||
      isIndexNameParameter(tag, parameter))
    return Insertion::Exact;
  return answerIsPageText || isProcessedAgain(tag) ? Insertion::ForPage : Insertion::Exact;
}

OutsideText finishAnswer(std::string_view tag, const TagParameters& parameters, OutsideText input,
                         bool intoPage, std::string& answer) {
  if (input == OutsideText::None) return OutsideText::None;
  OutsideText holds = input;
  switch (answerShape(tag)) {
    case AnswerShape::Unrelated:
      return OutsideText::None;
    case AnswerShape::Verbatim:
      break;
    case AnswerShape::Transformed:
      if (const ModeRow* mode = modeRow(parameters)) {
        switch (mode->answer) {
          case ModeAnswer::AsInput:
            break;
          case ModeAnswer::Number:
            return OutsideText::None;
          case ModeAnswer::Encoded:
            // Left alone inside a body, where the enclosing tag may decode it.
            if (intoPage) replaceApostrophes(answer, mode->apostrophe);
            return OutsideText::Escaped;
          case ModeAnswer::Decoded:
            holds = OutsideText::Exact;
            break;
        }
      }
      break;
  }
  if (!intoPage) return holds;
  if (holds == OutsideText::Escaped) {
    // Escaped by an encoding inside a body, which leaves apostrophes.
    replaceApostrophes(answer, "&#39;");
    return holds;
  }
  std::string escaped;
  escaped.reserve(answer.size() + answer.size() / 8);
  appendHtmlEscaped(escaped, answer);
  answer.swap(escaped);
  return OutsideText::Escaped;
}

std::string lettersAndDigits(std::string_view name) {
  std::string kept;
  for (char c : name)
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) kept += c;
  return kept;
}

}  // namespace bw
