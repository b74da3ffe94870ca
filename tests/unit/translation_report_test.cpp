// The translators' report: which interface keys each language lacks, and what the user sees
// when there is nothing to report or nothing to compare with.
#include "localisation/translation_report.h"

#include <gtest/gtest.h>

#include "engine_test_support.h"

namespace nd {
namespace {

using test::ScratchFolder;
using test::WriteFile;

constexpr const char* kEnglish =
    "[CHARSET]\r\nCHARSET=0\r\n\r\n"
    "[INTERFACE]\r\n"
    "LABEL1=Welcome\r\n"
    "LABEL8=Caf\xE9\r\n"
    ";=a note for translators\r\n"
    "COMMAND1=Next >\r\n"
    "\r\n"
    "[VERSION3]\r\n"
    "TITLE=Version three\r\n";

constexpr const char* kHeaderGerman = "================= GERMAN =================\r\n";

class TranslationReportTest : public ::testing::Test {
 protected:
  TranslationReportTest() : context(test::ScratchContext(scratch)) {
    context.language.languages_folder = scratch / "Languages";
    WriteFile(Path("English.ini"), kEnglish);
  }
  std::string Path(const std::string& file) const {
    return context.language.languages_folder + "/" + file;
  }
  std::string Report(const std::vector<std::string>& files) const {
    return TranslationReportText(context.language.languages_folder, files);
  }

  ScratchFolder scratch;
  Context context;
  ui::ScriptedHost host;
  std::vector<std::string> opened;
  std::function<void(const std::string&)> open = [this](const std::string& p) {
    opened.push_back(p);
  };
};

TEST_F(TranslationReportTest, ListsMissingAndEmptyInterfaceKeysInEnglish) {
  // LABEL8 is empty and COMMAND1 sits in the wrong section; VERSION3's keys are not asked for.
  WriteFile(Path("German.ini"),
            "[INTERFACE]\r\nLABEL1=Willkommen\r\nLABEL8=\r\n[VERSION3]\r\nCOMMAND1=Weiter\r\n");
  WriteFile(Path("Dutch.ini"), "[INTERFACE]\nLABEL1=Welkom\nLABEL8=Welkom\nCOMMAND1=Volgende\n");
  EXPECT_EQ(Report({"Dutch.ini", "English.ini", "German.ini", "readme.txt"}),
            std::string("================= DUTCH =================\r\n\r\n") + kHeaderGerman +
                "LABEL8=Caf\xC3\xA9\r\nCOMMAND1=Next >\r\n\r\n");
}

TEST_F(TranslationReportTest, OnlyEnglishGivesNoReport) {
  EXPECT_EQ(Report({"English.ini", "flag.jpg"}), "");
  TranslationReport(context, host, open);
  ASSERT_EQ(host.MsgBoxes().size(), 1u);
  EXPECT_EQ(host.MsgBoxes()[0].text, "Interface translated completely.");
  EXPECT_TRUE(opened.empty());
}

TEST_F(TranslationReportTest, WritesTheReportToTempAndOpensIt) {
  WriteFile(Path("German.ini"), "[INTERFACE]\r\nLABEL1=Willkommen\r\n");
  const std::string path = platform::JoinPath(context.env.data_folder, "temp.txt");
  WriteFile(path, "an older report that was much longer");
  TranslationReport(context, host, open);
  EXPECT_TRUE(host.MsgBoxes().empty());
  ASSERT_EQ(opened, std::vector<std::string>{path});
  EXPECT_EQ(test::ReadFile(path),
            std::string(kHeaderGerman) + "LABEL8=Caf\xC3\xA9\r\nCOMMAND1=Next >\r\n\r\n\r\n");
}

TEST_F(TranslationReportTest, MissingEnglishIsReportedAndNothingWritten) {
  std::filesystem::remove(Path("English.ini"));
  WriteFile(Path("German.ini"), "[INTERFACE]\r\n");
  TranslationReport(context, host, open);
  ASSERT_EQ(host.MsgBoxes().size(), 1u);
  EXPECT_EQ(host.MsgBoxes()[0].icon, ui::MsgBoxIcon::kExclamation);
  EXPECT_EQ(host.MsgBoxes()[0].text, "English.ini is missing from " +
                                         context.language.languages_folder +
                                         ": there is nothing to compare the translations with.");
  EXPECT_FALSE(std::filesystem::exists(context.env.data_folder + "/temp.txt"));
  EXPECT_TRUE(opened.empty());
}

}  // namespace
}  // namespace nd
