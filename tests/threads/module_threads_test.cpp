// The module called from several threads at once, through the real library.
//
// Every request of a broad table (every tag, every mode and relationship, the
// error paths, the properties page, a disabled tag) is first sent alone, on
// one thread, to record its answer.  Then several threads send the whole
// table again and again, each in its own order, while one of them also
// re-sends MIni now and then; every answer must equal the one recorded alone:
// the same result, output, reports, page variables, stored properties and
// sequence of callbacks, with every block the call took given back on the
// thread that took it.  Built under the thread sanitizer (scripts/
// test-threads.sh), the same run also proves that the calls share nothing
// that any of them writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "reliability/tag_cases.h"
#include "threads/concurrent_host.h"

namespace bw::test {
namespace {

// Enough threads to overlap on two cores, enough rounds for thousands of
// calls per thread.  BRINDLE_THREAD_ROUNDS overrides the rounds (a longer
// soak by hand).
constexpr int kThreads = 4;
constexpr int kDefaultRounds = 12;

int rounds() {
  const char* text = std::getenv("BRINDLE_THREAD_ROUNDS");
  return text != nullptr && std::atoi(text) > 0 ? std::atoi(text) : kDefaultRounds;
}

// The requests: every row of the tag table, plus the requests that read or
// write the region's properties.
std::vector<CallScript> scripts() {
  std::vector<CallScript> out;
  for (const TagCase& c : tagCases()) {
    CallScript s;
    s.tagName = c.tag;
    s.parameters = c.params;
    s.body = c.body;
    out.push_back(s);
  }
  CallScript disabled;
  disabled.tagName = "qelString";
  disabled.parameters = {{"mode", "toUpper"}};
  disabled.body = "off";
  disabled.properties = {{"qelString", "no"}};
  out.push_back(disabled);

  CallScript page;
  page.selector = MGPr;
  page.properties = {{"qelIf", "no"}, {"qelMath", "yes"}};
  out.push_back(page);

  CallScript store;
  store.selector = MSPr;
  store.form = {{"qelIf", "yes"}, {"qelLoop", "yes"}, {"qelMath", "on"}};
  out.push_back(store);

  CallScript unknown;
  unknown.tagName = "qelNoSuchTag";
  out.push_back(unknown);
  return out;
}

struct Mismatch {
  size_t row;
  CallAnswer alone;
  CallAnswer together;
};

TEST(ModuleThreads, EveryAnswerEqualsTheSameCallMadeAlone) {
  ASSERT_EQ(initialiseModule(), 0u);
  const std::vector<CallScript> requests = scripts();

  std::vector<CallAnswer> alone;
  {
    Session session;
    for (const CallScript& s : requests) alone.push_back(session.run(s));
  }
  for (size_t row = 0; row < alone.size(); ++row)
    ASSERT_EQ(alone[row].blocksLeft, 0) << "row " << row << ": " << alone[row].describe();

  // Sessions are made before the threads start (see concurrent_host.h).
  std::vector<std::unique_ptr<Session>> sessions;
  for (int t = 0; t < kThreads; ++t) sessions.push_back(std::make_unique<Session>());
  std::vector<std::vector<Mismatch>> mismatches(kThreads);
  std::vector<size_t> calls(kThreads, 0);
  const int roundCount = rounds();

  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      std::mt19937 random(1234u + static_cast<unsigned>(t));
      std::vector<size_t> order(requests.size());
      for (size_t i = 0; i < order.size(); ++i) order[i] = i;
      for (int round = 0; round < roundCount; ++round) {
        std::shuffle(order.begin(), order.end(), random);
        for (size_t row : order) {
          // The first thread also re-sends MIni, with the same allocator,
          // while the others are in the middle of their calls.
          if (t == 0 && row % 97 == 0) reinitialiseModule();
          CallAnswer answer = sessions[t]->run(requests[row]);
          ++calls[t];
          if (!(answer == alone[row]) && mismatches[t].size() < 5)
            mismatches[t].push_back({row, alone[row], answer});
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();

  for (int t = 0; t < kThreads; ++t) {
    EXPECT_GE(calls[t], 1000u);
    for (const Mismatch& m : mismatches[t]) {
      const CallScript& s = requests[m.row];
      ADD_FAILURE() << "thread " << t << ", row " << m.row << " (" << s.tagName << "):\n  alone:    "
                    << m.alone.describe() << "\n  together: " << m.together.describe();
    }
  }
}

}  // namespace
}  // namespace bw::test
