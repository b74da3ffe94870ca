#include "local_http_server.h"

#ifdef _WIN32
// Winsock's headers come before <windows.h>, which they include.
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdlib>

namespace nd::test {
namespace {

using Socket = std::intptr_t;

// The few calls of the socket layer that differ between POSIX and Winsock.
#ifdef _WIN32
using socklen_t = int;
constexpr int kSendFlags = 0;

// Winsock needs starting once per process; it stays up until the process ends.
bool SocketsReady() {
  static const bool ready = [] {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return ready;
}

Socket NewSocket() {
  if (!SocketsReady()) return -1;
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  return s == INVALID_SOCKET ? -1 : static_cast<Socket>(s);
}
SOCKET Native(Socket s) { return static_cast<SOCKET>(s); }
void CloseSocket(Socket s) { ::closesocket(Native(s)); }
int PollOne(Socket s, int ms) {
  WSAPOLLFD fd{Native(s), POLLRDNORM, 0};
  return ::WSAPoll(&fd, 1, ms);
}
Socket AcceptOne(Socket listener) {
  SOCKET s = ::accept(Native(listener), nullptr, nullptr);
  return s == INVALID_SOCKET ? -1 : static_cast<Socket>(s);
}
#else
constexpr int kSendFlags = MSG_NOSIGNAL;

Socket NewSocket() { return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0); }
int Native(Socket s) { return static_cast<int>(s); }
void CloseSocket(Socket s) { ::close(Native(s)); }
int PollOne(Socket s, int ms) {
  pollfd fd{Native(s), POLLIN, 0};
  return ::poll(&fd, 1, ms);
}
Socket AcceptOne(Socket listener) {
  return ::accept4(Native(listener), nullptr, nullptr, SOCK_CLOEXEC);
}
#endif

// How often the waits look for the stop signal.
constexpr int kSliceMs = 20;

Socket LoopbackSocket(int& port) {
  Socket fd = NewSocket();
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (::bind(Native(fd), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(Native(fd), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    CloseSocket(fd);
    return -1;
  }
  port = ntohs(address.sin_port);
  return fd;
}

bool SendAll(Socket fd, const char* data, size_t size) {
  while (size > 0) {
    const int piece = static_cast<int>(std::min<size_t>(size, 1 << 20));
    const auto sent = ::send(Native(fd), data, piece, kSendFlags);
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<size_t>(sent);
  }
  return true;
}

std::string Decode(const std::string& text) {
  std::string decoded;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      decoded += static_cast<char>(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16));
      i += 2;
    } else if (text[i] == '+') {
      decoded += ' ';
    } else {
      decoded += text[i];
    }
  }
  return decoded;
}

}  // namespace

LocalHttpServer::LocalHttpServer(HttpAnswer answer) : answer_(std::move(answer)) {
  listener_ = LoopbackSocket(port_);
  if (listener_ < 0 || ::listen(Native(listener_), 8) != 0) return;
  thread_ = std::thread([this] { Serve(); });
}

LocalHttpServer::~LocalHttpServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stop_signal_.notify_all();
  if (thread_.joinable()) thread_.join();
  if (listener_ >= 0) CloseSocket(listener_);
}

std::string LocalHttpServer::Base() const {
  return thread_.joinable() ? "http://127.0.0.1:" + std::to_string(port_) : std::string();
}

std::vector<std::string> LocalHttpServer::Targets() const {
  std::lock_guard lock(mutex_);
  return targets_;
}

bool LocalHttpServer::StopRequested(int ms) const {
  std::unique_lock lock(mutex_);
  if (ms < 0) {
    stop_signal_.wait(lock, [this] { return stopping_; });
    return true;
  }
  return stop_signal_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_; });
}

bool LocalHttpServer::Readable(Socket socket, int ms) const {
  for (int waited = 0; ms < 0 || waited < ms; waited += kSliceMs) {
    if (StopRequested(0)) return false;
    const int ready = PollOne(socket, kSliceMs);
    if (ready < 0) return false;
    if (ready > 0) return true;
  }
  return false;
}

void LocalHttpServer::Serve() {
  for (;;) {
    if (!Readable(listener_, -1)) return;
    Socket connection = AcceptOne(listener_);
    if (connection < 0) continue;
    Answer(connection);
    CloseSocket(connection);
  }
}

void LocalHttpServer::Answer(Socket connection) {
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos) {
    if (!Readable(connection, 5000)) return;
    const auto got = ::recv(Native(connection), buffer, sizeof buffer, 0);
    if (got <= 0) return;
    request.append(buffer, static_cast<size_t>(got));
  }
  // "GET <target> HTTP/1.1"
  size_t start = request.find(' ') + 1;
  size_t end = request.find(' ', start);
  {
    std::lock_guard lock(mutex_);
    targets_.push_back(request.substr(start, end - start));
  }
  if (answer_.silent) {
    StopRequested(-1);
    return;
  }
  std::string head = "HTTP/1.0 " + std::to_string(answer_.status) +
                     " Answer\r\nContent-Length: " + std::to_string(answer_.body.size()) +
                     "\r\nContent-Type: application/octet-stream\r\n\r\n";
  if (!SendAll(connection, head.data(), head.size())) return;
  const size_t chunk = answer_.chunk_bytes ? answer_.chunk_bytes : answer_.body.size();
  for (size_t at = 0; at < answer_.body.size(); at += chunk) {
    if (at > 0 && answer_.chunk_delay_ms > 0 && StopRequested(answer_.chunk_delay_ms)) return;
    const size_t size = std::min(chunk, answer_.body.size() - at);
    if (!SendAll(connection, answer_.body.data() + at, size)) return;
  }
}

int ClosedPort() {
  // Bound for the whole test run but never listening: no other program can take the port, and
  // connections to it are refused.
  static int port = 0;
  static const Socket held = LoopbackSocket(port);
  return held < 0 ? 0 : port;
}

std::vector<std::pair<std::string, std::string>> QueryParameters(const std::string& target) {
  std::vector<std::pair<std::string, std::string>> parameters;
  size_t query = target.find('?');
  if (query == std::string::npos) return parameters;
  std::string rest = target.substr(query + 1);
  for (size_t at = 0; at <= rest.size();) {
    size_t end = rest.find('&', at);
    if (end == std::string::npos) end = rest.size();
    std::string pair = rest.substr(at, end - at);
    size_t equals = pair.find('=');
    if (equals == std::string::npos) {
      parameters.emplace_back(Decode(pair), "");
    } else {
      parameters.emplace_back(Decode(pair.substr(0, equals)), Decode(pair.substr(equals + 1)));
    }
    at = end + 1;
  }
  return parameters;
}

}  // namespace nd::test
