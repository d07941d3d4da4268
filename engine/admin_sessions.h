// Signed-in administrators, kept in memory.
//
// The administrator signs in once with the token, through the login form;
// from then on the browser carries only a random session id in a cookie,
// so the token never travels in a URL, a Referer or a cookie.  A session
// ends kIdleLifetime after its last use, or kLongestLifetime after it
// began, whichever comes first, and at a restart of the server.  At most
// kMaxSessions are kept; signing in past that ends the oldest.  Safe to use
// from several threads.
#ifndef BRINDLE_ENGINE_ADMIN_SESSIONS_H
#define BRINDLE_ENGINE_ADMIN_SESSIONS_H

#include <chrono>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>

namespace bw {

constexpr const char* kAdminSessionCookie = "brindle_session";

class AdminSessions {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::seconds kIdleLifetime{30 * 60};
  static constexpr std::chrono::seconds kLongestLifetime{12 * 3600};
  static constexpr size_t kMaxSessions = 64;

  // A new session's id.
  std::string open(Clock::time_point now = Clock::now());
  // Whether `id` names a live session; using it renews its idle lifetime.
  bool use(std::string_view id, Clock::time_point now = Clock::now());
  void close(std::string_view id);
  size_t size();

 private:
  struct Session {
    std::string id;
    Clock::time_point began, lastUsed;
  };
  void dropExpired(Clock::time_point now);

  std::mutex lock_;
  std::deque<Session> sessions_;  // oldest first
};

// The Set-Cookie value that gives the browser session `id`: only for the
// administrator's pages, never to scripts nor to other sites' requests, and
// only over TLS when the request came that way.
std::string adminSessionCookie(std::string_view id, bool secure);
// The Set-Cookie value that ends it.
std::string endedAdminSessionCookie(bool secure);

}  // namespace bw

#endif
