// The session list, searched in constant time per entry.
#include "engine/admin_sessions.h"

#include "engine/web_forms.h"

namespace bw {

void AdminSessions::dropExpired(Clock::time_point now) {
  for (auto it = sessions_.begin(); it != sessions_.end();) {
    if (now - it->lastUsed > kIdleLifetime || now - it->began > kLongestLifetime)
      it = sessions_.erase(it);
    else
      ++it;
  }
}

std::string AdminSessions::open(Clock::time_point now) {
  std::lock_guard<std::mutex> guard(lock_);
  dropExpired(now);
  if (sessions_.size() >= kMaxSessions) sessions_.pop_front();
  sessions_.push_back(Session{randomToken(), now, now});
  return sessions_.back().id;
}

bool AdminSessions::use(std::string_view id, Clock::time_point now) {
  if (id.empty()) return false;
  std::lock_guard<std::mutex> guard(lock_);
  dropExpired(now);
  bool found = false;
  for (Session& session : sessions_) {
    // Every id is compared, so that the time taken tells nothing of which one matched.
    if (tokensEqual(session.id, id)) {
      session.lastUsed = now;
      found = true;
    }
  }
  return found;
}

void AdminSessions::close(std::string_view id) {
  std::lock_guard<std::mutex> guard(lock_);
  for (auto it = sessions_.begin(); it != sessions_.end(); ++it) {
    if (tokensEqual(it->id, id)) {
      sessions_.erase(it);
      return;
    }
  }
}

size_t AdminSessions::size() {
  std::lock_guard<std::mutex> guard(lock_);
  return sessions_.size();
}

std::string adminSessionCookie(std::string_view id, bool secure) {
  std::string cookie = std::string(kAdminSessionCookie) + "=" + std::string(id) +
                       "; Path=/_brindle; HttpOnly; SameSite=Strict; Max-Age=" +
                       std::to_string(AdminSessions::kLongestLifetime.count());
  if (secure) cookie += "; Secure";
  return cookie;
}

std::string endedAdminSessionCookie(bool secure) {
  std::string cookie = std::string(kAdminSessionCookie) + "=; Path=/_brindle; HttpOnly; SameSite=Strict; Max-Age=0";
  if (secure) cookie += "; Secure";
  return cookie;
}

}  // namespace bw
