// The library's callbacks: a connection opens, a request line arrives, the
// headers and body arrive, the answer is sent, the connection closes.
#include "engine/http_server.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <exception>
#include <thread>
#include <vector>

#include "engine/connection_deadlines.h"
#include "engine/http_safety.h"
#include "engine/web_forms.h"

namespace bw {

using Phase = ConnectionDeadlines::Phase;
using Connection = ConnectionDeadlines::Connection;

struct HttpServer::State {
  State(HttpLimits l, Handler h, const AccessLog* a, SharedLog& e);
  HttpLimits limits;
  Handler handler;
  const AccessLog* accessLog;
  SharedLog& errors;
  ConnectionDeadlines deadlines;
  MHD_Daemon* daemon = nullptr;
};

namespace {

// One request, from its request line until its answer has been sent.
struct Exchange {
  Connection* connection = nullptr;
  std::string target, method, version, referer, userAgent;
  HttpRequest request;
  bool headersRead = false;
  int status = 0;
  uint64_t bodyBytes = 0;
};

std::string addressText(const sockaddr* address) {
  char text[INET6_ADDRSTRLEN] = "-";
  if (address == nullptr) return text;
  if (address->sa_family == AF_INET)
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text, sizeof text);
  else if (address->sa_family == AF_INET6)
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text, sizeof text);
  return text;
}

const char* boundName(Phase phase) {
  return phase == Phase::Headers ? "the request line and header fields did not arrive within the header "
                                   "deadline (--header-timeout)"
                                 : "the request body did not arrive within the body deadline (--body-timeout)";
}

void onConnection(void* cls, MHD_Connection* connection, void** socketContext,
                  MHD_ConnectionNotificationCode code) {
  auto& state = *static_cast<HttpServer::State*>(cls);
  if (code == MHD_CONNECTION_NOTIFY_STARTED) {
    const MHD_ConnectionInfo* fd = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    const MHD_ConnectionInfo* peer = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (fd == nullptr) return;
    // Answers go out as soon as they are written, not after the client's
    // delayed acknowledgement of the previous one.
    const int on = 1;
    setsockopt(fd->connect_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    *socketContext = state.deadlines.opened(fd->connect_fd, addressText(peer ? peer->client_addr : nullptr));
  } else {
    state.deadlines.closed(static_cast<Connection*>(*socketContext));
    *socketContext = nullptr;
  }
}

void* onRequestLine(void* cls, const char* uri, MHD_Connection* connection) {
  (void)cls;
  auto* exchange = new Exchange;
  exchange->target = uri != nullptr ? uri : "";
  const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
  if (info != nullptr) exchange->connection = static_cast<Connection*>(info->socket_context);
  return exchange;
}

MHD_Result collectHeader(void* cls, MHD_ValueKind, const char* key, const char* value) {
  static_cast<std::vector<HeaderField>*>(cls)->push_back(
      HeaderField{key != nullptr ? key : "", value != nullptr ? value : ""});
  return MHD_YES;
}

void releaseBody(void* body) { delete static_cast<std::string*>(body); }

MHD_Result queueAnswer(MHD_Connection* connection, Exchange& exchange, HttpResponse& answer) {
  exchange.status = answer.status;
  exchange.bodyBytes = exchange.request.isHead() || answer.status == 304 ? 0 : answer.bodyLength();
  MHD_Response* response = nullptr;
  if (answer.file.valid() && answer.fileLength > 0) {
    response = MHD_create_response_from_fd_at_offset64(answer.fileLength, answer.file.get(), answer.fileOffset);
    if (response != nullptr) answer.file.release();  // the library closes it
  } else {
    auto* body = new std::string(answer.file.valid() ? std::string() : std::move(answer.body));
    response = MHD_create_response_from_buffer_with_free_callback_cls(body->size(), body->data(), &releaseBody,
                                                                      body);
    if (response == nullptr) delete body;
  }
  if (response == nullptr) return MHD_NO;
  for (const ResponseHeader& header : kEveryResponseHeaders)
    MHD_add_response_header(response, header.name, header.value);
  for (const auto& header : answer.headers)
    MHD_add_response_header(response, header.first.c_str(), header.second.c_str());
  MHD_Result queued = MHD_queue_response(connection, static_cast<unsigned>(answer.status), response);
  MHD_destroy_response(response);
  return queued;
}

// The bounds that can be judged from the header fields alone.
bool refusedByHeaders(MHD_Connection* connection, HttpResponse& answer) {
  if (MHD_get_connection_values(connection, MHD_HEADER_KIND, nullptr, nullptr) >
      static_cast<int>(HttpLimits::kMaxHeaderFields)) {
    answerWithMessage(answer, 431, "431 Request Header Fields Too Large: more than " +
                                       std::to_string(HttpLimits::kMaxHeaderFields) + " header fields.");
    return true;
  }
  const char* length = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
  if (length == nullptr) return false;
  std::string_view digits(length);
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) {
    answerWithMessage(answer, 400, "400 Bad Request: the body length is not a number.");
    return true;
  }
  if (digits.size() > 18 || std::stoull(std::string(digits)) > HttpLimits::kMaxRequestBody) {
    answerWithMessage(answer, 413, "413 Content Too Large: a request body may hold at most " +
                                       std::to_string(HttpLimits::kMaxRequestBody) + " bytes.");
    return true;
  }
  return false;
}

