// Reads data/differential.txt (written by gen_differential.py): one case a
// line, pattern, subject and expected match separated by tabs, with \\ \t \r
// \n escaped.
#ifndef BRINDLEWORK_TESTS_REGEX_DIFFERENTIAL_DATA_H
#define BRINDLEWORK_TESTS_REGEX_DIFFERENTIAL_DATA_H

#include <fstream>
#include <string>
#include <vector>

namespace bw::test {

struct DifferentialCase {
  std::string pattern;
  std::string subject;
  std::string expected;  // "start length" or "-"
};

inline std::string unescapeField(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\' || i + 1 == field.size()) {
      out += field[i];
      continue;
    }
    char c = field[++i];
    out += c == 't' ? '\t' : c == 'r' ? '\r' : c == 'n' ? '\n' : c;
  }
  return out;
}

inline std::vector<DifferentialCase> differentialCases() {
  std::ifstream in(std::string(BRINDLE_SOURCE_DIR) + "/tests/regex/data/differential.txt");
  std::vector<DifferentialCase> cases;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    const size_t tab1 = line.find('\t');
    const size_t tab2 = line.find('\t', tab1 + 1);
    if (tab2 == std::string::npos) continue;
    cases.push_back({unescapeField(line.substr(0, tab1)),
                     unescapeField(line.substr(tab1 + 1, tab2 - tab1 - 1)), line.substr(tab2 + 1)});
  }
  return cases;
}

}  // namespace bw::test

#endif
