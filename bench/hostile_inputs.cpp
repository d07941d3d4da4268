// Hostile inputs against the real module: every case of the reliability
// table re-run with adversarial bodies and parameters of 1 MiB, plus
// patterns, equations and numbers built to hurt the regex compiler, the
// evaluator and the decimal type.
//
// Each input runs in a child process forked from a host that has already
// loaded and initialised the module, so a crash, a hang (killed after
// kTimeLimitSeconds) or a memory blow-up is charged to that input alone.
// The child reports its result code and elapsed time through a pipe; the
// parent reads the child's peak resident memory from wait4.  Prints a
// Markdown summary: failures, the slowest ten, the largest memory growth.
//
//   scripts/hostile-inputs.sh            # builds and runs this program
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "reliability/tag_cases.h"
#include "support/test_host.h"

namespace {

using bw::test::NamedValues;
using bw::test::TagCase;
using bw::test::TestHost;

constexpr size_t kMiB = 1 << 20;
constexpr size_t kDeep = 10000;
constexpr size_t kMany = 100000;
constexpr unsigned kTimeLimitSeconds = 10;
constexpr double kGoalSeconds = 1.0;

std::string repeat(const std::string& piece, size_t count) {
  std::string out;
  out.reserve(piece.size() * count);
  for (size_t i = 0; i < count; ++i) out += piece;
  return out;
}
std::string fill(const std::string& piece, size_t bytes) {
  return repeat(piece, (bytes + piece.size() - 1) / piece.size());
}

struct Input {
  std::string name;
  std::string tag;
  NamedValues params;
  std::optional<std::string> body;
};

// An input is built only in the child that runs it: built up front, a
// thousand inputs of a mebibyte each would swell the parent that every child
// is forked from.
struct InputCase {
  std::string name;
  std::function<Input()> make;
};

struct Outcome {
  std::string name;
  bool finished = false;  // the child ran to its end and reported
  int signal = 0;
  uint32_t result = 0;
  long blocksLeft = 0;
  double seconds = 0;
  long rssGrowthKiB = 0;
};

// Bodies that attack the scanner and the control tags.
std::vector<std::pair<std::string, std::string>> hostileBodies() {
  return {
      {"1 MiB of \"<\"", std::string(kMiB, '<')},
      {"1 MiB of \"</qelIf>\"", fill("</qelIf>", kMiB)},
      {"1 MiB of \"<qelElse>\"", fill("<qelElse>", kMiB)},
      {"1 MiB of \"<qelCase>\"", fill("<qelCase>", kMiB)},
      {"1 MiB of \"&qelLoopIndex;\"", fill("&qelLoopIndex;", kMiB)},
      {"10,000-deep qelIf", repeat("<qelIf lhs=\"1\">", kDeep) + "x<qelElse>y" + repeat("</qelIf>", kDeep)},
      {"10,000-deep qelSwitch/qelCase",
       repeat("<qelSwitch value=\"a\"><qelCase value=\"a\">", kDeep) + repeat("</qelCase></qelSwitch>", kDeep)},
      {"10,000-deep unclosed <div>", repeat("<div a=\"", kDeep)},
      {"1 MiB of text", fill("plain text, words and 12345 ", kMiB)},
  };
}

// Patterns, equations and numbers built to hurt one subsystem each.
const std::vector<Input>& specialInputs() {
  static const std::vector<Input> inputs = [] {
    std::vector<Input> inputs;
  // Patterns.
    const std::string subject = fill("aaaaabbbbb0123456789", kMiB);
    const std::pair<std::string, std::string> patterns[] = {
        {"100,000 open groups", std::string(kMany, '(') + "a" + std::string(kMany, ')')},
        {"100,000 groups in a row", repeat("(a)", kMany)},
        {"100,000 quantifiers", repeat("a*", kMany)},
        {"100,000 stacked quantifiers", "a" + repeat("*", kMany)},
        {"100,000 counted repeats", repeat("a{2,255}", kMany / 8)},
        {"100,000 alternatives", repeat("a|", kMany) + "b"},
        {"100,000 bracket expressions", repeat("[a-z0-9]+", kMany / 9)},
        {"100,000 escapes", repeat("\\.", kMany)},
        {"1 MiB pattern of \"[\"", std::string(kMiB, '[')},
    };
    for (const auto& [label, pattern] : patterns)
      inputs.push_back({"regex: " + label, "qelString",
                        {{"mode", "regularExpression"}, {"regularExpression", pattern}, {"resultVariableName", "m"}},
                        subject});
    // Equations and numbers.
    const std::string digits(kMany, '7');
    const std::pair<std::string, std::string> equations[] = {
        {"100,000 parentheses", std::string(kMany, '(') + "1" + std::string(kMany, ')')},
        {"100,000 parentheses, unbalanced", std::string(kMany, '(') + "1"},
        {"100,000 operators", repeat("1+", kMany) + "1"},
        {"100,000 mixed operators", repeat("2*3-4/5%6\\7^1+", kMany / 14) + "1"},
        {"100,000 unary signs", std::string(kMany, '-') + "1"},
        {"100,000 powers", repeat("2^", kMany) + "2"},
        {"100,000-digit number", digits},
        {"100,000-digit fraction", "0." + digits},
        {"100,000-digit product", digits + "*" + digits},
    };
    for (const auto& [label, equation] : equations)
      inputs.push_back({"math: " + label, "qelMath", {{"workPrecision", "25"}}, equation});
    const std::pair<const char*, NamedValues> numeric[] = {
        {"qelIf 100,000-digit sides", {{"lhs", digits}, {"relationship", "<"}, {"rhs", "0." + digits}}},
        {"qelLoop 100,000-digit range", {{"first", digits}, {"last", "-" + digits}, {"step", "0." + digits}}},
        {"qelString substring at 100,000 digits", {{"mode", "substring"}, {"beginningIndex", digits}, {"length", digits}}},
        {"qelString padLeft of 100,000 digits", {{"mode", "padLeft"}, {"length", digits}, {"character", "x"}}},
        {"qelString split at 100,000 digits", {{"mode", "split"}, {"index", digits}, {"delimiter", ","}}},
    };
    for (const auto& [label, params] : numeric) {
      const std::string tag = std::string(label).substr(0, std::string(label).find(' '));
      inputs.push_back({std::string("numbers: ") + label, tag, params, std::string("a,b,c")});
    }
    return inputs;
  }();
  return inputs;
}

std::vector<InputCase> buildInputCases() {
  std::vector<InputCase> inputCases;
  const size_t bodyCount = hostileBodies().size();
  const std::vector<std::string> bodyNames = [] {
    std::vector<std::string> names;
    for (const auto& body : hostileBodies()) names.push_back(body.first);
    return names;
  }();
  const std::vector<TagCase>& table = bw::test::tagCases();
  for (size_t row = 0; row < table.size(); ++row) {
    const TagCase& c = table[row];
    const std::string base = bw::test::describe(c);
    if (c.body) {
      for (size_t b = 0; b < bodyCount; ++b)
        inputCases.push_back({bodyNames[b] + " | " + base, [row, b] {
                           const TagCase& t = bw::test::tagCases()[row];
                           return Input{"", t.tag, t.params, hostileBodies()[b].second};
                         }});
    }
    for (size_t i = 0; i < c.params.size(); ++i) {
      inputCases.push_back({"1 MiB " + c.params[i].name + " | " + base, [row, i] {
                         const TagCase& t = bw::test::tagCases()[row];
                         NamedValues params = t.params;
                         params[i].value = fill("ab <\"&%+\\t ", kMiB);
                         return Input{"", t.tag, params, t.body};
                       }});
    }
  }
  for (size_t i = 0; i < specialInputs().size(); ++i)
    inputCases.push_back({specialInputs()[i].name, [i] { return specialInputs()[i]; }});
  return inputCases;
}

long rssKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

struct Report {
  uint32_t result;
  long blocksLeft;
  double seconds;
};

Outcome runOne(TestHost& host, const InputCase& inputCase) {
  Outcome outcome;
  outcome.name = inputCase.name;
  int channel[2];
  if (pipe(channel) != 0) return outcome;
  const long before = rssKiB();
  const pid_t child = fork();
  if (child == 0) {
    close(channel[0]);
    alarm(kTimeLimitSeconds);
    const Input input = inputCase.make();
    const auto start = std::chrono::steady_clock::now();
    const bw::test::Result r = host.runTag(input.tag, input.params, input.body);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    const Report report{r.result, r.blocksLeft, elapsed.count()};
    if (write(channel[1], &report, sizeof report) != sizeof report) _exit(2);
    _exit(0);
  }
  close(channel[1]);
  Report report{};
  const bool reported = read(channel[0], &report, sizeof report) == sizeof report;
  close(channel[0]);
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  outcome.finished = reported && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  outcome.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  outcome.result = report.result;
  outcome.blocksLeft = report.blocksLeft;
  outcome.seconds = report.seconds;
  outcome.rssGrowthKiB = std::max(0L, usage.ru_maxrss - before);
  return outcome;
}

void printRow(const Outcome& o) {
  std::printf("| %.3f | %ld | %s | %s |\n", o.seconds, o.rssGrowthKiB / 1024,
              bw::test::codeName(o.result).c_str(), o.name.substr(0, 160).c_str());
}

}  // namespace

