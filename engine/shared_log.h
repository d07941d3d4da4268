// The engine's diagnostics stream, shared by the server's threads: each
// write lands whole, never interleaved with another thread's.
#ifndef BRINDLE_ENGINE_SHARED_LOG_H
#define BRINDLE_ENGINE_SHARED_LOG_H

#include <mutex>
#include <ostream>
#include <string_view>

namespace bw {

class SharedLog {
 public:
  explicit SharedLog(std::ostream& out) : out_(out) {}
  void write(std::string_view text) {
    std::lock_guard<std::mutex> guard(lock_);
    out_ << text << std::flush;
  }

 private:
  std::mutex lock_;
  std::ostream& out_;
};

}  // namespace bw

#endif
