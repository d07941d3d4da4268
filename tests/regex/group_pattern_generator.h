// Random patterns built around repeating groups, and long subjects that make
// their repetitions run far: the inputs on which the search once walked each
// start position up to 255 times over a failing alternative.
//
// The dialect lets groups hold no groups, so the deepest pattern it has is a
// group whose inside is an alternation of stretches of repeating leaves; the
// generator makes such groups, counted up to 255 or repeating without bound,
// several in a row, with anchors and plain stretches between them.  Each
// draw comes from the caller's seeded generator, so a failure replays.
#ifndef BRINDLEWORK_TESTS_REGEX_GROUP_PATTERN_GENERATOR_H
#define BRINDLEWORK_TESTS_REGEX_GROUP_PATTERN_GENERATOR_H

#include <random>
#include <string>

namespace bw::test {

class GroupPatternGenerator {
 public:
  explicit GroupPatternGenerator(std::mt19937& rng) : rng_(rng) {}

  std::string pattern() {
    std::string out;
    const int segments = 1 + pick(4);
    for (int k = 0; k < segments; ++k) {
      // Groups are the point; a plain stretch now and then keeps them apart.
      out += chance(70) ? group() : stretch(false);
    }
    if (chance(30)) out += atom();  // a byte the match must end with
    return out;
  }

  // A unit of the pattern's alphabet repeated to about length bytes, with
  // a little noise, then a short random tail.
  std::string subject(size_t length) {
    std::string unit;
    for (int i = 0, n = 1 + pick(6); i < n; ++i) unit += "aab"[pick(3)];
    std::string out;
    while (out.size() < length) {
      out += unit;
      if (chance(3)) out += "abc\n"[pick(4)];
    }
    for (int i = 0, n = pick(4); i < n; ++i) out += "abc\n"[pick(4)];
    return out;
  }

 private:
  int pick(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }
  bool chance(int percent) { return pick(100) < percent; }

  std::string atom() {
    static const char* const kAtoms[] = {"a", "a", "b", "b", "c", ".", "[ab]", "[^b]", "\\n"};
    return kAtoms[pick(9)];
  }

  std::string leafQuantifier() {
    switch (pick(10)) {
      case 0: return "*";
      case 1: return "+";
      case 2: return "?";
      case 3: return "{2}";
      case 4: return "{1,3}";
      default: return "";
    }
  }

  std::string sequence() {
    std::string out;
    for (int i = 0, n = 1 + pick(4); i < n; ++i) out += atom() + leafQuantifier();
    return out;
  }

  // Text with at most one |, as a group's inside or a stretch between groups.
  std::string stretch(bool inGroup) {
    std::string out = chance(10) ? "^" : "";
    out += sequence();
    if (chance(inGroup ? 70 : 25)) out += (chance(10) ? "$|" : "|") + sequence();
    if (chance(10)) out += "$";
    return out;
  }

  std::string groupQuantifier() {
    const int low = pick(4);
    switch (pick(9)) {
      case 0: return "*";
      case 1: return "+";
      case 2: return "?";
      case 3: return "";
      case 4: return "{" + std::to_string(low) + ",}";
      case 5: return "{" + std::to_string(low) + "," + std::to_string(low + 1 + pick(255 - low)) + "}";
      case 6: return "{1,255}";
      case 7: return "{" + std::to_string(1 + pick(5)) + "}";
      default: return "{," + std::to_string(1 + pick(40)) + "}";
    }
  }

  std::string group() {
    std::string out = chance(10) ? "^(" : "(";
    out += stretch(true) + ")" + groupQuantifier();
    if (chance(10)) out += "$";
    return out;
  }

  std::mt19937& rng_;
};

}  // namespace bw::test

#endif