int main() {
  TestHost host;
  if (host.init() != 0) {
    std::fprintf(stderr, "the module did not initialise\n");
    return 1;
  }
  const std::vector<InputCase> inputCases = buildInputCases();
  std::vector<Outcome> outcomes;
  outcomes.reserve(inputCases.size());
  for (const InputCase& inputCase : inputCases) outcomes.push_back(runOne(host, inputCase));

  int failures = 0;
  int slow = 0;
  double total = 0;
  long peak = 0;
  for (const Outcome& o : outcomes) {
    total += o.seconds;
    peak = std::max(peak, o.rssGrowthKiB);
    if (o.seconds >= kGoalSeconds) ++slow;
    if (!o.finished || o.blocksLeft != 0) {
      ++failures;
      std::printf("FAILED: %s (%s, signal %d, %ld blocks left)\n", o.name.c_str(),
                  o.finished ? "finished" : "did not finish", o.signal, o.blocksLeft);
    }
  }
  std::printf("%zu inputs, %d failed (crash, hang over %us or leak), %d at or over %.0f s; "
              "total %.1f s; largest resident growth %ld MiB\n\n",
              outcomes.size(), failures, kTimeLimitSeconds, slow, kGoalSeconds, total, peak / 1024);
  std::vector<Outcome> sorted = outcomes;
  std::sort(sorted.begin(), sorted.end(),
            [](const Outcome& a, const Outcome& b) { return a.seconds > b.seconds; });
  std::printf("Slowest ten:\n\n| seconds | RSS growth MiB | result | input |\n|---|---|---|---|\n");
  for (size_t i = 0; i < std::min<size_t>(10, sorted.size()); ++i) printRow(sorted[i]);
  std::sort(sorted.begin(), sorted.end(),
            [](const Outcome& a, const Outcome& b) { return a.rssGrowthKiB > b.rssGrowthKiB; });
  std::printf("\nAt or over %.0f s:\n\n", kGoalSeconds);
  for (const Outcome& o : outcomes)
    if (o.seconds >= kGoalSeconds) std::printf("- %.3f s: %s\n", o.seconds, o.name.substr(0, 120).c_str());
  std::printf("\nLargest memory growth:\n\n| seconds | RSS growth MiB | result | input |\n|---|---|---|---|\n");
  for (size_t i = 0; i < std::min<size_t>(5, sorted.size()); ++i) printRow(sorted[i]);
  return failures == 0 && slow == 0 ? 0 : 1;
}
