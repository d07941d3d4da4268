// A broad table of tag requests, one per row, covering the eight tags, every
// mode keyword and relationship, the loop sources and the error paths.
//
// The rows are inputs only: the reliability suites run each one twice or more
// (normally, then with the host failing an allocation, or blown up to hostile
// sizes) and compare the runs with each other, so a row needs no expected
// output of its own.  Add a row for every new keyword or error path.
#ifndef BRINDLEWORK_TESTS_RELIABILITY_TAG_CASES_H
#define BRINDLEWORK_TESTS_RELIABILITY_TAG_CASES_H

#include <optional>
#include <string>
#include <vector>

#include "support/test_host.h"

namespace bw::test {

struct TagCase {
  const char* group;  // what the row exercises, for failure messages
  std::string tag;
  NamedValues params;
  std::optional<std::string> body;  // nullopt: the host has no body to give
};

const std::vector<TagCase>& tagCases();

// "group: tag mode=... (body N bytes)", for failure messages.
std::string describe(const TagCase& c);

}  // namespace bw::test

#endif
