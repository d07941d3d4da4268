// Positions, the two output forms and quoting for brindle check.
#include "engine/check_report.h"

#include <algorithm>
#include <cstdio>

namespace bw {

CheckReport::CheckReport(std::string file, std::string_view text) : file_(std::move(file)) {
  lineStarts_.push_back(0);
  for (size_t i = 0; i < text.size(); ++i)
    if (text[i] == '\n') lineStarts_.push_back(i + 1);
}

std::pair<size_t, size_t> CheckReport::position(size_t offset) const {
  auto after = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset);
  size_t line = static_cast<size_t>(after - lineStarts_.begin());
  return {line, offset - lineStarts_[line - 1] + 1};
}

void CheckReport::add(size_t offset, CheckSeverity severity, std::string message) {
  auto [line, column] = position(offset);
  diagnostics_.push_back(CheckDiagnostic{file_, line, column, severity, std::move(message)});
}

namespace {

const char* severityName(CheckSeverity severity) {
  return severity == CheckSeverity::Error ? "error" : "warning";
}

void appendJsonString(std::string& out, std::string_view text) {
  out += '"';
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
}

}  // namespace

std::string formatDiagnostic(const CheckDiagnostic& d) {
  return d.file + ":" + std::to_string(d.line) + ":" + std::to_string(d.column) + ": " +
         severityName(d.severity) + ": " + d.message + "\n";
}

std::string diagnosticsAsJson(const std::vector<CheckDiagnostic>& diagnostics) {
  std::string out = "[";
  for (size_t i = 0; i < diagnostics.size(); ++i) {
    const CheckDiagnostic& d = diagnostics[i];
    out += i == 0 ? "\n  {" : ",\n  {";
    out += "\"file\": ";
    appendJsonString(out, d.file);
    out += ", \"line\": " + std::to_string(d.line) + ", \"column\": " + std::to_string(d.column);
    out += ", \"severity\": \"";
    out += severityName(d.severity);
    out += "\", \"message\": ";
    appendJsonString(out, d.message);
    out += "}";
  }
  out += diagnostics.empty() ? "]\n" : "\n]\n";
  return out;
}

std::string quoted(std::string_view value) {
  std::string out = "\"";
  const size_t shown = std::min(value.size(), kQuotedValueBytes);
  for (size_t i = 0; i < shown; ++i) {
    unsigned char c = static_cast<unsigned char>(value[i]);
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  if (shown < value.size()) out += "...";
  return out + "\"";
}

}  // namespace bw
