// Runs the arithmetic case files in tests/decimal/cases (*.decTest, one case
// a line) through BigDecimal.  The format is described at the top of
// arithmetic.decTest.  GeneratedFile runs the file named by
// BRINDLE_DECIMAL_CASE_FILE, which differential.py writes at test time.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "decimal/big_decimal.h"

namespace bw {
namespace {

struct Operand {
  std::string text;
  int precision = -1;  // -1: the file's current setting
  int scale = -1;
};

// Splits a case line into words; '...' quotes a word (and '' is empty); a
// word may end in [p,s].
std::vector<Operand> splitWords(const std::string& line) {
  std::vector<Operand> words;
  size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ' || line[i] == '\t') {
      ++i;
      continue;
    }
    Operand w;
    if (line[i] == '\'') {
      size_t end = line.find('\'', i + 1);
      w.text = line.substr(i + 1, end - i - 1);
      i = end + 1;
    } else {
      size_t end = line.find_first_of(" \t[", i);
      if (end == std::string::npos) end = line.size();
      w.text = line.substr(i, end - i);
      i = end;
    }
    if (i < line.size() && line[i] == '[') {
      size_t end = line.find(']', i);
      std::sscanf(line.substr(i + 1, end - i - 1).c_str(), "%d,%d", &w.precision, &w.scale);
      i = end + 1;
    }
    words.push_back(w);
  }
  return words;
}

const std::map<std::string, BigDecimal::Status> kStatusNames = {
    {"ok", BigDecimal::ok},
    {"overflow", BigDecimal::overflow},
    {"badSign", BigDecimal::badSign},
    {"badCharacter", BigDecimal::badCharacter},
    {"secondPoint", BigDecimal::secondPoint},
    {"divideByZero", BigDecimal::divideByZero},
};

struct Outcome {
  std::string text;
  BigDecimal::Status status = BigDecimal::ok;
  bool checksStatus = true;
};

using Operation = Outcome (*)(BigDecimal& a, const BigDecimal& b, const std::string& bText);

Outcome valueOf(BigDecimal& a, BigDecimal::Status status) { return {a.toText().cString(), status}; }
Outcome textOf(const std::string& text) { return {text, BigDecimal::ok, false}; }

const std::map<std::string, std::pair<int, Operation>> kOperations = {
    {"parse", {1, [](BigDecimal& a, const BigDecimal&, const std::string&) {
                 return valueOf(a, BigDecimal::ok);
               }}},
    {"add", {2, [](BigDecimal& a, const BigDecimal& b, const std::string&) {
               return valueOf(a, a.add(b));
             }}},
    {"subtract", {2, [](BigDecimal& a, const BigDecimal& b, const std::string&) {
                    return valueOf(a, a.subtract(b));
                  }}},
    {"multiply", {2, [](BigDecimal& a, const BigDecimal& b, const std::string&) {
                    return valueOf(a, a.multiply(b));
                  }}},
    {"divide", {2, [](BigDecimal& a, const BigDecimal& b, const std::string&) {
                  return valueOf(a, a.divide(b));
                }}},
    {"divint", {2, [](BigDecimal& a, const BigDecimal& b, const std::string&) {
                  return valueOf(a, a.divideInteger(b));
                }}},
    {"remainder", {2, [](BigDecimal& a, const BigDecimal& b, const std::string&) {
                     return valueOf(a, a.remainder(b));
                   }}},
    {"power", {2, [](BigDecimal& a, const BigDecimal&, const std::string& n) {
                 BigDecimal r = a.power(std::stoi(n));
                 return Outcome{r.toText().cString(), BigDecimal::ok, false};
               }}},
    {"round", {2, [](BigDecimal& a, const BigDecimal&, const std::string& n) {
                 return valueOf(a, a.round(std::stoi(n)));
               }}},
    {"fixed", {2, [](BigDecimal& a, const BigDecimal&, const std::string& n) {
                 return textOf(a.toFixedText(std::stoi(n), true).cString());
               }}},
    {"fixedplain", {2, [](BigDecimal& a, const BigDecimal&, const std::string& n) {
                      return textOf(a.toFixedText(std::stoi(n), false).cString());
                    }}},
    // The second word is "p,s"; the result, "text@p,s", shows the precision
    // and scale the number has afterwards, so ignored requests show too.
    {"setprecision", {2, [](BigDecimal& a, const BigDecimal&, const std::string& ps) {
                        int p = 0;
                        int s = 0;
                        std::sscanf(ps.c_str(), "%d,%d", &p, &s);
                        const BigDecimal::Status status = a.setPrecision(p, s);
                        return Outcome{std::string(a.toText().cString()) + "@" + std::to_string(a.precision()) +
                                           "," + std::to_string(a.scale()),
                                       status};
                      }}},
    {"compare", {2, [](BigDecimal& a, const BigDecimal& b, const std::string&) {
                   return textOf(std::to_string(BigDecimal::compare(a, b)));
                 }}},
    {"comparemag", {2, [](BigDecimal& a, const BigDecimal& b, const std::string&) {
                      return textOf(std::to_string(BigDecimal::compareMagnitude(a, b)));
                    }}},
    {"tointeger", {1, [](BigDecimal& a, const BigDecimal&, const std::string&) {
                     return textOf(std::to_string(a.toInteger()));
                   }}},
    {"negate", {1, [](BigDecimal& a, const BigDecimal&, const std::string&) {
                  a.negate();
                  return valueOf(a, BigDecimal::ok);
                }}},
};

