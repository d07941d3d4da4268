// Repeating groups against the step-by-step walk of reference_walk.h, and
// the step budget.
//
// Generated patterns of counted and unbounded groups holding alternations
// (group_pattern_generator.h) are searched on long, repetitive subjects with
// the default walk budget and with the tables forced from the first start;
// the match and every group's span must be the walk's.  The shapes that once
// took seconds (a counted group of alternations, a long counted group, three
// counted groups in a row) are compared at sizes the reference can still
// walk, and must cost steps in proportion to subject x pattern.  A search
// that reaches its step budget must say so and report no match.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "group_pattern_generator.h"
#include "reference_walk.h"

namespace bw {
namespace {

QelString text(const std::string& s) { return QelString(s.data(), static_cast<uint32_t>(s.size())); }

std::string repeat(const std::string& unit, size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) out += unit;
  return out;
}

using test::compareWithReference;

TEST(RegexGroupSearch, AgreesWithTheWalkOnGeneratedGroupsAndLongSubjects) {
  std::mt19937 rng(20261209);
  test::GroupPatternGenerator generator(rng);
  int compiled = 0;
  int matched = 0;
  int failures = 0;
  for (int i = 0; i < 400; ++i) {
    const std::string pattern = generator.pattern();
    RegexProgram probe;
    if (probe.compile(text(pattern)) != 0) continue;
    ++compiled;
    const std::string subject = generator.subject(i % 4 == 0 ? 3000 : 300 + rng() % 700);
    for (bool forceTables : {false, true}) {
      const std::string difference = compareWithReference(pattern, subject, forceTables);
      if (!difference.empty() && ++failures <= 20) {
        ADD_FAILURE() << difference << "\n  pattern: " << pattern << "\n  subject (" << subject.size()
                      << " bytes): " << subject.substr(0, 80) << (forceTables ? " (tables)" : " (walk)");
      }
    }
    test::ReferenceWalk reference(subject);
    if (reference.search(probe, 0).found) ++matched;
  }
  EXPECT_EQ(failures, 0);
  // The generator must keep producing what it is for.
  EXPECT_GT(compiled, 330);
  EXPECT_GT(matched, 100);
}

// The hostile shapes, small enough for the reference to walk.
struct Shape {
  const char* name;
  std::string pattern;
  std::string subject;
};

std::vector<Shape> hostileShapes(size_t scale) {
  std::string alternations;
  for (int i = 0; i < 9; ++i) alternations += "(" + std::string(50, 'a') + "z|a){1,255}";
  return {
      {"counted group of alternations", alternations + "c", std::string(scale, 'a') + "bc"},
      {"long counted group", "(" + repeat("ab", 26) + "){1,255}c", repeat("ab", scale) + "c"},
      {"long counted group, no end", "(" + repeat("ab", 26) + "){1,255}c", repeat("ab", scale) + "xc"},
      {"three counted groups", "(ab|a){1,255}(ab|a){1,255}(ab|a){1,255}c", repeat("ab", scale) + "c"},
      {"three counted groups, no end", "(ab|a){1,255}(ab|a){1,255}(ab|a){1,255}c",
       std::string(scale, 'a') + "bc"},
      {"counted group then its own start", "(a|b){3,200}ab", repeat("ab", scale)},
      {"bounded group then anchor", "(ba|a){2,7}$", repeat("ba", scale) + "\nab"},
  };
}

TEST(RegexGroupSearch, HostileShapesAgreeWithTheWalk) {
  for (const Shape& shape : hostileShapes(700)) {
    for (bool forceTables : {false, true}) {
      EXPECT_EQ(compareWithReference(shape.pattern, shape.subject, forceTables), "")
          << shape.name << (forceTables ? " (tables)" : " (walk)");
    }
  }
}

// Steps per (subject byte x pattern byte) stay bounded as the subject grows
// 16-fold: the search is linear in the subject for a fixed pattern.
TEST(RegexGroupSearch, HostileShapesCostStepsInProportionToTheSubject) {
  const std::vector<Shape> smalls = hostileShapes(2000);
  const std::vector<Shape> larges = hostileShapes(32000);
  for (size_t i = 0; i < smalls.size(); ++i) {
    RegexProgram a;
    RegexProgram b;
    ASSERT_EQ(a.compile(text(smalls[i].pattern)), 0);
    ASSERT_EQ(b.compile(text(larges[i].pattern)), 0);
    a.search(text(smalls[i].subject), 0);
    b.search(text(larges[i].subject), 0);
    EXPECT_FALSE(b.budgetReached()) << larges[i].name;
    const double perByteSmall = static_cast<double>(a.stepsTaken()) / smalls[i].subject.size();
    const double perByteLarge = static_cast<double>(b.stepsTaken()) / larges[i].subject.size();
    EXPECT_LT(perByteLarge, 2 * perByteSmall + 64) << larges[i].name;
    EXPECT_LT(perByteLarge, 40.0 * larges[i].pattern.size()) << larges[i].name;
  }
}

TEST(RegexGroupSearch, TheBudgetStopsASearchWithoutAnAnswer) {
  const std::string pattern = "(ab|a){1,255}(ab|a){1,255}c";
  const std::string subject = repeat("ab", 5000) + "c";
  // With room the search finds the match; with too little it stops, and
  // neither the walk nor the tables may pass off a half-done search as an
  // answer, whatever the budget.
  RegexProgram full;
  ASSERT_EQ(full.compile(text(pattern)), 0);
  ASSERT_TRUE(full.search(text(subject), 0));
  EXPECT_FALSE(full.budgetReached());
  const uint64_t needed = full.stepsTaken();
  for (uint64_t budget : {uint64_t{10}, uint64_t{1000}, needed / 3, needed / 2, needed - 1}) {
    RegexProgram program;
    ASSERT_EQ(program.compile(text(pattern)), 0);
    program.setStepBudget(budget);
    EXPECT_FALSE(program.search(text(subject), 0)) << budget;
    EXPECT_TRUE(program.budgetReached()) << budget;
  }
  RegexProgram exact;
  ASSERT_EQ(exact.compile(text(pattern)), 0);
  exact.setStepBudget(needed);
  EXPECT_TRUE(exact.search(text(subject), 0));
  EXPECT_FALSE(exact.budgetReached());
}

TEST(RegexGroupSearch, TheDefaultBudgetStopsALargePatternOverALargeSubject) {
  std::string pattern;
  for (int i = 0; i < 9; ++i) pattern += "(" + std::string(500, 'a') + "z|a){1,255}";
  pattern += "c";
  RegexProgram program;
  ASSERT_EQ(program.compile(text(pattern)), 0);
  EXPECT_FALSE(program.search(text(std::string(30000, 'a') + "bc"), 0));
  EXPECT_TRUE(program.budgetReached());
  EXPECT_LE(program.stepsTaken(), RegexProgram::kSearchStepBudget + 5000000);
}

}  // namespace
}  // namespace bw
