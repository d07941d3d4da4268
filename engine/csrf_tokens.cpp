// Issuing and spending form tokens.
#include "engine/csrf_tokens.h"

#include "engine/web_forms.h"

namespace bw {

std::string CsrfTokens::issue(const std::string& region) {
  if (issued_.size() >= kMaxOutstanding) issued_.pop_front();
  issued_.push_back(Issued{randomToken(), region, std::chrono::steady_clock::now()});
  return issued_.back().token;
}

bool CsrfTokens::spend(const std::string& token, const std::string& region) {
  const auto now = std::chrono::steady_clock::now();
  while (!issued_.empty() && now - issued_.front().at > kLifetime) issued_.pop_front();
  if (token.empty()) return false;
  for (auto it = issued_.begin(); it != issued_.end(); ++it) {
    if (tokensEqual(it->token, token)) {
      bool sameRegion = it->region == region;
      issued_.erase(it);
      return sameRegion;
    }
  }
  return false;
}

}  // namespace bw
