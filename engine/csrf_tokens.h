// Single-use tokens that tie a properties form to the page that showed it.
//
// Each form shown gets a fresh token for its region; a submission is accepted
// only with a token issued for that region within the last hour, and the
// token is spent by it.  At most kMaxOutstanding tokens are kept; the oldest
// goes first.  Not thread-safe: the server calls it under its lock.
#ifndef BRINDLE_ENGINE_CSRF_TOKENS_H
#define BRINDLE_ENGINE_CSRF_TOKENS_H

#include <chrono>
#include <deque>
#include <string>

namespace bw {

class CsrfTokens {
 public:
  static constexpr size_t kMaxOutstanding = 1024;
  static constexpr std::chrono::seconds kLifetime{3600};

  std::string issue(const std::string& region);
  bool spend(const std::string& token, const std::string& region);

 private:
  struct Issued {
    std::string token, region;
    std::chrono::steady_clock::time_point at;
  };
  std::deque<Issued> issued_;
};

}  // namespace bw

#endif
