#include "local_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace nd::test {
namespace {

int LoopbackSocket(int& port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    return -1;
  }
  port = ntohs(address.sin_port);
  return fd;
}

bool SendAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
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
  if (listener_ < 0 || ::listen(listener_, 8) != 0 || ::pipe(stop_pipe_) != 0) return;
  thread_ = std::thread([this] { Serve(); });
}

LocalHttpServer::~LocalHttpServer() {
  if (thread_.joinable()) {
    (void)!::write(stop_pipe_[1], "x", 1);
    thread_.join();
  }
  for (int fd : {listener_, stop_pipe_[0], stop_pipe_[1]}) {
    if (fd >= 0) ::close(fd);
  }
}

std::string LocalHttpServer::Base() const {
  return thread_.joinable() ? "http://127.0.0.1:" + std::to_string(port_) : std::string();
}

std::vector<std::string> LocalHttpServer::Targets() const {
  std::lock_guard lock(mutex_);
  return targets_;
}

bool LocalHttpServer::StopRequested(int ms) const {
  pollfd stop{stop_pipe_[0], POLLIN, 0};
  return ::poll(&stop, 1, ms) > 0;
}

void LocalHttpServer::Serve() {
  for (;;) {
    pollfd fds[2] = {{listener_, POLLIN, 0}, {stop_pipe_[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN)) return;
    int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    Answer(connection);
    ::close(connection);
  }
}

void LocalHttpServer::Answer(int connection) {
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos) {
    pollfd fds[2] = {{connection, POLLIN, 0}, {stop_pipe_[0], POLLIN, 0}};
    if (::poll(fds, 2, 5000) <= 0 || (fds[1].revents & POLLIN)) return;
    ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
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
  static const int held = LoopbackSocket(port);
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