BigDecimal makeOperand(const Operand& w, int precision, int scale, BigDecimal::Status* status) {
  BigDecimal v(w.precision > 0 ? w.precision : precision, w.scale >= 0 ? w.scale : scale);
  BigDecimal::Status s = v.fromText(w.text.c_str());
  if (status != nullptr) *status = s;
  return v;
}

void runFile(const std::filesystem::path& path, int& cases) {
  std::ifstream in(path);
  ASSERT_TRUE(in) << path;
  int precision = 38;
  int scale = 8;
  std::string line;
  int lineNumber = 0;
  while (std::getline(in, line)) {
    ++lineNumber;
    if (line.empty() || line.rfind("--", 0) == 0) continue;
    if (line.rfind("precision:", 0) == 0) {
      precision = std::stoi(line.substr(10));
      continue;
    }
    if (line.rfind("scale:", 0) == 0) {
      scale = std::stoi(line.substr(6));
      continue;
    }
    std::vector<Operand> w = splitWords(line);
    const std::string where = path.filename().string() + ":" + std::to_string(lineNumber) + " " + line;
    ASSERT_GE(w.size(), 4u) << where;
    auto op = kOperations.find(w[1].text);
    ASSERT_NE(op, kOperations.end()) << where;
    const size_t arrow = 2 + static_cast<size_t>(op->second.first);
    ASSERT_LT(arrow + 1, w.size() + 0) << where;
    ASSERT_EQ(w[arrow].text, "->") << where;
    BigDecimal::Status parseStatus = BigDecimal::ok;
    BigDecimal a = makeOperand(w[2], precision, scale, &parseStatus);
    BigDecimal b = op->second.first == 2 ? makeOperand(w[3], precision, scale, nullptr) : BigDecimal();
    Outcome got = op->second.second(a, b, op->second.first == 2 ? w[3].text : std::string());
    if (w[1].text == "parse") got.status = parseStatus;
    EXPECT_EQ(got.text, w[arrow + 1].text) << where;
    BigDecimal::Status expected = BigDecimal::ok;
    if (arrow + 2 < w.size()) {
      auto s = kStatusNames.find(w[arrow + 2].text);
      ASSERT_NE(s, kStatusNames.end()) << where;
      expected = s->second;
    }
    if (got.checksStatus) {
      EXPECT_EQ(got.status, expected) << where;
    }
    ++cases;
  }
}

TEST(DecimalCaseFiles, EveryCasePasses) {
  const std::filesystem::path dir = std::filesystem::path(BRINDLE_SOURCE_DIR) / "tests/decimal/cases";
  int files = 0;
  int cases = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() != ".decTest") continue;
    ++files;
    runFile(entry.path(), cases);
  }
  EXPECT_GE(files, 1);
  EXPECT_GE(cases, 200);
}

TEST(DecimalCaseFiles, GeneratedFile) {
  const char* path = std::getenv("BRINDLE_DECIMAL_CASE_FILE");
  if (path == nullptr) GTEST_SKIP() << "run by tests/decimal/differential.py";
  int cases = 0;
  runFile(path, cases);
  EXPECT_GE(cases, 1000);
}

}  // namespace
}  // namespace bw
