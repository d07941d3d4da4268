// The table of open connections and the sweep over it.
#include "engine/connection_deadlines.h"

#include <sys/socket.h>

namespace bw {
namespace {

// How often the sweep runs: deadlines are kept to within this.
constexpr std::chrono::milliseconds kSweepInterval{250};

}  // namespace

ConnectionDeadlines::ConnectionDeadlines(std::chrono::milliseconds headerDeadline,
                                         std::chrono::milliseconds bodyDeadline, CutNotice notice)
    : headerMs_(headerDeadline.count()), bodyMs_(bodyDeadline.count()), notice_(std::move(notice)) {}

ConnectionDeadlines::~ConnectionDeadlines() { stop(); }

ConnectionDeadlines::Connection* ConnectionDeadlines::opened(int socket, std::string address) {
  auto* connection = new Connection;
  connection->socket = socket;
  connection->address = std::move(address);
  connection->since.store(millisecondsOf(Clock::now()), std::memory_order_relaxed);
  std::lock_guard<std::mutex> guard(lock_);
  connection->next = first_;
  if (first_ != nullptr) first_->previous = connection;
  first_ = connection;
  return connection;
}

void ConnectionDeadlines::enter(Connection& connection, Phase phase) {
  // The time first, so that the sweep never pairs the new phase with the old time.
  connection.since.store(millisecondsOf(Clock::now()), std::memory_order_relaxed);
  connection.phase.store(phase, std::memory_order_release);
}

void ConnectionDeadlines::closed(Connection* connection) {
  if (connection == nullptr) return;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (connection->previous != nullptr) connection->previous->next = connection->next;
    if (connection->next != nullptr) connection->next->previous = connection->previous;
    if (first_ == connection) first_ = connection->next;
  }
  delete connection;
}

size_t ConnectionDeadlines::sweep(Clock::time_point now) {
  const int64_t nowMs = millisecondsOf(now);
  size_t cutCount = 0;
  std::lock_guard<std::mutex> guard(lock_);
  for (Connection* c = first_; c != nullptr; c = c->next) {
    Phase phase = c->phase.load(std::memory_order_acquire);
    if (phase == Phase::Answering || c->cut.load(std::memory_order_relaxed)) continue;
    int64_t limit = phase == Phase::Headers ? headerMs_ : bodyMs_;
    if (nowMs - c->since.load(std::memory_order_relaxed) <= limit) continue;
    c->cut.store(true, std::memory_order_relaxed);
    if (notice_) notice_(*c, phase);  // first, so that the reason is written before the client sees the end
    ::shutdown(c->socket, SHUT_RDWR);
    ++cutCount;
  }
  return cutCount;
}

void ConnectionDeadlines::start() {
  stopping_ = false;
  sweeper_ = std::thread([this] {
    std::unique_lock<std::mutex> guard(lock_);
    while (!stopping_) {
      wake_.wait_for(guard, kSweepInterval);
      if (stopping_) break;
      guard.unlock();
      sweep(Clock::now());
      guard.lock();
    }
  });
}

void ConnectionDeadlines::stop() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (sweeper_.joinable()) sweeper_.join();
}

}  // namespace bw
