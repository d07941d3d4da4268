// What `brindle check` says about a page: diagnostics with the file, line and
// column they concern, as terminal lines or as JSON.
//
// A check reads a page without rendering it; an error is something that
// makes the page do what its author cannot have meant (a misspelt tag or
// keyword, a missing parameter, a number the evaluator would cut), a warning
// something that is probably a slip but renders as written.
#ifndef BRINDLE_ENGINE_CHECK_REPORT_H
#define BRINDLE_ENGINE_CHECK_REPORT_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace bw {

enum class CheckSeverity { Error, Warning };

struct CheckDiagnostic {
  std::string file;
  size_t line = 0;    // from 1
  size_t column = 0;  // from 1, in bytes
  CheckSeverity severity = CheckSeverity::Error;
  std::string message;  // plain text
};

// Collects the diagnostics of one page, turning byte offsets into lines and
// columns.
class CheckReport {
 public:
  CheckReport(std::string file, std::string_view text);
  void error(size_t offset, std::string message) { add(offset, CheckSeverity::Error, std::move(message)); }
  void warning(size_t offset, std::string message) { add(offset, CheckSeverity::Warning, std::move(message)); }
  void add(size_t offset, CheckSeverity severity, std::string message);
  // Line and column of an offset (from 1).
  std::pair<size_t, size_t> position(size_t offset) const;
  const std::vector<CheckDiagnostic>& diagnostics() const { return diagnostics_; }
  std::vector<CheckDiagnostic> take() { return std::move(diagnostics_); }

 private:
  std::string file_;
  std::vector<size_t> lineStarts_;
  std::vector<CheckDiagnostic> diagnostics_;
};

// "file:3:7: error: message\n"
std::string formatDiagnostic(const CheckDiagnostic& diagnostic);
// [{"file": ..., "line": 3, "column": 7, "severity": "error", "message": ...}, ...]
std::string diagnosticsAsJson(const std::vector<CheckDiagnostic>& diagnostics);

// A value quoted for a message, cut to kQuotedValueBytes with "..." and with
// control bytes shown as \n, \t or \xHH, so that a message stays one line.
constexpr size_t kQuotedValueBytes = 60;
std::string quoted(std::string_view value);

}  // namespace bw

#endif