void fillRequest(MHD_Connection* connection, Exchange& exchange) {
  HttpRequest& request = exchange.request;
  request.method = exchange.method;
  request.target = exchange.target;
  std::string_view target = exchange.target;
  size_t question = target.find('?');
  request.path = decodeUrlPath(target.substr(0, question));
  request.query = question == std::string_view::npos ? std::string_view() : target.substr(question + 1);
  MHD_get_connection_values(connection, MHD_HEADER_KIND, &collectHeader, &request.headers);
  if (exchange.connection != nullptr) request.remoteAddress = exchange.connection->address;
  exchange.referer = std::string(request.header("Referer"));
  exchange.userAgent = std::string(request.header("User-Agent"));
}

MHD_Result onRequest(void* cls, MHD_Connection* connection, const char* url, const char* method,
                     const char* version, const char* upload, size_t* uploadSize, void** requestContext) {
  auto& state = *static_cast<HttpServer::State*>(cls);
  auto* exchange = static_cast<Exchange*>(*requestContext);
  if (exchange == nullptr) {
    exchange = static_cast<Exchange*>(onRequestLine(cls, url, connection));
    *requestContext = exchange;
  }
  if (!exchange->headersRead) {
    exchange->headersRead = true;
    exchange->method = method != nullptr ? method : "";
    exchange->version = version != nullptr ? version : "";
    if (exchange->connection != nullptr) state.deadlines.enter(*exchange->connection, Phase::Body);
    HttpResponse refusal;
    if (refusedByHeaders(connection, refusal)) {
      fillRequest(connection, *exchange);
      return queueAnswer(connection, *exchange, refusal);
    }
    return MHD_YES;
  }
  if (*uploadSize != 0) {
    // A chunked body gives no length up front; it is cut off where it passes the bound.
    if (exchange->request.body.size() + *uploadSize > HttpLimits::kMaxRequestBody) {
      state.errors.write("brindle: " + (exchange->connection ? exchange->connection->address : std::string("-")) +
                         ": a request body passed " + std::to_string(HttpLimits::kMaxRequestBody) +
                         " bytes; connection closed\n");
      exchange->status = 413;
      return MHD_NO;
    }
    exchange->request.body.append(upload, *uploadSize);
    *uploadSize = 0;
    return MHD_YES;
  }
  if (exchange->connection != nullptr) state.deadlines.enter(*exchange->connection, Phase::Answering);
  fillRequest(connection, *exchange);
  HttpResponse answer;
  try {
    state.handler(exchange->request, answer);
  } catch (const std::exception& failure) {
    state.errors.write(std::string("brindle: answering ") + exchange->target + " failed: " + failure.what() + "\n");
    answer = HttpResponse();
    answerWithMessage(answer, 500, "500 Internal Server Error");
  }
  return queueAnswer(connection, *exchange, answer);
}

void onCompleted(void* cls, MHD_Connection* connection, void** requestContext, MHD_RequestTerminationCode) {
  auto& state = *static_cast<HttpServer::State*>(cls);
  auto* exchange = static_cast<Exchange*>(*requestContext);
  *requestContext = nullptr;
  if (exchange == nullptr) return;
  if (exchange->connection != nullptr) state.deadlines.enter(*exchange->connection, Phase::Headers);
  if (state.accessLog != nullptr && state.accessLog->enabled()) {
    int status = exchange->status;
    if (status == 0) {
      const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_HTTP_STATUS);
      if (info != nullptr) status = static_cast<int>(info->http_status);
    }
    if (status == 0 && exchange->connection != nullptr && exchange->connection->cut.load()) status = 408;
    if (status != 0) {
      AccessEntry entry;
      entry.remoteAddress = exchange->connection ? std::string_view(exchange->connection->address) : "-";
      entry.when = std::time(nullptr);
      entry.method = exchange->method.empty() ? std::string_view("-") : std::string_view(exchange->method);
      entry.target = exchange->target;
      entry.version = exchange->version.empty() ? std::string_view("-") : std::string_view(exchange->version);
      entry.status = status;
      entry.bodyBytes = exchange->bodyBytes;
      entry.referer = exchange->referer;
      entry.userAgent = exchange->userAgent;
      state.accessLog->write(entry);
    }
  }
  delete exchange;
}

