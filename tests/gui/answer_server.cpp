// The vendor's server script as the window test needs it: answers every request on 127.0.0.1
// with 1000 bytes whose first line is the given text, prints its address, and writes each
// request's decoded parameters to a log ("name=value" lines, a blank line after each request).
//
//   answer_server FIRST_LINE LOG_FILE
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>

#include "unit/local_http_server.h"

namespace {
volatile std::sig_atomic_t g_stop = 0;
void Stop(int /*signal*/) { g_stop = 1; }
}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: answer_server FIRST_LINE LOG_FILE\n");
    return 2;
  }
  nd::test::HttpAnswer answer;
  answer.body = std::string(argv[1]) + "\r\n";
  answer.body.resize(1000, '-');
  nd::test::LocalHttpServer server(answer);
  if (server.Base().empty()) return 1;
  std::printf("%s\n", server.Base().c_str());
  std::fflush(stdout);
  std::signal(SIGTERM, Stop);
  std::signal(SIGINT, Stop);
  size_t logged = 0;
  while (!g_stop) {
    ::usleep(50'000);
    const std::vector<std::string> targets = server.Targets();
    for (; logged < targets.size(); ++logged) {
      std::ofstream log(argv[2], std::ios::app);
      for (const auto& [name, value] : nd::test::QueryParameters(targets[logged])) {
        log << name << '=' << value << '\n';
      }
      log << '\n';
    }
  }
  return 0;
}
