// The WinINet GET against a server of the test's own on 127.0.0.1.
#include <winsock2.h>
#include <ws2tcpip.h>
// Winsock's headers must come before <windows.h>.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "platform/http.h"

namespace nd::platform {
namespace {

// Answers each connection with one fixed response and records the last request.
class LocalServer {
 public:
  explicit LocalServer(std::string response) : response_(std::move(response)) {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    int size = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    ::listen(listener_, 4);
    thread_ = std::thread([this] { Serve(); });
  }
  ~LocalServer() {
    stop_ = true;
    ::closesocket(listener_);
    thread_.join();
    ::WSACleanup();
  }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  std::string LastRequest() const { return last_request_; }

 private:
  void Serve() {
    while (!stop_) {
      SOCKET client = ::accept(listener_, nullptr, nullptr);
      if (client == INVALID_SOCKET) return;
      std::string request;
      char buffer[4096];
      while (request.find("\r\n\r\n") == std::string::npos) {
        int n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        request.append(buffer, n);
      }
      last_request_ = request;
      ::send(client, response_.data(), static_cast<int>(response_.size()), 0);
      ::shutdown(client, SD_SEND);
      ::closesocket(client);
    }
  }

  std::string response_;
  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::string last_request_;
  std::thread thread_;
};

TEST(HttpGet, FetchesTheBodyUncachedAndPumpsMeanwhile) {
  const std::string body(100000, 'n');
  LocalServer server("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                     "\r\nConnection: close\r\n\r\n" + body);
  std::string got;
  int pumps = 0;
  ASSERT_TRUE(HttpGet(server.Url("/software/__s2_system.pl?action=news"), got, [&] { ++pumps; }));
  EXPECT_EQ(got, body);
  EXPECT_GT(pumps, 0);
  EXPECT_NE(server.LastRequest().find("GET /software/__s2_system.pl?action=news"),
            std::string::npos);
  EXPECT_NE(server.LastRequest().find("no-cache"), std::string::npos) << server.LastRequest();
}

TEST(HttpGet, ErrorStatusesAndRefusedConnectionsGiveNoBody) {
  LocalServer server(
      "HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\nConnection: close\r\n\r\ngone");
  std::string got = "stale";
  EXPECT_FALSE(HttpGet(server.Url("/missing"), got, nullptr));
  EXPECT_EQ(got, "");
  // Nothing listens on port 9 of the loopback address.
  EXPECT_FALSE(HttpGet("http://127.0.0.1:9/", got, nullptr,
                       {.connect_timeout_ms = 2000, .total_timeout_ms = 4000}));
  EXPECT_FALSE(HttpGet("ftp://127.0.0.1/file", got, nullptr));
}

}  // namespace
}  // namespace nd::platform
