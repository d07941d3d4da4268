// The page walk of brindle check: one pass, a stack of the tags whose bodies
// are open.
#include "engine/page_check.h"

#include <algorithm>

#include "engine/check_math.h"
#include "engine/nearest_word.h"
#include "engine/page_scanner.h"
#include "engine/page_variables.h"
#include "engine/text_util.h"

namespace bw {
namespace {

// The vocabulary's tags and markers as the scanner finds tags: the markers
// stand alone (a closed qelCase block is paired by the switch, not here).
const TagTable& vocabularyTags() {
  static const TagTable table = [] {
    TagTable tags;
    for (const TagSpec* spec : allTagSpecs())
      tags.add(spec->name, spec->isModuleTag() ? spec->registrationFlags : BW_TAG_NO_BODY);
    return tags;
  }();
  return table;
}

const std::vector<const char*>& tagNames() {
  static const std::vector<const char*> names = [] {
    std::vector<const char*> all;
    for (const TagSpec* spec : allTagSpecs()) all.push_back(spec->name);
    return all;
  }();
  return names;
}

bool isAlphanumeric(char c) { return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z'); }
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool named(const TagSpec* spec, const char* name) { return spec != nullptr && equalsIgnoringCase(spec->name, name); }

struct OpenTag {
  const TagSpec* spec;
  std::string spelledName;
  size_t offset;     // of its "<"
  size_t bodyStart;  // just past its ">"
  std::string indexName{};  // qelLoop: as given ("" by default)
  bool indexKnown = true;  // false when the name holds a reference
  bool sawElse = false;    // qelIf: a <qelElse> at its top level
};

// The switch reads a case only when written exactly <qelCase> or
// <qelCase value="...">, blanks allowed only before the ">".
bool isCaseTheSwitchReads(std::string_view tagText) {
  std::string_view rest = tagText.substr(8);  // past "<qelCase"
  while (!rest.empty() && isBlank(rest.front())) rest.remove_prefix(1);
  while (!rest.empty() && isBlank(rest.back())) rest.remove_suffix(1);
  if (rest == ">") return true;
  if (rest.size() < 9 || !startsWithIgnoringCase(rest, "value") || rest[5] != '=' || rest[6] != '"') return false;
  rest.remove_suffix(1);  // the ">"
  while (!rest.empty() && isBlank(rest.back())) rest.remove_suffix(1);
  return rest.size() >= 8 && rest.back() == '"';
}

class PageWalk {
 public:
  PageWalk(const std::string& fileName, std::string_view page, const PatternJudge& judge)
      : page_(page), judge_(judge), report_(fileName, page) {}

  std::vector<CheckDiagnostic> run() {
    size_t i = 0;
    while (i < page_.size()) {
      const char c = page_[i];
      if (c == '<')
        i = atAngle(i);
      else if (c == '$')
        i = atDollar(i);
      else if (c == '&')
        i = atAmpersand(i);
      else
        ++i;
    }
    for (const OpenTag& open : stack_) unclosed(open);
    // In page order: an unclosed tag is found only at the end of the page.
    std::vector<CheckDiagnostic> found = report_.take();
    std::stable_sort(found.begin(), found.end(), [](const CheckDiagnostic& a, const CheckDiagnostic& b) {
      return a.line != b.line ? a.line < b.line : a.column < b.column;
    });
    return found;
  }

 private:
  size_t atAngle(size_t i) {
    const bool closing = i + 1 < page_.size() && page_[i + 1] == '/';
    const size_t nameStart = i + (closing ? 2 : 1);
    size_t nameEnd = nameStart;
    while (nameEnd < page_.size() && isAlphanumeric(page_[nameEnd])) ++nameEnd;
    const std::string_view name = page_.substr(nameStart, nameEnd - nameStart);
    if (name.size() < 4 || !startsWithIgnoringCase(name, "qel")) return i + 1;
    const TagSpec* spec = findTagSpec(name);
    if (spec == nullptr) {
      const char* near = nearestWord(name, tagNames());
      report_.error(i, "<" + std::string(closing ? "/" : "") + std::string(name) +
                           "> is not a tag of the module; it goes to the browser as written" +
                           (near != nullptr ? std::string("; did you mean ") + near + "?" : std::string()));
      return nameEnd;
    }
    return closing ? atEndTag(i, spec, name, nameEnd) : atStartTag(i, spec, nameEnd);
  }

  size_t atEndTag(size_t i, const TagSpec* spec, std::string_view name, size_t nameEnd) {
    size_t close = page_.find('>', nameEnd);
    const size_t after = close == std::string_view::npos ? nameEnd : close + 1;
    const std::string spelled(name);
    if (named(spec, "qelCase")) {
      if (stack_.empty() || !named(stack_.back().spec, "qelSwitch"))
        report_.warning(i, "</" + spelled + "> outside a <qelSwitch> body is plain text");
      return after;
    }
    if (named(spec, "qelElse")) {
      report_.warning(i, "<qelElse> has no end tag; </" + spelled + "> is plain text");
      return after;
    }
    if (spec->body == BodyKind::None) {
      report_.error(i, "</" + spelled + "> closes nothing: <" + spec->name + "> has no body");
      return after;
    }
    size_t k = stack_.size();
    while (k > 0 && !named(stack_[k - 1].spec, spec->name)) --k;
    if (k == 0) {
      report_.error(i, "</" + spelled + "> has no opening <" + spelled + ">; it is left out of the page");
      return after;
    }
    for (size_t j = stack_.size(); j > k; --j) unclosed(stack_[j - 1]);
    stack_.resize(k);
    finishBody(stack_.back(), i);
    stack_.pop_back();
    return after;
  }

  size_t atStartTag(size_t i, const TagSpec* spec, size_t nameEnd) {
    StartTag tag;
    switch (scanStartTag(vocabularyTags(), page_, i, tag)) {
      case TagScan::NotATag:
        return nameEnd;
      case TagScan::Unterminated:
        report_.error(i, "the <" + std::string(page_.substr(i + 1, nameEnd - i - 1)) +
                             "> tag has no closing \">\"; it is shown as text");
        return nameEnd;
      case TagScan::Found:
        break;
    }
    checkParameters(CheckedTag{spec, tag.spelledName, &tag.parameters, page_, i}, report_, judge_);
    for (size_t j = i; j < tag.end;) j = page_[j] == '$' ? atDollar(j) : page_[j] == '&' ? atAmpersand(j) : j + 1;
    if (!spec->isModuleTag()) {
      marker(i, spec, tag);
      return tag.end;
    }
    if (spec->body == BodyKind::None || tag.selfClosed) return tag.end;
    if (named(spec, "qelComment")) {  // nothing inside runs, so nothing inside is checked
      BodyExtent extent;
      if (findMatchingEnd(vocabularyTags(), page_, tag.end, *tag.tag, extent)) return extent.after;
      unclosed(OpenTag{spec, std::string(tag.spelledName), i, tag.end});
      return tag.end;
    }
    OpenTag open{spec, std::string(tag.spelledName), i, tag.end};
    if (named(spec, "qelLoop")) {
      const std::string_view* indexName = tag.parameters.find("indexName");
      open.indexName = indexName != nullptr ? std::string(*indexName) : std::string();
      open.indexKnown = !isDynamic(open.indexName);
      checkLoopNesting(open);
    }
    stack_.push_back(std::move(open));
    return tag.end;
  }

  void marker(size_t i, const TagSpec* spec, const StartTag& tag) {
    const std::string spelled(tag.spelledName);
    OpenTag* around = stack_.empty() ? nullptr : &stack_.back();
    if (!named(around ? around->spec : nullptr, spec->within)) {
      report_.warning(i, "<" + spelled + "> outside a <" + spec->within + "> body is plain text");
      return;
    }
    if (named(spec, "qelElse")) {
      if (around->sawElse)
        report_.warning(i, "a second <" + spelled + "> in one <" + around->spelledName +
                               "> is text of the false branch");
      around->sawElse = true;
    } else if (!isCaseTheSwitchReads(page_.substr(i, tag.end - i))) {
      report_.warning(i, "the switch does not read this case: write it exactly <qelCase value=\"...\"> "
                         "(no blanks around \"=\", no other parameters) or <qelCase>");
    }
  }

  void checkLoopNesting(const OpenTag& inner) {
    if (!inner.indexKnown) return;
    for (size_t k = stack_.size(); k > 0; --k) {
      const OpenTag& outer = stack_[k - 1];
      if (!named(outer.spec, "qelLoop") || !outer.indexKnown || !equalsIgnoringCase(outer.indexName, inner.indexName))
        continue;
      auto [line, column] = report_.position(outer.offset);
      const std::string entity = std::string(kLoopIndexEntity) + inner.indexName + ";";
      report_.error(inner.offset, "this <" + inner.spelledName + "> has the index name " + quoted(inner.indexName) +
                                      " of the loop at " + std::to_string(line) + ":" + std::to_string(column) +
                                      " around it, whose value replaces " + entity +
                                      " in its body: give each loop its own indexName");
      return;
    }
  }

  void finishBody(const OpenTag& open, size_t bodyEnd) {
    if (named(open.spec, "qelMath")) checkMathBody(masked(open.bodyStart, bodyEnd), open.bodyStart, report_);
  }

  // The body with nested tags (their bodies included), references and loop
  // entities turned into kOpaqueByte: their values are known only at render.
  std::string masked(size_t from, size_t to) {
    std::string body(page_.substr(from, to - from));
    const std::string_view inside = page_.substr(0, to);
    size_t j = from;
    auto hide = [&](size_t until) {
      for (; j < until && j < to; ++j) body[j - from] = kOpaqueByte;
    };
    while (j < to) {
      if (page_[j] == '<') {
        StartTag nested;
        BodyExtent extent;
        if (scanStartTag(vocabularyTags(), inside, j, nested, false) == TagScan::Found) {
          const bool body = nested.tag->hasBody() && !nested.selfClosed;
          hide(body && findMatchingEnd(vocabularyTags(), inside, nested.end, *nested.tag, extent) ? extent.after
                                                                                                  : nested.end);
        } else if (j + 1 < to && (isAlphanumeric(page_[j + 1]) || page_[j + 1] == '/')) {
          const size_t close = inside.find('>', j);
          hide(close == std::string_view::npos ? to : close + 1);
        } else {
          ++j;
        }
      } else if (std::string_view name; page_[j] == '&' && loopEntityAt(j, name) != 0) {
        hide(j + loopEntityAt(j, name));
      } else if (page_[j] == '$') {
        const ReferenceAt ref = readReferenceAt(inside, j);
        if (ref.kind == ReferenceAt::Kind::None) {
          ++j;
        } else {
          hide(j + ref.length);
        }
      } else {
        ++j;
      }
    }
    return body;
  }

  size_t atDollar(size_t i) {
    const ReferenceAt ref = readReferenceAt(page_, i);
    if (ref.kind != ReferenceAt::Kind::None) return i + ref.length;
    if (i + 1 >= page_.size() || page_[i + 1] != '{') return i + 1;
    // A reference never spans lines, so the line's end is where to stop looking.
    const size_t limit = std::min(page_.size(), i + kLongestVariableReference);
    size_t close = i + 2;
    while (close < limit && page_[close] != '}' && page_[close] != '\n') ++close;
    if (close == limit || page_[close] != '}') {
      report_.error(i, quoted(page_.substr(i, std::min<size_t>(close - i, 20))) +
                           " has no \"}\"; it is shown as written (write $${ for a literal ${)");
    } else if (close == i + 2) {
      report_.error(i, "\"${}\" names no variable; it is shown as written");
    } else {
      report_.error(i, quoted(page_.substr(i, close + 1 - i)) +
                           " is not a reference: a name holds only letters, digits and \"_.:-\"; "
                           "it is shown as written");
    }
    return i + 2;
  }

  // The length of the loop entity "&qelLoopIndexNAME;" at i, or 0; its name.
  size_t loopEntityAt(size_t i, std::string_view& name) const {
    if (!startsWithIgnoringCase(page_.substr(i), kLoopIndexEntity)) return 0;
    size_t end = i + kLoopIndexEntity.size();
    while (end < page_.size() && isAlphanumeric(page_[end])) ++end;
    if (end >= page_.size() || page_[end] != ';') return 0;
    name = page_.substr(i + kLoopIndexEntity.size(), end - i - kLoopIndexEntity.size());
    return end + 1 - i;
  }

  size_t atAmpersand(size_t i) {
    std::string_view name;
    const size_t length = loopEntityAt(i, name);
    if (length == 0) return i + 1;
    for (const OpenTag& open : stack_)
      if (named(open.spec, "qelLoop") && (!open.indexKnown || equalsIgnoringCase(open.indexName, name)))
        return i + length;
    report_.warning(i, quoted(page_.substr(i, length)) + " is in no loop whose indexName is " + quoted(name) +
                           "; it is shown as written");
    return i + length;
  }

  void unclosed(const OpenTag& open) {
    report_.error(open.offset, "<" + open.spelledName + "> has no matching </" + open.spelledName +
                                   ">; it is left out of the page");
  }

  std::string_view page_;
  const PatternJudge& judge_;
  CheckReport report_;
  std::vector<OpenTag> stack_;
};

}  // namespace

std::vector<CheckDiagnostic> checkPage(const std::string& fileName, std::string_view page,
                                       const PatternJudge& judge) {
  return PageWalk(fileName, page, judge).run();
}

}  // namespace bw
