// The server addresses, the browser hand-off, downloads against a local server and the update
// reminder on the scripted clock.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

#include "engine_test_support.h"
#include "fake_browser.h"
#include "local_http_server.h"
#include "online/browser_handoff.h"
#include "online/download.h"
#include "online/server.h"
#include "online/update_check.h"
#include "platform/http.h"
#include "system/settings_keys.h"
#include "test_support.h"
#include "ui/scripted_host.h"

namespace nd::test {
namespace {

using std::chrono::system_clock;

#ifndef _WIN32
// A folder on PATH holding a fake desktop opener that records its arguments, one per line,
// after their count and before an end marker.
struct FakeOpener {
  explicit FakeOpener(bool installed) : path("PATH", scratch.path()) {
    if (!installed) return;
    WriteFile(scratch / "xdg-open",
              "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" END > '" + Record() + "'\n");
    std::filesystem::permissions(scratch / "xdg-open", std::filesystem::perms::owner_all);
  }
  std::string Record() const { return scratch / "opened.txt"; }
  // The recorded lines once the opener has finished writing them; empty after 5 s without.
  std::string WaitForRecord() const {
    for (int i = 0; i < 500; ++i) {
      std::string text = ReadFile(Record());
      if (text.ends_with("END\n")) return text;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {};
  }

  ScratchFolder scratch;
  ScopedEnv path;
};

#endif  // _WIN32

std::string Param(const std::vector<std::pair<std::string, std::string>>& parameters,
                  const std::string& name, int* count = nullptr) {
  std::string value;
  int found = 0;
  for (const auto& [key, text] : parameters) {
    if (key == name) {
      value = text;
      ++found;
    }
  }
  if (count) *count = found;
  return value;
}

TEST(OnlineAddressTest, ParametersInFixedOrderWithEncodedValues) {
  online::RequestFacts facts{"3.05", "United States", "", "Español"};
  EXPECT_EQ(online::ServerPageAddress("http://h", "updates", facts, "&extra=a%20b"),
            "http://h/software/__s2_system.pl?scn=NDRF&to=updates&version=3.05"
            "&country=United%20States&pcid=&language=Espa%C3%B1ol&extra=a%20b");
  EXPECT_EQ(online::NewsletterAddress("http://h", facts, "a+b@x.org", "Jo", "O'Neil"),
            "http://h/software/__s2_system.pl?scn=NDRF&version=3.05&country=United%20States"
            "&email=a%2Bb%40x.org&language=Espa%C3%B1ol&t=1000&fn=Jo&ln=O%27Neil");
  EXPECT_EQ(online::PercentEncode("AZaz09-._~ /?&=%"), "AZaz09-._~%20%2F%3F%26%3D%25");
}

TEST(OnlineAddressTest, NewsletterValuesArriveWholeAtTheServer) {
  LocalHttpServer server({.body = "OK"});
  online::RequestFacts facts{"3.00", "Germany", "", "English"};
  std::string body;
  ASSERT_TRUE(platform::HttpGet(
      online::NewsletterAddress(server.Base(), facts, "a+b@x.org", "Ann Marie", "Smith & Co"), body,
      {}));
  EXPECT_EQ(body, "OK");
  ASSERT_EQ(server.Targets().size(), 1u);
  auto parameters = QueryParameters(server.Targets()[0]);
  int last_names = 0;
  EXPECT_EQ(Param(parameters, "ln", &last_names), "Smith & Co");
  EXPECT_EQ(last_names, 1);
  EXPECT_EQ(Param(parameters, "fn"), "Ann Marie");
  EXPECT_EQ(Param(parameters, "email"), "a+b@x.org");
  EXPECT_EQ(parameters.size(), 8u);
}

TEST(OnlineAddressTest, ServerFromTheEnvironment) {
  ScratchFolder scratch;
  Context context = ScratchContext(scratch);
  ui::ScriptedHost host;
  {
    ScopedEnv server("NULLDRIFT_SERVER", "http://127.0.0.1:8123/");
    EXPECT_EQ(online::ServerBase(), "http://127.0.0.1:8123");
    EXPECT_EQ(online::OpenServerPage(context, host, "order", "", true),
              "http://127.0.0.1:8123/software/__s2_system.pl?scn=NDRF&to=order&version=3.00"
              "&country=" +
                  online::PercentEncode(online::FactsOf(context).country) +
                  "&pcid=&language=English");
  }
  ScopedEnv server("NULLDRIFT_SERVER", std::nullopt);
  EXPECT_EQ(online::ServerBase(), "http://www.nulldrift.net");
  EXPECT_TRUE(host.MsgBoxes().empty());
}

class OnlineDownloadTest : public ::testing::Test {
 protected:
  bool Download(const std::string& url, size_t length, platform::HttpOptions options = {}) {
    return online::DownloadToFile(host, url, target, length, options);
  }

  ScratchFolder scratch;
  std::string target = scratch / "list.dat";
  ui::ScriptedHost host;
  std::string payload = std::string(1000, 'x').replace(0, 5, "start");
};

TEST_F(OnlineDownloadTest, ExactLengthReplacesAnOlderLongerFile) {
  LocalHttpServer server({.body = payload});
  WriteFile(target, std::string(2000, 'o'));
  EXPECT_TRUE(Download(server.Base() + "/list.dat", 1000));
  EXPECT_EQ(ReadFile(target), payload);
  ASSERT_EQ(server.Targets().size(), 1u);
  EXPECT_EQ(server.Targets()[0], "/list.dat");
}

TEST_F(OnlineDownloadTest, WrongLengthErrorStatusOrNoServerWritesNothing) {
  for (size_t length : {999u, 1001u}) {
    LocalHttpServer server({.body = std::string(length, 'x')});
    EXPECT_FALSE(Download(server.Base() + "/list.dat", 1000)) << length;
  }
  LocalHttpServer missing({.status = 404, .body = payload});
  EXPECT_FALSE(Download(missing.Base() + "/list.dat", 1000));
  EXPECT_FALSE(Download("http://127.0.0.1:" + std::to_string(ClosedPort()) + "/list.dat", 1000));
  EXPECT_FALSE(std::filesystem::exists(target));
}

TEST_F(OnlineDownloadTest, SlowServerKeepsTheWindowResponsive) {
  LocalHttpServer server({.body = payload, .chunk_bytes = 250, .chunk_delay_ms = 100});
  EXPECT_TRUE(Download(server.Base() + "/list.dat", 1000));
  EXPECT_EQ(ReadFile(target), payload);
  EXPECT_GE(host.DoEventsCount(), 4);
}

TEST_F(OnlineDownloadTest, SilentServerTimesOut) {
  if (UnderWine()) {
    GTEST_SKIP() << "Wine's WinINet gives up on a server that never answers only after about "
                    "5 s, whatever the receive timeout";
  }
  HttpAnswer silent;
  silent.silent = true;
  LocalHttpServer server(silent);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(Download(server.Base() + "/list.dat", 1000, {.total_timeout_ms = 300}));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_FALSE(std::filesystem::exists(target));
}

#ifdef _WIN32
// The address goes to the program the user's classes name for http, as ShellExecute does it.
TEST(OnlineBrowserTest, AddressGoesToTheOpenerAsOneArgument) {
  FakeBrowser browser;
  ui::ScriptedHost host;
  online::OpenInBrowser(host, "http://h/p?a=1&b=two%20words");
  EXPECT_EQ(browser.Opened(), std::vector<std::string>{"http://h/p?a=1&b=two%20words"});
  EXPECT_TRUE(host.MsgBoxes().empty());
}

TEST(OnlineBrowserTest, NoOpenerGivesTheMessage) {
  FakeBrowser browser(false);
  ui::ScriptedHost host;
  online::OpenInBrowser(host, "http://h/p");
  ASSERT_EQ(host.MsgBoxes().size(), 1u);
  EXPECT_EQ(host.MsgBoxes()[0].text,
            "ERROR! Can't find browser to open the following URL:\nhttp://h/p");
}

#else
TEST(OnlineBrowserTest, AddressGoesToTheOpenerAsOneArgument) {
  FakeOpener opener(true);
  ui::ScriptedHost host;
  online::OpenInBrowser(host, "http://h/p?a=1&b=two words");
  EXPECT_EQ(opener.WaitForRecord(), "1\nhttp://h/p?a=1&b=two words\nEND\n");
  EXPECT_TRUE(host.MsgBoxes().empty());
}

TEST(OnlineBrowserTest, NoOpenerGivesTheMessage) {
  FakeOpener opener(false);
  ui::ScriptedHost host;
  online::OpenInBrowser(host, "http://h/p");
  ASSERT_EQ(host.MsgBoxes().size(), 1u);
  const ui::MsgBoxRecord& box = host.MsgBoxes()[0];
  EXPECT_EQ(box.text, "ERROR! Can't find browser to open the following URL:\nhttp://h/p");
  EXPECT_EQ(box.icon, ui::MsgBoxIcon::kExclamation);
  EXPECT_EQ(box.buttons, ui::MsgBoxButtons::kOk);
  EXPECT_EQ(box.title, kProductName);
}

#endif  // _WIN32

class OnlineUpdateTest : public ::testing::Test {
 protected:
  OnlineUpdateTest() { host.SetNow(Local(2026, 5, 20, 0, 1)); }

  static system_clock::time_point Local(int year, int month, int day, int hour, int minute) {
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;  // mktime carries days beyond the month over
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_isdst = -1;
    return system_clock::from_time_t(std::mktime(&parts));
  }
  // The stored form of a local time `days_back` days before 2026-05-20.
  static std::string DaysBack(int days_back, const char* time_of_day = "12:00:00") {
    std::time_t seconds = system_clock::to_time_t(Local(2026, 5, 20 - days_back, 12, 0));
    std::tm parts{};
#ifdef _WIN32
    ::localtime_s(&parts, &seconds);
#else
    ::localtime_r(&seconds, &parts);
#endif
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %s", parts.tm_year + 1900, parts.tm_mon + 1,
                  parts.tm_mday, time_of_day);
    return text;
  }
  std::string Stored() const { return Get(context.settings, settings::kRecentUpdate); }
  void Store(const std::string& text) { Save(context.settings, settings::kRecentUpdate, text); }

  ScratchFolder scratch;
  Context context = ScratchContext(scratch);
  ui::ScriptedHost host;
};

TEST_F(OnlineUpdateTest, AgesWithoutReminder) {
  EXPECT_EQ(online::CheckUpdateAge(context, host), "today");
  EXPECT_EQ(Stored(), "2026-05-20 00:01:00");

  Store(DaysBack(1, "23:59:00"));
  EXPECT_EQ(online::CheckUpdateAge(context, host), "yesterday");
  Store(DaysBack(60));
  EXPECT_EQ(online::CheckUpdateAge(context, host), "60 days ago.");
  Store("20th of May");
  EXPECT_EQ(online::DaysSinceUpdateCheck(context, host), 0);
  Store("2026-02-30 12:00:00");
  EXPECT_EQ(online::DaysSinceUpdateCheck(context, host), 0);
  Store(DaysBack(-3));
  EXPECT_EQ(online::DaysSinceUpdateCheck(context, host), -3);
  EXPECT_EQ(online::CheckUpdateAge(context, host), "-3 days ago.");
  EXPECT_TRUE(host.MsgBoxes().empty());
}

TEST_F(OnlineUpdateTest, ReminderAfterSixtyDays) {
  FakeBrowser opener;
  ScopedEnv server("NULLDRIFT_SERVER", "http://127.0.0.1:9");
  const std::string old = DaysBack(61);
  Store(old);
  host.QueueAnswer(ui::MsgBoxResult::kNo);
  EXPECT_EQ(online::CheckUpdateAge(context, host), "61 days ago.");
  ASSERT_EQ(host.MsgBoxes().size(), 1u);
  EXPECT_EQ(host.MsgBoxes()[0].text,
            "The last check for updates was 61 days ago.\n\nWould you like to check for a newer "
            "version now? The update page opens in your web browser.");
  EXPECT_EQ(host.MsgBoxes()[0].buttons, ui::MsgBoxButtons::kYesNo);
  EXPECT_EQ(Stored(), old);
  EXPECT_FALSE(std::filesystem::exists(opener.Log()));

  host.QueueAnswer(ui::MsgBoxResult::kYes);
  online::CheckUpdateAge(context, host);
  EXPECT_EQ(Stored(), "2026-05-20 00:01:00");
  const std::vector<std::string> opened = opener.Opened();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_TRUE(
      opened[0].starts_with("http://127.0.0.1:9/software/__s2_system.pl?scn=NDRF"
                            "&to=updates&"))
      << opened[0];
}

}  // namespace
}  // namespace nd::test
