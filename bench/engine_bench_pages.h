// The pages the engine benchmark renders, and their Jinja2 twin, built from
// the same pieces so that both do the same work: a block of ten mixed tags
// (conditions, inline strings, math, a switch, an encoding) repeated, plus a
// loop of 100, with every value taken from a variable so that nothing can be
// folded ahead of time.
#ifndef BRINDLE_BENCH_ENGINE_BENCH_PAGES_H
#define BRINDLE_BENCH_ENGINE_BENCH_PAGES_H

#include <map>
#include <string>

namespace bw {

constexpr int kTagsPerBlock = 10;
constexpr int kLoopIterations = 100;

inline std::string mixedBlock() {
  return "<qelInlineIf lhs=\"${a}\" relationship=\"lessThan\" rhs=\"${b}\" then=\"lt\" else=\"ge\">\n"
         "<qelIf lhs=\"${name}\" relationship=\"beginsWith\" rhs=\"A\">yes ${name}<qelElse>no</qelIf>\n"
         "<qelInlineString string=\"${name}\" mode=\"toUpper\">\n"
         "<qelInlineString string=\"${name}\" mode=\"getLength\">\n"
         "<qelMath>${a} * ${b} + 1</qelMath>\n"
         "<qelString mode=\"htmlEncode\">${text}</qelString>\n"
         "<qelInlineIf lhs=\"${a}\" relationship=\"=\" rhs=\"3\" then=\"three\" else=\"other\">\n"
         "<qelInlineString string=\"${text}\" mode=\"substring\" beginningIndex=\"2\" length=\"5\">\n"
         "<qelMath displayPrecision=\"2\">${b} / 3</qelMath>\n"
         "<qelSwitch value=\"${name}\"><qelCase value=\"Ann\">A</qelCase><qelCase>?</qelCase></qelSwitch>\n";
}

inline std::string jinjaBlock() {
  return "{{ 'lt' if a|float < b|float else 'ge' }}\n"
         "{% if name.startswith('A') %}yes {{ name }}{% else %}no{% endif %}\n"
         "{{ name|upper }}\n"
         "{{ name|length }}\n"
         "{{ a|float * b|float + 1 }}\n"
         "{{ text|e }}\n"
         "{{ 'three' if a|float == 3 else 'other' }}\n"
         "{{ text[1:6] }}\n"
         "{{ '%.2f' % (b|float / 3) }}\n"
         "{% if name == 'Ann' %}A{% else %}?{% endif %}\n";
}

// `tags` tag calls: (tags - 100) / 10 blocks and one loop of 100.
inline std::string mixedPage(int tags) {
  std::string page = "<html><body>\n<qelLoop first=\"1\" last=\"100\">[&qelLoopIndex;]</qelLoop>\n";
  for (int i = 0; i < (tags - kLoopIterations) / kTagsPerBlock; ++i) page += mixedBlock();
  return page + "</body></html>\n";
}

inline std::string jinjaPage(int tags) {
  std::string page = "<html><body>\n{% for i in range(1, 101) %}[{{ i }}]{% endfor %}\n";
  for (int i = 0; i < (tags - kLoopIterations) / kTagsPerBlock; ++i) page += jinjaBlock();
  return page + "</body></html>\n";
}

inline std::map<std::string, std::string> pageVariables() {
  return {{"a", "3"}, {"b", "7.5"}, {"name", "Ann Lee"}, {"text", "Fish & <Chips>"}};
}

}  // namespace bw

#endif
