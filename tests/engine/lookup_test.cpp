// The engine's word-at-a-time byte helpers and the lookups built on them:
// tag parameters, registered tag names, page variables, and reading a page
// whole.  The helpers change how they compare at 4, 8 and 16 bytes, so the
// cases run over every length up to past those and put the difference at
// every position.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "engine/page_variables.h"
#include "engine/stream_reading.h"
#include "engine/tag_parameters.h"
#include "engine/tag_table.h"
#include "engine/text_util.h"
#include "engine/variable_index.h"

namespace bw {
namespace {

constexpr size_t kLongest = 40;

std::string sample(size_t length) {
  std::string text;
  for (size_t i = 0; i < length; ++i) text += static_cast<char>('a' + i % 26);
  return text;
}

TEST(Bytes, EqualityAtEveryLengthAndPosition) {
  for (size_t n = 0; n <= kLongest; ++n) {
    const std::string a = sample(n);
    EXPECT_TRUE(sameBytes(a.data(), std::string(a).data(), n)) << n;
    EXPECT_TRUE(equalsExactly(a, std::string(a))) << n;
    EXPECT_TRUE(equalsIgnoringCase(a, std::string(a))) << n;
    for (size_t at = 0; at < n; ++at) {
      std::string other = a;
      other[at] = '#';
      EXPECT_FALSE(sameBytes(a.data(), other.data(), n)) << n << " " << at;
      EXPECT_FALSE(equalsIgnoringCase(a, other)) << n << " " << at;
      // A letter in the other case is equal ignoring case, and only then.
      std::string upper = a;
      upper[at] = static_cast<char>(upper[at] - 32);
      EXPECT_FALSE(equalsExactly(a, upper)) << n << " " << at;
      EXPECT_TRUE(equalsIgnoringCase(a, upper)) << n << " " << at;
    }
    EXPECT_FALSE(equalsIgnoringCase(a, a + "x")) << n;
  }
}

TEST(Bytes, FoldingTouchesOnlyAsciiLetters) {
  // Pairs that differ by 0x20 but are not letters in two cases.
  const std::pair<const char*, const char*> unequal[] = {
      {"@", "`"}, {"[", "{"}, {"_", "\x7f"}, {"\xc0", "\xe0"}, {"0123456789_@", "0123456789\x7f`"},
  };
  for (const auto& [a, b] : unequal) EXPECT_FALSE(equalsIgnoringCase(a, b)) << a;
  EXPECT_TRUE(equalsIgnoringCase("qelInlineString", "QELINLINESTRING"));
  EXPECT_TRUE(equalsIgnoringCase("Z-a.b:c_9", "z-A.B:C_9"));
}

TEST(Bytes, CopiesWriteExactlyTheirBytes) {
  for (size_t n = 0; n <= kLongest; ++n) {
    const std::string from = sample(n);
    std::string to(n + 16, '.');
    copyBytes(&to[8], from.data(), n);
    EXPECT_EQ(to, std::string(8, '.') + from + std::string(8, '.')) << n;
  }
}

TEST(Bytes, FindByteShortAndLong) {
  for (size_t n = 0; n <= 2 * kLongest; ++n) {
    const std::string text = std::string(n, 'a') + "$" + std::string(3, 'b');
    for (size_t from = 0; from <= n + 1; ++from)
      EXPECT_EQ(findByte(text, from, '$'), from <= n ? n : std::string_view::npos) << n << " " << from;
    EXPECT_EQ(findByte(text, text.size() + 5, '$'), std::string_view::npos);
  }
}

TEST(TagParameterList, NamesIgnoreCaseAndOccurrencesCountInOrder) {
  TagParameters list;
  const std::string longName(65, 'x');  // its length shares a filter bit with "y"
  list.add("Item", "one");
  list.add("other", "x");
  list.add("ITEM", "two");
  list.add("item", "");
  list.add(longName, "long");
  struct Case {
    std::string name;
    size_t occurrence;
    const char* value;  // null: absent
  };
  const Case cases[] = {
      {"item", 0, "one"},      {"iTeM", 1, "two"},   {"ITEM", 2, ""},   {"item", 3, nullptr},
      {"other", 0, "x"},       {"other", 1, nullptr}, {"items", 0, nullptr}, {"ite", 0, nullptr},
      {"y", 0, nullptr},       {longName, 0, "long"}, {"", 0, nullptr},
  };
  for (const Case& c : cases) {
    const std::string_view* found = list.find(c.name, c.occurrence);
    if (c.value == nullptr) {
      EXPECT_EQ(found, nullptr) << c.name << " " << c.occurrence;
    } else {
      ASSERT_NE(found, nullptr) << c.name << " " << c.occurrence;
      EXPECT_EQ(*found, c.value) << c.name << " " << c.occurrence;
    }
  }
  // Form fields follow the same rule.
  NamedValues fields{{"Name", "Ann"}, {"name", "Bob"}};
  EXPECT_EQ(*findNamed(fields, "NAME", 1), "Bob");
  EXPECT_EQ(findNamed(fields, "NAME", 2), nullptr);
}

TEST(TagParameterList, RewrittenValuesLiveInTheList) {
  const std::string page = "a=$x b=plain c=$y$y";
  TagParameters list;
  list.add(std::string_view(page).substr(0, 1), std::string_view(page).substr(2, 2));
  list.add(std::string_view(page).substr(5, 1), std::string_view(page).substr(7, 5));
  list.add(std::string_view(page).substr(13, 1), std::string_view(page).substr(15, 4));
  list.rewriteValues([](std::string_view value, std::string& into) {
    if (value.find('$') == std::string_view::npos) return false;
    for (char c : value) into += c == '$' ? std::string(40, '#') : std::string(1, c);
    return true;
  });
  EXPECT_EQ(*list.find("a"), std::string(40, '#') + "x");
  EXPECT_EQ(*list.find("c"), std::string(40, '#') + "y" + std::string(40, '#') + "y");
  // An untouched value is still a view of the page.
  EXPECT_EQ(list.find("b")->data(), page.data() + 7);
  list.clear();
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(list.find("a"), nullptr);
}

// Values added as plain are passed by (past the first 64 entries they may
// still be offered); every other value is offered, in the order of the list.
TEST(TagParameterList, PlainValuesAreNotOffered) {
  for (size_t count : {3u, 63u, 64u, 65u, 130u}) {
    std::vector<std::string> names, values;  // the list holds views of these
    for (size_t i = 0; i < count; ++i) {
      names.push_back("n" + std::to_string(i));
      values.push_back(std::to_string(i));
    }
    TagParameters list;
    for (size_t i = 0; i < count; ++i) list.add(names[i], values[i], i % 3 == 0);
    std::vector<std::string> offered;
    list.rewriteValues([&](std::string_view value, std::string& into) {
      offered.emplace_back(value);
      into += "w";
      return true;
    });
    std::vector<std::string> expected;
    for (size_t i = 0; i < count; ++i)
      if (i % 3 != 0 || i >= 64) expected.push_back(std::to_string(i));
    EXPECT_EQ(offered, expected) << count;
    for (size_t i = 0; i < count; ++i)
      EXPECT_EQ(*list.find(names[i]), i % 3 != 0 || i >= 64 ? "w" : values[i]) << count << " " << i;
    list.clear();
    list.add("again", "v", false);
    offered.clear();
    list.rewriteValues([&](std::string_view value, std::string&) {
      offered.emplace_back(value);
      return false;
    });
    EXPECT_EQ(offered, std::vector<std::string>{"v"}) << "marks are cleared with the list";
  }
}

TEST(TagNames, FoundByLengthIgnoringCase) {
  TagTable tags;
  tags.add("qelLoop", 0x12);
  tags.add("qelMath", 0x10);  // the same length as qelLoop
  tags.add("qelIf", 0x12);
  tags.add("QELIF", 0x20);    // the same name again: first spelling, later flags
  const std::string tooLong(TagTable::kLongestFoundName + 1, 'q');
  tags.add(tooLong, 0x20);
  struct Case {
    std::string name;
    const char* found;  // its registered spelling, or null
  };
  const Case cases[] = {
      {"qelMath", "qelMath"}, {"QELMATH", "qelMath"}, {"qelloop", "qelLoop"}, {"qelif", "qelIf"},
      {"qelElse", nullptr},   {"qelMat", nullptr},    {"", nullptr},          {tooLong, nullptr},
  };
  for (const Case& c : cases) {
    const RegisteredTag* tag = tags.find(c.name);
    if (c.found == nullptr) {
      EXPECT_EQ(tag, nullptr) << c.name;
    } else {
      ASSERT_NE(tag, nullptr) << c.name;
      EXPECT_EQ(tag->name, c.found);
    }
  }
  EXPECT_EQ(tags.find("qelIf")->flags, 0x20u);
  EXPECT_EQ(tags.all().size(), 4u);
  EXPECT_EQ(tags.longestName(), tooLong.size());
}

// Enough names to grow the table several times, many of one length and
// ending alike so that they share probe runs: each is found in any case and
// nothing between them is.
TEST(TagNames, ManyNamesSharingLengthAndLetters) {
  TagTable tags;
  std::vector<std::string> names;
  for (char middle = 'a'; middle <= 'z'; ++middle)
    for (const char* stem : {"qelA", "qelBx", "xyzzyA"}) names.push_back(std::string(stem) + middle + "f");
  for (size_t i = 0; i < names.size(); ++i) tags.add(names[i], static_cast<uint32_t>(i));
  for (size_t i = 0; i < names.size(); ++i) {
    std::string shouted = names[i];
    for (char& c : shouted) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const std::string& spelling : {names[i], shouted}) {
      const RegisteredTag* tag = tags.find(spelling);
      ASSERT_NE(tag, nullptr) << spelling;
      EXPECT_EQ(tag->name, names[i]);
      EXPECT_EQ(tag->flags, i);
    }
    EXPECT_EQ(tags.find(names[i] + "f"), nullptr);
    EXPECT_EQ(tags.find(names[i].substr(1)), nullptr);
    std::string neighbour = names[i];
    neighbour[0] = 'w';
    EXPECT_EQ(tags.find(neighbour), nullptr);
  }
  EXPECT_EQ(tags.all().size(), names.size());
}

TEST(PageVariableIndex, FollowsTheMapAsItGrowsAndChanges) {
  std::map<std::string, std::string> variables{{"a", "1"}, {"ab", "2"}};
  VariableIndex index;
  VariableScope scope{&variables, nullptr, &index};
  EXPECT_EQ(expandExact("${a}${ab}${b}", scope), "12");
  variables["b"] = "new";    // a new name
  variables["a"] = "again";  // a new value of a known name
  EXPECT_EQ(expandExact("${a}${ab}${b}", scope), "again2new");
  // Many variables are asked of the map itself.
  for (size_t i = 0; i <= VariableIndex::kMostIndexed; ++i) variables["v" + std::to_string(i)] = "x";
  EXPECT_EQ(expandExact("${v0}${a}${nope}", scope), "xagain");
}

// A stream that cannot seek, as a pipe is, handing out a few bytes at a time.
class TrickleBuffer : public std::streambuf {
 public:
  explicit TrickleBuffer(std::string text) : text_(std::move(text)) {}

