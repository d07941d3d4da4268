// Deadlines for the parts of a request a client sends.
//
// The HTTP library closes a connection that stays silent for the idle
// timeout, but a client that sends one byte a second is never silent, and
// could hold a connection for ever.  So every connection is also watched
// here: its request line and header fields must all arrive within the header
// deadline, counted from the connection's opening or from the end of its
// previous answer, and its body within the body deadline, counted from the
// end of its headers.  While the server answers (a page renders, a file is
// sent) no deadline runs; the idle timeout still closes a client that stops
// reading.  A sweeping thread looks at every connection a few times a second
// and shuts down the socket of one that missed its deadline; the library
// then sees the connection end and closes it as usual.  A connection leaves
// the table before the library closes its socket, and the sweep holds the
// table's lock while it shuts a socket down, so it never touches a number
// the system has given to a newer connection.
#ifndef BRINDLE_ENGINE_CONNECTION_DEADLINES_H
#define BRINDLE_ENGINE_CONNECTION_DEADLINES_H

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace bw {

class ConnectionDeadlines {
 public:
  using Clock = std::chrono::steady_clock;
  enum class Phase : uint8_t { Headers, Body, Answering };

  struct Connection {
    int socket = -1;
    std::string address;
    std::atomic<Phase> phase{Phase::Headers};
    std::atomic<int64_t> since{0};  // milliseconds on Clock
    Connection* previous = nullptr;
    Connection* next = nullptr;
    std::atomic<bool> cut{false};  // set once, by the sweep
  };
  // Told, from the sweeping thread, of each connection it closes.
  using CutNotice = std::function<void(const Connection&, Phase)>;

  ConnectionDeadlines(std::chrono::milliseconds headerDeadline, std::chrono::milliseconds bodyDeadline,
                      CutNotice notice);
  ~ConnectionDeadlines();
  ConnectionDeadlines(const ConnectionDeadlines&) = delete;
  ConnectionDeadlines& operator=(const ConnectionDeadlines&) = delete;

  Connection* opened(int socket, std::string address);
  void enter(Connection& connection, Phase phase);
  void closed(Connection* connection);

  // Starts and stops the sweeping thread.
  void start();
  void stop();
  // One sweep at `now`; the number of connections shut down.
  size_t sweep(Clock::time_point now);

  static int64_t millisecondsOf(Clock::time_point when) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
  }

 private:
  const int64_t headerMs_, bodyMs_;
  const CutNotice notice_;
  std::mutex lock_;
  Connection* first_ = nullptr;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread sweeper_;
};

}  // namespace bw

#endif