void onLibraryMessage(void* cls, const char* format, va_list arguments) {
  auto& state = *static_cast<HttpServer::State*>(cls);
  char text[512];
  std::vsnprintf(text, sizeof text, format, arguments);
  std::string line = std::string("brindle: http: ") + text;
  while (!line.empty() && line.back() == '\n') line.pop_back();
  state.errors.write(line + "\n");
}

}  // namespace

HttpServer::State::State(HttpLimits l, Handler h, const AccessLog* a, SharedLog& e)
    : limits(l),
      handler(std::move(h)),
      accessLog(a),
      errors(e),
      deadlines(std::chrono::seconds(l.headerSeconds), std::chrono::seconds(l.bodySeconds),
                [this](const Connection& connection, Phase phase) {
                  errors.write("brindle: " + connection.address + ": " + boundName(phase) +
                               "; connection closed\n");
                }) {}

unsigned serverThreads(const HttpLimits& limits) {
  if (limits.threads != 0) return limits.threads;
  unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : cores;
}

HttpServer::HttpServer(HttpLimits limits, Handler handler, const AccessLog* accessLog, SharedLog& errors)
    : state_(std::make_unique<State>(limits, std::move(handler), accessLog, errors)) {}

HttpServer::~HttpServer() { stop(); }

bool HttpServer::start(FileDescriptor listenSocket, std::string& error) {
  State& s = *state_;
  const unsigned threads = serverThreads(s.limits);
  // The logger first, so that the library's every message goes to it.
  std::vector<MHD_OptionItem> options = {
      {MHD_OPTION_EXTERNAL_LOGGER, reinterpret_cast<intptr_t>(&onLibraryMessage), &s},
      {MHD_OPTION_LISTEN_SOCKET, listenSocket.get(), nullptr},
      {MHD_OPTION_CONNECTION_LIMIT, static_cast<intptr_t>(s.limits.maxConnections), nullptr},
      {MHD_OPTION_PER_IP_CONNECTION_LIMIT, static_cast<intptr_t>(s.limits.maxPerAddress), nullptr},
      {MHD_OPTION_CONNECTION_TIMEOUT, static_cast<intptr_t>(s.limits.idleSeconds), nullptr},
      {MHD_OPTION_CONNECTION_MEMORY_LIMIT, static_cast<intptr_t>(HttpLimits::kConnectionMemory), nullptr},
      {MHD_OPTION_NOTIFY_CONNECTION, reinterpret_cast<intptr_t>(&onConnection), &s},
      {MHD_OPTION_NOTIFY_COMPLETED, reinterpret_cast<intptr_t>(&onCompleted), &s},
      {MHD_OPTION_URI_LOG_CALLBACK, reinterpret_cast<intptr_t>(&onRequestLine), &s},
  };
  if (threads > 1) options.push_back({MHD_OPTION_THREAD_POOL_SIZE, static_cast<intptr_t>(threads), nullptr});
  options.push_back({MHD_OPTION_END, 0, nullptr});
  // Suspending a connection lets a route answer later (a stream of events)
  // without holding its thread.
  const unsigned flags = MHD_USE_EPOLL_INTERNAL_THREAD | MHD_USE_ERROR_LOG | MHD_ALLOW_SUSPEND_RESUME;
  s.daemon = MHD_start_daemon(flags, 0, nullptr, nullptr, &onRequest, &s, MHD_OPTION_ARRAY, options.data(),
                              MHD_OPTION_END);
  if (s.daemon == nullptr) {
    error = "the HTTP server did not start";
    return false;
  }
  listenSocket.release();  // the library closes it when it stops
  s.deadlines.start();
  return true;
}

void HttpServer::stop() {
  if (!state_ || state_->daemon == nullptr) return;
  MHD_stop_daemon(state_->daemon);
  state_->daemon = nullptr;
  state_->deadlines.stop();
}

}  // namespace bw
