// The English language file is the fallback for every text and the reference for translators:
// every key the program looks up must be in it, readable by the program's own reader.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "localisation/ini_file.h"
#include "localisation/text_lookup.h"
#include "test_support.h"

namespace nd {
namespace {

const std::string kEnglish = std::string(ND_SOURCE_RESOURCES) + "/Languages/English.ini";

std::vector<std::string> Numbered(const std::string& prefix, int from, int to,
                                  const std::string& suffix = "") {
  std::vector<std::string> keys;
  for (int n = from; n <= to; ++n) keys.push_back(prefix + std::to_string(n) + suffix);
  return keys;
}

std::map<std::string, std::vector<std::string>> RequiredKeys() {
  std::map<std::string, std::vector<std::string>> keys{
      {"CHARSET", {"CHARSET"}},
      {"INTERFACE",
       {"CHECK1",
        "CHECK3",
        "CHECK4",
        "CHECK5",
        "CHECK6",
        "COMMAND1",
        "COMMAND2",
        "COMMAND4",
        "COMMAND5",
        "COMMAND7",
        "EMPTYBIN",
        "FINISH",
        "INITIATINGSHUTDOWN",
        "LABEL1",
        "LABEL2",
        "LABEL3",
        "LABEL4",
        "LABEL5",
        "LABEL6",
        "LABEL7",
        "LABEL8",
        "LABEL9",
        "LABEL16",
        "LABEL34",
        "LABEL36",
        "LABEL37",
        "LABEL38",
        "LABEL39",
        "LABEL41",
        "LABEL44",
        "LABEL46",
        "NO",
        "OPTION1",
        "OPTION2",
        "OPTION3",
        "OPTION4",
        "OPTION5",
        "PAUSE",
        "PLEASESELECTONEDISK",
        "SECONDS",
        "SHUTDOWN",
        "SHUTDOWNPROBLEM",
        "WAITINGTOCOMPLETE",
        "YES",
        "YOURPCTURNOFF1"}},
      {"VERSION3",
       {"AVOID-CONFLICTS", "CLEAR-STATS", "DONTSHOWINTHEFUTURE", "ESTIMATED", "MAYBESLOW",
        "MODE1-INFO", "MODE2-INFO", "NTFS-MODE", "NTFS-MODE-INFO", "NTFS-MODE-REVIEW",
        "OLD-FOLDER-DELETED", "OLD-FOLDER-EXISTS", "SHOW-GOOD-ONLY", "STATISTICS",
        "STOP-OPERATIONS-FIRST", "WHICHMODE"}},
      {"ERRORS", {"RUN-AS-ADMIN"}},
      {"SHORTCUTS", {"TOSITE", "CHECK-UPD"}},
      {"UNINSTALL", {"R-U-SURE", "WHAT-ABOUT-SETTINGS", "REMOVED"}},
      {"UPDATES", {"TODAY", "YESTERDAY", "DAYSAGO", "RECENTUPDATECHECKWAS", "CHECKUPDATESNOW"}},
      {"SUBSCRIBER",
       {"FN", "LN", "ENTER-YOUR-EMAIL", "NEWSLETTER-INFO", "GET-FREE-UPDATES", "CANCEL-BUTTON",
        "SUBSCRIBE-BUTTON", "INVALID-NAME", "SHORT-EMAIL", "INVALID-EMAIL", "WRONG-SERVER-RESPONSE",
        "OK-SERVER-RESPONSE", "ALREADY-SERVER-RESPONSE"}},
      {"CIP", {"C1", "C2", "C3", "C4", "THANKS"}},
  };
  // Keys the program builds from a number at run time.
  auto& version3 = keys["VERSION3"];
  for (const auto& built :
       {Numbered("STEP", 1, 4, "-TITLE"), Numbered("STEP", 1, 4, "-INFO"), Numbered("MODE", 1, 2),
        Numbered("NTFS-MODE-", 1, 3), Numbered("WORK-STATUS-", 0, 6)}) {
    version3.insert(version3.end(), built.begin(), built.end());
  }
  return keys;
}

TEST(EnglishTexts, EveryKeyThatTheProgramLooksUpHasAText) {
  for (const auto& [section, keys] : RequiredKeys()) {
    for (const std::string& key : keys) {
      EXPECT_NE(ReadIniValue(section, key, kEnglish), "") << section << " / " << key;
    }
  }
  EXPECT_EQ(ReadIniValue("CHARSET", "CHARSET", kEnglish), "0");
}

TEST(EnglishTexts, FileIsPlainWesternTextWithShortSingleLineEntries) {
  const std::string contents = test::ReadFile(kEnglish);
  ASSERT_FALSE(contents.empty());
  size_t start = 0;
  int line_number = 0;
  while (start < contents.size()) {
    size_t end = contents.find('\n', start);
    ASSERT_NE(end, std::string::npos) << "the last line has no line end";
    ++line_number;
    ASSERT_GT(end, start) << "bare LF at line " << line_number;
    ASSERT_EQ(contents[end - 1], '\r') << "line " << line_number << " does not end in CR LF";
    std::string line = contents.substr(start, end - 1 - start);
    for (unsigned char c : line) ASSERT_TRUE(c >= 0x20 && c < 0x7F) << "line " << line_number;
    size_t eq = line.find('=');
    if (eq != std::string::npos) {
      EXPECT_LE(line.size() - eq - 1, kMaxIniValueBytes) << line;
    }
    start = end + 1;
  }
}

TEST(EnglishTexts, ProgramFolderCopyIsWhatTheProgramReads) {
  // The build places the resources beside the executables, where the program looks for them.
  LanguageState state{"English", std::string(ND_BUILD_DIR) + "/Languages", 1};
  EXPECT_EQ(LookupText(state, "INTERFACE", "OPTION2"), "Replace with spaces");
  EXPECT_EQ(LanguageCharsetOf(state), 0);
}

}  // namespace
}  // namespace nd
