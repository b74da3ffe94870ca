// A small HTTP/1.0 server on 127.0.0.1 for the tests of the online requests: one fixed answer,
// sent whole, in slow chunks, or not at all, and a record of what was asked for.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace nd::test {

struct HttpAnswer {
  int status = 200;
  std::string body;
  // With a delay, the body goes out in `chunk_bytes` pieces that far apart.
  size_t chunk_bytes = 0;
  int chunk_delay_ms = 0;
  // Accepts the connection and reads the request, then sends nothing until the server stops.
  bool silent = false;
};

class LocalHttpServer {
 public:
  explicit LocalHttpServer(HttpAnswer answer);
  ~LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  // "http://127.0.0.1:<port>"; empty when the server could not start.
  std::string Base() const;
  // The request target ("/path?query") of each request so far, in order.
  std::vector<std::string> Targets() const;

 private:
  // A socket of the platform's socket layer (a descriptor, or Winsock's SOCKET); -1 for none.
  using Socket = std::intptr_t;

  void Serve();
  void Answer(Socket connection);
  // Waits up to `ms` (forever when negative) for the stop signal; true when it came.
  bool StopRequested(int ms) const;
  // Waits up to `ms` for `socket` to become readable, returning early on the stop signal.
  bool Readable(Socket socket, int ms) const;

  HttpAnswer answer_;
  Socket listener_ = -1;
  int port_ = 0;
  bool stopping_ = false;  // guarded by mutex_
  mutable std::condition_variable stop_signal_;
  mutable std::mutex mutex_;
  std::vector<std::string> targets_;
  std::thread thread_;
};

// A local port on which nothing listens: connections to it are refused.
int ClosedPort();

// The parameters of a request target's query, split at "&" and "=" and then %-decoded.
std::vector<std::pair<std::string, std::string>> QueryParameters(const std::string& target);

}  // namespace nd::test
