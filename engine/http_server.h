// The HTTP layer of brindle serve, on GNU libmicrohttpd.
//
// A pool of threads, one per core by default, each waits on epoll for the
// connections it owns, so an idle or slow connection costs its memory (at
// most kConnectionMemory for its request and buffers) and no thread.  A
// request reaches the handler once its headers and body have arrived; the
// handler runs on the pool thread (a page renders there, bounded by the page
// limits) and fills in the answer, which the pool then sends without
// blocking.  Files are sent with sendfile from their descriptor.  Every
// bound a client could push against is one of HttpLimits below, each with
// its command-line option:
//   --max-connections N           open connections in all, split evenly
//                                 over the threads; more are refused at accept
//   --max-connections-per-address N  open connections from one client address
//   --idle-timeout S              closes a connection that sends and reads
//                                 nothing for S seconds (kept-alive ones too)
//   --header-timeout S            the request line and header fields must
//                                 all arrive within S seconds of the
//                                 connection's opening or its previous answer
//   --body-timeout S              the body must arrive within S seconds of
//                                 the end of the headers
//   request bodies over kMaxRequestBody answer 413, more than
//   kMaxHeaderFields header fields 431; a request line and header fields
//   longer than the connection's memory together answer 431 (or 414).
// HEAD is answered as GET without the body; Date is on every answer.
// Connections may be suspended (the daemon runs with suspend and resume
// allowed) so that a route can answer later without holding a thread; the
// library refuses to stop while a connection is still suspended, so
// whatever suspends one must resume it before stop().
#ifndef BRINDLE_ENGINE_HTTP_SERVER_H
#define BRINDLE_ENGINE_HTTP_SERVER_H

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "engine/access_log.h"
#include "engine/http_exchange.h"
#include "engine/shared_log.h"

namespace bw {

struct HttpLimits {
  static constexpr unsigned kDefaultMaxConnections = 1024;
  static constexpr unsigned kDefaultPerAddress = 128;
  static constexpr unsigned kDefaultIdleSeconds = 10;
  static constexpr unsigned kDefaultHeaderSeconds = 10;
  static constexpr unsigned kDefaultBodySeconds = 30;
  static constexpr size_t kMaxRequestBody = 1024 * 1024;
  static constexpr size_t kMaxHeaderFields = 100;
  // Memory for one connection's request line, header fields and buffers.
  static constexpr size_t kConnectionMemory = 32 * 1024;

  unsigned threads = 0;  // 0: one per core
  unsigned maxConnections = kDefaultMaxConnections;
  unsigned maxPerAddress = kDefaultPerAddress;  // 0: no limit
  unsigned idleSeconds = kDefaultIdleSeconds;
  unsigned headerSeconds = kDefaultHeaderSeconds;
  unsigned bodySeconds = kDefaultBodySeconds;
};

class HttpServer {
 public:
  using Handler = std::function<void(const HttpRequest&, HttpResponse&)>;

  // `accessLog` may be null; it and `errors` must outlive the server.
  HttpServer(HttpLimits limits, Handler handler, const AccessLog* accessLog, SharedLog& errors);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Serves on the listening socket (which the server then owns) until
  // stop(); false with a message when the library cannot start.
  bool start(FileDescriptor listenSocket, std::string& error);
  void stop();

  struct State;  // the library's callbacks reach it

 private:
  std::unique_ptr<State> state_;
};

// The threads a limit of 0 means: one per core.
unsigned serverThreads(const HttpLimits& limits);

}  // namespace bw

#endif