 protected:
  int_type underflow() override {
    if (at_ >= text_.size()) return traits_type::eof();
    size_t n = std::min<size_t>(7, text_.size() - at_);
    setg(&text_[at_], &text_[at_], &text_[at_] + n);
    at_ += n;
    return traits_type::to_int_type(*gptr());
  }

 private:
  std::string text_;
  size_t at_ = 0;
};

TEST(WholeStreams, SeekableOrNotAndOfAnySize) {
  for (size_t size : {size_t{0}, size_t{1}, size_t{65535}, size_t{65536}, size_t{200001}}) {
    std::string text;
    for (size_t i = 0; i < size; ++i) text += static_cast<char>(i * 7 % 251);
    std::istringstream seekable(text);
    std::string read = "kept:";
    appendWholeStream(seekable, read);
    EXPECT_EQ(read, "kept:" + text) << size;
    EXPECT_FALSE(seekable.bad());

    TrickleBuffer trickle(text);
    std::istream pipe(&trickle);
    read.clear();
    appendWholeStream(pipe, read);
    EXPECT_EQ(read, text) << size;
  }
  // A stream already read from is read on from where it stands.
  std::istringstream partly("skip the rest");
  std::string word;
  partly >> word;
  std::string rest;
  appendWholeStream(partly, rest);
  EXPECT_EQ(rest, " the rest");
}

}  // namespace
}  // namespace bw
